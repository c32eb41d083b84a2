// IscInputFile: one text the engine reads or writes, and its tokeniser.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace zor::isc {

enum IscTokenKind : int {
  kIscTokenNumber = 0,
  kIscTokenName = 1,
  kIscTokenPunct = 2,
  kIscTokenSpace = 3,
  kIscTokenOther = 4,
};

constexpr size_t kIscTokenCapacity = 200;
constexpr size_t kIscNameLimit = 198;    // a name this long stops the run
constexpr size_t kIscNumberLimit = 199;  // a token that starts with a digit

constexpr int kIscTokenSkipSpace = 2;
constexpr int kIscTokenKeepSpace = 3;

// One text the engine reads (command file, BSDL, ISC data) or writes (output files).
struct IscInputFile {
  FILE* stream = nullptr;
  std::string name;
  std::string token;
  std::string lowerToken;
  std::vector<char> readBuffer;
  size_t readPos = 0;
  size_t readCount = 0;
  std::string writeBuffer;
  size_t writeCapacity = 0;
  bool bufferedWrite = false;
  int64_t line = 1;
  int64_t charCount = 0;
  int tokenKind = kIscTokenSpace;
  int current = ' ';
  int commentChar = '-';
  bool newToken = true;  // false: the next read returns the previous token again
  bool newChar = true;   // false: the next read keeps the current character
  int64_t warnings = 0;
  bool eof = false;
  bool bufferHoldsEnd = false;
  bool iscFormat = false;
  bool firstRecord = true;
  int64_t arraysWritten = 0;  // data arrays written in ISC format, for their separators
  uint32_t dataCrc = 0;       // of the records written into the current data array
  // A text in memory (an attribute value or the port's command text) read in place of the file.
  bool fromMemory = false;
  std::string memory;
  size_t memoryPos = 0;
  std::vector<int64_t> memoryLines;  // source line of each memory character, when known
  // Transmission CRC over every character read but CR and LF.
  uint16_t crc = 0xFFFF;

  IscInputFile() = default;
  IscInputFile(const IscInputFile&) = delete;
  IscInputFile& operator=(const IscInputFile&) = delete;
  ~IscInputFile();
};

void InputFileInit(IscInputFile& record, const std::string& name);
void InputFileFree(IscInputFile& record);
void InputFileResetReading(IscInputFile& record);
void InputFileReopen(IscInputFile& record, const char* mode);
void InputFileClose(IscInputFile& record);
// Reads from text instead of the file; lines gives the source line of each character.
void InputFileSetText(IscInputFile& record, std::string text, std::vector<int64_t> lines = {});

void InputFileGetChar(IscInputFile& record, bool skipWhiteSpace);
void InputFileSkipLine(IscInputFile& record);
void InputFileNextToken(IscInputFile& record, int mode);
inline void InputFilePushBackToken(IscInputFile& record) { record.newToken = false; }
void InputFileExpectWord(IscInputFile& record, const char* word, bool search);
void InputFileExpectChar(IscInputFile& record, char c, bool search);
int64_t InputFileReadInteger(IscInputFile& record);
// The leading decimal digits of text; false when there are none or they exceed 64 bits.
bool IscDecimalValue(const std::string& text, int64_t& value);
// The value of the current number token; one beyond 64 bits stops the run.
int64_t InputFileTokenValue(IscInputFile& record);

constexpr int kIscNumberReal = 110;
constexpr int kIscNumberInteger = 111;
constexpr int kIscNumberSemicolon = 112;
int InputFileReadNumber(IscInputFile& record, double& real, int64_t& integer);

bool InputFileTokenIs(const IscInputFile& record, const char* lowerWord);
bool InputFileTokenIsChar(const IscInputFile& record, char c);

void InputFileWrite(IscInputFile& record, int mode, const char* text);

// Opens name with mode "r", "w", "a", "t" (test only) or "c..." (write, committed).
FILE* OpenFileChecked(const char* name, const char* mode);

uint16_t IscCrc16Update(uint16_t crc, unsigned char c);

}  // namespace zor::isc
