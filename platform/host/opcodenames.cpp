#include "platform/host/opcodenames.h"

#include "interfaces/hostcommand/opcodes.h"

namespace zorhost {
namespace {

struct OpcodeName {
  uint16_t opcode;
  const wchar_t* name;
};

constexpr OpcodeName kNames[] = {
    {zor::hostcommand::kSysAlloc, L"QsysAlloc"},
    {zor::hostcommand::kSysFree, L"QsysFree"},
    {zor::hostcommand::kSysInquire, L"QsysInquire"},
    {zor::hostcommand::kSysIoCommand, L"QsysIoCommand"},
    {zor::hostcommand::kSysControl, L"QsysControl"},
    {zor::hostcommand::kSysHookFunction, L"QsysHookFunction"},
    {zor::hostcommand::kSysGetHookInfo, L"QsysGetHookInfo"},
    {zor::hostcommand::kBufFree, L"QbufFree"},
    {zor::hostcommand::kBufGetRegion, L"QbufGet2d"},
    {zor::hostcommand::kBufPutRegion, L"QbufPut2d"},
    {zor::hostcommand::kBufGetBandRegion, L"QbufGetColor2d"},
    {zor::hostcommand::kBufPutBandRegion, L"QbufPutColor2d"},
    {zor::hostcommand::kBufInquire, L"QbufInquire"},
    {zor::hostcommand::kBufControl, L"QbufControl"},
    {zor::hostcommand::kBufAlloc, L"QbufAllocColor"},
    {zor::hostcommand::kBufChildBand, L"QbufChildColor2d"},
    {zor::hostcommand::kBufCopy, L"QbufCopy"},
    {zor::hostcommand::kBufCopyRegion, L"QbufCopyColor2d"},
    {zor::hostcommand::kBufCopyClip, L"QbufCopyClip"},
    {zor::hostcommand::kBufTransfer, L"QbufTransfer"},
    {zor::hostcommand::kDigAlloc, L"QdigAlloc"},
    {zor::hostcommand::kDigFree, L"QdigFree"},
    {zor::hostcommand::kDigGrab, L"QdigGrab"},
    {zor::hostcommand::kDigHalt, L"QdigHalt"},
    {zor::hostcommand::kDigGrabAbort, L"QdigGrabAbort"},
    {zor::hostcommand::kDigInquire, L"QdigInquire"},
    {zor::hostcommand::kDigControl, L"QdigControl"},
    {zor::hostcommand::kDigGrabWait, L"QdigGrabWait"},
    {zor::hostcommand::kDigHookFunction, L"QdigHookFunction"},
    {zor::hostcommand::kDigGrabContinuous, L"QdigGrabContinuous"},
    {zor::hostcommand::kDigProcess, L"QdigProcess"},
    {zor::hostcommand::kDigGetHookInfo, L"QdigGetHookInfo"},
    {zor::hostcommand::kDigControlFeature, L"QdigControlFeature"},
    {zor::hostcommand::kDigInquireFeature, L"QdigInquireFeature"},
    {zor::hostcommand::kThrAlloc, L"QthrAlloc"},
    {zor::hostcommand::kThrControl, L"QthrControl"},
    {zor::hostcommand::kThrFree, L"QthrFree"},
    {zor::hostcommand::kThrInquire, L"QthrInquire"},
    {zor::hostcommand::kThrWait, L"QthrWait"},
    {zor::hostcommand::kThrWaitMultiple, L"QthrWaitMultiple"},
};

}  // namespace

const wchar_t* OpcodeFunctionName(QINT64 opcode) {
  for (const OpcodeName& entry : kNames) {
    if (entry.opcode == opcode) return entry.name;
  }
  return L"";
}

}  // namespace zorhost
