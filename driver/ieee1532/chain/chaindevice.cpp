// ChainDevice and the engine's chain.
#include "driver/ieee1532/chain/chaindevice.h"

#include "driver/ieee1532/engine/iscenginestate.h"
#include "driver/ieee1532/flow/iscconcurrentstate.h"

namespace zor::isc {

ChainDevice::ChainDevice() = default;
ChainDevice::~ChainDevice() = default;

Chain& IscEngineChain() { return IscState().chain; }

}  // namespace zor::isc
