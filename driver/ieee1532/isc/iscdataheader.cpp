// Reads an ISC data file's header and overrides, and checks its creation date.
#include <cctype>
#include <cstdlib>

#include "driver/ieee1532/bsdl/bsdlparser.h"
#include "driver/ieee1532/isc/iscdatareading.h"

namespace zor::isc {

namespace {

std::string ReadQuoted(IscInputFile& in) {
  IscDataNext(in);
  if (!InputFileTokenIsChar(in, '"')) return in.token;
  std::string text;
  while (true) {
    InputFileGetChar(in, false);
    if (in.eof || in.current == '"') break;
    text += static_cast<char>(in.current);
  }
  return text;
}

void ReadVersion(IscDataFile& data, IscInputFile& in) {
  IscDataNext(in);
  if (in.tokenKind != kIscTokenName) IscDataFail(in, "version expected");
  data.version = in.lowerToken;
  if (data.version != "std_1532_2000" && data.version != "std_1532_2001") {
    IscReportf(kIscWarning, true, &in, "Unsupported version [%s]", in.token.c_str());
  }
}

// The date, and the time after a '.' when there is one.
void ReadCreationDate(IscDataFile& data, IscInputFile& in) {
  IscDataNext(in);
  if (in.tokenKind != kIscTokenNumber) IscDataFail(in, "creation date expected");
  data.creationDate = in.token;
  IscDataNext(in);
  if (!InputFileTokenIsChar(in, '.')) {
    InputFilePushBackToken(in);
    return;
  }
  IscDataNext(in);
  if (in.tokenKind != kIscTokenNumber) IscDataFail(in, "hours:mins part expected");
  data.creationDate += "." + in.token;
}

void ReadEntityNames(IscDataFile& data, IscInputFile& in) {
  do {
    IscDataNext(in);
    if (in.tokenKind != kIscTokenName) IscDataFail(in, "device entity name expected");
    data.entities.push_back(in.lowerToken);
    IscDataNext(in);
  } while (InputFileTokenIsChar(in, ','));
  InputFilePushBackToken(in);
}

void ReadNameWithData(IscInputFile& in, std::string& name, std::string& dataName,
                      const char* nameMessage, const char* dataMessage) {
  IscDataNext(in);
  if (in.tokenKind != kIscTokenName) IscDataFail(in, nameMessage);
  name = in.lowerToken;
  IscDataNext(in);
  if (!InputFileTokenIsChar(in, '(')) {
    InputFilePushBackToken(in);
    return;
  }
  IscDataNext(in);
  if (in.tokenKind != kIscTokenName) IscDataFail(in, dataMessage);
  dataName = in.lowerToken;
  IscDataExpect(in, ')', dataMessage);
}

void RegisterOverride(IscDataFile& data, BsdlEntity* entity, const IscOverride& entry) {
  for (const IscOverride& known : data.overrides) {
    if (known.action != entry.action || known.actionData != entry.actionData ||
        known.procedure != entry.procedure || known.procedureData != entry.procedureData) {
      continue;
    }
    if (known.setting != entry.setting) {
      std::string proc = entry.procedureData.empty() ? "" : "(" + entry.procedureData + ")";
      IscReportf(kIscWarning, false, nullptr,
                 "Action [%s] Proc [%s%s] override setting already defined", entry.action.c_str(),
                 entry.procedure.c_str(), proc.c_str());
    }
    return;
  }
  data.overrides.push_back(entry);
  if (entity != nullptr) {
    BsdlOverrideAction(*entity, entry.action, entry.actionData, entry.procedure,
                       entry.procedureData, entry.setting);
  }
}

}  // namespace

void IscDataCheckDate(const std::string& date) {
  bool shaped = date.size() == 13 && date[8] == '.';
  for (size_t i = 0; shaped && i < date.size(); ++i) {
    shaped = i == 8 || std::isdigit(static_cast<unsigned char>(date[i]));
  }
  if (!shaped) {
    IscReportf(kIscWarning, false, nullptr, "[%s]: invalid date (must use YYYYMMDD.HHMM format)",
               date.c_str());
    return;
  }
  auto part = [&](size_t at, size_t length) {
    return strtol(date.substr(at, length).c_str(), nullptr, 10);
  };
  long month = part(4, 2), day = part(6, 2), hour = part(9, 2), minute = part(11, 2);
  char text[kIscMessageBufferSize];
  snprintf(text, sizeof(text), "yyyyMMdd.hhmm = %s: invalid month %ld", date.c_str(), month);
  IscCheckRange(kIscWarning, text, 1, month, 12);
  snprintf(text, sizeof(text), "yyyymmDD.hhmm = %s: invalid day for month %ld", date.c_str(),
           month);
  IscCheckRange(kIscWarning, text, 1, day, 31);
  snprintf(text, sizeof(text), "yyyymmdd.HHmm = %s: invalid hour value %ld", date.c_str(), hour);
  IscCheckRange(kIscWarning, text, 0, hour, 23);
  snprintf(text, sizeof(text), "yyyymmdd.hhMM = %s: invalid minute value %ld", date.c_str(),
           minute);
  IscCheckRange(kIscWarning, text, 0, minute, 59);
}

void IscDataReadHeader(IscDataFile& data, IscInputFile& in) {
  static constexpr const char* kOpening[] = {"IEEE_1532_Data", "(", "Header", "(", "STD_Version"};
  for (const char* word : kOpening) InputFileExpectWord(in, word, true);
  ReadVersion(data, in);
  while (true) {
    IscDataNext(in);
    if (in.eof) IscDataFail(in, "[)] not found");
    if (InputFileTokenIsChar(in, ')')) break;
    if (InputFileTokenIs(in, "creation_date")) {
      ReadCreationDate(data, in);
    } else if (InputFileTokenIs(in, "creator")) {
      data.creator = ReadQuoted(in);
    } else if (InputFileTokenIs(in, "entity")) {
      ReadEntityNames(data, in);
    }
  }
}

void IscDataReadOverrides(IscDataFile& data, IscInputFile& in, BsdlEntity* entity,
                          bool registering) {
  IscDataNext(in);
  while (InputFileTokenIs(in, "override")) {
    IscOverride entry;
    ReadNameWithData(in, entry.procedure, entry.procedureData, "procedure name expected",
                     "procedure data name expected");
    ReadNameWithData(in, entry.action, entry.actionData, "action name expected",
                     "action data name expected");
    IscDataNext(in);
    static const char* const kSettings[] = {"on", "off", "optional", "recommended"};
    for (int i = 0; i < 4; ++i) {
      if (InputFileTokenIs(in, kSettings[i])) entry.setting = i + 1;
    }
    if (entry.setting == 0) IscDataFail(in, "use ON, OFF, OPTIONAL, or RECOMMENDED");
    if (registering) RegisterOverride(data, entity, entry);
    IscDataNext(in);
    if (InputFileTokenIsChar(in, ',')) {
      IscDataNext(in);
      continue;
    }
    if (InputFileTokenIs(in, "override")) IscDataFail(in, "Separate multiple overrides with ','");
  }
  InputFilePushBackToken(in);
}

}  // namespace zor::isc
