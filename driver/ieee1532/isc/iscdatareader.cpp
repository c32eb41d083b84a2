// IscDataReadFile: an ISC data file's arrays, their sections and CRCs, and finding a section.
#include <cctype>
#include <climits>
#include <cstdlib>
#include <string>
#include <unordered_set>

#include "driver/foundation/hextext.h"
#include "driver/ieee1532/engine/iscengineglobals.h"
#include "driver/ieee1532/engine/iscsettings.h"
#include "driver/ieee1532/isc/iscdatareading.h"

namespace zor::isc {

namespace {

const char* const kSectionNames[] = {"initialize", "repeat", "terminate"};

void ReadSection(IscInputFile& in, IscDataArray& array, std::vector<std::string>& records) {
  std::string record;
  bool any = false;
  while (true) {
    InputFileGetChar(in, true);
    if (in.eof) IscDataFail(in, "[)] not found");
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
  IscDataExpect(in, '(', "Expected [(]");
  while (true) {
    IscDataNext(in);
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
    IscDataExpect(in, '(', "Expected [(]");
    if (isCrc) {
      IscDataNext(in);
      array.dataCrc = in.token;
      IscDataExpect(in, ')', "Expected [)]");
      continue;
    }
    array.hasSection[section] = true;
    ReadSection(in, array, array.sections[section]);
  }
  if (array.dataCrc.empty()) return;
  char computed[16];
  snprintf(computed, sizeof(computed), "%08x", array.computedCrc);
  bool ok = foundation::ParseHex(array.dataCrc) == array.computedCrc;
  if (!ok) ++data.dataCrcMismatches;
  IscMessagef(kIscLinePlain, "    = Data CRC [%s]: %s%s%s", array.dataCrc.c_str(),
              ok ? "OK" : "mismatch (computed [", ok ? "" : computed, ok ? "" : "])");
}

void ReadTransmissionCrc(IscDataFile& data, IscInputFile& in) {
  uint16_t computed = static_cast<uint16_t>(~in.crc);
  IscDataNext(in);
  if (in.eof) return;
  std::string text = in.token;
  data.transmissionCrcPresent = true;
  if (text.size() != 4) IscReportf(kIscWarning, true, &in, "CRC must have 4 hex digits");
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c)))
      IscDataFail(in, "CRC must have hex chars only");
  }
  // Too long to read: a value no 16-bit CRC has.
  unsigned long given = foundation::ParseHex(text).value_or(ULONG_MAX);
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
  // Names seen, so that a file of many arrays is not checked against all before each.
  std::unordered_set<std::string> names;
  for (const IscDataArray& known : data.arrays) names.insert(known.name);
  bool first = true;
  while (true) {
    IscDataNext(in);
    if (InputFileTokenIsChar(in, ')')) return;
    if (!first) {
      if (!InputFileTokenIsChar(in, ',')) IscDataFail(in, "Use ',' to separate data records");
      IscDataNext(in);
    }
    first = false;
    IscDataArray array;
    if (InputFileTokenIs(in, "unprocessed")) {
      array.unprocessed = true;
      IscDataNext(in);
    }
    if (!InputFileTokenIs(in, "data")) {
      if (only != nullptr)
        IscReportf(kIscError, true, &in, "UNPROCESSED/DATA: array [%s] not found", only->c_str());
      IscDataFail(in, "UNPROCESSED or DATA expected");
    }
    IscDataNext(in);
    if (in.tokenKind != kIscTokenName) IscDataFail(in, "data array name expected");
    array.name = in.lowerToken;
    if (only == nullptr && !names.insert(array.name).second) {
      IscReportf(kIscError, true, &in, "Data array (%s) already defined in ISC file [%s]",
                 array.name.c_str(), in.name.c_str());
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

// The array among those held in memory.
bool FindHeldArray(const IscDataFile& data, const std::string& arrayName, IscDataLookup& lookup) {
  for (const IscDataArray& array : data.arrays) {
    if (array.name == arrayName) {
      lookup.array = &array;
      lookup.phase = -1;
      return true;
    }
  }
  IscReportf(kIscError, false, nullptr, "rdIDH():dataArray [%s] not found", arrayName.c_str());
  return false;
}

// A file another device has read already lends its arrays.
void StartHeaderRead(IscDataFile& data, bool inMemory) {
  IscMessagef(kIscLinePlain, "--> Reading ISC data file [%s]", data.input.name.c_str());
  if (!inMemory) return;
  if (const IscDataFile* other = AlreadyRead(data)) data.arrays = other->arrays;
}

void CheckHeader(const IscDataFile& data, const BsdlEntity* entity) {
  if (entity != nullptr) {
    bool named = false;
    for (const std::string& name : data.entities) named = named || name == entity->name;
    if (!named) {
      IscMessagef(kIscLinePlain, "  = ISC datafile [%s] being used with BSDL entity [%s]",
                  data.input.name.c_str(), entity->name.c_str());
    }
  }
  IscDataCheckDate(data.creationDate);
}

// The file read again for one array, kept in the look-up state.
void RereadArray(IscDataFile& data, const std::string& arrayName, IscDataLookup& lookup) {
  lookup.reread = IscDataArray{};
  lookup.reread.name.clear();
  ReadArrays(data, data.input, &arrayName, &lookup.reread);
  InputFileClose(data.input);
  if (lookup.reread.name != arrayName) {
    IscReportf(kIscError, false, nullptr, "Data record [%s] not found", arrayName.c_str());
  }
  lookup.array = &lookup.reread;
  lookup.phase = -1;
}

// Arrays are kept when held in memory and not lent by another file; otherwise only checked.
void ReadAllArrays(IscDataFile& data, bool inMemory) {
  if (inMemory && data.arrays.empty()) {
    ReadArrays(data, data.input, nullptr, nullptr);
    return;
  }
  IscDataArray ignored;
  std::string none = "\x01";
  ReadArrays(data, data.input, &none, &ignored);
}

}  // namespace

int IscDataReadFile(IscDataFile& data, int mode, BsdlEntity* entity, const std::string& arrayName,
                    IscDataLookup& lookup) {
  const bool inMemory = IscGetSettings().holdIscDataInMemory;
  if (mode == kIscDataFindArray && inMemory && FindHeldArray(data, arrayName, lookup)) return 1;
  IscInputFile& in = data.input;
  if (mode == kIscDataReadHeader) StartHeaderRead(data, inMemory);
  InputFileReopen(in, "r");
  in.commentChar = '-';
  data.entities.clear();
  IscDataReadHeader(data, in);
  if (mode == kIscDataReadHeader) CheckHeader(data, entity);
  IscDataReadOverrides(data, in, entity, mode == kIscDataReadHeader);
  if (mode == kIscDataFindArray) {
    RereadArray(data, arrayName, lookup);
    return 1;
  }
  ReadAllArrays(data, inMemory);
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

}  // namespace zor::isc
