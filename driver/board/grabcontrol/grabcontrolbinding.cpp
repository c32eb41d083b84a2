// GrabControlBinding: the grab-control library's entry points and callbacks for one digitizer.
#include "driver/board/grabcontrol/grabcontrolbinding.h"

#include <bit>
#include <memory>
#include <string>

#include "driver/board/system/qdhwspecsystem.h"
#include "driver/frameworkuser/context/escapedexception.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/context/threaderrorreport.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/driver/qddevicedriver.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "interfaces/hostcommand/tracenote.h"
#include "platform/host/hostservices.h"
#include "platform/os/sync/thread.h"

namespace zor::board {
namespace {

using errorcode::kGrabContinuousSetupError;
using errorcode::kGrabContinuousStateError;
using errorcode::kGrabContinuousStopped;
using errorcode::kInvalidGrabContinuousList;
using grabcontrol::GrabCtlCallbackTable;
namespace trace = hostcommand;

constexpr const wchar_t* kLibraryName = L"zorgrabc.dll";
constexpr const wchar_t* kLibraryFile = L"libzorgrabc.so";
constexpr int64_t kIndexMask = ~int64_t{0x40000000};
constexpr int64_t kGrabAbort = 6643;

// The library may call from any thread: one in a command records there, any
// other on a context of its own for the call.
class CallContext {
 public:
  CallContext() {
    frame::QDDeviceDriver* driver = frame::CQDDeviceDriverWrapper::Instance().GetDriver();
    if (driver == nullptr) return;
    ctx_ = driver->CallingThreadContext();
    if (ctx_ == nullptr) {
      own_ = std::make_unique<frame::QDDriverThreadContext>(*driver, os::GetCurrentThreadId());
      ctx_ = own_.get();
    }
  }
  frame::QDDriverThreadContext* get() const { return ctx_; }
  // Whether the context is the calling command's, which outlives the call.
  bool InCommand() const { return ctx_ != nullptr && own_ == nullptr; }

