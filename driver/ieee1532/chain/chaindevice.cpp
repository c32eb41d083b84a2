// ChainDevice, the engine's chain, and its release.
#include "driver/ieee1532/chain/chaindevice.h"

#include "driver/ieee1532/engine/iscenginestate.h"
#include "driver/ieee1532/flow/iscconcurrentstate.h"

namespace zor::isc {

ChainDevice::ChainDevice() = default;
ChainDevice::~ChainDevice() = default;

Chain& IscEngineChain() { return IscState().chain; }

void ChainFree(Chain& chain) {
  chain.devices.clear();
  chain.tdiText.clear();
  chain.tdoText.clear();
  chain.expected.clear();
  chain.mask.clear();
  chain.maxRegister = 0;
}

}  // namespace zor::isc
