// Command records: the input's first 512 bytes are the record the host hands to the driver's
// command entry, every plain field as the input has it. Where a slot's type says its value
// word is an address, the value points at a buffer of ours instead (filled from the rest of
// the input and ended with zeros) and the count is bounded by that buffer, as the host keeps
// them; function pointers are null. A blind address would only test the harness.
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "driver/frameworkuser/decoder/commanddecoder.h"
#include "platform/host/zor.h"

namespace {

constexpr size_t kBufferWords = 512;

// Base types whose value word is the value itself.
bool IsScalarSlot(uint32_t type) {
  if ((type & (QD_TYPE_NARROW | QD_TYPE_WIDE | QD_TYPE_OUTPUT | QD_TYPE_ARRAY)) != 0) return false;
  switch (type & 0x1F) {
    case QD_TYPE_ID:
    case QD_TYPE_DOUBLE:
    case QD_TYPE_INT64:
    case QD_TYPE_INT32:
    case QD_TYPE_UINT32:
    case QD_TYPE_UINT64:
    case QD_TYPE_FLOAT:
    case QD_TYPE_UINT8:
    case QD_TYPE_BOOL:
    case QD_TYPE_INT16:
    case QD_TYPE_UINT16:
      return true;
    default:
      return false;
  }
}

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

  std::array<std::array<uint64_t, kBufferWords>, QD_MAX_PARAMS> buffers{};
  for (int i = 0; i < QD_MAX_PARAMS; ++i) {
    QDCommandParam& param = record->params[i];
    if (IsScalarSlot(param.type)) continue;
    if ((param.type & 0x1F) == QD_TYPE_FUNCTION) {
      param.value.pointer = nullptr;
      continue;
    }
    // The last eight bytes stay zero: a text always ends inside its buffer.
    auto* bytes = reinterpret_cast<uint8_t*>(buffers[i].data());
    std::memcpy(bytes, payload, std::min(payloadSize, sizeof(buffers[i]) - 8));
    param.value.pointer = bytes;
    const int64_t elements = static_cast<int64_t>(sizeof(buffers[i]) / 8);
    param.count = param.count < 0 ? 0 : param.count % (elements + 1);
  }
  QDDravionLynCommandDecoder(record.get());
  return 0;
}
