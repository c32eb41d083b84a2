#include "platform/boardsim/jtag/simjtagchain.h"

#include <utility>

namespace boardsim {

CSimJtagChain::CSimJtagChain(std::vector<std::unique_ptr<CSimJtagDevice>> devices)
    : m_devices(std::move(devices)) {}

void CSimJtagChain::AddDevice(std::unique_ptr<CSimJtagDevice> device) {
  m_devices.push_back(std::move(device));
}

void CSimJtagChain::EnableTrace(bool on) {
  m_tracing = on;
  m_trace.clear();
}

bool CSimJtagChain::BoardTdo() const {
  if (m_tdoStuck) return *m_tdoStuck;
  // An empty chain leaves TDO to its pull-up.
  return m_devices.empty() ? true : m_devices.back()->Tdo();
}

uint32_t CSimJtagChain::ReadRegister() {
  return (m_register & ~zor::jtag::kRegisterTdo) | (BoardTdo() ? zor::jtag::kRegisterTdo : 0);
}

void CSimJtagChain::WriteRegister(uint32_t value) {
  m_register = value;
  if ((value & zor::jtag::kRegisterEnable) == 0) return;
  const bool tck = (value & zor::jtag::kRegisterTck) != 0;
  if (tck == m_tck) return;
  m_tck = tck;
  if (!tck) {
    for (auto& device : m_devices) device->Falling();
    return;
  }
  const bool tms = (value & zor::jtag::kRegisterTms) != 0;
  const bool tdi = (value & zor::jtag::kRegisterTdi) != 0;
  ++m_clocks;
  if (m_tracing) m_trace.push_back({tms, tdi, BoardTdo()});
  // TDO only changes on falling edges: each device samples what its neighbour presented then.
  for (size_t i = 0; i < m_devices.size(); ++i) {
    const bool in = i == 0 ? tdi : m_devices[i - 1]->Tdo();
    m_devices[i]->Rising(tms, in);
  }
}

}  // namespace boardsim
