// MCS PROM files (Intel hex): records, byte iteration and writing.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "driver/ieee1532/text/iscinputfile.h"

namespace zor::isc {

// One record of an MCS PROM file (Intel hexadecimal format).
struct McsRecord {
  int count = 0;
  uint32_t address = 0;
  int type = 0;
  std::vector<uint8_t> data;
  int checksum = 0;
};

enum McsRecordType : int {
  kMcsData = 0,
  kMcsEnd = 1,
  kMcsSegmentAddress = 2,
  kMcsStartSegment = 3,
  kMcsLinearAddress = 4,
  kMcsStartLinear = 5,
};

// Walks the data bytes of a file across its records.
struct McsIterator {
  IscInputFile* input = nullptr;
  McsRecord record;
  size_t position = 0;
  uint32_t upper = 0;
  bool more = true;
};

// Reads one record; 0 at the end of the file.
int McsReadFile(IscInputFile& input, McsRecord& record);
// The next data byte, or -1 after the end record or the end of the file; address gets its address.
int McsNextByte(McsIterator& iterator, uint32_t* address = nullptr);
// Two bytes, the first in the low half; false at the end.
bool McsNextWord(McsIterator& iterator, uint16_t& word, uint32_t& address);
// Number of bytes the file covers, gaps included.
int64_t McsCountBytes(IscInputFile& input);

struct McsWriter {
  FILE* stream = nullptr;
  int recordLength = 16;
  uint32_t upper = 0;
  uint32_t address = 0;
  std::vector<uint8_t> buffer;
};

// Adds a byte; finish writes the last (partial) record and the end record instead.
void McsWriteFile(McsWriter& writer, uint8_t byte, bool finish);
// Two's complement of the sum of the bytes written as hex digits in text.
int McsChecksum(const std::string& text);

}  // namespace zor::isc
