// Field values, data records and variables turned into scan bits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/ieee1532/bsdl/bsdlentity.h"
#include "driver/ieee1532/chain/chaindevice.h"

namespace zor::isc {

// Resolves one field value to '0'/'1' characters, most significant bit first, at text[position].
// Data values take the next record of the device's current data section.
void BsdlFieldDataFromIsc(const BsdlFieldValue& value, ChainDevice& device, BsdlFlow& flow,
                          std::string& text, int64_t position, int64_t width);

// Applies a variable's update operator (shift, add, subtract, complement) to its current value.
void IscApplyVariableOperator(BsdlVariable& variable, char op, int64_t count);

// Hex text of a data record into width bits, most significant character first.
std::string IscHexRowToBits(const std::string& row, int64_t width);
std::vector<uint32_t> IscBitsToWords(const std::string& bits);
std::string IscWordsToBits(const std::vector<uint32_t>& words, int64_t width);

// Writes bits as one hex record of the device's output file.
void IscWriteFieldRecord(IscInputFile& output, const std::string& bits);

// True when a value takes a record of the ISC data file.
bool IscValueTakesData(const BsdlFieldValue& value);
// True when an activity of the list (loops included) takes a record of the ISC data file.
bool IscActivitiesTakeData(const std::vector<BsdlActivity>& list);
// Bits as they go to the pins: every character but '0' is sent as 1.
std::string IscSendableBits(std::string bits);

// True when the captured bits of a value go to the output file.
bool IscValueWritesOutput(const BsdlFieldValue& value);

}  // namespace zor::isc
