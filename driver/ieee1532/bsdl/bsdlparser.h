// Reading BSDL files into an entity, and printing what was read.
#pragma once

#include <string>

#include "driver/ieee1532/bsdl/bsdlentity.h"
#include "driver/ieee1532/text/iscinputfile.h"

namespace zor::isc {

// Reads one BSDL file into entity; 1 when the entity's "end" statement was found.
int BsdlParseFile(BsdlEntity& entity, IscInputFile& input);
// One "attribute" statement; the word "attribute" has been read.
void BsdlParseAttribute(BsdlEntity& entity, IscInputFile& input);
// Data register of an instruction, by opcode table index; stops the run when there is none.
const BsdlDataRegister& BsdlRegisterForOpcode(const BsdlEntity& entity, int opcode);
void BsdlOverrideAction(BsdlEntity& entity, const std::string& action, const std::string& data,
                        const std::string& procedure, const std::string& procedureData,
                        int setting);
void BsdlDumpInfo(const BsdlEntity& entity);
void BsdlDumpFlows(const BsdlEntity& entity);

}  // namespace zor::isc
