// The thread that calls a port's receive hook when characters arrive. One runs per open of
// the port, on the handle of that open: closing the port stops it, opening it again starts a
// new one.
#pragma once

#include <cstdint>
#include <memory>
#include <thread>

#include "driver/frameworkuser/serial/uartporthook.h"
#include "platform/os/core/handle.h"

namespace zor::frame {

class UartReceiver {
 public:
  UartReceiver() = default;
  UartReceiver(const UartReceiver&) = delete;
  UartReceiver& operator=(const UartReceiver&) = delete;
  // Stops and joins; on the receiving thread itself (freed from inside its own hook) the
  // thread is detached and ends once the hook returns.
  ~UartReceiver();

  // Starts the thread on the open port and returns once it waits for characters; false when
  // the thread or its events cannot be made.
  [[nodiscard]] bool Start(os::Handle port, std::shared_ptr<UartPortHook> hook);
  // Tells the thread to end and waits for it, unless it is inside the hook: then it ends
  // when the hook returns (see Finished). Waiting there could meet a hook that waits for the
  // port lock that the caller holds.
  void Stop();
  // True once the thread has ended, or when it never started.
  bool Finished() const;

 private:
  struct State;

  std::shared_ptr<State> state_;
  std::thread thread_;
};

}  // namespace zor::frame
