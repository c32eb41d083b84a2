// MCS PROM files: counts the bytes a file covers, then walks them word by word, as the engine
// does when it programs a PROM from one.
#include <cstdint>
#include <string>

#include "driver/ieee1532/mcs/mcsfile.h"
#include "tests/fuzz/quietiscport.h"

using namespace zor::isc;

namespace {

void Open(IscInputFile& input, const std::string& text) {
  InputFileInit(input, "fuzz.mcs");
  InputFileSetText(input, text);
  input.commentChar = 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QuietIscPort port;
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    IscInputFile counted;
    Open(counted, text);
    McsCountBytes(counted);
    IscInputFile walked;
    Open(walked, text);
    McsIterator iterator;
    iterator.input = &walked;
    uint16_t word = 0;
    uint32_t address = 0;
    while (McsNextWord(iterator, word, address)) {
    }
  } catch (const EngineStop&) {
  }
  return 0;
}
