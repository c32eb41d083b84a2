#include "driver/foundation/logdump.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "driver/foundation/log.h"
#include "driver/foundation/logrecord.h"
#include "driver/foundation/logtag.h"
#include "driver/foundation/runtimeconfig.h"
#include "platform/os/process/environment.h"
#include "tests/driver/foundation/machinekeys.h"

using namespace zor::foundation;

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kRingBytes = kLogHeaderSize + 8 * kLogRecordSize;

// Stands in for the thread context: answers kind 1 with a code and sub-code.
struct ErrorContext {
  int64_t GetError(int64_t kind, void* out1, void* out2, void*, void*) {
    ++calls;
    if (kind == 1) {
      *static_cast<uint64_t*>(out1) = code;
      if (out2 != nullptr) *static_cast<uint64_t*>(out2) = subCode;
    }
    return 1;
  }
  uint64_t code = 0;
  uint64_t subCode = 0;
  int calls = 0;
};

class LogDump : public testing::Test {
 protected:
  void SetUp() override {
    temp_ = fs::temp_directory_path() / ("zordump" + std::to_string(getpid()));
    fs::create_directories(temp_);
    os::SetEnvironmentVariable(L"TEMP", temp_.wstring().c_str());
    memory_.assign(kRingBytes / 8, 0);
    auto* header = reinterpret_cast<LogRingHeader*>(memory_.data());
    header->writeOffset = kLogHeaderSize;
    header->totalSize = kRingBytes;
    header->ringSize = kRingBytes;
    ASSERT_EQ(CLog::Instance()->AllocBuffer(memory_.data(), kRingBytes), 0);
  }
  void TearDown() override {
    CLog::Instance()->FreeBuffer(false);
    CLog::Release();
    CRuntimeConfig::Destroy();
    fs::remove_all(temp_);
  }
  static void EnableDumps() {
    foundationtest::SetMachineDword(
        L"Software\\Velant\\Velant Zor Library\\Runtime\\Controls\\Driver",
        L"DumpDriverLogsOnError", 1);
  }
  // Decodes the host's raw export: "ZORRAW1", then little-endian 64-bit words (header size,
  // width, height, bands, ...), then the pixels. The ring is one row of 8-bit pixels.
  std::vector<uint8_t> ReadRing(const fs::path& file) const {
    std::ifstream in(file, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    const auto word = [&bytes](size_t index) {
      uint64_t value = 0;
      memcpy(&value, bytes.data() + 8 + 8 * index, sizeof(value));
      return value;
    };
    if (bytes.size() < 64 || memcmp(bytes.data(), "ZORRAW1", 8) != 0) return {};
    const uint64_t headerSize = word(0);
    EXPECT_EQ(word(1), kRingBytes);  // width
    EXPECT_EQ(word(2), 1u);          // height
    EXPECT_EQ(word(3), 1u);          // bands
    if (bytes.size() != headerSize + kRingBytes) return {};
    return std::vector<uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(headerSize),
                                bytes.end());
  }

  fs::path temp_;
  std::vector<uint64_t> memory_;
};

}  // namespace

TEST_F(LogDump, NothingIsSavedWithoutACodeOrTheSetting) {
  ErrorContext context;
  uint64_t out[4] = {};
  EXPECT_EQ(DumpDriverLogOnError(2, &out[0], &out[1], &out[2], &out[3], context), 1);
  context.code = 4301;
  EXPECT_EQ(DumpDriverLogOnError(1, &out[0], &out[1], &out[2], &out[3], context), 1);
  EXPECT_FALSE(DumpDriverLogIfEnabled(4301, 2));
  EnableDumps();
  CRuntimeConfig::Destroy();
  context.code = 0;
  DumpDriverLogOnError(1, &out[0], &out[1], &out[2], &out[3], context);
  EXPECT_EQ(context.calls, 3);
  EXPECT_TRUE(fs::is_empty(temp_));
}

