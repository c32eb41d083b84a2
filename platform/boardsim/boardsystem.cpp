// System requests: version, system allocation and close, system requests and
// controls, the I/O space.
#include <cstdio>
#include <cstring>

#include "platform/boardsim/board.h"
#include "platform/boardsim/notserved.h"
#include "platform/boardsim/reply.h"

namespace boardsim {

namespace {
constexpr uint32_t kSystemIds = 1;
constexpr uint64_t kHaltSystem = 1810;
}  // namespace

void Board::Version(Call& call) { call.As<zor::kernel::DriverVersionRequest>().version = version_; }

void Board::SysAlloc(Call& call) {
  auto& r = call.As<zor::kernel::SysAllocRequest>();
  const uint64_t id = NewId(kSystemIds);
  systems_[id];
  r.systemId = id;
  for (const auto& [offset, value] : settingOverrides_) {
    if (offset + sizeof(value) <= sizeof(r.settings)) std::memcpy(r.settings + offset, &value, 4);
  }
  // Information block: firmware code, revision, the JTAG register, the update
  // flag and the serial number text.
  std::memset(r.info, 0, sizeof(r.info));
  const uint32_t code = grabModule_.FirmwareCode();
  std::memcpy(r.info + 0, &code, 4);
  std::memcpy(r.info + 4, &config_.revision, 4);
  const uint64_t jtag = reinterpret_cast<uint64_t>(
      static_cast<zor::jtag::IJtagRegisterAccess*>(&grabModule_.Chain()));
  std::memcpy(r.info + 8, &jtag, 8);
  r.info[24] = grabModule_.UpdateFlag();
  std::snprintf(reinterpret_cast<char*>(r.info + zor::kernel::kSysInfoTextOffset),
                zor::kernel::kSysInfoSize - zor::kernel::kSysInfoTextOffset, "%u", SerialNumber());
}

void Board::SysClose(Call& call) {
  const uint64_t id = call.Header().systemId;
  if (systems_.erase(id) == 0) return Fail(call.Header(), err::kBadId, 3);
  for (auto it = digitizers_.begin(); it != digitizers_.end();) {
    if (it->second.systemId == id) {
      AbortGrabs(it->second);
      it = digitizers_.erase(it);
    } else {
      ++it;
    }
  }
}

void Board::SysRequest(Call& call) {
  auto& r = call.As<zor::kernel::SysRequest>();
  switch (r.requestWord) {
    case zor::kernel::kSysRequestCapabilities:
      r.value = capabilities_;
      return;
    case zor::kernel::kSysRequestLogMemorySize:
      r.value = log_.Size();
      return;
    case zor::kernel::kSysRequestLogMemoryAddress:
      r.value = log_.Address();
      return;
    case zor::kernel::kSysRequestPerformance:
      r.value = 0;
      PerformanceRecord(r.performance);
      return;
    default:
      break;
  }
  if (SysInquireNotServed(r.requestWord)) return NotServed(r.header, false);
  auto system = systems_.find(r.header.systemId);
  r.value = 0;
  if (system == systems_.end()) return Fail(r.header, err::kBadId, 3);
  auto value = system->second.controls.find(r.requestWord);
  if (value != system->second.controls.end()) {
    r.value = value->second;
  } else if (!SystemType(r.requestWord)) {
    NotServed(r.header, false);
  }
}

void Board::SysControl(Call& call) {
  auto& r = call.As<zor::kernel::SysControlRequest>();
  if (SysControlNotServed(r.type) || !SystemControlServed(r.type)) {
    return NotServed(r.header, true);
  }
  auto system = systems_.find(r.header.systemId);
  if (system == systems_.end()) return Fail(r.header, err::kBadId, 3);
  if (r.type == kHaltSystem) {
    for (auto& [id, dig] : digitizers_) {
      if (dig.systemId == r.header.systemId) AbortGrabs(dig);
    }
    ReleaseStalled(*call.out);
    return;
  }
  system->second.controls[r.type] = r.value;
}

void Board::SysIo(Call& call) {
  auto& r = call.As<zor::kernel::SysIoRequest>();
  const uint64_t end = uint64_t{r.address} + r.count;
  if ((r.direction != zor::kernel::kIoRead && r.direction != zor::kernel::kIoWrite) ||
      r.count > zor::kernel::kIoMaxBytes || end > kIoSpaceSize) {
    return Fail(r.header, err::kBadArgument, 2);
  }
  if (r.direction == zor::kernel::kIoRead)
    std::memcpy(r.data, io_ + r.address, r.count);
  else
    std::memcpy(io_ + r.address, r.data, r.count);
}

void Board::PerformanceRecord(zor::kernel::KernelPerformanceRecord& record) {
  // Nanosecond ticks; each frame is one interrupt with its deferred call.
  const uint64_t n = interrupts_;
  record = {};
  record.frequency = 1000000000;
  record.sampleEnd = static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - started_).count());
  if (n == 0) return;
  record.isrTotalWith = n * 2000;
  record.isrMaxWith = 3000;
  record.isrMinWith = 1500;
  record.dpcTotalWith = n * 8000;
  record.dpcMaxWith = 12000;
  record.dpcMinWith = 6000;
  record.isrTotalWithout = n * 1800;
  record.isrMinWithout = 1350;
  record.isrMaxWithout = 2700;
  record.dpcTotalWithout = n * 7200;
  record.dpcMinWithout = 5400;
  record.dpcMaxWithout = 10800;
  record.isrCount = n;
  record.dpcCount = n;
}

}  // namespace boardsim
