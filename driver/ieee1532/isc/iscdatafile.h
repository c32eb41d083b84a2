// IscDataFile: an ISC data file's arrays, sections and overrides, and its reading and writing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "driver/ieee1532/bsdl/bsdlentity.h"
#include "driver/ieee1532/text/iscinputfile.h"

namespace zor::isc {

struct IscDataArray {
  std::string name;  // lower case
  bool unprocessed = false;
  bool hasSection[3] = {false, false, false};
  std::vector<std::string> sections[3];  // data records (hex text) of initialize, repeat, terminate
  std::string dataCrc;
  uint32_t computedCrc = 0;
};

struct IscOverride {
  std::string procedure, procedureData, action, actionData;
  int setting = 0;
};

// One "-d" file.
struct IscDataFile {
  IscInputFile input;
  std::string version;
  std::string creationDate;
  std::string creator;
  std::vector<std::string> entities;
  std::vector<IscOverride> overrides;
  std::vector<IscDataArray> arrays;
  bool headerRead = false;
  // Results of the last header read, for the caller's report.
  bool transmissionCrcPresent = false;
  bool transmissionCrcOk = false;
  int dataCrcMismatches = 0;
};

// Where a device stands in its data: the current array and section, and the next record.
struct IscDataLookup {
  const IscDataArray* array = nullptr;
  IscDataArray reread;  // the array read again from the file when data is not held in memory
  int phase = -1;
  size_t next = 0;
};

constexpr int kIscDataReadHeader = 0;
constexpr int kIscDataFindArray = 1;

int IscDataReadFile(IscDataFile& data, int mode, BsdlEntity* entity, const std::string& arrayName,
                    IscDataLookup& lookup);
void IscDataFindSection(IscDataFile& data, const std::string& arrayName, int phase,
                        IscDataLookup& lookup);

// Pieces of the output format; modes below.
constexpr int kIscWriteHeader = 0;
constexpr int kIscWriteEnd = 1;
constexpr int kIscWriteArray = 2;
constexpr int kIscWriteSection = 3;
constexpr int kIscWriteArrayEnd = 4;
constexpr int kIscWriteSectionEnd = -2;
void IscDataWriteFile(IscInputFile& output, int mode, const char* name, int phase);

// CRC-16/X-25 over every character of the file but CR and LF; false when it cannot be read.
bool IscFileTransmissionCrc(const std::string& path, uint16_t& crc);
uint32_t IscDataCrcUpdate(uint32_t crc, const std::string& record);

}  // namespace zor::isc
