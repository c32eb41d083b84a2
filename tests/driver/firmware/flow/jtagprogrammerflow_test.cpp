#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "driver/firmware/boardjtagport.h"
#include "driver/firmware/flow/discoveryscripts.h"
#include "platform/boardsim/jtag/simgrabmodule.h"
#include "platform/boardsim/jtag/simiscdevice.h"
#include "platform/boardsim/jtag/simjtagchain.h"
#include "tests/driver/firmware/support/firmwarefolder.h"

namespace {

using boardsim::CSimGrabModule;
using boardsim::CSimIscDevice;
using boardsim::CSimJtagChain;
using boardsim::CSimJtagDevice;
using firmwaretest::FirmwareFolder;
using zor::firmware::CBoardJtagPort;
namespace fs = std::filesystem;

std::unique_ptr<CSimJtagDevice> Bypassed(int irLength, std::optional<uint32_t> idcode) {
  boardsim::SimJtagDeviceConfig config;
  config.irLength = irLength;
  config.idcode = idcode;
  return std::make_unique<CSimJtagDevice>(config);
}

std::unique_ptr<CSimIscDevice> Flash() {
  boardsim::SimJtagDeviceConfig config;
  config.irLength = 8;
  config.idcode = CSimGrabModule::kFlashIdcode;
  config.boundaryLength = 4;
  return std::make_unique<CSimIscDevice>(config,
                                         boardsim::SimIscMemoryConfig{CSimGrabModule::kFlashWords});
}

// The description file of the firmware folder with lines for the extra test devices.
const char kExtraDevices[] =
    "[0x1234567f] -i 4 *\n"
    "[0x0abcdef1] -i 5 -x ignored *\n"
    "[0x00000000] -i 3\n";

class ProgrammingFlow : public testing::Test {
 protected:
  void SetUp() override {
    folder_.Write("bsdl_1532/test.inf",
                  firmwaretest::ReadFile(folder_.Bsdl() + "/jtag_file.inf") + kExtraDevices);
  }

  int Program(CSimJtagChain& chain, const std::string& description = "test.inf",
              const std::string& data = "") {
    CBoardJtagPort port(&chain);
    const int result = port.Program(description.c_str(), (data.empty() ? DataFile() : data).c_str(),
                                    [this](uint32_t position) { positions_.push_back(position); });
    for (const auto& line : port.lines_) {
      if (line.Length() == 0) break;
      lines_.push_back(line.CStr());
    }
    return result;
  }

  // Programs a new chain of the flash alone, left in flash_.
  int ProgramFlash(const std::string& description, const std::string& data = "") {
    chain_ = std::make_unique<CSimJtagChain>();
    chain_->AddDevice(Flash());
    flash_ = static_cast<CSimIscDevice*>(&chain_->Device(0));
    return Program(*chain_, description, data);
  }

  std::string DataFile() const { return folder_.Path() + "/DravionLyn.firmware"; }

  void ExpectProgrammed(CSimIscDevice& flash) const {
    const std::vector<uint32_t> words = firmwaretest::DataWords(DataFile());
    ASSERT_EQ(words.size(), static_cast<size_t>(CSimGrabModule::kFlashWords));
    for (int w = 0; w < CSimGrabModule::kFlashWords; ++w) {
      ASSERT_EQ(flash.ReadWord(w), words[w]) << "word " << w;
    }
  }

