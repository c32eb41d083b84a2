// The binding of one digitizer to the optional grab-control library: the
// library's entry points, its handle for the digitizer, and the table of
// callbacks through which it drives the digitizer.
#pragma once

#include <cstdint>

#include "interfaces/grabcontrol/grabcontroltable.h"
#include "platform/os/process/library.h"

namespace zor::frame {
class QDDriverThreadContext;
}

namespace zor::board {

class QDHwSpecSystem;

class GrabControlBinding {
 public:
  GrabControlBinding() = default;
  GrabControlBinding(const GrabControlBinding&) = delete;
  GrabControlBinding& operator=(const GrabControlBinding&) = delete;
  ~GrabControlBinding() { Unload(); }

  // Loads the library and gives it the digitizer; not valid without either.
  void Load(int64_t digitizerIndex, QDHwSpecSystem& system, int64_t hostDigitizer,
            int64_t hostSystem);
  void Unload();
  bool Valid() const { return valid_ && handle_ != 0; }

  // The library's operations; each result goes to the thread's error.
  void GrabContinuous(int64_t hostBuffer, int64_t value, frame::QDDriverThreadContext& ctx);
  void Halt(int64_t value, frame::QDDriverThreadContext& ctx);
  void GrabAbort(double value, int64_t word, frame::QDDriverThreadContext& ctx);
  void Control(int64_t type, int64_t value, int kind, frame::QDDriverThreadContext& ctx);
  int64_t Inquire(int64_t type);

  int64_t DigitizerIndex() const { return digitizerIndex_; }
  QDHwSpecSystem* System() const { return system_; }

  // The library alone, asked for its inquire 4385; 0 without it.
  static int64_t ProbeInquire();

 private:
  // Gives the library the digitizer with the table of callbacks; no handle back
  // leaves the binding without one.
  void Bind(int64_t hostDigitizer, int64_t hostSystem);

  bool valid_ = false;
  int64_t digitizerIndex_ = 0;
  QDHwSpecSystem* system_ = nullptr;
  int64_t handle_ = 0;
  os::Module module_ = os::kNullModule;
  grabcontrol::QGCdigAllocFn alloc_ = nullptr;
  grabcontrol::QGCdigFreeFn free_ = nullptr;
  grabcontrol::QGCdigControlFn control_ = nullptr;
  grabcontrol::QGCdigControlDoubleFn controlDouble_ = nullptr;
  grabcontrol::QGCdigGrabAbortExFn grabAbort_ = nullptr;
  grabcontrol::QGCdigGrabContinuousFn grabContinuous_ = nullptr;
  grabcontrol::QGCdigHaltFn halt_ = nullptr;
  grabcontrol::QGCdigInquireFn inquire_ = nullptr;
  // The library keeps the table for as long as it has the digitizer.
  grabcontrol::GrabCtlCallbackTable table_{};
};

// The library's result as the thread's error (0: none).
void ReportGrabControlEvent(int64_t result, frame::QDDriverThreadContext& ctx);

}  // namespace zor::board