 private:
  std::unique_ptr<frame::QDDriverThreadContext> own_;
  frame::QDDriverThreadContext* ctx_ = nullptr;
};

// The binding behind a callback, when it still names a digitizer of its system.
GrabControlBinding* Bound(void* binding) {
  auto* b = static_cast<GrabControlBinding*>(binding);
  if (b == nullptr || !b->Valid() || b->System() == nullptr) return nullptr;
  return b->System()->HasDigitizer(b->DigitizerIndex()) ? b : nullptr;
}

int64_t BufferIndexOf(int64_t hostBuffer) {
  QINT64 parent = 0;
  HostBufInquire(hostBuffer, Q_DRIVER_INDEX, &parent);
  return parent & kIndexMask;
}

frame::OperationArgs Args(std::initializer_list<frame::ValueRecord> values) {
  frame::OperationArgs args;
  for (const frame::ValueRecord& v : values) args.Push(v);
  return args;
}

frame::ValueRecord Int(int64_t v) { return {v, frame::kValueInteger}; }

// The library calls the callbacks below: nothing may escape back into it. The operation runs
// on the binding's digitizer and the call's context; without either the callback answers 0.
// What escapes an operation is the error of the command that called the library, or else
// reported to the host; the callback answers 0.
template <class Operation>
int64_t Guarded(void* binding, Operation operation) {
  std::unique_ptr<CallContext> ctx;
  try {
    GrabControlBinding* b = Bound(binding);
    ctx = std::make_unique<CallContext>();
    if (b == nullptr || ctx->get() == nullptr) return 0;
    return operation(*b, *ctx->get());
  } catch (...) {
    if (ctx != nullptr && ctx->InCommand()) {
      frame::RecordCurrentException(*ctx->get());
    } else {
      frame::ReportCurrentException(frame::kHookFunctionName);
    }
    return 0;
  }
}

int64_t CheckSourceWindow(int64_t, int64_t buffer, int64_t, void* binding) {
  int64_t result = 0;
  frame::ReportEscapes(frame::kHookFunctionName, [&] {
    GrabControlBinding* b = Bound(binding);
    if (b != nullptr && buffer != 0 && BufferIndexOf(buffer) != 0) {
      result = b->System()->CheckDigSourceWindow(b->DigitizerIndex());
    }
  });
  return result;
}

int64_t ControlInt(int64_t, int64_t type, int64_t value, void* binding, int64_t) {
  return Guarded(binding, [&](GrabControlBinding& b, frame::QDDriverThreadContext& ctx) {
    return b.System()->DigControl(Args({Int(b.DigitizerIndex()), Int(type), Int(value)}), ctx);
  });
}

int64_t ControlDouble(int64_t, int64_t type, double value, void* binding, int64_t) {
  return Guarded(binding, [&](GrabControlBinding& b, frame::QDDriverThreadContext& ctx) {
    const frame::ValueRecord record{std::bit_cast<int64_t>(value), frame::kValueDouble};
    return b.System()->DigControl(Args({Int(b.DigitizerIndex()), Int(type), record}), ctx);
  });
}

int64_t Grab(int64_t, int64_t buffer, int64_t value, void* binding) {
  return Guarded(binding, [&](GrabControlBinding& b, frame::QDDriverThreadContext& ctx) {
    const int64_t index = BufferIndexOf(buffer);
    if (index == 0) return int64_t{0};
    return b.System()->DigGrab(Args({Int(b.DigitizerIndex()), Int(index), Int(value)}), ctx);
  });
}

int64_t GrabWait(int64_t, int64_t value, void* binding) {
  return Guarded(binding, [&](GrabControlBinding& b, frame::QDDriverThreadContext& ctx) {
    return b.System()->DigGrabWait(Args({Int(b.DigitizerIndex()), Int(value)}), ctx);
  });
}

int64_t StopGrab(int64_t, void* binding) {
  return Guarded(binding, [](GrabControlBinding& b, frame::QDDriverThreadContext& ctx) {
    return b.System()->DigStopGrab(b.DigitizerIndex(), ctx);
  });
}

int64_t InquireCallback(int64_t, int64_t type, void* out, void* binding) {
  return Guarded(binding, [&](GrabControlBinding& b, frame::QDDriverThreadContext& ctx) {
    return b.System()->DigInquire(
        Args({Int(b.DigitizerIndex()), Int(type), Int(reinterpret_cast<intptr_t>(out))}), ctx);
  });
}

frame::QDDriverThreadContext* ContextOf(void* context) {
  return static_cast<frame::QDDriverThreadContext*>(context);
}

int64_t GetErrorCode(void* c) { return c != nullptr ? ContextOf(c)->ErrorCode() : 0; }
const wchar_t* GetErrorText(void* c) {
  return c != nullptr ? ContextOf(c)->HeadlineText() : nullptr;
}
int64_t GetErrorSubCode(void* c, int64_t index) {
  if (c == nullptr || index < 1 || index > ContextOf(c)->SubCodeCount()) return 0;
  return ContextOf(c)->SubCode(static_cast<int>(index));
}
const wchar_t* GetErrorSubText(void* c, int64_t kind) {
  return c != nullptr ? ContextOf(c)->DetailText(kind) : nullptr;
}
void SetError(void* c, int64_t code, int64_t s1, int64_t s2, int64_t s3) {
  if (c != nullptr) ContextOf(c)->SetError(code, s1, s2, s3);
}
void SetErrorText(void* c, int64_t code, const wchar_t* t5, const wchar_t* t6, const wchar_t* t7) {
  if (c != nullptr) ContextOf(c)->SetErrorText(code, t5, t6, t7);
}
void SetErrorSubText(void* c, int64_t code, int64_t s1, const wchar_t* t6, const wchar_t* t7) {
  if (c != nullptr) ContextOf(c)->SetErrorSubText(code, s1, t6, t7);
}
int64_t GetError(void* c, int64_t kind, void* o1, void* o2, void* o3, void* o4) {
  return c != nullptr ? ContextOf(c)->GetError(kind, o1, o2, o3, o4) : 0;
}

// What the binding does, for the host library's trace.
void Trace(int64_t code, int64_t value, int64_t kind) {
  trace::TraceNote note{code, value, kind};
  HostAppControl(Q_DEFAULT, trace::kTraceNoteControl, reinterpret_cast<QINT64>(&note));
}

template <typename Pointer>
void TraceAddress(int64_t code, Pointer address) {
  Trace(code, static_cast<int64_t>(reinterpret_cast<intptr_t>(address)), trace::kTraceAddress);
}

void TraceAddress(int64_t code, os::Module module) {
  Trace(code, static_cast<int64_t>(module), trace::kTraceAddress);
}

// The driver's folder first, then the library path.
os::Module FindLibraryModule() {
  wchar_t path[4096] = {};
  const uint32_t length = os::GetModuleFileName(os::ThisModule(), path, 4096);
  if (length > 0 && length < 4096) {
    std::wstring folder(path, length);
    folder = folder.substr(0, folder.rfind(L'/') + 1);
    if (os::Module module = os::LoadLibrary((folder + kLibraryFile).c_str());
        module != os::kNullModule) {
      return module;
    }
  }
  return os::LoadLibrary(kLibraryName);
}

// Between the host library's load notes.
os::Module LoadLibraryModule() {
  HostInternalControl(0, trace::kLibraryLoading, reinterpret_cast<QINT64>(kLibraryName));
  const os::Module module = FindLibraryModule();
  HostInternalControl(static_cast<QID>(module), trace::kLibraryLoaded,
                      reinterpret_cast<QINT64>(kLibraryName));
  TraceAddress(10987, module);
  return module;
}

template <typename Fn>
Fn Resolve(os::Module module, const char* name) {
  return reinterpret_cast<Fn>(os::GetProcAddress(module, name));
}

}  // namespace

void ReportGrabControlEvent(int64_t result, frame::QDDriverThreadContext& ctx) {
  if (result == 0) return;
  if (result >= 1 && result <= 3) {
    ctx.SetError(kGrabContinuousStateError, result, 0, 0);
  } else if (result >= 4 && result <= 13) {
    ctx.SetError(kGrabContinuousStopped, 1, 0, 0);
  } else if (result == 14 || result == 15) {
    ctx.SetError(kInvalidGrabContinuousList, 1, 0, 0);
  } else if (result == 17 || result == 18) {
    ctx.SetError(kInvalidGrabContinuousList, result - 15, 0, 0);
  } else {
    ctx.SetError(kGrabContinuousStopped, 2, 0, 0);
  }
}

void GrabControlBinding::Load(int64_t digitizerIndex, QDHwSpecSystem& system, int64_t hostDigitizer,
                              int64_t hostSystem) {
  Trace(10985, digitizerIndex, trace::kTraceNumber);
  if (module_ != os::kNullModule) Unload();
  digitizerIndex_ = digitizerIndex;
  system_ = &system;
  module_ = LoadLibraryModule();
  if (module_ != os::kNullModule) {
    alloc_ = Resolve<grabcontrol::QGCdigAllocFn>(module_, "QGCdigAlloc");
    free_ = Resolve<grabcontrol::QGCdigFreeFn>(module_, "QGCdigFree");
    control_ = Resolve<grabcontrol::QGCdigControlFn>(module_, "QGCdigControl");
    controlDouble_ = Resolve<grabcontrol::QGCdigControlDoubleFn>(module_, "QGCdigControlDouble");
    grabAbort_ = Resolve<grabcontrol::QGCdigGrabAbortExFn>(module_, "QGCdigGrabAbortEx");
    grabContinuous_ = Resolve<grabcontrol::QGCdigGrabContinuousFn>(module_, "QGCdigGrabContinuous");
    halt_ = Resolve<grabcontrol::QGCdigHaltFn>(module_, "QGCdigHalt");
    inquire_ = Resolve<grabcontrol::QGCdigInquireFn>(module_, "QGCdigInquire");
    TraceAddress(10988, alloc_);
    TraceAddress(10989, free_);
    TraceAddress(10990, control_);
    TraceAddress(11016, controlDouble_);
    TraceAddress(10991, grabAbort_);
    TraceAddress(10992, grabContinuous_);
    TraceAddress(10993, halt_);
    TraceAddress(10994, inquire_);
  }
  if (digitizerIndex == 0 || alloc_ == nullptr || free_ == nullptr || control_ == nullptr ||
      controlDouble_ == nullptr || grabAbort_ == nullptr || grabContinuous_ == nullptr ||
      halt_ == nullptr || inquire_ == nullptr) {
    Trace(10986, 0, trace::kTraceByte);
    return;
  }
  valid_ = true;
  Trace(10995, hostDigitizer, trace::kTraceId);
  Trace(10996, hostSystem, trace::kTraceId);
  if (hostDigitizer != 0 && hostDigitizer != -1 && hostSystem != 0) Bind(hostDigitizer, hostSystem);
  if (handle_ == 0) valid_ = false;
  Trace(10986, valid_ ? 1 : 0, trace::kTraceByte);
}

void GrabControlBinding::Bind(int64_t hostDigitizer, int64_t hostSystem) {
  table_ = GrabCtlCallbackTable{sizeof(GrabCtlCallbackTable),
                                1,
                                &CheckSourceWindow,
                                &ControlInt,
                                &ControlDouble,
                                &Grab,
                                &GrabWait,
                                &StopGrab,
                                &InquireCallback,
                                this,
                                72,
                                2,
                                &GetErrorCode,
                                &GetErrorText,
                                &GetErrorSubCode,
                                &GetErrorSubText,
                                &SetError,
                                &SetErrorText,
                                &SetErrorSubText,
                                &GetError};
  int64_t handle = 0;
  alloc_(hostSystem, hostDigitizer, &table_, &handle);
  handle_ = handle;
  if (handle_ == 0) return;
  int64_t state = 0;
  inquire_(handle_, grabcontrol::kLibraryInquire, &state, 0);
  system_->SetGrabControlState(state);
  Trace(11011, state, trace::kTraceNumber);
}

void GrabControlBinding::Unload() {
  Trace(10999, valid_ ? 1 : 0, trace::kTraceByte);
  if (valid_ && handle_ != 0 && free_ != nullptr) free_(handle_);
  if (module_ != os::kNullModule) os::FreeLibrary(module_);
  valid_ = false;
  handle_ = 0;
  module_ = os::kNullModule;
  alloc_ = nullptr;
  free_ = nullptr;
  control_ = nullptr;
  controlDouble_ = nullptr;
  grabAbort_ = nullptr;
  grabContinuous_ = nullptr;
  halt_ = nullptr;
  inquire_ = nullptr;
  table_ = {};
  Trace(11000, 0, trace::kTraceNone);
}

void GrabControlBinding::GrabContinuous(int64_t hostBuffer, int64_t value,
                                        frame::QDDriverThreadContext& ctx) {
  if (!Valid()) return ctx.SetError(kGrabContinuousSetupError, 2, 0, 0);
  ReportGrabControlEvent(grabContinuous_(handle_, hostBuffer, value), ctx);
}

void GrabControlBinding::Halt(int64_t value, frame::QDDriverThreadContext& ctx) {
  if (!Valid()) return ctx.SetError(kGrabContinuousSetupError, 3, 0, 0);
  ReportGrabControlEvent(halt_(handle_, value, value), ctx);
}

void GrabControlBinding::GrabAbort(double value, int64_t word, frame::QDDriverThreadContext& ctx) {
  if (!Valid()) {
    const frame::ValueRecord record{std::bit_cast<int64_t>(value), frame::kValueDouble};
    system_->DigControl(Args({Int(digitizerIndex_), Int(kGrabAbort), record}), ctx);
    return;
  }
  ReportGrabControlEvent(grabAbort_(handle_, value, word), ctx);
}

void GrabControlBinding::Control(int64_t type, int64_t value, int kind,
                                 frame::QDDriverThreadContext& ctx) {
  if (!Valid()) {
    system_->DigControl(Args({Int(digitizerIndex_), Int(type), frame::ValueRecord{value, kind}}),
                        ctx);
    return;
  }
  const int64_t result = kind == frame::kValueDouble
                             ? controlDouble_(handle_, type, std::bit_cast<double>(value))
                             : control_(handle_, type, value);
  ReportGrabControlEvent(result, ctx);
}

int64_t GrabControlBinding::Inquire(int64_t type) {
  if (!Valid()) return 0;
  int64_t value = 0;
  inquire_(handle_, type, &value, 0);
  return value;
}

int64_t GrabControlBinding::ProbeInquire() {
  Trace(10997, 0, trace::kTraceNone);
  const os::Module module = LoadLibraryModule();
  int64_t value = 0;
  if (module != os::kNullModule) {
    auto inquire = Resolve<grabcontrol::QGCdigInquireFn>(module, "QGCdigInquire");
    TraceAddress(10994, inquire);
    if (inquire != nullptr) inquire(0, grabcontrol::kLibraryInquire, &value, 0);
    os::FreeLibrary(module);
  }
  Trace(10998, value, trace::kTraceNumber);
  return value;
}

}  // namespace zor::board
