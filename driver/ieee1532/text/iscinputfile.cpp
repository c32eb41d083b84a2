// IscInputFile: characters and tokens read from a file or from text in memory.
#include "driver/ieee1532/text/iscinputfile.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "driver/foundation/asciitext.h"
#include "driver/ieee1532/engine/iscsettings.h"
#include "driver/ieee1532/host/iscport.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

namespace {

bool IsNameChar(int c) { return std::isalnum(c) || c == '_'; }

int EndOfText(IscInputFile& record, const char* error) {
  if (record.eof) IscReportf(kIscError, true, &record, "%s", error);
  record.eof = true;
  return ' ';
}

int ReadFromMemory(IscInputFile& record) {
  if (record.memoryPos >= record.memory.size()) return EndOfText(record, "EOF_dp buf");
  if (record.memoryPos < record.memoryLines.size()) {
    record.line = record.memoryLines[record.memoryPos];
  }
  return static_cast<unsigned char>(record.memory[record.memoryPos++]);
}

int ReadBuffered(IscInputFile& record) {
  if (record.readPos >= record.readCount) {
    if (record.bufferHoldsEnd || record.stream == nullptr) return EndOfText(record, "EOF_dp buf");
    record.readCount = fread(record.readBuffer.data(), 1, record.readBuffer.size(), record.stream);
    record.readPos = 0;
    if (record.readCount < record.readBuffer.size()) record.bufferHoldsEnd = true;
    if (record.readCount == 0) return EndOfText(record, "EOF_dp buf");
  }
  return static_cast<unsigned char>(record.readBuffer[record.readPos++]);
}

int ReadRawChar(IscInputFile& record) {
  if (!record.fromMemory && IscPortCommandSource() == 0 && IscGetSettings().bufferedRead) {
    InputFileSetText(record, IscPortCommandText());
  }
  int c;
  if (record.fromMemory) {
    c = ReadFromMemory(record);
  } else if (!record.readBuffer.empty()) {
    c = ReadBuffered(record);
  } else {
    c = record.stream != nullptr ? fgetc(record.stream) : EOF;
    if (c == EOF) c = EndOfText(record, "EOF_dp");
  }
  if (record.eof) return ' ';
  if (c != '\r') ++record.charCount;
  if (c == '\n' && record.memoryLines.empty()) ++record.line;
  if (c != '\r' && c != '\n')
    record.crc = IscCrc16Update(record.crc, static_cast<unsigned char>(c));
  return c;
}

// The end of the text right after a name or number ends that token; the end is met again by the
// next read, so the token is not lost.
bool EndsTokenAtEnd(IscInputFile& record) {
  if (!record.eof) return false;
  record.eof = false;
  record.current = ' ';
  return true;
}

void ReadName(IscInputFile& record) {
  while (true) {
    InputFileGetChar(record, false);
    if (EndsTokenAtEnd(record)) {
      record.tokenKind = kIscTokenName;
      return;
    }
    if (!IsNameChar(record.current)) break;
    record.token += static_cast<char>(record.current);
    if (record.token.size() >= kIscNameLimit) {
      IscReportf(kIscError, true, &record, "xParseData bufsize err [%d]",
                 static_cast<int>(kIscNameLimit));
    }
  }
  record.newChar = false;
  record.tokenKind = kIscTokenName;
}

void ReadNumberToken(IscInputFile& record) {
  bool hasLetter = false;
  while (true) {
    InputFileGetChar(record, false);
    if (EndsTokenAtEnd(record)) {
      record.tokenKind = hasLetter ? kIscTokenName : kIscTokenNumber;
      return;
    }
    int c = record.current;
    if (std::isspace(c) || (std::ispunct(c) && c != '_')) break;
    hasLetter = hasLetter || std::isalpha(c) || c == '_';
    record.token += static_cast<char>(c);
    if (record.token.size() >= kIscNumberLimit) {
      IscReportf(kIscError, true, &record, "xParseNumData err [%d]",
                 static_cast<int>(kIscNumberLimit));
    }
  }
  record.newChar = false;
  record.tokenKind = hasLetter ? kIscTokenName : kIscTokenNumber;
}

// True when the current character opens a comment; the comment is then skipped.
bool SkipComment(IscInputFile& record) {
  int c = record.current;
  if (c != record.commentChar || c == 0) return false;
  if (c != '!') {
    InputFileGetChar(record, false);
    if (record.eof || record.current != c) {
      record.newChar = false;  // the character after the single one is read next
      return false;
    }
  }
  InputFileSkipLine(record);
  return true;
}

}  // namespace

