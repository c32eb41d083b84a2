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
  int DeviceCount() const { return static_cast<int>(m_devices.size()); }
  CSimJtagDevice& Device(int index) { return *m_devices.at(index); }

  uint32_t ReadRegister() override;
  void WriteRegister(uint32_t value) override;

  // Fault: no chain behind the connector, TDO reads this level whatever is clocked.
  void SetTdoStuck(std::optional<bool> level) { m_tdoStuck = level; }

  void EnableTrace(bool on);
  const std::vector<JtagTraceEntry>& Trace() const { return m_trace; }
  void ClearTrace() { m_trace.clear(); }
  uint64_t ClockCount() const { return m_clocks; }

 private:
  bool BoardTdo() const;

  std::vector<std::unique_ptr<CSimJtagDevice>> m_devices;
  uint32_t m_register = 0;
  bool m_tck = false;
  std::optional<bool> m_tdoStuck;
  bool m_tracing = false;
  std::vector<JtagTraceEntry> m_trace;
  uint64_t m_clocks = 0;
};

}  // namespace boardsim
