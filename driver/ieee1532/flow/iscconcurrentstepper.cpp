// ConcurrentStepper: prepares and counts each activity of one device for the shared scans.
#include "driver/ieee1532/flow/iscconcurrentstepper.h"

#include <algorithm>

#include "driver/ieee1532/engine/iscsettings.h"
#include "driver/ieee1532/flow/iscfieldbits.h"
#include "driver/ieee1532/flow/iscflow.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

namespace {
using State = ChainConcurrentState;
}  // namespace

BsdlFlow& ConcurrentStepper::Flow() {
  const BsdlActionProcedure& reference =
      action_.procedures[static_cast<size_t>(state_.procedures[state_.procedure])];
  const BsdlProcedure& procedure =
      device_.entity->procedures[static_cast<size_t>(reference.procedure)];
  return device_.entity->flows[static_cast<size_t>(procedure.flows[state_.flow].flow)];
}

bool ConcurrentStepper::Settle() {
  while (!state_.done) {
    if (state_.stack.empty()) {
      StartNextPhase();
      continue;
    }
    State::Level& top = state_.stack.back();
    if (top.index < top.list->size()) {
      const BsdlActivity& activity = (*top.list)[top.index];
      if (!activity.isLoop) {
        state_.activity = &activity;
        return true;
      }
      if (activity.maxLoop <= 0) {
        ++top.index;
        continue;
      }
      state_.stack.push_back(State::Level{&activity.loop, 0, &activity, 0, 0});
      continue;
    }
    EndOfList();
  }
  return false;
}

void ConcurrentStepper::Advance(bool failed) {
  State::Level* loop = nullptr;
  for (State::Level& level : state_.stack) {
    if (level.loop != nullptr) loop = &level;
  }
  if (failed && loop != nullptr) {
    ++loop->failures;
  } else if (failed) {
    Fail(Flow().exitOnError);
    return;
  }
  ++state_.stack.back().index;
}

void ConcurrentStepper::Prepare() {
  const BsdlActivity& activity = *state_.activity;
  state_.ir = IscSendableBits(IscOpcodeText(device_, activity.opcode));
  state_.tdi.clear();
  state_.drLength = std::max<int64_t>(1, device_.entity->RegisterLength(activity.opcode));
  bool hasTdi = !activity.update.empty();
  bool hasTdo = !activity.capture.empty();
  if (hasTdi) BuildTdiText(activity, true, state_.tdi, device_, Flow(), state_.repeat);
  state_.flowType = hasTdi && hasTdo ? 0 : hasTdi ? 2 : hasTdo ? 3 : 1;
}

void ConcurrentStepper::Fail(bool exitOnError) {
  state_.failed = true;
  state_.done = true;
  if (exitOnError && IscGetSettings().stopOnExitOnError) {
    IscChainStop() = true;
    state_.stoppedByExit = true;
  }
}

void ConcurrentStepper::StartNextPhase() {
  if (state_.started) {
    ++state_.phase;
  } else {
    state_.started = true;
    state_.phase = 0;
    if (state_.procedures.empty()) {
      Finish();
      return;
    }
    StartFlow();
  }
  while (true) {
    if (state_.phase > kBsdlTerminate) {
      if (!NextFlow()) return;
      continue;
    }
    BsdlFlow& flow = Flow();
    if (!flow.hasPhase[state_.phase]) {
      ++state_.phase;
      continue;
    }
    const std::vector<BsdlActivity>& list = flow.phases[state_.phase];
    if (IscActivitiesTakeData(list)) {
      IscDataFindSection(*device_.data, flow.dataName, state_.phase, device_.lookup);
    }
    if (IscWritesIscFormat(device_) && !flow.dataName.empty()) {
      IscDataWriteFile(*device_.output, kIscWriteSection, nullptr, state_.phase);
    }
    state_.repeat = 1;
    state_.stack.push_back(State::Level{&list, 0, nullptr, 0, 0});
    return;
  }
}

void ConcurrentStepper::StartFlow() {
  BsdlFlow& flow = Flow();
  state_.phase = 0;
  if (flow.dataCount > 0) {
    IscDataReadFile(*device_.data, kIscDataFindArray, device_.entity, flow.dataName,
                    device_.lookup);
  }
  if (IscWritesIscFormat(device_) && !flow.dataName.empty()) {
    IscDataWriteFile(*device_.output, kIscWriteArray, flow.dataName.c_str(), 0);
  }
}

bool ConcurrentStepper::NextFlow() {
  if (IscWritesIscFormat(device_) && !Flow().dataName.empty()) {
    IscDataWriteFile(*device_.output, kIscWriteArrayEnd, nullptr, 0);
  }
  const BsdlActionProcedure& reference =
      action_.procedures[static_cast<size_t>(state_.procedures[state_.procedure])];
  const BsdlProcedure& procedure =
      device_.entity->procedures[static_cast<size_t>(reference.procedure)];
  if (++state_.flow >= procedure.flows.size()) {
    state_.flow = 0;
    if (++state_.procedure >= state_.procedures.size()) {
      Finish();
      return false;
    }
  }
  StartFlow();
  return true;
}

void ConcurrentStepper::Finish() {
  state_.done = true;
  IscMessagef(kIscLinePlain, "(*)-> Action [%s: %s(%s)] = [ DONE ]", device_.name.c_str(),
              device_.action.c_str(), device_.actionData.c_str());
}

void ConcurrentStepper::EndOfList() {
  State::Level& top = state_.stack.back();
  if (top.loop != nullptr) {
    if (top.failures == 0 && top.iteration >= top.loop->minLoop) {
      state_.stack.pop_back();
      ++state_.stack.back().index;
      return;
    }
    if (++top.iteration >= top.loop->maxLoop) {
      IscReportf(kIscWarning, false, nullptr, "\n*** ==> [%s]: max flow loop count [%ld] reached",
                 device_.name.c_str(), static_cast<long>(top.loop->maxLoop));
      Fail(false);
      return;
    }
    top.index = 0;
    top.failures = 0;
    return;
  }
  BsdlFlow& flow = Flow();
  int64_t repeats = state_.phase == kBsdlRepeat ? flow.repeatCount : 1;
  if (++state_.repeat <= repeats) {
    top.index = 0;
    return;
  }
  if (IscActivitiesTakeData(*top.list) &&
      device_.lookup.next < device_.lookup.array->sections[state_.phase].size()) {
    IscReportf(kIscError, false, nullptr, "Data block has too many data records");
  }
  if (IscWritesIscFormat(device_) && !flow.dataName.empty()) {
    IscDataWriteFile(*device_.output, kIscWriteSection, nullptr, kIscWriteSectionEnd);
  }
  state_.stack.pop_back();
}

}  // namespace zor::isc