uint16_t IscCrc16Update(uint16_t crc, unsigned char c) {
  crc ^= c;
  for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0x8408 : crc >> 1;
  return crc;
}

IscInputFile::~IscInputFile() { InputFileClose(*this); }

void InputFileResetReading(IscInputFile& record) {
  record.line = 1;
  record.charCount = 0;
  record.readPos = record.readCount = 0;
  record.memoryPos = 0;
  record.current = ' ';
  record.newToken = record.newChar = true;
  record.eof = record.bufferHoldsEnd = false;
  record.token.clear();
  record.lowerToken.clear();
  record.tokenKind = kIscTokenSpace;
  record.crc = 0xFFFF;
  record.arraysWritten = 0;
}

void InputFileInit(IscInputFile& record, const std::string& name) {
  record.name = name;
  const IscSettings& settings = IscGetSettings();
  record.readBuffer.assign(settings.bufferedRead ? static_cast<size_t>(settings.readBufferSize) : 0,
                           0);
  record.bufferedWrite = settings.bufferedWrite;
  record.writeCapacity = static_cast<size_t>(settings.writeBufferSize);
  record.writeBuffer.clear();
  InputFileResetReading(record);
}

void InputFileFree(IscInputFile& record) {
  InputFileClose(record);
  record.readBuffer.clear();
  record.readBuffer.shrink_to_fit();
  record.writeBuffer.clear();
  record.memory.clear();
  record.memoryLines.clear();
}

void InputFileClose(IscInputFile& record) {
  if (record.stream != nullptr) fclose(record.stream);
  record.stream = nullptr;
}

void InputFileReopen(IscInputFile& record, const char* mode) {
  InputFileClose(record);
  InputFileResetReading(record);
  record.fromMemory = false;
  record.stream = OpenFileChecked(record.name.c_str(), mode);
}

void InputFileSetText(IscInputFile& record, std::string text, std::vector<int64_t> lines) {
  record.fromMemory = true;
  record.memory = std::move(text);
  record.memoryLines = std::move(lines);
  record.memoryPos = 0;
}

void InputFileGetChar(IscInputFile& record, bool skipWhiteSpace) {
  if (!record.newChar) {
    record.newChar = true;
    return;
  }
  do {
    record.current = ReadRawChar(record);
  } while (skipWhiteSpace && !record.eof && std::isspace(record.current));
}

void InputFileSkipLine(IscInputFile& record) {
  record.newChar = true;
  do {
    InputFileGetChar(record, false);
  } while (!record.eof && record.current != '\n');
}

void InputFileNextToken(IscInputFile& record, int mode) {
  if (!record.newToken) {
    record.newToken = true;
    return;
  }
  while (true) {
    InputFileGetChar(record, mode == kIscTokenSkipSpace);
    int c = record.current;
    record.token.assign(1, static_cast<char>(c));
    record.lowerToken.clear();
    if (record.eof) {
      record.token.assign(1, ' ');
      record.tokenKind = kIscTokenSpace;
      return;
    }
    if (std::isalpha(c) || c == '_') {
      ReadName(record);
    } else if (std::isdigit(c)) {
      ReadNumberToken(record);
    } else if (SkipComment(record)) {
      continue;
    } else if (std::isspace(c)) {
      if (mode == kIscTokenSkipSpace) continue;
      record.tokenKind = kIscTokenSpace;
    } else {
      record.tokenKind = std::ispunct(c) ? kIscTokenPunct : kIscTokenOther;
    }
    if (record.tokenKind == kIscTokenName)
      record.lowerToken = foundation::ToLowerAscii(record.token);
    return;
  }
}

bool InputFileTokenIs(const IscInputFile& record, const char* lowerWord) {
  return record.tokenKind == kIscTokenName && record.lowerToken == lowerWord;
}

bool InputFileTokenIsChar(const IscInputFile& record, char c) {
  return record.tokenKind != kIscTokenName && record.tokenKind != kIscTokenNumber &&
         record.token.size() == 1 && record.token[0] == c;
}

void InputFileExpectWord(IscInputFile& record, const char* word, bool search) {
  std::string lower = foundation::ToLowerAscii(word);
  do {
    InputFileNextToken(record, kIscTokenSkipSpace);
    if (foundation::ToLowerAscii(record.token) == lower) return;
  } while (search && !record.eof);
  IscReportf(kIscError, true, &record, "[%s] not found", word);
}

void InputFileExpectChar(IscInputFile& record, char c, bool search) {
  do {
    InputFileGetChar(record, true);
    if (record.current == c && !record.eof) return;
  } while (search && !record.eof);
  IscReportf(kIscError, true, &record, "Char [%c] not found", c);
}

}  // namespace zor::isc
