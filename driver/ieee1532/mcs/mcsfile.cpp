// Reads and writes MCS PROM files record by record, with their checksums.
#include "driver/ieee1532/mcs/mcsfile.h"

#include <cctype>

#include "driver/foundation/hextext.h"
#include "driver/ieee1532/mcs/bittext.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

namespace {

int HexDigit(IscInputFile& input, const char* message) {
  InputFileGetChar(input, false);
  int c = input.current;
  if (input.eof || !std::isxdigit(c)) {
    char text[2] = {static_cast<char>(c), 0};
    IscReportf(kIscError, true, &input, message, text);
  }
  return foundation::HexDigitValue(static_cast<char>(c));
}

int HexValue(IscInputFile& input, int digits, const char* message) {
  int value = 0;
  for (int i = 0; i < digits; ++i) value = value * 16 + HexDigit(input, message);
  return value;
}

void WriteRecord(FILE* stream, const std::string& body) {
  fprintf(stream, ":%s%02X\n", body.c_str(), McsChecksum(body));
}

void FlushRecord(McsWriter& writer) {
  if (writer.buffer.empty()) return;
  uint32_t start = writer.address - static_cast<uint32_t>(writer.buffer.size());
  if ((start >> 16) != writer.upper) {
    writer.upper = start >> 16;
    char body[16];
    snprintf(body, sizeof(body), "02000004%04X", writer.upper);
    WriteRecord(writer.stream, body);
    IscMessagef(kIscLineStatus, "Byte addr [%010X] hex", start);
  }
  char piece[16];
  snprintf(piece, sizeof(piece), "%02X%04X00", static_cast<unsigned>(writer.buffer.size()),
           start & 0xFFFF);
  std::string body = piece;
  for (uint8_t byte : writer.buffer) {
    snprintf(piece, sizeof(piece), "%02X", byte);
    body += piece;
  }
  WriteRecord(writer.stream, body);
  writer.buffer.clear();
}

}  // namespace

int McsChecksum(const std::string& text) {
  if (text.size() % 2 != 0)
    IscReportf(kIscError, false, nullptr, "Incomplete byte [%s]", text.c_str());
  unsigned sum = 0;
  for (size_t i = 0; i < text.size(); i += 2) sum += IscHexToNumber(text.substr(i, 2));
  return static_cast<int>((0x100 - (sum & 0xFF)) & 0xFF);
}

int McsReadFile(IscInputFile& input, McsRecord& record) {
  InputFileGetChar(input, true);
  if (input.eof) return 0;
  if (input.current != ':') {
    char text[2] = {static_cast<char>(input.current), 0};
    IscReportf(kIscError, true, &input, "Invalid char [%s]; may not be an MCS file", text);
  }
  record.count = HexValue(input, 2, "Invalid input file");
  record.address = static_cast<uint32_t>(HexValue(input, 4, "Invalid input file"));
  record.type = HexValue(input, 2, "Invalid input file");
  record.data.resize(static_cast<size_t>(record.count));
  unsigned sum = static_cast<unsigned>(record.count) + (record.address >> 8) +
                 (record.address & 0xFF) + static_cast<unsigned>(record.type);
  for (uint8_t& byte : record.data) {
    byte = static_cast<uint8_t>(HexValue(input, 2, "Unknown hex value [%s]"));
    sum += byte;
  }
  record.checksum = HexValue(input, 2, "Invalid input file");
  if ((record.type == kMcsSegmentAddress || record.type == kMcsLinearAddress) &&
      record.count != 2) {
    IscReportf(kIscError, true, &input, "Rec type must have 2 data bytes");
  }
  int computed = static_cast<int>((0x100 - (sum & 0xFF)) & 0xFF);
  if (computed != record.checksum) {
    IscReportf(kIscWarning, true, &input, "MCS record checksum [%02X] != Computed checksum [%02X]",
               record.checksum, computed);
  }
  return 1;
}

int McsNextByte(McsIterator& iterator, uint32_t* address) {
  while (iterator.more) {
    McsRecord& record = iterator.record;
    if (record.type == kMcsData && iterator.position < record.data.size()) {
      if (address != nullptr) {
        *address = iterator.upper + record.address + static_cast<uint32_t>(iterator.position);
      }
      return record.data[iterator.position++];
    }
    if (McsReadFile(*iterator.input, record) == 0 || record.type == kMcsEnd) {
      iterator.more = false;
      break;
    }
    iterator.position = 0;
    uint32_t value = record.data.size() == 2 ? (uint32_t{record.data[0]} << 8) | record.data[1] : 0;
    if (record.type == kMcsSegmentAddress) iterator.upper = value * 16;
    if (record.type == kMcsLinearAddress) iterator.upper = value * 65536;
  }
  return -1;
}

bool McsNextWord(McsIterator& iterator, uint16_t& word, uint32_t& address) {
  int low = McsNextByte(iterator, &address);
  uint32_t ignored = 0;
  int high = McsNextByte(iterator, &ignored);
  if (low < 0 || high < 0) return false;
  word = static_cast<uint16_t>(low | (high << 8));
  return true;
}

int64_t McsCountBytes(IscInputFile& input) {
  McsRecord record;
  uint32_t upper = 0;
  int64_t count = 0;
  bool started = false;
  uint32_t end = 0;
  while (McsReadFile(input, record) == 1) {
    if (record.type < kMcsData || record.type > kMcsStartLinear) {
      IscReportf(kIscError, true, &input, "Invalid record type [%d]", record.type);
    }
    uint32_t value = record.data.size() == 2 ? (uint32_t{record.data[0]} << 8) | record.data[1] : 0;
    if (record.type == kMcsSegmentAddress) upper = value * 16;
    if (record.type == kMcsLinearAddress) upper = value * 65536;
    if (record.type == kMcsEnd) break;
    if (record.type != kMcsData) continue;
    uint32_t start = upper + record.address;
    if (started && start < end) {
      IscReportf(kIscError, true, &input, "Overlapping bytes starting at addr [%X]", start);
    }
    if (started && start > end) {
      IscReportf(kIscWarning, false, nullptr, "Gap in byte addr [%X]->[%X]", end, start);
      count += start - end;
    }
    started = true;
    count += record.count;
    end = start + static_cast<uint32_t>(record.count);
  }
  return count;
}

void McsWriteFile(McsWriter& writer, uint8_t byte, bool finish) {
  if (finish) {
    FlushRecord(writer);
    WriteRecord(writer.stream, "00000001");
    writer.buffer.shrink_to_fit();
    return;
  }
  writer.buffer.push_back(byte);
  ++writer.address;
  if (static_cast<int>(writer.buffer.size()) >= writer.recordLength) FlushRecord(writer);
}

}  // namespace zor::isc
