#include "platform/boardsim/jtag/simjtagchain.h"

#include <utility>

namespace boardsim {

CSimJtagChain::CSimJtagChain(std::vector<std::unique_ptr<CSimJtagDevice>> devices)
    : devices_(std::move(devices)) {}

void CSimJtagChain::AddDevice(std::unique_ptr<CSimJtagDevice> device) {
  devices_.push_back(std::move(device));
}

void CSimJtagChain::EnableTrace(bool on) {
  tracing_ = on;
  trace_.clear();
}

bool CSimJtagChain::BoardTdo() const {
  if (tdoStuck_) return *tdoStuck_;
  // An empty chain leaves TDO to its pull-up.
  return devices_.empty() ? true : devices_.back()->Tdo();
}

uint32_t CSimJtagChain::ReadRegister() {
  return (register_ & ~zor::jtag::kRegisterTdo) | (BoardTdo() ? zor::jtag::kRegisterTdo : 0);
}

void CSimJtagChain::WriteRegister(uint32_t value) {
  register_ = value;
  if ((value & zor::jtag::kRegisterEnable) == 0) return;
  const bool tck = (value & zor::jtag::kRegisterTck) != 0;
  if (tck == tck_) return;
  tck_ = tck;
  if (!tck) {
    for (auto& device : devices_) device->Falling();
    return;
  }
  const bool tms = (value & zor::jtag::kRegisterTms) != 0;
  const bool tdi = (value & zor::jtag::kRegisterTdi) != 0;
  ++clocks_;
  if (tracing_) trace_.push_back({tms, tdi, BoardTdo()});
  // TDO only changes on falling edges: each device samples what its neighbour presented then.
  for (size_t i = 0; i < devices_.size(); ++i) {
    const bool in = i == 0 ? tdi : devices_[i - 1]->Tdo();
    devices_[i]->Rising(tms, in);
  }
}

}  // namespace boardsim
