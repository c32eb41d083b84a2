// Driver-log records of one command: one when it starts, one when it ends.
#pragma once

#include "driver/frameworkuser/command/commandwrapper.h"

namespace zor::frame {

class QDDeviceDriver;

// Writes the records only while the command category of the log is on.
class CommandLog {
 public:
  CommandLog(QDDeviceDriver& driver, const QDCommandWrapper& command);
  void End() const;

 private:
  const QDCommandWrapper& command_;
  bool enabled_;
  uint32_t deviceNumber_ = 0;
};

}  // namespace zor::frame
