// QDDriverThreadContext: the thread's per-system items, its first error and its error texts.
#include "driver/frameworkuser/context/qddriverthreadcontext.h"

#include <algorithm>

#include "driver/foundation/log.h"
#include "driver/foundation/logtag.h"
#include "driver/frameworkuser/context/debugstop.h"
#include "driver/frameworkuser/context/escapedexception.h"
#include "driver/frameworkuser/context/textcopy.h"
#include "driver/frameworkuser/driver/qddevicedriver.h"
#include "driver/frameworkuser/errortable/messagetable.h"
#include "interfaces/hostcommand/opcodes.h"
#include "platform/os/sync/event.h"

using zor::foundation::CLog;
using zor::foundation::CLogProvider;
using zor::foundation::kEmptyLogTag;
using zor::foundation::LogTag;

namespace zor::frame {
namespace {

// Codes of the host library's own ranges keep every sub-code as given.
bool InHostRange(int64_t code) {
  static constexpr int64_t kRanges[][2] = {{1000, 1199}, {1400, 1599}, {2800, 2999}, {3200, 3399},
                                           {3800, 3999}, {4100, 4499}, {4600, 4699}, {5200, 5599},
                                           {5600, 5799}, {6000, 6599}, {7400, 7599}};
  return std::any_of(std::begin(kRanges), std::end(kRanges),
                     [code](const int64_t* range) { return code >= range[0] && code <= range[1]; });
}

// The first count words into the outputs that are given.
void WriteWords(void* const (&outs)[4], const int64_t (&values)[4], int count) {
  for (int i = 0; i < count; ++i) {
    if (outs[i] != nullptr) *static_cast<int64_t*>(outs[i]) = values[i];
  }
}

}  // namespace

QDDriverThreadContext::QDDriverThreadContext(QDDeviceDriver& driver, uint32_t threadId)
    : CLogProvider(0, 1, 119, 0), driver_(driver), threadId_(threadId) {
  overlapped_.hEvent = os::CreateEvent(true, true);
  items_.push_back(
      std::make_unique<CSystemZorThreadContext>(0, std::make_unique<QDZorThreadContext>(*this, 0)));
}

QDDriverThreadContext::~QDDriverThreadContext() {
  driver_.FreeSystemItems(*this);
  os::CloseHandle(overlapped_.hEvent);
}

std::atomic<const void*>* QDDriverThreadContext::FreePinSlot() {
  for (std::atomic<const void*>& pin : pins_) {
    if (pin.load(std::memory_order_relaxed) == nullptr) return &pin;
  }
  return nullptr;
}

bool QDDriverThreadContext::Pins(const void* object) const {
  return std::any_of(pins_.begin(), pins_.end(), [object](const std::atomic<const void*>& pin) {
    return pin.load(std::memory_order_seq_cst) == object;
  });
}

std::optional<QDDriverThreadContext::CurrentFacts> QDDriverThreadContext::ReadCurrent() const {
  foundation::ScopedLock itemLock(itemLock_);
  const QDZorThreadContext* current = Current();
  if (current == nullptr) return std::nullopt;
  return CurrentFacts{current->SystemIndex(), current->GateBits(), current->WaitWord()};
}

CSystemZorThreadContext* QDDriverThreadContext::FindItem(int64_t systemIndex) const {
  for (const auto& item : items_) {
    if (item->SystemIndex() == systemIndex) return item.get();
  }
  return nullptr;
}

void QDDriverThreadContext::AddItem(std::unique_ptr<CSystemZorThreadContext> item) {
  items_.push_back(std::move(item));
}

std::unique_ptr<CSystemZorThreadContext> QDDriverThreadContext::RemoveItem(int64_t systemIndex) {
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if ((*it)->SystemIndex() != systemIndex) continue;
    std::unique_ptr<CSystemZorThreadContext> item = std::move(*it);
    items_.erase(it);
    return item;
  }
  return nullptr;
}

void QDDriverThreadContext::SetError(int64_t code, int64_t sub1, int64_t sub2, int64_t sub3) {
  // A clear with nothing held has nothing to do (the common start of a command).
  if (code == 0 ? errorCode_ == 0 : errorCode_ != 0) return;
  Record(code, sub1, sub2, sub3);
}

void QDDriverThreadContext::LogRecord(int64_t code, int64_t sub1) const {
  CLog* log = CLog::Instance();
  if (!log->IsCategoryEnabled(foundation::kErrorLogCategory)) return;
  if (code != 0 && errorCode_ == 0) {
    log->Write(*this, 2, LogTag("ERRC"), static_cast<uint64_t>(code), LogTag("ESUB"),
               static_cast<uint64_t>(sub1), kEmptyLogTag, 0);
  } else if (code == 0 && errorCode_ != 0) {
    log->Write(*this, 3, LogTag("ERRC"), static_cast<uint64_t>(errorCode_), LogTag("ESUB"),
               static_cast<uint64_t>(subCodeCount_), kEmptyLogTag, 0);
  }
}

