// Command records: the input's first 512 bytes are the record the host hands to the driver's
// command entry, its plain fields as the input has them. The driver takes a slot's value word
// as an address by the slot's place in its opcode, whatever the type code says (the host
// always puts an address there), so no value word comes from the input: each points at a
// buffer of ours, filled from the rest of the input and ended with zeros, with a count that
// fits it, and a function slot is null. A blind address would only test the harness.
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "driver/frameworkuser/decoder/commanddecoder.h"
#include "platform/host/zor.h"

namespace {

constexpr size_t kBufferWords = 512;

// The driver reads its settings from the registry and writes dumps to the temporary folder:
// both go to a folder of this process's own.
class Sandbox {
 public:
  Sandbox() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zorfuzz.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) abort();
    root_ = pattern;
    setenv("ZOR_REGISTRY_ROOT", root_.c_str(), 1);
    setenv("TEMP", root_.c_str(), 1);
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
  }
  ~Sandbox() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

 private:
  std::string root_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Sandbox sandbox;
  auto record = std::make_unique<QDCommandRecord>();
  std::memcpy(record.get(), data, std::min(size, sizeof(QDCommandRecord)));
  const uint8_t* payload = data + std::min(size, sizeof(QDCommandRecord));
  const size_t payloadSize = size - std::min(size, sizeof(QDCommandRecord));

  // One allocation a slot, so that a write past one buffer is caught.
  std::array<std::vector<uint64_t>, QD_MAX_PARAMS> buffers;
  for (int i = 0; i < QD_MAX_PARAMS; ++i) {
    QDCommandParam& param = record->params[i];
    if ((param.type & 0x1F) == QD_TYPE_FUNCTION) {
      param.value.pointer = nullptr;
      continue;
    }
    // The last word stays zero: a text always ends inside its buffer.
    buffers[i].assign(kBufferWords, 0);
    std::memcpy(buffers[i].data(), payload, std::min(payloadSize, (kBufferWords - 1) * 8));
    param.value.pointer = buffers[i].data();
    const int64_t elements = static_cast<int64_t>(kBufferWords);
    param.count = param.count < 0 ? 0 : param.count % (elements + 1);
  }
  QDDravionLynCommandDecoder(record.get());
  return 0;
}
