// Parses the ISC procedures and actions of a BSDL entity, and overrides of an action.
#include "driver/ieee1532/bsdl/bsdlparser.h"
#include "driver/ieee1532/bsdl/bsdlparsing.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

namespace {

// NAME ['(' DATA ')']; the current token is the name. Leaves the token after it.
void ReadNameAndData(IscInputFile& value, std::string& name, std::string& data,
                     const char* nameMessage, const char* dataMessage) {
  if (!BsdlIsName(value)) BsdlError(value, "%s", nameMessage);
  name = value.lowerToken;
  BsdlNext(value);
  if (!BsdlIsChar(value, '(')) return;
  BsdlNext(value);
  if (!BsdlIsName(value)) BsdlError(value, "%s", dataMessage);
  data = value.lowerToken;
  BsdlExpect(value, ')');
  BsdlNext(value);
}

std::string WithData(const std::string& name, const std::string& data) {
  return data.empty() ? name : name + "(" + data + ")";
}

void ReadProcedureFlows(BsdlEntity& entity, IscInputFile& value, BsdlProcedure& procedure) {
  while (true) {
    BsdlNext(value);
    BsdlProcedureFlow flow;
    ReadNameAndData(value, flow.name, flow.data, "Flow descriptor/name expected",
                    "Flow data parameter expected");
    flow.flow = entity.FindFlow(flow.name, flow.data);
    if (flow.flow < 0) {
      if (flow.data.empty()) {
        BsdlError(value, "Flow descriptor [%s] not in ISC_FLOW attribute list", flow.name.c_str());
      }
      BsdlError(value, "Flow descriptor [%s(%s)] not in ISC_FLOW attribute list", flow.name.c_str(),
                flow.data.c_str());
    }
    procedure.flows.push_back(flow);
    if (BsdlIsChar(value, ')')) return;
    if (!BsdlIsChar(value, ',')) BsdlError(value, "',' or ')' expected");
  }
}

void FindActionProcedure(const BsdlEntity& entity, IscInputFile& value,
                         BsdlActionProcedure& reference) {
  reference.procedure = entity.FindProcedure(reference.name, reference.data);
  if (reference.procedure >= 0) return;
  if (reference.data.empty()) {
    BsdlError(value, "Procedure [%s] not in ISC_PROCEDURE attribute list", reference.name.c_str());
  }
  BsdlError(value, "Procedure [%s(%s)] not in ISC_PROCEDURE attribute list", reference.name.c_str(),
            reference.data.c_str());
}

// "optional", "recommended" and "proprietary" after a procedure, from the current token on.
void ReadProcedureMarks(IscInputFile& value, BsdlAction& action, BsdlActionProcedure& reference) {
  while (BsdlIs(value, "optional") || BsdlIs(value, "recommended") ||
         BsdlIs(value, "proprietary")) {
    if (BsdlIs(value, "proprietary")) {
      if (action.proprietary) BsdlWarn(value, "Procedure exclusivity already specified");
      action.proprietary = true;
    } else {
      if (reference.setting != kBsdlOn) {
        BsdlWarn(value, "Overriding previous procedure \"Optional | Recommended\" setting");
      }
      reference.setting = BsdlIs(value, "optional") ? kBsdlOptional : kBsdlRecommended;
    }
    BsdlNext(value);
  }
}

void ReadActionProcedures(BsdlEntity& entity, IscInputFile& value, BsdlAction& action) {
  while (true) {
    BsdlNext(value);
    BsdlActionProcedure reference;
    ReadNameAndData(value, reference.name, reference.data, "Procedure descriptor/name expected",
                    "Procedure data parameter expected");
    FindActionProcedure(entity, value, reference);
    ReadProcedureMarks(value, action, reference);
    action.procedures.push_back(reference);
    if (BsdlIsChar(value, ')')) return;
    if (!BsdlIsChar(value, ','))
      BsdlError(value, "Expecting ',' or PROPRIETARY | OPTIONAL | RECOMMENDED");
  }
}

}  // namespace

void BsdlParseProcedures(BsdlEntity& entity, IscInputFile& value) {
  while (true) {
    BsdlNext(value);
    if (value.eof) break;
    BsdlProcedure procedure;
    ReadNameAndData(value, procedure.name, procedure.dataName, "Procedure name expected",
                    "Procedure data name expected");
    if (entity.FindProcedure(procedure.name, procedure.dataName) >= 0) {
      if (procedure.dataName.empty()) {
        BsdlError(value, "Proc [%s] already defined", procedure.name.c_str());
      }
      BsdlError(value, "Proc [%s(%s)] already defined", procedure.name.c_str(),
                procedure.dataName.c_str());
    }
    if (!BsdlIsChar(value, '=')) BsdlError(value, "Expected [%c] in BSDL file", '=');
    BsdlExpect(value, '(');
    ReadProcedureFlows(entity, value, procedure);
    entity.AddProcedure(procedure);
    BsdlNext(value);
    if (value.eof) break;
    if (!BsdlIsChar(value, ',')) BsdlError(value, "',' or ';' expected");
  }
  if (entity.FindProcedure("proc_error_exit", "") < 0) {
    BsdlWarn(value, "Mandatory proc_error_exit not defined");
  }
  if (entity.FindProcedure("proc_program_done", "") < 0) {
    BsdlWarn(value, "Mandatory proc_program_done not defined");
  }
}

void BsdlParseActions(BsdlEntity& entity, IscInputFile& value) {
  while (true) {
    BsdlNext(value);
    if (value.eof) break;
    BsdlAction action;
    ReadNameAndData(value, action.name, action.dataName, "Action name expected",
                    "Action data name expected");
    if (BsdlIs(value, "proprietary")) {
      action.proprietary = true;
      BsdlNext(value);
    }
    if (!BsdlIsChar(value, '=')) BsdlError(value, "Invalid keyword or '=' expected");
    BsdlExpect(value, '(');
    ReadActionProcedures(entity, value, action);
    entity.AddAction(action);
    BsdlNext(value);
    if (value.eof) break;
    if (!BsdlIsChar(value, ',')) BsdlError(value, "',' or ';' expected");
  }
}

void BsdlOverrideAction(BsdlEntity& entity, const std::string& action, const std::string& data,
                        const std::string& procedure, const std::string& procedureData,
                        int setting) {
  int index = entity.FindAction(action, data);
  if (index < 0) {
    IscReportf(kIscWarning, false, nullptr, "No action [%s] in [%s] to override",
               WithData(action, data).c_str(), entity.name.c_str());
    return;
  }
  BsdlAction& target = entity.actions[static_cast<size_t>(index)];
  for (BsdlActionProcedure& reference : target.procedures) {
    if (reference.name != procedure || reference.data != procedureData) continue;
    if (reference.setting == kBsdlOn) {
      IscReportf(kIscWarning, false, nullptr, "Action [%s] Proc [%s] in [%s] is mandatory",
                 WithData(action, data).c_str(), WithData(procedure, procedureData).c_str(),
                 entity.name.c_str());
      return;
    }
    reference.overrideSetting = setting;
    return;
  }
  IscReportf(kIscWarning, false, nullptr, "No action [%s] proc [%s] in [%s] to override",
             WithData(action, data).c_str(), WithData(procedure, procedureData).c_str(),
             entity.name.c_str());
}

}  // namespace zor::isc
