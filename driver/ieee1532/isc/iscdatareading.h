// Pieces shared by the ISC data file reader.
#pragma once

#include <string>

#include "driver/ieee1532/bsdl/bsdlentity.h"
#include "driver/ieee1532/isc/iscdatafile.h"
#include "driver/ieee1532/text/iscinputfile.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

// Pieces of the ISC data file reader.

[[noreturn]] inline void IscDataFail(IscInputFile& in, const char* text) {
  IscReportMessage(kIscError, text, true, &in);
  throw EngineStop{};
}

inline void IscDataNext(IscInputFile& in) { InputFileNextToken(in, kIscTokenSkipSpace); }

inline void IscDataExpect(IscInputFile& in, char c, const char* message) {
  IscDataNext(in);
  if (!InputFileTokenIsChar(in, c)) IscDataFail(in, message);
}

// The header up to its closing ')'.
void IscDataReadHeader(IscDataFile& data, IscInputFile& in);
// Messages for a creation date that is not YYYYMMDD.HHMM or out of range.
void IscDataCheckDate(const std::string& date);
// Overrides after the header; registering them applies them to the entity.
void IscDataReadOverrides(IscDataFile& data, IscInputFile& in, BsdlEntity* entity,
                          bool registering);

}  // namespace zor::isc
