// The programming flow: discover the chain with the STAPL player, write one engine command line
// per device from the chain description file, and run the IEEE 1532 engine on those lines.
#include <cstdio>
#include <string>
#include <vector>

#include "driver/firmware/flow/descriptionline.h"
#include "driver/firmware/flow/discoveryscripts.h"
#include "driver/firmware/flow/readline.h"
#include "driver/firmware/flow/tempfolder.h"
#include "driver/firmware/jtagprogrammer.h"
#include "driver/firmware/staplplayer.h"
#include "driver/foundation/conversions.h"
#include "driver/foundation/folders.h"
#include "driver/ieee1532/engine/iscengine.h"
#include "platform/os/process/regular_file.h"

namespace zor::firmware {
namespace {

using foundation::CZORString;
using foundation::CZORStringAscii;

constexpr const char* kTempDataFile = "tempisc.isc";

bool IsAbsolute(const std::string& path) { return !path.empty() && path.front() == '/'; }

std::string Joined(std::string folder, const std::string& name) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder + name;
}

// What the description file makes of one device.
struct DeviceLine {
  bool found = false;
  std::vector<DescriptionOption> options;
};

DeviceLine FindDevice(FILE* description, uint32_t idcode) {
  DeviceLine device;
  const std::string token = IdCodeToken(idcode);
  std::vector<DescriptionOption> options;
  std::rewind(description);
  std::string line;
  // Every matching line counts, so the last one wins.
  while (ReadLine(description, line)) {
    if (MatchDescriptionLine(line, token, options)) {
      device.found = true;
      device.options = options;
    }
  }
  return device;
}

int RunStapl(uint8_t deviceNumber, const std::string& script, uint8_t& count, uint32_t& value) {
  std::vector<char> text(script.begin(), script.end());
  StaplPlayerRequest request{deviceNumber, text.data(), static_cast<int32_t>(text.size()),
                             "READ_IDCODE"};
  const int result = RunStaplPlayer(&request);
  count = static_cast<uint8_t>(text[0]);
  value = 0;
  for (int i = 0; i < 4; ++i) value |= uint32_t{static_cast<uint8_t>(text[1 + i])} << (8 * i);
  return result;
}

}  // namespace

std::string GetTempFolderAscii() {
  // An unset TEMP falls back to the system's temporary folder, never to the root.
  CZORString wide;
  foundation::GetFolderVariable(L"TEMP", wide);
  CZORStringAscii narrow;
  foundation::WideToAnsiEx(wide.CStr(), narrow, false);
  std::string folder = narrow.CStr();
  // One separator only: "//" would start a comment in the engine's command text.
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  return folder + '/';
}

int CJtagProgrammer::Program(const char* descriptionPath, const char* dataPath,
                             ProgressWindow window) {
  actionName_.Assign("program");
  return Run(descriptionPath, dataPath, std::move(window));
}

int CJtagProgrammer::CountDevices(uint8_t& count) {
  uint32_t unused = 0;
  return RunStapl(0, DeviceCountScript(), count, unused);
}

int CJtagProgrammer::ReadIdCodes(uint8_t deviceNumber, uint32_t& idcode) {
  uint8_t count = 0;
  return RunStapl(deviceNumber, IdCodeScript(), count, idcode);
}

int CJtagProgrammer::RunStaplFile(const char* path) {
  FILE* file = os::OpenRegularFile(path, "rb");
  if (file == nullptr) return 1;
  std::string script;
  // Lines longer than the buffer arrive in pieces, all of them kept.
  char line[200];
  while (std::fgets(line, sizeof(line), file) != nullptr) script += line;
  std::fclose(file);
  uint8_t count = 0;
  uint32_t value = 0;
  return RunStapl(0, script, count, value);
}

