// ChainPerformConcurrent: runs the devices' actions together, one shared scan per step.
#include <algorithm>
#include <memory>

#include "driver/ieee1532/engine/iscsettings.h"
#include "driver/ieee1532/flow/iscconcurrentstepper.h"
#include "driver/ieee1532/flow/iscfieldbits.h"
#include "driver/ieee1532/flow/iscflow.h"
#include "driver/ieee1532/host/iscport.h"
#include "driver/ieee1532/tap/isctap.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

namespace {

using State = ChainConcurrentState;

std::string BypassOpcode(const ChainDevice& device) {
  if (device.entity == nullptr) return std::string(static_cast<size_t>(device.irLength), '1');
  IscCheckRange(kIscError, "No BypassOp", 0, device.entity->bypass,
                static_cast<int64_t>(device.entity->opcodes.size()) - 1);
  return IscSendableBits(
      device.entity->opcodes[static_cast<size_t>(device.entity->bypass)].patterns.front());
}

void MergeWait(BsdlWait& merged, const BsdlWait& wait, const ChainDevice& device) {
  merged.minTck = std::max(merged.minTck, wait.minTck);
  merged.minTime = std::max(merged.minTime, wait.minTime);
  if (wait.maxTck != 0)
    merged.maxTck = merged.maxTck == 0 ? wait.maxTck : std::min(merged.maxTck, wait.maxTck);
  if (wait.maxTime != 0)
    merged.maxTime = merged.maxTime == 0 ? wait.maxTime : std::min(merged.maxTime, wait.maxTime);
  bool tckWrong = merged.maxTck != 0 && merged.maxTck < merged.minTck;
  bool timeWrong = merged.maxTime != 0 && merged.maxTime < merged.minTime;
  if (tckWrong) {
    IscReportf(kIscWarning, false, nullptr,
               "\n*** ==> Wait TCK cycle max [%ld] < min [%ld] (concurrent op)",
               static_cast<long>(merged.maxTck), static_cast<long>(merged.minTck));
  }
  if (timeWrong) {
    IscReportf(kIscWarning, false, nullptr,
               "\n*** ==> Wait time max [%.2f] < min time [%.2f] secs (concurrent op)",
               static_cast<double>(merged.maxTime), static_cast<double>(merged.minTime));
  }
  if (tckWrong || timeWrong) {
    IscMessagef(0, "\n      = see wait time for device %s (action [%s %s])", device.name.c_str(),
                device.action.c_str(), device.actionData.c_str());
  }
}

// One scan in which the given devices take part and every other device is bypassed.
void Scan(Chain& chain, const std::vector<ChainDevice*>& serve,
          std::vector<std::unique_ptr<ConcurrentStepper>>& steppers) {
  auto serves = [&](const ChainDevice* device) {
    return std::find(serve.begin(), serve.end(), device) != serve.end();
  };
  std::string ir, tdi, ones;
  bool anyTdi = false, anyTdo = false;
  BsdlWait wait;
  for (const ChainDevice* device : serve) {
    anyTdi = anyTdi || !device->concurrent->tdi.empty();
    anyTdo = anyTdo || !device->concurrent->activity->capture.empty();
    MergeWait(wait, device->concurrent->activity->wait, *device);
  }
  std::vector<std::pair<ChainDevice*, int64_t>> offsets;  // device and its offset in the DR text
  for (auto it = chain.devices.rbegin(); it != chain.devices.rend(); ++it) {
    ChainDevice* device = it->get();
    if (device->skip) continue;
    bool taking = serves(device);
    const State* state = device->concurrent.get();
    ir += taking ? state->ir : BypassOpcode(*device);
    int64_t length = taking ? state->drLength : 1;
    offsets.emplace_back(device, static_cast<int64_t>(tdi.size()));
    tdi += !taking              ? std::string("1")
           : state->tdi.empty() ? std::string(static_cast<size_t>(length), '0')
                                : IscSendableBits(state->tdi);
  }
  TapBypass() = TapBypassCounts{};
  TapShiftString(kTapInstructionRegister, static_cast<int64_t>(ir.size()), ir.c_str(), nullptr,
                 false, anyTdi);
  if (anyTdi) {
    TapShiftString(kTapDataRegister, static_cast<int64_t>(tdi.size()), tdi.c_str(), nullptr, false,
                   false);
  }
  IscPortProgressTick();
  IscRunWait(wait);
  std::string captured;
  if (anyTdo) {
    ones.assign(tdi.size(), '1');
    TapShiftString(kTapDataRegister, static_cast<int64_t>(ones.size()), ones.c_str(), &captured,
                   true, true);
  }
  for (auto& [device, offset] : offsets) {
    if (!serves(device)) continue;
    State& state = *device->concurrent;
    int failed = 0;
    if (!state.activity->capture.empty()) {
      int64_t length = 0;
      for (const BsdlField& field : state.activity->capture) length += field.width;
      failed = CompareCapturedTdo(
          *state.activity, true,
          captured.substr(static_cast<size_t>(offset), static_cast<size_t>(length)), *device,
          steppers[static_cast<size_t>(device->position)]->Flow(), state.repeat);
    }
    steppers[static_cast<size_t>(device->position)]->Advance(failed != 0);
  }
}

void OpenOutput(ChainDevice& device) {
  if (!device.output) return;
  InputFileReopen(*device.output, IscGetSettings().commitOnWrite ? "c" : "w");
  IscDataWriteFile(*device.output, kIscWriteHeader, device.entity->name.c_str(), 0);
}

void CloseOutput(ChainDevice& device) {
  if (!device.output || device.output->stream == nullptr) return;
  IscDataWriteFile(*device.output, kIscWriteEnd, nullptr, 0);
  InputFileClose(*device.output);
}

using Steppers = std::vector<std::unique_ptr<ConcurrentStepper>>;

// The procedures of the device's action that run: every one not switched off or optional.
void SelectProcedures(ChainDevice& device, const BsdlAction& action) {
  for (size_t i = 0; i < action.procedures.size(); ++i) {
    const BsdlActionProcedure& reference = action.procedures[i];
    int setting = reference.overrideSetting != 0 ? reference.overrideSetting : reference.setting;
    if (setting != kBsdlOff && setting != kBsdlOptional) {
      device.concurrent->procedures.push_back(static_cast<int>(i));
    }
  }
}

// Gives every device with an action its stepper; false when an action is proprietary, which
// cancels concurrent processing.
bool PrepareDevices(Chain& chain, Steppers& steppers) {
  bool proprietary = false;
  for (const auto& device : chain.devices) {
    if (device->skip) continue;
    device->concurrent = std::make_unique<State>();
    const BsdlAction* action = ChainFindAction(*device);
    std::string entity = device->entity != nullptr ? device->entity->name : " ";
    if (action == nullptr) {
      device->concurrent->done = true;
      IscMessagef(kIscLinePlain, "    => [%s (%s)]: - bypass -", device->name.c_str(),
                  entity.c_str());
      continue;
    }
    IscMessagef(kIscLinePlain, "    => [%s (%s)]: %s", device->name.c_str(), entity.c_str(),
                ChainActionText(*device).c_str());
    if (action->proprietary) {
      IscMessagef(kIscLinePlain, "     *--> Action [%s: %s(%s)] is proprietary",
                  device->name.c_str(), device->action.c_str(), device->actionData.c_str());
      IscWriteMessageLine("       => chain processing cancelled; process chain in sequential mode",
                          kIscLinePlain);
      proprietary = true;
    }
    SelectProcedures(*device, *action);
    OpenOutput(*device);
    steppers[static_cast<size_t>(device->position)] =
        std::make_unique<ConcurrentStepper>(*device, *action);
    IscResetMismatchCount();
  }
  return !proprietary;
}

// The devices whose steppers have a step ready, each prepared for it.
std::vector<ChainDevice*> ReadyDevices(Chain& chain, Steppers& steppers) {
  std::vector<ChainDevice*> ready;
  for (const auto& device : chain.devices) {
    ConcurrentStepper* stepper = steppers[static_cast<size_t>(device->position)].get();
    if (stepper == nullptr || !stepper->Settle()) continue;
    stepper->Prepare();
    ready.push_back(device.get());
  }
  return ready;
}

// One scan per flow type among the ready devices.
void ScanByFlowType(Chain& chain, const std::vector<ChainDevice*>& ready, Steppers& steppers) {
  for (int served = 0; served <= 3; ++served) {
    std::vector<ChainDevice*> group;
    for (ChainDevice* device : ready) {
      if (device->concurrent->flowType == served) group.push_back(device);
    }
    if (group.empty()) continue;
    if (IscGetSettings().debugInfo)
      IscMessagef(0, "-----> processing flow type [%ld]", static_cast<long>(served));
    Scan(chain, group, steppers);
  }
}

// Scans until no device has a step ready: one scan when the ready devices share a flow type
// (or the settings merge them all), else one scan per flow type.
void RunScans(Chain& chain, Steppers& steppers) {
  while (!IscChainStop()) {
    const std::vector<ChainDevice*> ready = ReadyDevices(chain, steppers);
    if (ready.empty()) break;
    bool common = IscGetSettings().maxConcurrent;
    int type = ready.front()->concurrent->flowType;
    common = common || std::all_of(ready.begin(), ready.end(),
                                   [&](ChainDevice* d) { return d->concurrent->flowType == type; });
    if (!common) {
      ScanByFlowType(chain, ready, steppers);
      continue;
    }
    if (IscGetSettings().debugInfo)
      IscMessagef(0, "-----> common flow type [%ld]", static_cast<long>(type));
    Scan(chain, ready, steppers);
  }
}

// Closes the outputs and reports each device's result; false when any device failed or did
// not finish.
bool Summarize(Chain& chain, const Steppers& steppers, int64_t iteration) {
  bool passed = true;
  IscMessagef(kIscLinePlain, "---[ Concurrent processing summary (iteration %5ld) ]---",
              static_cast<long>(iteration));
  for (const auto& device : chain.devices) {
    if (device->skip) {
      IscMessagef(kIscLinePlain, "   *** [%s]: skipped", device->name.c_str());
      continue;
    }
    State& state = *device->concurrent;
    CloseOutput(*device);
    if (steppers[static_cast<size_t>(device->position)] == nullptr) {
      IscMessagef(kIscLinePlain, "   *** [%s]: BYPASS", device->name.c_str());
      continue;
    }
    const char* result = state.failed
                             ? (state.stoppedByExit ? "incomplete due to EXIT_ON_ERROR" : "FAIL")
                         : state.done ? "PASS"
                                      : "incomplete (EXIT_ON_ERROR skipped)";
    IscMessagef(kIscLinePlain, "   *** [%s: %s(%s)] = %s", device->name.c_str(),
                device->action.c_str(), device->actionData.c_str(), result);
    if (state.failed || !state.done) passed = false;
    if (state.failed) {
      IscSetBypassCounts(chain, *device);
      IscRunErrorExit(chain, *device);
    }
  }
  return passed;
}

}  // namespace

int ChainPerformConcurrent(Chain& chain, int64_t iteration) {
  Steppers steppers(chain.devices.size());
  const bool concurrent = PrepareDevices(chain, steppers);
  IscWriteMessageLine("    ----------- start concurrent processing -----------", kIscLinePlain);
  if (!concurrent) return 0;
  RunScans(chain, steppers);
  return Summarize(chain, steppers, iteration) ? 1 : 0;
}

}  // namespace zor::isc
