// Builds command records the way the host library fills them and runs them
// through the decoder.
#pragma once

#include <bit>
#include <cstdint>

#include "driver/frameworkuser/decoder/commanddecoder.h"
#include "interfaces/hostcommand/commandrecord.h"

namespace zor::frame {

class CommandBuilder {
 public:
  explicit CommandBuilder(uint16_t opcode, int64_t systemIndex = 0) : record_{} {
    record_.header = QD_RECORD_HEADER;
    record_.operation = opcode;
    record_.systemIndex = systemIndex;
  }

  CommandBuilder& Flags(uint32_t flags) {
    record_.commandFlags = flags;
    return *this;
  }
  CommandBuilder& Param(int slot, uint32_t type, int64_t value, int64_t driverIndex = 0) {
    QDCommandParam& param = Slot(slot);
    param.type = type;
    param.value.integer = value;
    param.driverIndex = driverIndex;
    return *this;
  }
  CommandBuilder& Int(int slot, int64_t value) { return Param(slot, QD_TYPE_INT64, value); }
  CommandBuilder& Object(int slot, int64_t driverIndex) {
    return Param(slot, QD_TYPE_ID, 0, driverIndex);
  }
  CommandBuilder& Double(int slot, double value) {
    return Param(slot, QD_TYPE_DOUBLE, std::bit_cast<int64_t>(value));
  }
  CommandBuilder& Pointer(int slot, const void* address) {
    return Param(slot, QD_TYPE_ADDRESS, reinterpret_cast<intptr_t>(address));
  }
  CommandBuilder& WideText(int slot, const wchar_t* text) {
    Param(slot, QD_TYPE_WSTRING, reinterpret_cast<intptr_t>(text));
    Slot(slot).flags = QD_PARAM_COUNT_PENDING;
    return *this;
  }

  uint16_t Run() {
    record_.status = 0;
    QDDravionLynCommandDecoder(&record_);
    return record_.status;
  }
  QDCommandRecord& Record() { return record_; }

 private:
  QDCommandParam& Slot(int slot) {
    if (record_.paramCount < slot + 1) record_.paramCount = static_cast<uint8_t>(slot + 1);
    return record_.params[slot];
  }

  QDCommandRecord record_;
};

}  // namespace zor::frame
