// Where camera files are found: standard names, "DCFPATH", "DRAVIONLYNDCF", '~'.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <tuple>

#include "driver/board/dcf/dcffile.h"
#include "driver/board/dcf/dcfregisterparser.h"
#include "driver/board/dcf/dcfregistertable.h"
#include "tests/driver/board/dcf/dcftestfiles.h"

using namespace zor::board;
using namespace dcftest;

namespace {

constexpr size_t kInputControl = 336;

class DcfSearch : public testing::Test {
 protected:
  void SetUp() override {
    UnsetEnv(L"DRAVIONLYNDCF");
    SetEnv(L"HOME", folder_.Path().wstring());
  }
  void TearDown() override { UnsetEnv(L"DRAVIONLYNDCF"); }

  // A file whose gain word tells which copy was read.
  void WriteMarked(const std::string& name, int mark) const {
    folder_.Write(name, DcfWith("INFO_GAIN " + std::to_string(mark) + "\n"));
  }
  // The mark of the file that a name finds, or -1 when none is read.
  static int64_t FoundMark(const std::wstring& name) {
    Block block = NewBlock();
    DcfRegisterParser parser(name.c_str(), block.data(), 0);
    return parser.errorSet != 0 ? -1 : static_cast<int64_t>(Word(block, 4 * 13));
  }
  std::wstring Folder(const char* leaf) const { return (folder_.Path() / leaf).wstring(); }
  // A marked "cam.dcf" in a folder of the test's own whose path has `length` characters.
  std::wstring MarkedFolderOfLength(size_t length, int mark) const {
    const std::string root = folder_.Path().string();
    std::string relative;
    while (root.size() + relative.size() < length) {
      const size_t left = length - root.size() - relative.size();
      relative += "/" + std::string(left - 1 <= 200 ? left - 1 : 150, 'd');
    }
    WriteMarked(relative.substr(1) + "/cam.dcf", mark);
    return std::wstring(root.begin(), root.end()) + std::wstring(relative.begin(), relative.end());
  }

