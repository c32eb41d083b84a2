#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "interfaces/jtag/jtagpins.h"
#include "interfaces/jtag/jtagregisteraccess.h"
#include "platform/boardsim/jtag/simjtagdevice.h"

namespace boardsim {

// One TCK cycle as the chain saw it at the rising edge.
struct JtagTraceEntry {
  bool tms;
  bool tdi;
  bool tdo;
  bool operator==(const JtagTraceEntry&) const = default;
};

// The board's JTAG chain behind its control register (interfaces/jtag/jtagpins.h). Device 0 takes
// the board's TDI; the last device drives the board's TDO.
class CSimJtagChain : public zor::jtag::IJtagRegisterAccess {
 public:
  CSimJtagChain() = default;
  explicit CSimJtagChain(std::vector<std::unique_ptr<CSimJtagDevice>> devices);

  void AddDevice(std::unique_ptr<CSimJtagDevice> device);
  int DeviceCount() const { return static_cast<int>(devices_.size()); }
  CSimJtagDevice& Device(int index) { return *devices_.at(index); }

  uint32_t ReadRegister() override;
  void WriteRegister(uint32_t value) override;

  // Fault: no chain behind the connector, TDO reads this level whatever is clocked.
  void SetTdoStuck(std::optional<bool> level) { tdoStuck_ = level; }

  void EnableTrace(bool on);
  const std::vector<JtagTraceEntry>& Trace() const { return trace_; }
  void ClearTrace() { trace_.clear(); }
  uint64_t ClockCount() const { return clocks_; }

 private:
  bool BoardTdo() const;

  std::vector<std::unique_ptr<CSimJtagDevice>> devices_;
  uint32_t register_ = 0;
  bool tck_ = false;
  std::optional<bool> tdoStuck_;
  bool tracing_ = false;
  std::vector<JtagTraceEntry> trace_;
  uint64_t clocks_ = 0;
};

}  // namespace boardsim