  FirmwareFolder folder_;
  std::unique_ptr<CSimJtagChain> chain_;
  CSimIscDevice* flash_ = nullptr;
  std::vector<std::string> lines_;
  std::vector<uint32_t> positions_;
};

TEST_F(ProgrammingFlow, ProgramsTheFlashOnChainsOfOneToFourDevices) {
  const std::optional<uint32_t> others[] = {0x0F8031CF, 0x1234567F, std::nullopt};
  const int irLengths[] = {6, 4, 3};
  for (int count = 1; count <= 4; ++count) {
    SCOPED_TRACE(count);
    lines_.clear();
    CSimJtagChain chain;
    CSimIscDevice* flash = nullptr;
    // The flash moves along the chain; bypassed devices stand on both sides of it.
    const int flashAt = count / 2;
    for (int i = 0, other = 0; i < count; ++i) {
      if (i == flashAt) {
        auto device = Flash();
        flash = device.get();
        chain.AddDevice(std::move(device));
      } else {
        chain.AddDevice(Bypassed(irLengths[other], others[other]));
        ++other;
      }
    }
    ASSERT_EQ(Program(chain), 0);
    ExpectProgrammed(*flash);
    // Lines run from the device nearest TDO (the chain's last) down to D1.
    std::vector<std::string> expected;
    for (int i = 0; i < count; ++i) {
      const int device = count - 1 - i;
      const std::string name = "D" + std::to_string(count - i);
      const int other = device < flashAt ? device : device - 1;  // the bypassed device's row
      expected.push_back(device == flashAt ? name + " -b\"dlgrabflash.bsd\" -d\"" + DataFile() +
                                                 "\" -a\"program\";"
                                           : name + " -i" + std::to_string(irLengths[other]) + ";");
    }
    EXPECT_EQ(lines_, expected);
  }
}

// The register access of a connector whose chain can be swapped between two runs.
class SwappedChain : public zor::jtag::IJtagRegisterAccess {
 public:
  explicit SwappedChain(CSimJtagChain* first) : chain(first) {}
  uint32_t ReadRegister() override { return chain->ReadRegister(); }
  void WriteRegister(uint32_t value) override { chain->WriteRegister(value); }
  CSimJtagChain* chain;
};

// A port programmed again after its chain got shorter keeps none of the longer chain's lines.
TEST_F(ProgrammingFlow, AShorterChainOnTheSamePortGetsOnlyItsOwnLines) {
  CSimJtagChain two;
  two.AddDevice(Flash());
  two.AddDevice(Bypassed(4, 0x1234567F));
  CSimJtagChain one;
  one.AddDevice(Flash());
  SwappedChain connector(&two);
  CBoardJtagPort port(&connector);
  for (CSimJtagChain* chain : {&two, &one}) {
    connector.chain = chain;
    ASSERT_EQ(port.Program("test.inf", DataFile().c_str(), nullptr), 0);
  }
  ExpectProgrammed(static_cast<CSimIscDevice&>(one.Device(0)));
  EXPECT_EQ(port.lines_[0].CStr(),
            "D1 -b\"dlgrabflash.bsd\" -d\"" + DataFile() + "\" -a\"program\";");
  EXPECT_EQ(port.lines_[1].Length(), 0);
}

TEST_F(ProgrammingFlow, TheAuthoredDescriptionProgramsTheGrabModule) {
  CSimGrabModule module(0x11111111);
  EXPECT_EQ(module.Flash().ReadWord(0), 0x11111111u);  // the flash holds the image that runs
  ASSERT_EQ(Program(module.Chain(), "jtag_file.inf"), 0);
  ExpectProgrammed(module.Flash());
  // The FPGA loads the new image when the flash leaves ISC mode.
  EXPECT_EQ(module.FirmwareCode(), 0xAB301015u);
  EXPECT_FALSE(positions_.empty());
}

TEST_F(ProgrammingFlow, UnknownUnreachableOrFaultyChainsFail) {
  CSimJtagChain unknown;
  unknown.AddDevice(Flash());
  unknown.AddDevice(Bypassed(4, 0x7654321F));
  EXPECT_EQ(Program(unknown), 1);
  EXPECT_EQ(static_cast<CSimIscDevice&>(unknown.Device(0)).ReadWord(0), 0xFFFFFFFFu);

  CSimJtagChain empty;
  EXPECT_EQ(Program(empty), 1);

  CSimJtagChain hundred;
  for (int i = 0; i < 100; ++i) hundred.AddDevice(Bypassed(2, std::nullopt));
  EXPECT_EQ(Program(hundred), 3);

  // No chain behind the connector: TDO reads 0 and counts as a hundred devices.
  CSimJtagChain stuck;
  stuck.AddDevice(Flash());
  stuck.SetTdoStuck(false);
  EXPECT_EQ(Program(stuck), 3);

  EXPECT_EQ(ProgramFlash("missing.inf"), 2);

  // A stuck memory bit fails the verify: word 1 of the file has bit 1 clear.
  CSimJtagChain stuckBit;
  auto flash = Flash();
  flash->SetStuckBit(boardsim::SimStuckBit{1, 1, true});
  stuckBit.AddDevice(std::move(flash));
  EXPECT_EQ(Program(stuckBit), 1);
}

TEST_F(ProgrammingFlow, TheLaterOfTwoLinesForAnIdcodeWins) {
  const std::string flashLine = "[0x0d1a1093] -b dlgrabflash.bsd -d * *\n";
  const std::string wrongLine = "[0x0d1a1093] -b nosuch.bsd -d * *\n";
  folder_.Write("bsdl_1532/twice.inf", wrongLine + flashLine);
  folder_.Write("bsdl_1532/twice_wrong_last.inf", flashLine + wrongLine);
  EXPECT_EQ(ProgramFlash("twice.inf"), 0);
  EXPECT_NE(ProgramFlash("twice_wrong_last.inf"), 0);
}

TEST_F(ProgrammingFlow, FileNamesEndBeforeTheLineBreak) {
  // Windows line ends, and file names as the last tokens of their lines.
  folder_.Write("bsdl_1532/crlf.inf", "* comment\r\n[0x0d1a1093] -d * -b dlgrabflash.bsd\r\n");
  EXPECT_EQ(ProgramFlash("crlf.inf"), 0);
  ASSERT_EQ(lines_.size(), 1u);
  EXPECT_EQ(lines_[0], "D1 -d\"" + DataFile() + "\" -a\"program\" -b\"dlgrabflash.bsd\";");
}

TEST_F(ProgrammingFlow, ARelativeDataNameIsAnIscFileOfTheFirmwareFolder) {
  // A folder registered with its slash gets no second one.
  firmwaretest::SetBoardString(L"FirmwarePath", folder_.Path() + "/");
  folder_.Write("relative.isc", firmwaretest::ReadFile(DataFile()));
  EXPECT_EQ(ProgramFlash("test.inf", "relative"), 0);
  ExpectProgrammed(*flash_);
  ASSERT_EQ(lines_.size(), 1u);
  EXPECT_EQ(lines_[0],
            "D1 -b\"dlgrabflash.bsd\" -d\"" + folder_.Path() + "/relative.isc\" -a\"program\";");
}

TEST_F(ProgrammingFlow, APatchFileProgramsATemporaryCopy) {
  // The caller's file holds a line the engine refuses; the patch takes it out again.
  std::string data = firmwaretest::ReadFile(DataFile());
  data.insert(data.find("  DATA array0"), "NOT_FOR_THIS_BOARD\n-- kept\n");
  folder_.Write("patched.firmware", data);
  folder_.Write("bsdl_1532/fix.inf",
                "[ADD]\n-- patched for the test\n[END]\n[REMOVE]\n"
                " not_for_this_board\t\r\n[END]\n");
  folder_.Write("bsdl_1532/patch.inf", "[0x0d1a1093] -b dlgrabflash.bsd -d fix *\n");
  const std::string caller = folder_.Path() + "/patched.firmware";
  EXPECT_EQ(ProgramFlash("patch.inf", caller), 0);
  ExpectProgrammed(*flash_);
  ASSERT_EQ(lines_.size(), 1u);
  EXPECT_NE(lines_[0].find("-d\"" + folder_.Temp() + "/tempisc.isc\""), std::string::npos);
  EXPECT_FALSE(fs::exists(folder_.Temp() + "/tempisc.isc"));
  EXPECT_EQ(firmwaretest::ReadFile(caller), data);

  // Unpatched, the engine refuses the same file.
  folder_.Write("bsdl_1532/nopatch.inf", "[0x0d1a1093] -b dlgrabflash.bsd -d * *\n");
  EXPECT_EQ(ProgramFlash("nopatch.inf", caller), 1);

  // A patch file that is not there fails the run.
  folder_.Write("bsdl_1532/badpatch.inf", "[0x0d1a1093] -b dlgrabflash.bsd -d nosuch *\n");
  EXPECT_EQ(ProgramFlash("badpatch.inf", caller), 1);
  EXPECT_FALSE(fs::exists(folder_.Temp() + "/tempisc.isc"));

  // A copy that cannot be written fails, also when its last line is too long to be buffered.
  folder_.Write("long.firmware", data + "--" + std::string(65536, 'x') + "\n");
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit noWrites = saved;
  noWrites.rlim_cur = 0;
  setrlimit(RLIMIT_FSIZE, &noWrites);
  const int copied = CBoardJtagPort(nullptr).ApplyPatchFile(
      (folder_.Path() + "/long.firmware").c_str(), (folder_.Temp() + "/short.isc").c_str(),
      (folder_.Path() + "/bsdl_1532/fix.inf").c_str());
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(copied, 1);
  // The copy: the added lines after the header, only the listed lines removed.
  const std::string kept = folder_.Temp() + "/kept.isc";
  ASSERT_EQ(CBoardJtagPort(nullptr).ApplyPatchFile(caller.c_str(), kept.c_str(),
                                                   (folder_.Path() + "/bsdl_1532/fix.inf").c_str()),
            0);
  const std::string patched = firmwaretest::ReadFile(kept);
  EXPECT_EQ(patched.find("NOT_FOR_THIS_BOARD"), std::string::npos);
  EXPECT_NE(patched.find(")\n-- patched for the test\n"), std::string::npos) << patched;
  EXPECT_NE(patched.find("\n-- kept\n  DATA array0"), std::string::npos) << patched;
}

}  // namespace

// The discovery script from a file: its one line is thousands of characters long.
TEST_F(ProgrammingFlow, RunsTheIdcodeActionOfAScriptFile) {
  folder_.Write("readid.stp", zor::firmware::IdCodeScript());
  const std::string script = folder_.Path() + "/readid.stp";
  CSimJtagChain chain;
  chain.AddDevice(Flash());
  chain.AddDevice(Bypassed(4, 0x1234567F));
  const auto openFiles = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); };
  const auto before = openFiles();
  EXPECT_EQ(CBoardJtagPort(&chain).RunStaplFile(script.c_str()), 0);
  EXPECT_EQ(openFiles(), before);  // the script's file closed again

  CSimJtagChain empty;
  EXPECT_EQ(CBoardJtagPort(&empty).RunStaplFile(script.c_str()), 1);
  EXPECT_EQ(CBoardJtagPort(&chain).RunStaplFile((folder_.Path() + "/missing.stp").c_str()), 1);
  const std::string fifo = folder_.Path() + "/fifo.stp";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(CBoardJtagPort(&chain).RunStaplFile(fifo.c_str()), 1);  // refused, not waited on
}
