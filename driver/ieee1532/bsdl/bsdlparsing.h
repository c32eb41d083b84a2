// Token helpers shared by the BSDL parsers.
#pragma once

#include <cstdint>
#include <string>

#include "driver/ieee1532/bsdl/bsdlentity.h"
#include "driver/ieee1532/text/iscinputfile.h"

namespace zor::isc {

// Token helpers shared by the BSDL statement and attribute parsers.

void BsdlNext(IscInputFile& file);
bool BsdlIs(const IscInputFile& file, const char* lowerWord);
bool BsdlIsChar(const IscInputFile& file, char c);
bool BsdlIsName(const IscInputFile& file);
// Next token must be c: "Expected [c] in BSDL file".
void BsdlExpect(IscInputFile& file, char c);
// Next token must be a number not below 0.
int64_t BsdlPositive(IscInputFile& file);
// A positive length of at most kBsdlMaxRegisterLength.
int64_t BsdlRegisterLength(IscInputFile& file);
[[noreturn]] void BsdlError(IscInputFile& file, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
void BsdlWarn(IscInputFile& file, const char* format, ...) __attribute__((format(printf, 2, 3)));
bool BsdlOnlyChars(const std::string& text, const char* allowed);

// Reads an attribute or constant value up to its ';': the strings are joined as VHDL does, so a
// name or number split over two strings stays whole. The value is read from value afterwards.
void BsdlCollectValue(IscInputFile& file, IscInputFile& value);

void BsdlParsePortList(BsdlEntity& entity, IscInputFile& file);
void BsdlParsePinMap(BsdlEntity& entity, IscInputFile& value);
void BsdlParseBoundaryRegister(BsdlEntity& entity, IscInputFile& value);
void BsdlParseRegisterAccess(BsdlEntity& entity, IscInputFile& value);
void BsdlApplyStandardRegisters(BsdlEntity& entity);
void BsdlCheckMandatoryOpcodes(BsdlEntity& entity, IscInputFile& file);
void BsdlParseFlows(BsdlEntity& entity, IscInputFile& value);
void BsdlParseActivityField(BsdlFlow& flow, IscInputFile& value, BsdlField& field);
void BsdlParseProcedures(BsdlEntity& entity, IscInputFile& value);
void BsdlParseActions(BsdlEntity& entity, IscInputFile& value);

}  // namespace zor::isc
