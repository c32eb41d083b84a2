// ActionRun and ProcedureRun: a device's action run flow by flow, with the error-exit procedure.
#include "driver/ieee1532/engine/iscsettings.h"
#include "driver/ieee1532/flow/iscfieldbits.h"
#include "driver/ieee1532/flow/iscflow.h"
#include "driver/ieee1532/host/iscport.h"
#include "driver/ieee1532/tap/isctap.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

namespace {

// Every repetition of a phase's activities; false at the first that failed.
bool RunRepetitions(ChainDevice& device, BsdlFlow& flow, const std::vector<BsdlActivity>& list,
                    int64_t repeats) {
  for (int64_t repeat = 1; repeat <= repeats; ++repeat) {
    for (const BsdlActivity& activity : list) {
      if (FlowRunLoop(device, activity, flow, repeat, false) != 0) return false;
    }
  }
  return true;
}

// One phase with its data section; false when an activity failed.
bool RunPhase(ChainDevice& device, BsdlFlow& flow, int phase, bool output) {
  const std::vector<BsdlActivity>& list = flow.phases[phase];
  const bool takesData = IscActivitiesTakeData(list);
  if (takesData) IscDataFindSection(*device.data, flow.dataName, phase, device.lookup);
  if (output) IscDataWriteFile(*device.output, kIscWriteSection, nullptr, phase);
  const int64_t repeats = phase == kBsdlRepeat ? flow.repeatCount : 1;
  if (!RunRepetitions(device, flow, list, repeats)) return false;
  if (takesData && device.lookup.next < device.lookup.array->sections[phase].size()) {
    IscReportf(kIscError, false, nullptr, "Data block has too many data records");
  }
  if (output) IscDataWriteFile(*device.output, kIscWriteSection, nullptr, kIscWriteSectionEnd);
  return true;
}

// Runs the phases of one flow; false when an activity failed.
bool RunFlow(ChainDevice& device, BsdlFlow& flow) {
  const bool output = IscWritesIscFormat(device) && !flow.dataName.empty();
  if (flow.dataCount > 0) {
    IscDataReadFile(*device.data, kIscDataFindArray, device.entity, flow.dataName, device.lookup);
  }
  if (output) IscDataWriteFile(*device.output, kIscWriteArray, flow.dataName.c_str(), 0);
  for (int phase = kBsdlInitialize; phase <= kBsdlTerminate; ++phase) {
    if (flow.hasPhase[phase] && !RunPhase(device, flow, phase, output)) return false;
  }
  if (output) IscDataWriteFile(*device.output, kIscWriteArrayEnd, nullptr, 0);
  return true;
}

bool RunsProcedure(const BsdlActionProcedure& reference) {
  int setting = reference.overrideSetting != 0 ? reference.overrideSetting : reference.setting;
  return setting != kBsdlOff && setting != kBsdlOptional;
}

}  // namespace

bool IscWritesIscFormat(const ChainDevice& device) {
  return device.output && device.output->stream != nullptr && device.output->iscFormat;
}

void IscRunErrorExit(Chain& chain, ChainDevice& device) {
  if (!IscGetSettings().runErrorExitProc) return;
  int index = device.entity->ErrorExitProcedure();
  if (index < 0) {
    IscReportf(kIscWarning, false, nullptr, "\nPROC_ERROR_EXIT not defined for [%s]",
               device.entity->name.c_str());
    return;
  }
  BsdlActionProcedure reference;
  reference.name = "proc_error_exit";
  reference.procedure = index;
  if (ProcedureRun(chain, device, reference) != 1) {
    IscReportf(kIscWarning, false, nullptr, "PROC_ERROR_EXIT for [%s] unsuccessful",
               device.entity->name.c_str());
  }
}

int ProcedureRun(Chain& /*chain*/, ChainDevice& device, const BsdlActionProcedure& reference) {
  const BsdlProcedure& procedure =
      device.entity->procedures[static_cast<size_t>(reference.procedure)];
  for (const BsdlProcedureFlow& flowReference : procedure.flows) {
    BsdlFlow& flow = device.entity->flows[static_cast<size_t>(flowReference.flow)];
    if (RunFlow(device, flow)) continue;
    if (flow.exitOnError && IscGetSettings().stopOnExitOnError) IscChainStop() = true;
    return 0;
  }
  return 1;
}

int ActionRun(Chain& chain, ChainDevice& device) {
  const BsdlAction* action = ChainFindAction(device);
  if (action == nullptr) return 0;
  IscResetMismatchCount();
  if (device.output) {
    InputFileReopen(*device.output, IscGetSettings().commitOnWrite ? "c" : "w");
    IscDataWriteFile(*device.output, kIscWriteHeader, device.entity->name.c_str(), 0);
  }
  bool passed = true;
  for (const BsdlActionProcedure& reference : action->procedures) {
    if (!RunsProcedure(reference)) continue;
    if (ProcedureRun(chain, device, reference) != 1) {
      passed = false;
      break;
    }
  }
  if (!passed) IscRunErrorExit(chain, device);
  if (device.output) {
    IscDataWriteFile(*device.output, kIscWriteEnd, nullptr, 0);
    InputFileClose(*device.output);
  }
  return passed ? 1 : 0;
}

}  // namespace zor::isc
