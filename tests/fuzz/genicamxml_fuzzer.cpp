// GenICam XML: loads the text as a device description, then reads every readable node and
// writes its value back, against a port whose registers hold a fixed pattern. Only GenICam
// exceptions are the runtime's way to refuse; anything else escaping is a fault.
#include <cstdint>

#include "platform/genapi/genapi.h"

namespace {

using namespace GenApi;

// Registers hold a pattern of their address; writes are accepted and forgotten.
class PatternPort : public IPort {
 public:
  EAccessMode GetAccessMode() const override { return RW; }
  void Read(void* buffer, int64_t address, int64_t length) override {
    Check(length);
    auto* out = static_cast<uint8_t*>(buffer);
    for (int64_t i = 0; i < length; ++i) {
      out[i] =
          static_cast<uint8_t>((static_cast<uint64_t>(address) + static_cast<uint64_t>(i)) * 0x9Du);
    }
  }
  void Write(const void*, int64_t, int64_t length) override { Check(length); }

 private:
  // A device refuses transfers no register could hold.
  static void Check(int64_t length) {
    if (length < 0 || length > kLargestTransfer) {
      throw GENICAM_EXCEPTION_REPORTER(InvalidArgumentException)("transfer of %lld bytes",
                                                                 static_cast<long long>(length));
    }
  }
  static constexpr int64_t kLargestTransfer = 1 << 20;
};

void Exercise(INode* node) {
  const EAccessMode access = node->GetAccessMode();
  node->GetCachingMode();
  auto* value = dynamic_cast<IValue*>(node);
  if (value == nullptr || !IsReadable(access)) return;
  const gcstring text = value->ToString();
  if (auto* integer = dynamic_cast<IInteger*>(node)) {
    integer->GetMin();
    integer->GetMax();
    integer->GetInc();
  } else if (auto* real = dynamic_cast<IFloat*>(node)) {
    real->GetMin();
    real->GetMax();
  } else if (auto* enumeration = dynamic_cast<IEnumeration*>(node)) {
    NodeList_t entries;
    enumeration->GetEntries(entries);
  }
  // Commands would act; every other value goes back as it was read.
  if (IsWritable(access) && dynamic_cast<ICommand*>(node) == nullptr) value->FromString(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CNodeMapRef map;
  try {
    map._LoadXMLFromString(gcstring(reinterpret_cast<const char*>(data), size));
  } catch (const GenICam::GenericException&) {
    return 0;
  }
  PatternPort port;
  NodeList_t nodes;
  map._GetNodes(nodes);
  for (INode* node : nodes) {
    if (node->GetPrincipalInterfaceType() == intfIPort) map._Connect(&port, node->GetName());
  }
  for (INode* node : nodes) {
    try {
      Exercise(node);
    } catch (const GenICam::GenericException&) {
    }
  }
  return 0;
}
