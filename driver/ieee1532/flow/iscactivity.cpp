// One activity of a flow: instruction and data scans, waits, compares and mismatch reports.
#include <algorithm>

#include "driver/ieee1532/engine/iscenginestate.h"
#include "driver/ieee1532/flow/iscfieldbits.h"
#include "driver/ieee1532/flow/iscflow.h"
#include "driver/ieee1532/host/iscport.h"
#include "driver/ieee1532/tap/isctap.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

namespace {

bool Output(ChainDevice& device) { return device.output && device.output->stream != nullptr; }

void ReportMismatch(const ChainDevice& device, int64_t bit, int64_t length, int64_t repeatIndex,
                    int64_t fieldBit, int64_t fieldWidth, int64_t fieldNumber) {
  int64_t& mismatches = IscState().mismatches;
  ++mismatches;
  int64_t limit = IscGetSettings().maxBitErrors;
  if (mismatches > limit) {
    if (mismatches - 1 == limit) {
      IscReportf(kIscWarning, false, nullptr,
                 "\n=> Other mismatches suppressed (more than %ld mismatches)",
                 static_cast<long>(limit));
    }
    return;
  }
  std::string line = "\n[" + device.name + "] mismatch: bit [" + std::to_string(bit) + "] in [" +
                     std::to_string(length - 1) + ":0] bit field";
  if (repeatIndex > 1) line += " (rpt count [" + std::to_string(repeatIndex) + "])";
  if (IscGetSettings().debugInfo && fieldWidth < length) {
    line += "\r= bit [" + std::to_string(fieldBit) + "] in [" + std::to_string(fieldWidth - 1) +
            ":0] bit subfield # " + std::to_string(fieldNumber);
  }
  IscWriteMessageLine(line.c_str(), 0);
}

}  // namespace

void IscResetMismatchCount() { IscState().mismatches = 0; }

bool& IscChainStop() { return IscState().chainStop; }

std::string IscOpcodeText(const ChainDevice& device, int opcode) {
  const BsdlEntity& entity = *device.entity;
  IscCheckRange(kIscError, "gOpInfo", 0, opcode, static_cast<int64_t>(entity.opcodes.size()) - 1);
  return entity.opcodes[static_cast<size_t>(opcode)].patterns.front();
}

void IscRunWait(const BsdlWait& wait) {
  if (wait.minTck > 0) {
    for (int32_t i = 0; i < wait.minTck; ++i) TapPulseTck(false);
    TapSetPin(kTapPinTck, 0);
  }
  if (wait.minTime > 0) {
    if (IscGetSettings().singleTckBeforeWait) {
      TapPulseTck(false);
      TapSetPin(kTapPinTck, 0);
    }
    TapWaitMicroseconds(static_cast<double>(wait.minTime) * 1e6);
  }
}

void BuildTdiText(const BsdlActivity& activity, bool concurrent, std::string& tdiText,
                  ChainDevice& device, BsdlFlow& flow, int64_t /*repeatIndex*/) {
  int64_t length = device.entity->RegisterLength(activity.opcode);
  tdiText.assign(static_cast<size_t>(length), '0');
  int64_t position = 0;
  for (const BsdlField& field : activity.update) {
    BsdlFieldDataFromIsc(field.value, device, flow, tdiText, position, field.width);
    if (IscValueWritesOutput(field.value) && Output(device)) {
      IscWriteFieldRecord(*device.output, tdiText.substr(static_cast<size_t>(position),
                                                         static_cast<size_t>(field.width)));
    }
    position += field.width;
  }
  if (!concurrent) {
    TapShiftString(kTapDataRegister, length, tdiText.c_str(), nullptr, false, false);
  }
}

int CompareCapturedTdo(const BsdlActivity& activity, bool concurrent, const std::string& tdoText,
                       ChainDevice& device, BsdlFlow& flow, int64_t repeatIndex) {
  int64_t length = 0;
  for (const BsdlField& field : activity.capture) length += field.width;
  std::string captured = tdoText;
  if (!concurrent) {
    std::string ones(static_cast<size_t>(length), '1');
    TapShiftString(kTapDataRegister, length, ones.c_str(), &captured, true, true);
  }
  bool mismatch = false;
  int64_t position = 0;
  int64_t fieldNumber = 0;
  for (const BsdlField& field : activity.capture) {
    std::string bits =
        captured.substr(static_cast<size_t>(position), static_cast<size_t>(field.width));
    if (IscValueWritesOutput(field.value) && Output(device)) {
      IscWriteFieldRecord(*device.output, bits);
    }
    std::string expected(static_cast<size_t>(field.width), '0');
    bool compare = field.value.kind == kBsdlFieldLiteral || IscValueTakesData(field.value) ||
                   (field.value.kind == kBsdlFieldVariable && field.value.op != '!');
    if (compare) BsdlFieldDataFromIsc(field.value, device, flow, expected, 0, field.width);
    std::string mask(static_cast<size_t>(field.width), '1');
    if (field.mask.kind != kBsdlFieldNone) {
      BsdlFieldDataFromIsc(field.mask, device, flow, mask, 0, field.width);
    }
    for (int64_t i = 0; compare && i < field.width; ++i) {
      size_t at = static_cast<size_t>(i);
      if (mask[at] != '1' || bits[at] == expected[at]) continue;
      mismatch = true;
      int64_t bitInRegister = length - 1 - (position + i);
      ReportMismatch(device, bitInRegister, length, repeatIndex, field.width - 1 - i, field.width,
                     fieldNumber);
    }
    position += field.width;
    ++fieldNumber;
  }
  return mismatch ? 1 : 0;
}

int FlowRunLoop(ChainDevice& device, const BsdlActivity& activity, BsdlFlow& flow,
                int64_t repeatIndex, bool /*inLoop*/) {
  if (activity.isLoop) {
    for (int64_t iteration = 0; iteration < activity.maxLoop; ++iteration) {
      int failures = 0;
      for (const BsdlActivity& inner : activity.loop) {
        failures += FlowRunLoop(device, inner, flow, repeatIndex, true);
      }
      if (failures == 0 && iteration >= activity.minLoop) return 0;
      if (iteration + 1 == activity.maxLoop) {
        IscReportf(kIscError, false, nullptr, "\n*** ==> Max flow loop count [%ld] reached",
                   static_cast<long>(activity.maxLoop));
      }
    }
    return 0;
  }
  std::string opcode = IscOpcodeText(device, activity.opcode);
  bool hasTdi = !activity.update.empty();
  TapShiftString(kTapInstructionRegister, static_cast<int64_t>(opcode.size()), opcode.c_str(),
                 nullptr, false, hasTdi);
  std::string tdi;
  if (hasTdi) BuildTdiText(activity, false, tdi, device, flow, repeatIndex);
  IscPortProgressTick();
  IscRunWait(activity.wait);
  if (activity.capture.empty()) return 0;
  return CompareCapturedTdo(activity, false, std::string(), device, flow, repeatIndex);
}

}  // namespace zor::isc
