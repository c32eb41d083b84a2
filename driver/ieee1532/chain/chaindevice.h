// ChainDevice and Chain: the JTAG chain as the command file describes it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "driver/ieee1532/bsdl/bsdlentity.h"
#include "driver/ieee1532/isc/iscdatafile.h"
#include "driver/ieee1532/text/iscinputfile.h"

namespace zor::isc {

struct ChainConcurrentState;

// A chain holds at most this many devices, and its scans at most this many bits; real chains hold
// a few devices of some thousand bits.
constexpr size_t kChainMaxDevices = 1024;
constexpr int64_t kChainMaxScanBits = int64_t{1} << 24;

// One device of the JTAG chain, as the command file names it.
struct ChainDevice {
  std::string name;  // lower case
  std::string action;
  std::string actionData;
  BsdlEntity* entity = nullptr;
  std::unique_ptr<IscInputFile> output;
  int64_t irLength = 0;
  bool skip = false;
  bool iscOutput = false;
  std::unique_ptr<ChainConcurrentState> concurrent;
  IscDataFile* data = nullptr;
  IscDataLookup lookup;
  int64_t position = 0;  // in the command file, from 0

  ChainDevice();
  ~ChainDevice();
  ChainDevice(const ChainDevice&) = delete;
  ChainDevice& operator=(const ChainDevice&) = delete;
};

// The devices in command-file order: the first is nearest TDO.
struct Chain {
  std::vector<std::unique_ptr<ChainDevice>> devices;
  // Work buffers sized by the chain summary.
  std::string tdiText, tdoText, expected, mask;
  int64_t maxRegister = 0;
};

Chain& IscEngineChain();

int ChainReadCommandFile(IscInputFile& record);
int ChainValidateActions(Chain& chain);
void ChainPrintSummary(Chain& chain, int mode);
const BsdlAction* ChainFindAction(const ChainDevice& device);
// Length of the data register an action's activities use at most.
int64_t ChainActionRegisterLength(const ChainDevice& device);
// Text of an action for messages: "name" or "name(data)".
std::string ChainActionText(const ChainDevice& device);
void ChainPrintCommandFileHelp();

}  // namespace zor::isc