int CJtagProgrammer::Run(const char* descriptionPath, const char* dataPath, ProgressWindow window) {
  progressWindow_ = std::move(window);
  progressCounter_ = 0;
  const std::string description =
      IsAbsolute(descriptionPath) ? descriptionPath : Joined(bsdlFolder_.CStr(), descriptionPath);
  std::string callerData = dataPath;
  if (!IsAbsolute(callerData)) {
    callerData = Joined(firmwareFolder_.CStr(), callerData);
    if (callerData.find(".isc") == std::string::npos) callerData += ".isc";
  }
  if (bsdlFolder_.Length() > 0 && bsdlFolder_.CStr()[bsdlFolder_.Length() - 1] != '/') {
    bsdlFolder_.AppendText("/");
  }
  const std::string tempPath = GetTempFolderAscii() + kTempDataFile;
  bool madeTemp = false;
  const int result = RunChain(description, callerData, tempPath, madeTemp);
  if (descriptionFile_ != nullptr) {
    std::fclose(descriptionFile_);
    descriptionFile_ = nullptr;
  }
  if (madeTemp) std::remove(tempPath.c_str());
  return result;
}

// The data file the device lines name: the caller's until a data option patches it into the
// temporary file.
struct CJtagProgrammer::ChainDataFiles {
  const std::string& caller;
  const std::string& temp;
  std::string current;
  bool& madeTemp;
};

int CJtagProgrammer::RunChain(const std::string& description, const std::string& callerData,
                              const std::string& tempPath, bool& madeTemp) {
  descriptionFile_ = os::OpenRegularFile(description, "r");
  if (descriptionFile_ == nullptr) return 2;
  uint8_t count = 0;
  const int counted = CountDevices(count);
  if (count >= kLineCount) return 3;
  if (counted != 0) return 1;
  ChainDataFiles files{callerData, tempPath, callerData, madeTemp};
  for (int n = count; n >= 1; --n) {
    if (WriteDeviceLine(n, count, files) != 0) return 1;
  }
  if (count < kLineCount) lines_[count].Assign("");
  if (CountDevices(count) != 0) return 1;
  std::fclose(descriptionFile_);
  descriptionFile_ = nullptr;
  return RunEngine();
}

// Lines are numbered from the chain count down to 1: line n stands at lines_[count - n].
int CJtagProgrammer::WriteDeviceLine(int n, uint8_t count, ChainDataFiles& files) {
  uint32_t idcode = 0;
  if (ReadIdCodes(static_cast<uint8_t>(n), idcode) != 0) return 1;
  const DeviceLine device = FindDevice(descriptionFile_, idcode);
  if (!device.found) return 1;
  std::string line = "D" + std::to_string(n);
  for (const DescriptionOption& option : device.options) {
    if (AppendOption(option, files, line) != 0) return 1;
  }
  lines_[count - n].Assign((line + ";").c_str());
  return 0;
}

int CJtagProgrammer::AppendOption(const DescriptionOption& option, ChainDataFiles& files,
                                  std::string& line) {
  if (option.kind == 'i') {
    line += " -i" + option.value;
    return 0;
  }
  if (option.kind == 'b') {
    line += " -b\"" + option.value + "\"";
    return 0;
  }
  if (option.value.find('*') == std::string::npos) {
    // Always from the caller's file, so a second patch never reads its own output.
    const std::string patch = bsdlFolder_.CStr() + option.value + ".inf";
    files.madeTemp = true;
    if (ApplyPatchFile(files.caller.c_str(), files.temp.c_str(), patch.c_str()) != 0) return 1;
    files.current = files.temp;
  }
  line += " -d\"" + files.current + "\" -a\"" + actionName_.CStr() + "\"";
  return 0;
}

int CJtagProgrammer::RunEngine() {
  std::string arguments[] = {"rurura", "-checkinpfiles", "-i", ""};
  char* argv[] = {arguments[0].data(), arguments[1].data(), arguments[2].data(),
                  arguments[3].data()};
  commandSource_ = 0;
  int result = 0;
  try {
    result = isc::IscEngineMain(4, argv);
  } catch (const isc::EngineStop&) {
    return 1;
  }
  return failure_ != 0 ? 1 : result;
}

}  // namespace zor::firmware
