// The XML file name of a host object's node map, by object and system type.
#include "driver/frameworkuser/genicam/genicamzortransportlayer/xmlfilename.h"

#include "driver/foundation/integerchecks.h"
#include "driver/frameworkuser/genicam/genicamcontrol/objectclasstable.h"
#include "driver/frameworkuser/genicam/genicamzortransportlayer/czortransportlayer.h"
#include "platform/host/hostservices.h"

namespace zor::genicam {
namespace {

constexpr int64_t kSequenceFlagsInquire = 1540;
constexpr int64_t kSequenceHasSystemName = 0x200;

using foundation::OneOf;

// The XML name of each system type (inquire Q_SYSTEM_TYPE) that has node maps of its own.
struct SystemTypeName {
  int64_t systemType;
  const wchar_t* name;
};
constexpr SystemTypeName kSystemTypeNames[] = {
    {22, L"ieee1394iidc"}, {58, L"gpu-display"}, {59, L"dravion-lyn"},   {60, L"gige-vision"},
    {63, L"usb3vision"},   {65, L"gentl"},       {1000, L"host_system"},
};

}  // namespace

std::wstring SystemTypeXmlName(int64_t systemType) {
  for (const SystemTypeName& entry : kSystemTypeNames) {
    if (entry.systemType == systemType) return entry.name;
  }
  return {};
}

std::wstring GetSystemTypeXmlName(const CZorTransportLayerBase& port) {
  int64_t type = 0;
  HostSysInquire(port.GetOwnerSystem(), Q_SYSTEM_TYPE, &type);
  return SystemTypeXmlName(type);
}

std::wstring CZorTransportLayerBase::GetXmlFileName() const {
  const int64_t type = GetObjectType();
  auto named = [this](const wchar_t* module) {
    return std::wstring(module) + L"_" + GetSystemTypeXmlName(*this) + L".xml";
  };
  if (type == Q_SYSTEM) return named(L"QsysControl");
  if (type == Q_DIGITIZER) return named(L"QdigControl");
  if (type == objecttype::kDisplay) return named(L"QdispControl");
  if (OneOf(type, {0x4, 0x40, 0x40000, 0x400000, 0x8000000, 0x80000000, 0x800000000000,
                   0x2000000000000})) {
    return named(L"QbufControl");
  }
  if (OneOf(type, {0x80, 0x100, 0x1000, 0x10000000})) return named(L"QthrControl");
  if (OneOf(type, {0x1000000, 0x200000000})) return named(L"QgraControl");
  if (type == objecttype::kSystemIo) return named(L"QsysIoControl");
  if (type == Q_SEQUENCE) {
    int64_t flags = 0;
    HostSeqInquire(GetObjectId(), Q_DEFAULT, kSequenceFlagsInquire, &flags);
    return (flags & kSequenceHasSystemName) != 0 ? named(L"QseqControl") : L"QseqControl.xml";
  }
  if (type == objecttype::kBlob) return L"QblobControl.xml";
  return {};
}

}  // namespace zor::genicam