TEST_F(LogDump, DumpFilesCarryEveryRecord) {
  EnableDumps();
  const CLogProvider provider(3, 4, 5, 6);
  for (uint64_t i = 0; i < 5; ++i) {
    CLog::Instance()->Write(provider, 400 + static_cast<uint32_t>(i), LogTag("INDX"), i,
                            LogTag("TAG "), i * 3, kEmptyLogTag, 0);
  }
  ErrorContext context{4301, 2};
  uint64_t out[4] = {};
  DumpDriverLogOnError(1, &out[0], &out[1], &out[2], &out[3], context);
  DumpDriverLogOnError(1, &out[0], &out[1], &out[2], &out[3], context);
  const fs::path first = temp_ / "ZORDriverLog_Err4301_SubErr2_000.zim";
  ASSERT_TRUE(fs::exists(first));
  EXPECT_TRUE(fs::exists(temp_ / "ZORDriverLog_Err4301_SubErr2_001.zim"));
  DumpDriverLogOnError(1, &out[0], nullptr, nullptr, nullptr, context);  // the code alone
  EXPECT_TRUE(fs::exists(temp_ / "ZORDriverLog_Err4301_SubErr0_002.zim"));
  EXPECT_TRUE(DumpDriverLogIfEnabled(7, 8));

  const std::vector<uint8_t> ring = ReadRing(first);
  ASSERT_EQ(ring.size(), kRingBytes);
  const auto* header = reinterpret_cast<const LogRingHeader*>(ring.data());
  EXPECT_EQ(header->writeOffset, kLogHeaderSize + 6 * kLogRecordSize);
  const auto* records = reinterpret_cast<const LogRecord*>(ring.data() + kLogHeaderSize);
  for (uint32_t i = 0; i < 5; ++i) {
    const LogRecord& r = records[i];
    EXPECT_EQ(std::tuple(r.sourceId, r.kind, r.pairs[0].tag, r.pairs[0].value, r.pairs[1].tag,
                         r.pairs[1].value, r.pairs[2].tag, r.pairs[2].value),
              std::tuple(provider.SourceId(), 400 + i, LogTag("INDX"), uint64_t{i}, LogTag("TAG "),
                         uint64_t{i} * 3, kEmptyLogTag, uint64_t{0}))
        << i;
    EXPECT_NE(r.timeStamp, 0u);
  }
  EXPECT_EQ(records[5].kind, kLogKindSave);
  EXPECT_EQ(records[5].sourceId, 4224u);
  EXPECT_EQ(records[6].timeStamp, 0u);
}

TEST_F(LogDump, SaveUsesTheLogFolder) {
  CLog* log = CLog::Instance();
  log->SetFolder((temp_ / "sub" / "..").wstring().c_str());
  wchar_t folder[CLog::kMaxFolder];
  log->GetFolder(folder, CLog::kMaxFolder);
  EXPECT_EQ(fs::path(folder), temp_);
  wchar_t none[1] = {L'x'};
  log->GetFolder(none, 0);  // no room: nothing written, not even the end
  EXPECT_EQ(none[0], L'x');
  wchar_t cut[4];
  log->GetFolder(cut, 4);
  EXPECT_EQ(std::wstring(cut), temp_.wstring().substr(0, 3));
  // A folder with no name, or one whose full path would not fit, leaves the folder as it was.
  for (const std::wstring& refused : {std::wstring(), std::wstring(CLog::kMaxFolder, L'f')}) {
    log->SetFolder(refused.c_str());
    log->GetFolder(folder, CLog::kMaxFolder);
    EXPECT_EQ(fs::path(folder), temp_) << refused.size();
  }
  const std::wstring longest = L"/" + std::wstring(CLog::kMaxFolder - 2, L'f');  // with its NUL
  log->SetFolder(longest.c_str());
  log->GetFolder(folder, CLog::kMaxFolder);
  EXPECT_EQ(folder, longest);
  log->SetFolder(temp_.wstring().c_str());
  log->Save(L"saved.zim");
  EXPECT_EQ(ReadRing(temp_ / "saved.zim").size(), kRingBytes);
  // A path of the longest length that is saved whole, and one a character longer, refused.
  const std::wstring sub(200, L'd');
  fs::create_directories(temp_ / sub);
  for (const size_t length : {size_t{323}, size_t{324}}) {
    const std::wstring name =
        sub + L"/" + std::wstring(length - temp_.wstring().size() - sub.size() - 2, L'n');
    log->Save(name.c_str());
    EXPECT_EQ(fs::exists(temp_ / name), length == 323) << length;
  }
  log->FreeBuffer(false);
  log->Save(L"none.zim");
  EXPECT_FALSE(fs::exists(temp_ / "none.zim"));
}
