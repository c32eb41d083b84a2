// The board system's digitizer hooks: each host hook type is an element of the
// digitizer's hook set and a device-event type that a hook thread waits for.
#include <algorithm>
#include <cstring>

#include "driver/board/digitizer/qdhwspecdigitizerinfo.h"
#include "driver/board/system/qdhwspecsystem.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/protocol/eventinfotypes.h"
#include "platform/host/hostservices.h"

namespace zor::board {

namespace {

using errorcode::kDigitizerHookError;
using errorcode::kInvalidHookInfo;
using namespace protocol;
constexpr int64_t kGenICamHookType = 26;
// Either flag may ride on the GenICam layer's hook type, not both.
constexpr int64_t kGenICamHookFlags = 0x41000000;

struct HookRow {
  int64_t hookType;
  uint64_t eventBase;
  bool notify;
};

constexpr HookRow kHookRows[] = {
    {Q_GRAB_START, 0x10070000, false},
    {Q_GRAB_END, 0x10080000, false},
    {13, 0x10090000, false},
    {Q_GRAB_FRAME_END, 0x100A0000, false},
    {14, 0x10010000, false},
    {15, 0x10020000, false},
    {16, 0x10030000, false},
    {20, 0x100C0000, true},
    {21, 0x100D0000, true},
    {22, 0x100E0000, true},
    {8, 0x10040000, false},
    {6, 0x10050000, false},
    {7, 0x10060000, false},
    {5315, 0x10110000, true},
    {9, 0x100B0000, true},
    {5300, 0x10120000, true},
};

const HookRow* FindRow(int64_t hookType) {
  for (const HookRow& row : kHookRows) {
    if (row.hookType == hookType) return &row;
  }
  return nullptr;
}

// The words of a board event's record that the information types answer, and what makes one
// valid: the event names a buffer. The buffer's index (kEventBufferIndex) and the record's bytes
// are answered apart.
enum class ValidWhen { kAlways, kHostBuffer };
struct EventWord {
  int64_t infoType;
  uint64_t kernel::BoardEventPayload::*field;
  ValidWhen valid;
};
constexpr EventWord kEventWords[] = {
    {kEventHostBuffer, &kernel::BoardEventPayload::hostBuffer, ValidWhen::kHostBuffer},
    {kEventFrameCount, &kernel::BoardEventPayload::frameCount, ValidWhen::kHostBuffer},
    {kEventField, &kernel::BoardEventPayload::field, ValidWhen::kHostBuffer},
    {kEventChannel, &kernel::BoardEventPayload::channel, ValidWhen::kHostBuffer},
    {kEventGrabCount, &kernel::BoardEventPayload::grabCount, ValidWhen::kHostBuffer},
    {kEventTimeStamp, &kernel::BoardEventPayload::timeStamp, ValidWhen::kAlways},
    {kEventType, &kernel::BoardEventPayload::eventType, ValidWhen::kAlways},
    {kEventHostDigitizer, &kernel::BoardEventPayload::hostDigitizer, ValidWhen::kAlways},
    {kEventSequence, &kernel::BoardEventPayload::sequence, ValidWhen::kAlways},
    {kEventIoState, &kernel::BoardEventPayload::ioState, ValidWhen::kAlways},
    {kEventIoStateAlias, &kernel::BoardEventPayload::ioState, ValidWhen::kAlways},
    {kEventIoSource, &kernel::BoardEventPayload::ioSource, ValidWhen::kAlways},
};

const EventWord* FindEventWord(int64_t infoType) {
  for (const EventWord& word : kEventWords) {
    if (word.infoType == infoType) return &word;
  }
  return nullptr;
}

bool Valid(const EventWord& word, const kernel::BoardEventPayload& record) {
  switch (word.valid) {
    case ValidWhen::kAlways:
      return true;
    case ValidWhen::kHostBuffer:
      return record.hostBuffer != 0;
  }
  return true;
}

// The record of one of the board's own hook events, and its bytes; null for any other event,
// whose data is no board record.
const uint8_t* ReadBoardEvent(int64_t event, kernel::BoardEventPayload& record) {
  int64_t objectType = 0;
  HostInternalInquire(event, Q_INTERNAL_OBJECT_TYPE, &objectType);
  if (objectType != Q_HOOK_EVENT) return nullptr;
  const auto* data =
      reinterpret_cast<const uint8_t*>(HostInternalInquire(event, Q_DRIVER_DATA, nullptr));
  if (data == nullptr) return nullptr;
  std::memcpy(&record, data, sizeof(record));
  return record.size == kernel::kBoardEventSize ? data : nullptr;
}

// The record's leading bytes, as many as the caller's variable holds on entry.
void AnswerRecordBytes(const uint8_t* data, int64_t* out, QDDriverThreadContext& ctx) {
  // The caller's variable is one 64-bit word: no copy may go beyond it.
  const int64_t bytes = out != nullptr ? *out : 0;
  if (bytes < 1 || bytes > static_cast<int64_t>(sizeof(int64_t))) {
    ctx.SetError(kInvalidHookInfo, 2, 0, 0);
  } else {
    std::memcpy(out, data, static_cast<size_t>(bytes));
  }
}

void AnswerEventWord(int64_t infoType, const kernel::BoardEventPayload& record, int64_t* out,
                     QDDriverThreadContext& ctx) {
  if (infoType == kEventBufferIndex) {
    if (out != nullptr) *out = record.bufferIndex;
    if (record.bufferIndex == -1) ctx.SetError(kInvalidHookInfo, 2, 0, 0);
    return;
  }
  const EventWord* word = FindEventWord(infoType);
  if (word == nullptr) {
    ctx.SetError(kInvalidHookInfo, 1, 0, 0);
    return;
  }
  const uint64_t value = record.*(word->field);
  if (out != nullptr) *out = static_cast<int64_t>(value);
  if (!Valid(*word, record)) ctx.SetError(kInvalidHookInfo, 2, 0, 0);
}

bool IsGenICamHookType(int64_t type) {
  return ((type - kGenICamHookType) & ~kGenICamHookFlags) == 0 &&
         type != kGenICamHookType + kGenICamHookFlags;
}

}  // namespace

uint64_t QDHwSpecSystem::DeviceEventType(int64_t hookType, const QDHwSpecDigitizerInfo& digitizer) {
  const HookRow* row = FindRow(hookType);
  return (row != nullptr ? row->eventBase : 0) | digitizer.Channel().Properties().channel;
}

void QDHwSpecSystem::SetDigEventNotification(int64_t hookType, QDHwSpecDigitizerInfo& digitizer,
                                             bool enable, QDDriverThreadContext& ctx) {
  foundation::CError error;
  kernel::DigChannelRequest request{};
  request.header = frame::FreshHeader(error);
  request.header.objectId = CallerKernelId(ctx);
  request.record = digitizer.CopyChannelBlock();
  request.type = static_cast<uint64_t>(hookType);
  request.value = enable ? kernel::kHookEnable : kernel::kHookDisable;
  frame::LLsysRequest(handles_, kernel::kDigChannelInit, request, error, &ctx);
}

int64_t QDHwSpecSystem::DigHookFunction(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const std::shared_ptr<QDHwSpecDigitizerInfo> digitizer = FindDigitizer(args.Int(0));
  if (digitizer == nullptr) return 1;
  int64_t type = args.Int(1);
  auto function = args.Pointer<std::remove_pointer_t<QHOOK_FUNCTION>>(2);
  void* user = args.Pointer<void>(3);
  if ((type & Q_UNHOOK) != 0) {
    type &= ~Q_UNHOOK;
    function = nullptr;
    user = nullptr;
  }
  const int64_t index = digitizer->GetIndex();
  const bool restart = digitizer->ContinuousGrab();
  const int64_t buffer = digitizer->ContinuousGrabBuffer();
  if (restart) {
    DigStopGrab(index, ctx);
    if (ctx.ErrorCode() != 0) ctx.SetError(0, 0, 0, 0);
  }

  if (IsGenICamHookType(type)) {
    QDGeniCamDeviceSystem::DigHookFunction(args, ctx);
  } else if (const HookRow* row = FindRow(type); row == nullptr) {
    ctx.SetError(kDigitizerHookError, 1, 0, 0);
  } else {
    foundation::ScopedLock lock(digitizerHookLock_);
    frame::CSingleHook* element = digitizer->Channel().Hooks().ForHookType(type);
    const bool running = ReplaceHook(*element, function, user);
    const uint64_t eventType = row->eventBase | digitizer->Channel().Properties().channel;
    foundation::CError error;
    if (function != nullptr && !running) {
      // A second hook of the same type only replaces the function: one thread
      // per type.
      UserHook().Start(eventType, this, element, HostObjectId(), error);
      error.Report(ctx);
      if (row->notify) SetDigEventNotification(type, *digitizer, true, ctx);
    } else if (function == nullptr && running) {
      if (row->notify) SetDigEventNotification(type, *digitizer, false, ctx);
      UserHook().Stop(eventType, error);
      error.Report(ctx);
    }
  }
  if (restart) GrabInto(index, buffer, -1, ctx);
  return 1;
}

int64_t QDHwSpecSystem::DigGetHookInfo(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const int64_t event = args.Int(0);
  const int64_t infoType = args.Int(1);
  auto* out = args.Pointer<int64_t>(2);
  auto* flag = args.Pointer<int64_t>(3);
  if (flag != nullptr) *flag = 0;
  // Feature events of the GenICam layer answer their own information; their
  // data is no board record.
  if (IsFeatureEvent(event)) return QDGeniCamDeviceSystem::DigGetHookInfo(args, ctx);
  kernel::BoardEventPayload record;
  const uint8_t* data = ReadBoardEvent(event, record);
  if (data == nullptr) {
    if (flag != nullptr) *flag = kNoInformation;
  } else if (infoType == kEventRecordBytes) {
    AnswerRecordBytes(data, out, ctx);
  } else {
    AnswerEventWord(infoType, record, out, ctx);
  }
  return 1;
}

}  // namespace zor::board
