// ConcurrentStepper: one device's action walked activity by activity.
#pragma once

#include "driver/ieee1532/bsdl/bsdlentity.h"
#include "driver/ieee1532/chain/chaindevice.h"
#include "driver/ieee1532/flow/iscconcurrentstate.h"

namespace zor::isc {

// Walks one device's action activity by activity, so that the chain can scan the activities of
// all devices together.
class ConcurrentStepper {
 public:
  ConcurrentStepper(ChainDevice& device, const BsdlAction& action)
      : device_(device), action_(action), state_(*device.concurrent) {}

  // The flow the device stands in.
  BsdlFlow& Flow();

  // Moves to the next instruction activity; false when the action has run to its end.
  bool Settle();

  // Counts the result of the prepared activity and moves past it.
  void Advance(bool failed);

  // Builds the instruction and TDI texts of the activity for the next scan.
  void Prepare();

 private:
  void Fail(bool exitOnError);
  void StartNextPhase();
  void StartFlow();
  bool NextFlow();
  void Finish();
  void EndOfList();

  ChainDevice& device_;
  const BsdlAction& action_;
  ChainConcurrentState& state_;
};

}  // namespace zor::isc