void QDDriverThreadContext::Record(int64_t code, int64_t sub1, int64_t sub2, int64_t sub3) {
  LogRecord(code, sub1);
  errorCode_ = code;
  subCodeCount_ = 0;
  if (code == 0) {
    std::fill(std::begin(subCodes_), std::end(subCodes_), 0);
    CopyFreeTexts(nullptr, nullptr, nullptr);
    return;
  }
  subCodes_[0] = sub1;
  subCodes_[1] = sub2;
  subCodes_[2] = sub3;
  if (!InHostRange(code)) {
    for (int64_t& sub : subCodes_) {
      if (sub >= 8) sub = 0;
    }
  }
  while (subCodeCount_ < 3 && subCodes_[subCodeCount_] != 0) ++subCodeCount_;
  const DebugStopSettings& settings = DebugStop();
  if (settings.PopupOn() && settings.stopOnErrCode != 0) ShowInternalErrorPopup();
}

void QDDriverThreadContext::CopyFreeTexts(const wchar_t* text5, const wchar_t* text6,
                                          const wchar_t* text7) {
  freeTexts_[0].Assign(text5);
  freeTexts_[1].Assign(text6);
  freeTexts_[2].Assign(text7);
}

void QDDriverThreadContext::SetErrorText(int64_t code, const wchar_t* text5, const wchar_t* text6,
                                         const wchar_t* text7) {
  if (errorCode_ != 0) return;
  const int64_t sub5 = text5 != nullptr ? 5 : 0;
  const int64_t sub6 = sub5 != 0 && text6 != nullptr ? 6 : 0;
  const int64_t sub7 = sub6 != 0 && text7 != nullptr ? 7 : 0;
  CopyFreeTexts(text5, text6, text7);
  Record(code, sub5, sub6, sub7);
}

void QDDriverThreadContext::SetErrorSubText(int64_t code, int64_t sub1, const wchar_t* text6,
                                            const wchar_t* text7) {
  if (errorCode_ != 0) return;
  const int64_t sub6 = text6 != nullptr ? 6 : 0;
  const int64_t sub7 = sub6 != 0 && text7 != nullptr ? 7 : 0;
  CopyFreeTexts(nullptr, text6, text7);
  Record(code, sub1, sub6, sub7);
}

void QDDriverThreadContext::SetErrorSubSubText(int64_t code, int64_t sub1, int64_t sub2,
                                               const wchar_t* text7) {
  if (errorCode_ != 0) return;
  CopyFreeTexts(nullptr, nullptr, text7);
  Record(code, sub1, sub2, text7 != nullptr ? 7 : 0);
}

void QDDriverThreadContext::SetHeadlineText(const wchar_t* text) {
  CopyBoundedText(headline_, kOwnTextSize, text);
}

void QDDriverThreadContext::SetDetailText(int64_t kind, const wchar_t* text) {
  CopyBoundedText(details_[kind == 1 ? 0 : 1], kOwnTextSize, text);
}

const wchar_t* QDDriverThreadContext::SubCodeText(int64_t sub) const {
  if (sub >= 5 && sub <= 7) return freeTexts_[sub - 5].CStr();
  return sub != 0 ? MessageText(errorCode_, sub) : nullptr;
}

void QDDriverThreadContext::WriteErrorTexts(void* const (&outs)[4]) const {
  const wchar_t* texts[4] = {};
  if (errorCode_ >= kFirstErrorCode && errorCode_ <= kLastErrorCode) {
    texts[0] = MessageText(errorCode_, 0);
    for (int i = 0; i < 3; ++i) texts[i + 1] = SubCodeText(subCodes_[i]);
  } else {
    texts[0] = headline_;
    texts[1] = details_[0];
    texts[2] = details_[1];
  }
  for (int i = 0; i < 4; ++i) {
    CopyBoundedText(static_cast<wchar_t*>(outs[i]), kOwnTextSize, texts[i]);
  }
}

int64_t QDDriverThreadContext::GetError(int64_t kind, void* out1, void* out2, void* out3,
                                        void* out4) {
  void* const outs[4] = {out1, out2, out3, out4};
  switch (kind) {
    case hostcommand::kErrorQueryCodes:
      WriteWords(outs, {errorCode_, subCodes_[0], subCodes_[1], subCodes_[2]}, 4);
      break;
    case hostcommand::kErrorQueryTexts:
      WriteErrorTexts(outs);
      break;
    case hostcommand::kErrorQueryDriverName:
      CopyBoundedText(static_cast<wchar_t*>(out1), kOwnTextSize, L"DravionLyn");
      break;
    case hostcommand::kErrorQueryOneWord:
      WriteWords(outs, {}, 1);
      break;
    case hostcommand::kErrorQueryTwoWords:
      WriteWords(outs, {}, 2);
      break;
    default:
      break;
  }
  return 1;
}

void QDDriverThreadContext::NotifySystemEnd() {
  if (command_.noOperation != 0) return;
  const std::optional<CurrentFacts> current = ReadCurrent();
  if (!current || current->systemIndex == 0) return;
  const SystemRef system = driver_.PinSystem(current->systemIndex, *this);
  if (!system) return;
  if (system->EndOfCommandMode() != 1 && current->waitWord != 1) return;
  try {
    OperationArgs args;
    args.Push(0);
    args.Push(0x1000000);
    args.Push(0);
    system->ThreadWait(args, *this);
  } catch (...) {
    // The wait is part of the command: what escapes it is the command's error.
    RecordCurrentException(*this);
  }
}

}  // namespace zor::frame
