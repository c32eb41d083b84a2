#include "driver/frameworkuser/decoder/commanddecoder.h"

#include "driver/foundation/timestamp.h"
#include "driver/frameworkuser/command/commandwrapper.h"
#include "driver/frameworkuser/dispatch/commanddispatcher.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/driver/qddevicedriver.h"
#include "driver/frameworkuser/timing/opcodetiming.h"
#include "interfaces/hostcommand/opcodes.h"

using zor::foundation::GetTimeStamp;

using zor::frame::CQDDeviceDriverWrapper;
using zor::frame::QDCommandWrapper;
using zor::frame::QDDeviceDriver;
using zor::frame::QDDriverThreadContext;

extern "C" void QDDravionLynCommandDecoder(QDCommandRecord* record) {
  // No record, nowhere to answer: a caller's slip must not become the driver's crash.
  if (record == nullptr) return;
  // The counter is read only for the statistics: it costs as much as a short command.
  const bool timed = zor::frame::TimingStatisticsOn();
  const uint64_t start = timed ? GetTimeStamp() : 0;
  QDCommandWrapper command(record);
  const uint16_t opcode = command.Opcode();
  if (QDDeviceDriver* driver = CQDDeviceDriverWrapper::Instance().GetDriver()) {
    const int64_t systemIndex = opcode == zor::hostcommand::kSysAlloc ? 0 : command.SystemIndex();
    if (opcode == zor::hostcommand::kDrvThreadEnd) {
      driver->FreeThreadContext(systemIndex);
      return;
    }
    if (QDDriverThreadContext* ctx = driver->GetThreadContext(systemIndex)) {
      zor::frame::CommandDispatcher(*driver, command, *ctx);
    }
  } else {
    command.SetStatus(QD_STATUS_UNSUPPORTED);
  }
  if (timed) zor::frame::RecordOpcodeTiming(opcode, start, GetTimeStamp());
}
