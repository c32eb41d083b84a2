#include <cctype>
#include <cstdlib>

#include "driver/ieee1532/bsdl/bsdlparser.h"
#include "driver/ieee1532/engine/iscengineglobals.h"
#include "driver/ieee1532/engine/iscsettings.h"
#include "driver/ieee1532/isc/iscdatafile.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace {

const char* const kSectionNames[] = {"initialize", "repeat", "terminate"};

[[noreturn]] void Fail(IscInputFile& in, const char* text) {
  IscReportMessage(kIscError, text, true, &in);
  throw 1;
}

void Next(IscInputFile& in) { InputFileNextToken(in, kIscTokenSkipSpace); }

void Expect(IscInputFile& in, char c, const char* message) {
  Next(in);
  if (!InputFileTokenIsChar(in, c)) Fail(in, message);
}

void CheckDate(const std::string& date) {
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

std::string ReadQuoted(IscInputFile& in) {
  Next(in);
  if (!InputFileTokenIsChar(in, '"')) return in.token;
  std::string text;
  while (true) {
    InputFileGetChar(in, false);
    if (in.eof || in.current == '"') break;
    text += static_cast<char>(in.current);
  }
  return text;
}

void ReadHeader(IscDataFile& data, IscInputFile& in) {
  InputFileExpectWord(in, "IEEE_1532_Data", true);
  InputFileExpectWord(in, "(", true);
  InputFileExpectWord(in, "Header", true);
  InputFileExpectWord(in, "(", true);
  InputFileExpectWord(in, "STD_Version", true);
  Next(in);
  if (in.tokenKind != kIscTokenName) Fail(in, "version expected");
  data.version = in.lowerToken;
  if (data.version != "std_1532_2000" && data.version != "std_1532_2001") {
    IscReportf(kIscWarning, true, &in, "Unsupported version [%s]", in.token.c_str());
  }
  while (true) {
    Next(in);
    if (in.eof) Fail(in, "[)] not found");
    if (InputFileTokenIsChar(in, ')')) break;
    if (InputFileTokenIs(in, "creation_date")) {
      Next(in);
      if (in.tokenKind != kIscTokenNumber) Fail(in, "creation date expected");
      data.creationDate = in.token;
      Next(in);
      if (InputFileTokenIsChar(in, '.')) {
        Next(in);
        if (in.tokenKind != kIscTokenNumber) Fail(in, "hours:mins part expected");
        data.creationDate += "." + in.token;
      } else {
        InputFilePushBackToken(in);
      }
    } else if (InputFileTokenIs(in, "creator")) {
      data.creator = ReadQuoted(in);
    } else if (InputFileTokenIs(in, "entity")) {
      do {
        Next(in);
        if (in.tokenKind != kIscTokenName) Fail(in, "device entity name expected");
        data.entities.push_back(in.lowerToken);
        Next(in);
      } while (InputFileTokenIsChar(in, ','));
      InputFilePushBackToken(in);
    }
  }
}

void ReadNameWithData(IscInputFile& in, std::string& name, std::string& dataName,
                      const char* nameMessage, const char* dataMessage) {
  Next(in);
  if (in.tokenKind != kIscTokenName) Fail(in, nameMessage);
  name = in.lowerToken;
  Next(in);
  if (!InputFileTokenIsChar(in, '(')) {
    InputFilePushBackToken(in);
    return;
  }
  Next(in);
  if (in.tokenKind != kIscTokenName) Fail(in, dataMessage);
  dataName = in.lowerToken;
  Expect(in, ')', dataMessage);
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

// Overrides after the header; leaves the first token after them pushed back.
void ReadOverrides(IscDataFile& data, IscInputFile& in, BsdlEntity* entity, bool registering) {
  Next(in);
  while (InputFileTokenIs(in, "override")) {
    IscOverride entry;
    ReadNameWithData(in, entry.procedure, entry.procedureData, "procedure name expected",
                     "procedure data name expected");
    ReadNameWithData(in, entry.action, entry.actionData, "action name expected",
                     "action data name expected");
    Next(in);
    static const char* const kSettings[] = {"on", "off", "optional", "recommended"};
    for (int i = 0; i < 4; ++i) {
      if (InputFileTokenIs(in, kSettings[i])) entry.setting = i + 1;
    }
    if (entry.setting == 0) Fail(in, "use ON, OFF, OPTIONAL, or RECOMMENDED");
    if (registering) RegisterOverride(data, entity, entry);
    Next(in);
    if (InputFileTokenIsChar(in, ',')) {
      Next(in);
      continue;
    }
    if (InputFileTokenIs(in, "override")) Fail(in, "Separate multiple overrides with ','");
  }
  InputFilePushBackToken(in);
}

void ReadSection(IscInputFile& in, IscDataArray& array, std::vector<std::string>& records) {
  std::string record;
  bool any = false;
  while (true) {
    InputFileGetChar(in, true);
    if (in.eof) Fail(in, "[)] not found");
    int c = in.current;
    if (c == '-') {
      InputFileGetChar(in, false);
      if (in.current == '-') {
        InputFileSkipLine(in);
        continue;
      }
      IscReportf(kIscError, true, &in, "[%c]: data record must have hex digits only", '-');
    }
    if (c == ',' || c == ')') {
      if (any || c == ',') {
        array.computedCrc = IscDataCrcUpdate(array.computedCrc, record);
        records.push_back(record);
      }
      record.clear();
      any = false;
      if (c == ')') return;
      continue;
    }
    if (!std::isxdigit(c))
      IscReportf(kIscError, true, &in, "[%c]: data record must have hex digits only", c);
    record += static_cast<char>(c);
    any = true;
  }
}

void ReadArray(IscDataFile& data, IscInputFile& in, IscDataArray& array) {
  array.computedCrc = 0;
  Expect(in, '(', "Expected [(]");
  while (true) {
    Next(in);
    if (InputFileTokenIsChar(in, ')')) break;
    int section = -1;
    for (int i = 0; i < 3; ++i) {
      if (InputFileTokenIs(in, kSectionNames[i])) section = i;
    }
    bool isCrc = InputFileTokenIs(in, "data_crc");
    if (section < 0 && !isCrc) {
      IscReportf(kIscError, true, &in, "INITIALIZE/REPEAT/TERMINATE/DATA_CRC for data(%s) expected",
                 array.name.c_str());
    }
    if ((section >= 0 && array.hasSection[section]) || (isCrc && !array.dataCrc.empty())) {
      IscReportf(kIscError, true, &in, "Data array (%s) %s section already defined",
                 array.name.c_str(), in.token.c_str());
    }
    Expect(in, '(', "Expected [(]");
    if (isCrc) {
      Next(in);
      array.dataCrc = in.token;
      Expect(in, ')', "Expected [)]");
      continue;
    }
    array.hasSection[section] = true;
    ReadSection(in, array, array.sections[section]);
  }
  (void)data;
  if (array.dataCrc.empty()) return;
  char computed[16];
  snprintf(computed, sizeof(computed), "%08x", array.computedCrc);
  bool ok = strtoul(array.dataCrc.c_str(), nullptr, 16) == array.computedCrc;
  if (!ok) ++data.dataCrcMismatches;
  IscMessagef(kIscLinePlain, "    = Data CRC [%s]: %s%s%s", array.dataCrc.c_str(),
              ok ? "OK" : "mismatch (computed [", ok ? "" : computed, ok ? "" : "])");
}

void ReadTransmissionCrc(IscDataFile& data, IscInputFile& in) {
  uint16_t computed = static_cast<uint16_t>(~in.crc);
  Next(in);
  if (in.eof) return;
  std::string text = in.token;
  data.transmissionCrcPresent = true;
  if (text.size() != 4) IscReportf(kIscWarning, true, &in, "CRC must have 4 hex digits");
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) Fail(in, "CRC must have hex chars only");
  }
  unsigned long given = strtoul(text.c_str(), nullptr, 16);
  data.transmissionCrcOk = given == computed;
  if (data.transmissionCrcOk) {
    IscMessagef(kIscLinePlain, "    = ISC transmission CRC [%04lX]: OK", given);
  } else {
    IscMessagef(kIscLinePlain, "    = ISC transmission CRC [%04lX]:  mismatch (computed [%04X])",
                given, computed);
  }
}

