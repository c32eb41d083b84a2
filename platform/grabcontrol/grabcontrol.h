// The grab-control library's work: one session per digitizer that the driver hands over,
// keeping the driver's callback table. libzorgrabc.so's entry points go to the one instance
// that Library() answers.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>

#include "interfaces/grabcontrol/grabcontroltable.h"

namespace zorgrabc {

// Results the driver turns into its continuous-grab errors.
inline constexpr int64_t kDone = 0;
inline constexpr int64_t kFailed = 4;          // no such session, or an unusable table
inline constexpr int64_t kInvalidBuffer = 14;  // a buffer the digitizer cannot grab into

// What inquire 4385 answers: the library serves continuous grab.
inline constexpr int64_t kServing = 1;

class GrabControl {
 public:
  virtual ~GrabControl() = default;

  virtual int64_t Alloc(int64_t hostSystem, int64_t hostDigitizer,
                        const zor::grabcontrol::GrabCtlCallbackTable* table, int64_t* handle);
  int64_t Free(int64_t handle);
  virtual int64_t Control(int64_t handle, int64_t type, int64_t value);
  int64_t ControlDouble(int64_t handle, int64_t type, double value);
  int64_t GrabAbort(int64_t handle, double value, int64_t word);
  int64_t GrabContinuous(int64_t handle, int64_t hostBuffer);
  int64_t Halt(int64_t handle);
  virtual int64_t Inquire(int64_t handle, int64_t type, int64_t* out);

 protected:
  // The session's table; the driver keeps it until it frees the session.
  const zor::grabcontrol::GrabCtlCallbackTable* TableOf(int64_t handle);

 private:
  // Digitizers of several systems and threads share the library.
  std::mutex mutex_;
  std::map<int64_t, const zor::grabcontrol::GrabCtlCallbackTable*> sessions_;
  int64_t lastHandle_ = 0;
};

// The instance the entry points use.
GrabControl& Library();

}  // namespace zorgrabc
