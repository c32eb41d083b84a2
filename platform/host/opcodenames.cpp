#include "platform/host/opcodenames.h"

#include "platform/host/opcodes.h"

namespace zorhost {
namespace {

struct OpcodeName {
  uint16_t opcode;
  const wchar_t* name;
};

constexpr OpcodeName kNames[] = {
    {qdop::kSysAlloc, L"QsysAlloc"},
    {qdop::kSysFree, L"QsysFree"},
    {qdop::kSysInquire, L"QsysInquire"},
    {qdop::kSysControl, L"QsysControl"},
    {qdop::kBufFree, L"QbufFree"},
    {qdop::kBufGetRegion, L"QbufGet2d"},
    {qdop::kBufPutRegion, L"QbufPut2d"},
    {qdop::kBufGetBandRegion, L"QbufGetColor2d"},
    {qdop::kBufPutBandRegion, L"QbufPutColor2d"},
    {qdop::kBufInquire, L"QbufInquire"},
    {qdop::kBufControl, L"QbufControl"},
    {qdop::kBufAlloc, L"QbufAllocColor"},
    {qdop::kDigAlloc, L"QdigAlloc"},
    {qdop::kDigFree, L"QdigFree"},
    {qdop::kDigGrab, L"QdigGrab"},
    {qdop::kDigHalt, L"QdigHalt"},
    {qdop::kDigInquire, L"QdigInquire"},
    {qdop::kDigControl, L"QdigControl"},
    {qdop::kDigGrabWait, L"QdigGrabWait"},
    {qdop::kDigHookFunction, L"QdigHookFunction"},
    {qdop::kDigGrabContinuous, L"QdigGrabContinuous"},
    {qdop::kDigProcess, L"QdigProcess"},
    {qdop::kDigGetHookInfo, L"QdigGetHookInfo"},
    {qdop::kDigControlFeature, L"QdigControlFeature"},
    {qdop::kDigInquireFeature, L"QdigInquireFeature"},
    {qdop::kThrAlloc, L"QthrAlloc"},
    {qdop::kThrControl, L"QthrControl"},
    {qdop::kThrFree, L"QthrFree"},
    {qdop::kThrInquire, L"QthrInquire"},
    {qdop::kThrWait, L"QthrWait"},
};

}  // namespace

const wchar_t* OpcodeFunctionName(QINT64 opcode) {
  for (const OpcodeName& entry : kNames) {
    if (entry.opcode == opcode) return entry.name;
  }
  return L"";
}

}  // namespace zorhost