// Data arrays up to the closing ')'. With only set, keeps that array alone.
void ReadArrays(IscDataFile& data, IscInputFile& in, const std::string* only, IscDataArray* found) {
  bool first = true;
  while (true) {
    Next(in);
    if (InputFileTokenIsChar(in, ')')) return;
    if (!first) {
      if (!InputFileTokenIsChar(in, ',')) Fail(in, "Use ',' to separate data records");
      Next(in);
    }
    first = false;
    IscDataArray array;
    if (InputFileTokenIs(in, "unprocessed")) {
      array.unprocessed = true;
      Next(in);
    }
    if (!InputFileTokenIs(in, "data")) {
      if (only != nullptr)
        IscReportf(kIscError, true, &in, "UNPROCESSED/DATA: array [%s] not found", only->c_str());
      Fail(in, "UNPROCESSED or DATA expected");
    }
    Next(in);
    if (in.tokenKind != kIscTokenName) Fail(in, "data array name expected");
    array.name = in.lowerToken;
    for (const IscDataArray& known : data.arrays) {
      if (only == nullptr && known.name == array.name) {
        IscReportf(kIscError, true, &in, "Data array (%s) already defined in ISC file [%s]",
                   array.name.c_str(), in.name.c_str());
      }
    }
    ReadArray(data, in, array);
    if (only == nullptr) {
      data.arrays.push_back(std::move(array));
    } else if (array.name == *only) {
      *found = std::move(array);
    }
  }
}