  DcfFolder folder_;
};

TEST_F(DcfSearch, StandardNamesOpenTheStandardFiles) {
  SetEnv(L"DRAVIONLYNDCF", L"" ZOR_STANDARD_DCF_DIR);
  const struct {
    const wchar_t* name;
    uint32_t width, height, bands;
    uint8_t inputControl;
  } cases[] = {
      {L"Q_DEFAULT", 640, 480, 1, 0x50}, {L"Q_RS170", 640, 480, 1, 0x50},
      {L"q_ntsc", 640, 480, 3, 0x50},    {L"Q_NTSC", 640, 480, 3, 0x50},
      {L"Q_CCIR", 768, 576, 1, 0x80},    {L"Q_Pal", 720, 576, 3, 0x80},
  };
  for (const auto& c : cases) {
    Block block = NewBlock();
    DcfRegisterParser parser(c.name, block.data(), 0);
    ASSERT_EQ(parser.errorSet, 0) << c.name;
    EXPECT_EQ(std::make_tuple(ReadDcfInfo(block.data(), kDcfInfoXSize),
                              ReadDcfInfo(block.data(), kDcfInfoYSize),
                              ReadDcfInfo(block.data(), FindDcfRow(L"INFO_BAND")->position),
                              block[kInputControl], block[kDcfFlagsOffset + kInputControl]),
              std::make_tuple(c.width, c.height, c.bands, c.inputControl, uint8_t{1}))
        << c.name;
  }
  EXPECT_EQ(MapStandardDcfName(L"Q_SECAM"), L"Q_SECAM");
}

TEST_F(DcfSearch, FoldersAreTriedInOrderWithHomeForTilde) {
  WriteMarked("home/dcf/cam.dcf", 2);
  WriteMarked("last/cam.dcf", 3);
  SetRegisteredDcfPath(Folder("reg"));  // exists in the registry but holds no such file
  SetEnv(L"DRAVIONLYNDCF", L"~/home/dcf;" + Folder("last") + L"/");
  EXPECT_EQ(FoundMark(L"cam.dcf"), 2);
  WriteMarked("reg/cam.dcf", 1);
  EXPECT_EQ(FoundMark(L"cam.dcf"), 1) << "the registry's folder comes first";
  std::wstring path;
  ASSERT_EQ(ResolveDcfPath(L"cam.dcf", kDcfSearchFolders, path), 0u);
  EXPECT_EQ(path, Folder("reg") + L"/cam.dcf");
  UnsetEnv(L"DRAVIONLYNDCF");
  EXPECT_EQ(FoundMark(L"cam.dcf"), 1) << "the registry's folder alone";
}

TEST_F(DcfSearch, AnEmptyEntryEndsTheSearch) {
  WriteMarked("late/cam.dcf", 4);
  SetEnv(L"DRAVIONLYNDCF", Folder("none") + L";;" + Folder("late"));
  EXPECT_EQ(FoundMark(L"cam.dcf"), -1);
  SetEnv(L"DRAVIONLYNDCF", Folder("none") + L";" + Folder("late"));
  EXPECT_EQ(FoundMark(L"cam.dcf"), 4);
}

TEST_F(DcfSearch, AbsolutePathsAreNotSearchedFor) {
  WriteMarked("abs/cam.dcf", 5);
  SetEnv(L"DRAVIONLYNDCF", Folder("abs"));
  EXPECT_EQ(FoundMark(Folder("abs") + L"/cam.dcf"), 5);
  EXPECT_EQ(FoundMark(Folder("elsewhere") + L"/cam.dcf"), -1);
  std::wstring path = L"left over";
  EXPECT_EQ(ResolveDcfPath(Folder("elsewhere") + L"/cam.dcf", kDcfSearchFolders, path),
            kDcfPathNotFound);
  EXPECT_TRUE(path.empty());
}

TEST_F(DcfSearch, OtherModesDoNotSearchAndFoldersAreNotFiles) {
  WriteMarked("one/cam.dcf", 6);
  WriteMarked("two/sub/cam.dcf/x", 0);  // a folder named like the file
  WriteMarked("three/cam.dcf", 7);
  SetEnv(L"DRAVIONLYNDCF", Folder("two/sub") + L";" + Folder("three"));
  std::wstring path;
  EXPECT_EQ(ResolveDcfPath(L"cam.dcf", 1, path), kDcfPathNotFound);
  EXPECT_EQ(FoundMark(L"cam.dcf"), 7);
  // A FIFO named like the file, which nobody writes, is passed over without waiting.
  WriteMarked("four/other.dcf", 0);
  ASSERT_EQ(mkfifo((folder_.Path() / "four/cam.dcf").c_str(), 0600), 0);
  SetEnv(L"DRAVIONLYNDCF", Folder("four") + L";" + Folder("three"));
  EXPECT_EQ(FoundMark(L"cam.dcf"), 7);
  EXPECT_EQ(FoundMark(Folder("four") + L"/cam.dcf"), -1);
}

TEST_F(DcfSearch, OverlongNamesAndPathsAreRefused) {
  std::wstring path;
  EXPECT_EQ(ResolveDcfPath(std::wstring(1100, L'a'), kDcfSearchFolders, path), kDcfPathNotFound);
  SetEnv(L"DRAVIONLYNDCF", L"/" + std::wstring(1030, L'd'));
  EXPECT_EQ(ResolveDcfPath(L"cam.dcf", kDcfSearchFolders, path), kDcfPathNotFound);
  // A path of 1023 characters is found, given, searched or under the home folder; of 1024 not.
  for (const size_t length : {1023, 1024}) {
    const std::wstring folder = MarkedFolderOfLength(length - 8, 8);  // and "/cam.dcf"
    const int64_t found = length < 1024 ? 8 : -1;
    EXPECT_EQ(FoundMark(folder + L"/cam.dcf"), found) << "given " << length;
    SetEnv(L"DRAVIONLYNDCF", folder);
    EXPECT_EQ(FoundMark(L"cam.dcf"), found) << "searched " << length;
    SetEnv(L"HOME", folder);
    SetEnv(L"DRAVIONLYNDCF", L"~");
    EXPECT_EQ(FoundMark(L"cam.dcf"), found) << "home " << length;
  }
}

}  // namespace
