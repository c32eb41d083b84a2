// ChainReadCommandFile: the chain's devices, BSDL, data files and actions, from the command file.
#include <cctype>

#include "driver/ieee1532/bsdl/bsdlparser.h"
#include "driver/ieee1532/chain/chaindevice.h"
#include "driver/ieee1532/engine/iscengineglobals.h"
#include "driver/ieee1532/host/iscport.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

namespace {

[[noreturn]] void Fail(IscInputFile& in, const char* text) {
  IscReportMessage(kIscError, text, true, &in);
  throw EngineStop{};
}

void Next(IscInputFile& in) { InputFileNextToken(in, kIscTokenSkipSpace); }

// A file name: one token, or a double-quoted text taken as written. Names keep their case.
std::string ReadFileName(IscInputFile& in) {
  Next(in);
  if (in.tokenKind == kIscTokenName || in.tokenKind == kIscTokenNumber) return in.token;
  if (!InputFileTokenIsChar(in, '"')) Fail(in, "Invalid data format");
  std::string name;
  bool warned = false;
  while (true) {
    InputFileGetChar(in, false);
    if (in.eof) Fail(in, "Terminate device description with ';'");
    if (in.current == '"') break;
    if ((in.current == '\n' || in.current == '\r') && !warned) {
      IscReportMessage(kIscWarning, "data/string spans multiple lines", true, &in);
      warned = true;
    }
    if (in.current == '\n' || in.current == '\r') continue;
    name += static_cast<char>(in.current);
    if (name.size() > kIscTokenCapacity) {
      IscReportf(kIscError, true, &in, "data/string longer than [%d] characters",
                 static_cast<int>(kIscTokenCapacity));
    }
  }
  return name;
}

void ReadAction(IscInputFile& in, ChainDevice& device) {
  Next(in);
  bool quoted = InputFileTokenIsChar(in, '"');
  if (quoted) Next(in);
  if (in.tokenKind != kIscTokenName) Fail(in, "Action expected");
  device.action = in.lowerToken;
  Next(in);
  if (InputFileTokenIsChar(in, '(')) {
    Next(in);
    if (in.tokenKind != kIscTokenName) Fail(in, "action data name expected");
    device.actionData = in.lowerToken;
    Next(in);
    if (!InputFileTokenIsChar(in, ')')) Fail(in, "action data name expected");
    Next(in);
  }
  if (quoted) {
    if (!InputFileTokenIsChar(in, '"')) Fail(in, "Char [\"] not found");
  } else {
    InputFilePushBackToken(in);
  }
}

void ReadBsdl(IscInputFile& in, ChainDevice& device) {
  std::string path = IscPortBsdlFolder() + ReadFileName(in);
  if (FILE* test = OpenFileChecked(path.c_str(), "t")) {
    fclose(test);
  } else {
    IscReportf(kIscError, true, &in, "BSDL file [%s] does not exist", path.c_str());
  }
  IscMessagef(kIscLinePlain, "--> Reading BSDL file [%s]", path.c_str());
  uint8_t source = IscPortCommandSource();
  IscPortSetCommandSource(1);
  BsdlEntity& entity = IscEngineNewEntity();
  IscInputFile bsdl;
  InputFileInit(bsdl, path);
  InputFileReopen(bsdl, "r");
  BsdlParseFile(entity, bsdl);
  IscPortSetCommandSource(source);
  device.entity = &entity;
}

void ReadDataFile(IscInputFile& in, ChainDevice& device) {
  std::string path = ReadFileName(in);
  if (FILE* test = OpenFileChecked(path.c_str(), "t")) {
    fclose(test);
  } else {
    IscReportf(kIscError, true, &in, "ISC data file [%s] does not exist", path.c_str());
  }
  IscDataFile& data = IscEngineNewDataFile();
  InputFileInit(data.input, path);
  device.data = &data;
}

void ReadInstructionLength(IscInputFile& in, ChainDevice& device) {
  std::string digits = in.token.substr(1);
  if (digits.empty()) {
    device.irLength = InputFileReadInteger(in);
  } else {
    for (char c : digits) {
      if (!std::isdigit(static_cast<unsigned char>(c))) Fail(in, "use decimal numbers only");
    }
    if (!IscDecimalValue(digits, device.irLength)) {
      IscReportf(kIscError, true, &in, "Number [%s] out of range", digits.c_str());
    }
  }
  // The length sizes the scan buffers and every instruction shift.
  if (device.irLength < 0) Fail(in, "Positive number expected");
  if (device.irLength > kBsdlMaxRegisterLength) {
    IscReportf(kIscError, true, &in, "Instr reg length [%ld] exceeds [%ld] bits",
               static_cast<long>(device.irLength), static_cast<long>(kBsdlMaxRegisterLength));
  }
}

void ReadOption(IscInputFile& in, ChainDevice& device) {
  Next(in);
  if (in.tokenKind != kIscTokenName) Fail(in, "Unknown command");
  const std::string word = in.lowerToken;
  if (word == "a") {
    ReadAction(in, device);
  } else if (word == "b") {
    ReadBsdl(in, device);
  } else if (word == "d") {
    ReadDataFile(in, device);
  } else if (word[0] == 'i' &&
             (word.size() == 1 || std::isdigit(static_cast<unsigned char>(word[1])))) {
    ReadInstructionLength(in, device);
  } else if (word == "o") {
    device.output = std::make_unique<IscInputFile>();
    InputFileInit(*device.output, ReadFileName(in));
  } else if (word == "data_isc") {
    device.iscOutput = true;
  } else if (word == "skip_dev") {
    device.skip = true;
  } else {
    Fail(in, "Unknown option");
  }
}

}  // namespace

int ChainReadCommandFile(IscInputFile& record) {
  Chain& chain = IscEngineChain();
  record.commentChar = '/';
  while (true) {
    Next(record);
    if (record.eof) break;
    if (record.tokenKind != kIscTokenName) Fail(record, "JTAG device description expected");
    if (chain.devices.size() >= kChainMaxDevices) {
      IscReportf(kIscError, true, &record, "More than [%ld] devices in the chain",
                 static_cast<long>(kChainMaxDevices));
    }
    for (const auto& known : chain.devices) {
      if (known->name == record.lowerToken) Fail(record, "Device name already exists");
    }
    auto device = std::make_unique<ChainDevice>();
    device->name = record.lowerToken;
    device->position = static_cast<int64_t>(chain.devices.size());
    while (true) {
      Next(record);
      if (record.eof) Fail(record, "Terminate device description with ';'");
      if (InputFileTokenIsChar(record, ';')) break;
      if (!InputFileTokenIsChar(record, '-')) Fail(record, "Unknown command");
      ReadOption(record, *device);
    }
    chain.devices.push_back(std::move(device));
  }
  return 1;
}

}  // namespace zor::isc
