// Checks each device's action against its BSDL entity and prints the chain's summary.
#include <algorithm>
#include <cstdio>

#include "driver/ieee1532/chain/chaindevice.h"
#include "driver/ieee1532/engine/iscsettings.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

namespace {

std::string EntityName(const ChainDevice& device) {
  return device.entity != nullptr ? device.entity->name : std::string(" ");
}

void MaxOfActivities(const BsdlEntity& entity, const std::vector<BsdlActivity>& list,
                     int64_t& length) {
  for (const BsdlActivity& activity : list) {
    if (activity.isLoop) {
      MaxOfActivities(entity, activity.loop, length);
    } else {
      length = std::max(length, entity.RegisterLength(activity.opcode));
    }
  }
}

bool ActionUsesData(const BsdlEntity& entity, const BsdlAction& action) {
  for (const BsdlActionProcedure& reference : action.procedures) {
    for (const BsdlProcedureFlow& flow :
         entity.procedures[static_cast<size_t>(reference.procedure)].flows) {
      if (entity.flows[static_cast<size_t>(flow.flow)].dataCount > 0) return true;
    }
  }
  return false;
}

void ListActions(const BsdlEntity& entity) {
  IscMessagef(kIscLinePlain, "  - Valid [%s] actions are:", entity.name.c_str());
  for (const BsdlAction& action : entity.actions) {
    std::string text = action.name;
    if (!action.dataName.empty()) text += "(" + action.dataName + ")";
    IscMessagef(kIscLinePlain, "    = %s", text.c_str());
  }
}

bool ValidateDevice(ChainDevice& device) {
  if (device.entity != nullptr && device.entity->instructionLength > 0) {
    int64_t length = device.entity->instructionLength;
    if (device.irLength != 0 && device.irLength != length) {
      IscMessagef(kIscLinePlain, "  => [%s]: will use instr reg length [%ld] from [%s]",
                  device.name.c_str(), static_cast<long>(length), device.entity->name.c_str());
    }
    device.irLength = length;
  }
  if (device.action.empty()) return true;
  if (device.output && device.iscOutput) device.output->iscFormat = true;
  if (device.entity == nullptr) {
    IscReportf(kIscError, false, nullptr, "Device [%s] action [%s] requires 1532 BSDL file",
               device.name.c_str(), device.action.c_str());
  }
  const BsdlEntity& entity = *device.entity;
  const BsdlAction* action = ChainFindAction(device);
  if (action == nullptr) {
    if (device.actionData.empty()) {
      IscReportf(kIscWarning, false, nullptr, "[%s]: invalid action for [%s (%s)]",
                 device.action.c_str(), device.name.c_str(), entity.name.c_str());
    } else {
      IscReportf(kIscWarning, false, nullptr, "[%s(%s)]: invalid action for device [%s (%s)]",
                 device.action.c_str(), device.actionData.c_str(), device.name.c_str(),
                 entity.name.c_str());
    }
    ListActions(entity);
    return false;
  }
  if (!ActionUsesData(entity, *action)) return true;
  if (device.data == nullptr) {
    IscReportf(kIscWarning, false, nullptr, "datafile needed for action [%s] for device [%s (%s)]",
               ChainActionText(device).c_str(), device.name.c_str(), entity.name.c_str());
    return false;
  }
  IscDataReadFile(*device.data, kIscDataReadHeader, device.entity, "", device.lookup);
  return true;
}

}  // namespace

const BsdlAction* ChainFindAction(const ChainDevice& device) {
  if (device.entity == nullptr || device.action.empty()) return nullptr;
  int index = device.entity->FindAction(device.action, device.actionData);
  return index < 0 ? nullptr : &device.entity->actions[static_cast<size_t>(index)];
}

std::string ChainActionText(const ChainDevice& device) {
  return device.actionData.empty() ? device.action : device.action + "(" + device.actionData + ")";
}

int64_t ChainActionRegisterLength(const ChainDevice& device) {
  const BsdlAction* action = ChainFindAction(device);
  if (action == nullptr) return 0;
  const BsdlEntity& entity = *device.entity;
  int64_t length = 0;
  for (const BsdlActionProcedure& reference : action->procedures) {
    for (const BsdlProcedureFlow& flow :
         entity.procedures[static_cast<size_t>(reference.procedure)].flows) {
      for (const auto& phase : entity.flows[static_cast<size_t>(flow.flow)].phases) {
        MaxOfActivities(entity, phase, length);
      }
    }
  }
  return length;
}

int ChainValidateActions(Chain& chain) {
  bool valid = true;
  for (const auto& device : chain.devices) valid = ValidateDevice(*device) && valid;
  return valid ? 1 : 0;
}

void ChainPrintSummary(Chain& chain, int mode) {
  int64_t irTotal = 0;
  int64_t drTotal = 0;
  int64_t drCount = 0;
  int64_t drMax = 0;
  for (const auto& device : chain.devices) {
    if (device->skip) continue;
    irTotal += device->irLength;
    bool valid = ChainFindAction(*device) != nullptr;
    int64_t length = valid ? ChainActionRegisterLength(*device) : 0;
    if (IscGetSettings().debugInfo) {
      char head[kIscMessageBufferSize];
      snprintf(head, sizeof head, "-[%3ld] %s (%s) IR(%ld)", static_cast<long>(device->position),
               device->name.c_str(), EntityName(*device).c_str(),
               static_cast<long>(device->irLength));
      std::string line = head;
      if (valid) line += ": " + ChainActionText(*device) + " DR(" + std::to_string(length) + ")";
      IscWriteMessageLine(line.c_str(), kIscLinePlain);
    }
    if (mode == 1) {
      // A device without action still puts its bypass bit in every common scan.
      drTotal += valid ? length : 1;
    } else if (valid) {
      drCount += drMax >= length ? 2 : 1;
      drMax = std::max(drMax, length);
    }
  }
  if (mode != 1) drTotal = drCount - 1 + drMax;
  int64_t size = std::max(irTotal, drTotal);
  IscMessagef(kIscLinePlain, "-> Max Reg Size: IR %6ld | DR %6ld (%s mode) TDI (%ld)",
              static_cast<long>(irTotal), static_cast<long>(drTotal),
              mode == 1 ? "concurrent" : "sequential", static_cast<long>(size));
  if (size > kChainMaxScanBits) {
    IscReportf(kIscError, false, nullptr, "Chain scans of [%ld] bits exceed [%ld]",
               static_cast<long>(size), static_cast<long>(kChainMaxScanBits));
  }
  chain.maxRegister = size;
  for (std::string* buffer : {&chain.tdiText, &chain.tdoText, &chain.expected, &chain.mask}) {
    buffer->assign(static_cast<size_t>(size + 1), '\0');
  }
}

void ChainPrintCommandFileHelp() {
  static const char* const kLines[] = {
      "--- ISC Command File Format and Options ----------------",
      "  = devices are specified in TDO to TDI order",
      "  = format: device_name [options]; [device_name [options];]",
      "  = options:",
      "     -a\"<action name>\"",
      "     -b\"<BSDL filename>\"",
      "     -d\"<ISC data filename>\"  <-- specify file if required by action",
      "     -iN   <-- N = JTAG instr reg length (to BYPASS part if no BSDL)",
      "     -o\"<device output filename>\"",
      "     -data_isc  <-- use ISC data format for -o\"filename\"",
      "     -skip_dev  <-- skip device (device is physically not in JTAG chain)",
  };
  for (const char* line : kLines) IscWriteMessageLine(line, kIscLinePlain);
}

}  // namespace zor::isc
