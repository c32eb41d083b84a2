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
      m_action.procedures[static_cast<size_t>(m_state.procedures[m_state.procedure])];
  const BsdlProcedure& procedure =
      m_device.entity->procedures[static_cast<size_t>(reference.procedure)];
  return m_device.entity->flows[static_cast<size_t>(procedure.flows[m_state.flow].flow)];
}

bool ConcurrentStepper::Settle() {
  while (!m_state.done) {
    if (m_state.stack.empty()) {
      StartNextPhase();
      continue;
    }
    State::Level& top = m_state.stack.back();
    if (top.index < top.list->size()) {
      const BsdlActivity& activity = (*top.list)[top.index];
      if (!activity.isLoop) {
        m_state.activity = &activity;
        return true;
      }
      if (activity.maxLoop <= 0) {
        ++top.index;
        continue;
      }
      m_state.stack.push_back(State::Level{&activity.loop, 0, &activity, 0, 0});
      continue;
    }
    EndOfList();
  }
  return false;
}

void ConcurrentStepper::Advance(bool failed) {
  State::Level* loop = nullptr;
  for (State::Level& level : m_state.stack) {
    if (level.loop != nullptr) loop = &level;
  }
  if (failed && loop != nullptr) {
    ++loop->failures;
  } else if (failed) {
    Fail(Flow().exitOnError);
    return;
  }
  ++m_state.stack.back().index;
}

void ConcurrentStepper::Prepare() {
  const BsdlActivity& activity = *m_state.activity;
  m_state.ir = IscSendableBits(IscOpcodeText(m_device, activity.opcode));
  m_state.tdi.clear();
  m_state.drLength = std::max<int64_t>(1, m_device.entity->RegisterLength(activity.opcode));
  bool hasTdi = !activity.update.empty();
  bool hasTdo = !activity.capture.empty();
  if (hasTdi) BuildTdiText(activity, true, m_state.tdi, m_device, Flow(), m_state.repeat);
  m_state.flowType = hasTdi && hasTdo ? 0 : hasTdi ? 2 : hasTdo ? 3 : 1;
}

void ConcurrentStepper::Fail(bool exitOnError) {
  m_state.failed = true;
  m_state.done = true;
  if (exitOnError && IscGetSettings().stopOnExitOnError) {
    IscChainStop() = true;
    m_state.stoppedByExit = true;
  }
}

void ConcurrentStepper::StartNextPhase() {
  if (m_state.started) {
    ++m_state.phase;
  } else {
    m_state.started = true;
    m_state.phase = 0;
    if (m_state.procedures.empty()) {
      Finish();
      return;
    }
    StartFlow();
  }
  while (true) {
    if (m_state.phase > kBsdlTerminate) {
      if (!NextFlow()) return;
      continue;
    }
    BsdlFlow& flow = Flow();
    if (!flow.hasPhase[m_state.phase]) {
      ++m_state.phase;
      continue;
    }
    const std::vector<BsdlActivity>& list = flow.phases[m_state.phase];
    if (IscActivitiesTakeData(list)) {
      IscDataFindSection(*m_device.data, flow.dataName, m_state.phase, m_device.lookup);
    }
    if (IscWritesIscFormat(m_device) && !flow.dataName.empty()) {
      IscDataWriteFile(*m_device.output, kIscWriteSection, nullptr, m_state.phase);
    }
    m_state.repeat = 1;
    m_state.stack.push_back(State::Level{&list, 0, nullptr, 0, 0});
    return;
  }
}

void ConcurrentStepper::StartFlow() {
  BsdlFlow& flow = Flow();
  m_state.phase = 0;
  if (flow.dataCount > 0) {
    IscDataReadFile(*m_device.data, kIscDataFindArray, m_device.entity, flow.dataName,
                    m_device.lookup);
  }
  if (IscWritesIscFormat(m_device) && !flow.dataName.empty()) {
    IscDataWriteFile(*m_device.output, kIscWriteArray, flow.dataName.c_str(), 0);
  }
}

bool ConcurrentStepper::NextFlow() {
  if (IscWritesIscFormat(m_device) && !Flow().dataName.empty()) {
    IscDataWriteFile(*m_device.output, kIscWriteArrayEnd, nullptr, 0);
  }
  const BsdlActionProcedure& reference =
      m_action.procedures[static_cast<size_t>(m_state.procedures[m_state.procedure])];
  const BsdlProcedure& procedure =
      m_device.entity->procedures[static_cast<size_t>(reference.procedure)];
  if (++m_state.flow >= procedure.flows.size()) {
    m_state.flow = 0;
    if (++m_state.procedure >= m_state.procedures.size()) {
      Finish();
      return false;
    }
  }
  StartFlow();
  return true;
}

void ConcurrentStepper::Finish() {
  m_state.done = true;
  IscMessagef(kIscLinePlain, "(*)-> Action [%s: %s(%s)] = [ DONE ]", m_device.name.c_str(),
              m_device.action.c_str(), m_device.actionData.c_str());
}

void ConcurrentStepper::EndOfList() {
  State::Level& top = m_state.stack.back();
  if (top.loop != nullptr) {
    if (top.failures == 0 && top.iteration >= top.loop->minLoop) {
      m_state.stack.pop_back();
      ++m_state.stack.back().index;
      return;
    }
    if (++top.iteration >= top.loop->maxLoop) {
      IscReportf(kIscWarning, false, nullptr, "\n*** ==> [%s]: max flow loop count [%ld] reached",
                 m_device.name.c_str(), static_cast<long>(top.loop->maxLoop));
      Fail(false);
      return;
    }
    top.index = 0;
    top.failures = 0;
    return;
  }
  BsdlFlow& flow = Flow();
  int64_t repeats = m_state.phase == kBsdlRepeat ? flow.repeatCount : 1;
  if (++m_state.repeat <= repeats) {
    top.index = 0;
    return;
  }
  if (IscActivitiesTakeData(*top.list) &&
      m_device.lookup.next < m_device.lookup.array->sections[m_state.phase].size()) {
    IscReportf(kIscError, false, nullptr, "Data block has too many data records");
  }
  if (IscWritesIscFormat(m_device) && !flow.dataName.empty()) {
    IscDataWriteFile(*m_device.output, kIscWriteSection, nullptr, kIscWriteSectionEnd);
  }
  m_state.stack.pop_back();
}

}  // namespace zor::isc