const IscDataFile* AlreadyRead(const IscDataFile& data) {
  for (const IscDataFile* other : IscEngineDataFiles()) {
    if (other != &data && other->headerRead && other->input.name == data.input.name) return other;
  }
  return nullptr;
}

}  // namespace

int IscDataReadFile(IscDataFile& data, int mode, BsdlEntity* entity, const std::string& arrayName,
                    IscDataLookup& lookup) {
  bool inMemory = IscGetSettings().holdIscDataInMemory;
  if (mode == kIscDataFindArray && inMemory) {
    for (const IscDataArray& array : data.arrays) {
      if (array.name == arrayName) {
        lookup.array = &array;
        lookup.phase = -1;
        return 1;
      }
    }
    IscReportf(kIscError, false, nullptr, "rdIDH():dataArray [%s] not found", arrayName.c_str());
  }
  IscInputFile& in = data.input;
  if (mode == kIscDataReadHeader) {
    IscMessagef(kIscLinePlain, "--> Reading ISC data file [%s]", in.name.c_str());
    if (inMemory) {
      if (const IscDataFile* other = AlreadyRead(data)) {
        data.arrays = other->arrays;
      }
    }
  }
  InputFileReopen(in, "r");
  in.commentChar = '-';
  data.entities.clear();
  ReadHeader(data, in);
  if (mode == kIscDataReadHeader) {
    if (entity != nullptr) {
      bool named = false;
      for (const std::string& name : data.entities) named = named || name == entity->name;
      if (!named) {
        IscMessagef(kIscLinePlain, "  = ISC datafile [%s] being used with BSDL entity [%s]",
                    in.name.c_str(), entity->name.c_str());
      }
    }
    CheckDate(data.creationDate);
  }
  ReadOverrides(data, in, entity, mode == kIscDataReadHeader);
  if (mode == kIscDataFindArray) {
    lookup.reread = IscDataArray{};
    lookup.reread.name.clear();
    ReadArrays(data, in, &arrayName, &lookup.reread);
    InputFileClose(in);
    if (lookup.reread.name != arrayName) {
      IscReportf(kIscError, false, nullptr, "Data record [%s] not found", arrayName.c_str());
    }
    lookup.array = &lookup.reread;
    lookup.phase = -1;
    return 1;
  }
  bool keep = inMemory && data.arrays.empty();
  if (keep) {
    ReadArrays(data, in, nullptr, nullptr);
  } else {
    IscDataArray ignored;
    std::string none = "\x01";
    ReadArrays(data, in, &none, &ignored);
  }
  ReadTransmissionCrc(data, in);
  InputFileClose(in);
  data.headerRead = true;
  return 1;
}

void IscDataFindSection(IscDataFile& data, const std::string& arrayName, int phase,
                        IscDataLookup& lookup) {
  if (phase < 0 || phase > 2) IscReportf(kIscError, false, nullptr, "rdIDSH:InitRptTerm");
  if (lookup.array == nullptr || lookup.array->name != arrayName) {
    IscDataReadFile(data, kIscDataFindArray, nullptr, arrayName, lookup);
  }
  if (!lookup.array->hasSection[phase]) {
    IscReportf(kIscError, false, nullptr, "[%s] section of data array [%s] not found",
               kSectionNames[phase], arrayName.c_str());
  }
  lookup.phase = phase;
  lookup.next = 0;
}
