// Engine command text: reads the text as the engine's command file, then checks the chain's
// actions and sums up the chain, as a run does before it programs. BSDL files named with -b
// are looked up in the fuzz data's folder of files, ISC data files named with -d in the
// working folder (the replay test and scripts/fuzz.sh run there).
#include <cstdint>
#include <string>

#include "driver/ieee1532/chain/chaindevice.h"
#include "tests/fuzz/quietiscport.h"

using namespace zor::isc;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QuietIscPort port;
  port.bsdlFolder_.Assign(ZOR_FUZZ_FILES "/");
  try {
    IscInputFile record;
    InputFileInit(record, "fuzz.cmd");
    InputFileSetText(record, std::string(reinterpret_cast<const char*>(data), size));
    if (ChainReadCommandFile(record) == 1 && ChainValidateActions(IscEngineChain()) == 1) {
      ChainPrintSummary(IscEngineChain(), 1);
    }
  } catch (const EngineStop&) {
  }
  return 0;
}
