// BSDL files: parses the text as the engine reads a device's BSDL file and, when it parses,
// lists what it found. The engine stops on bad input by throwing the integer 1.
#include <cstdint>
#include <string>

#include "driver/ieee1532/bsdl/bsdlparser.h"
#include "tests/fuzz/quietiscport.h"

using namespace zor::isc;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QuietIscPort port;
  try {
    BsdlEntity entity;
    IscInputFile input;
    InputFileInit(input, "fuzz.bsd");
    InputFileSetText(input, std::string(reinterpret_cast<const char*>(data), size));
    if (BsdlParseFile(entity, input) == 1) {
      BsdlDumpInfo(entity);
      BsdlDumpFlows(entity);
    }
  } catch (const EngineStop&) {
  }
  return 0;
}
