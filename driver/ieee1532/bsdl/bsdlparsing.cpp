// Token helpers of the BSDL parsers: expectations, numbers, errors and attribute values.
#include "driver/ieee1532/bsdl/bsdlparsing.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

void BsdlNext(IscInputFile& file) { InputFileNextToken(file, kIscTokenSkipSpace); }

bool BsdlIs(const IscInputFile& file, const char* lowerWord) {
  return InputFileTokenIs(file, lowerWord);
}

bool BsdlIsChar(const IscInputFile& file, char c) { return InputFileTokenIsChar(file, c); }

bool BsdlIsName(const IscInputFile& file) { return file.tokenKind == kIscTokenName; }

void BsdlExpect(IscInputFile& file, char c) {
  BsdlNext(file);
  if (!BsdlIsChar(file, c)) BsdlError(file, "Expected [%c] in BSDL file", c);
}

int64_t BsdlPositive(IscInputFile& file) {
  BsdlNext(file);
  if (file.tokenKind != kIscTokenNumber) BsdlError(file, "Positive number expected");
  return InputFileTokenValue(file);
}

int64_t BsdlRegisterLength(IscInputFile& file) {
  const int64_t length = BsdlPositive(file);
  if (length > kBsdlMaxRegisterLength) {
    BsdlError(file, "Register length [%s] exceeds [%ld] bits", file.token.c_str(),
              static_cast<long>(kBsdlMaxRegisterLength));
  }
  return length;
}

void BsdlError(IscInputFile& file, const char* format, ...) {
  char buffer[kIscMessageBufferSize];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof(buffer), format, args);
  va_end(args);
  IscReportMessage(kIscError, buffer, true, &file);
  throw EngineStop{};  // not reached
}

void BsdlWarn(IscInputFile& file, const char* format, ...) {
  char buffer[kIscMessageBufferSize];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof(buffer), format, args);
  va_end(args);
  IscReportMessage(kIscWarning, buffer, false, &file);
}

bool BsdlOnlyChars(const std::string& text, const char* allowed) {
  for (char c : text) {
    if (strchr(allowed, c) == nullptr) return false;
  }
  return true;
}

namespace {

// An attribute value as it is collected, character by character.
struct ValueCollector {
  IscInputFile& file;
  std::string text{};
  std::vector<int64_t> lines{};
  bool inString = false;
  bool pendingSpace = false;
  bool lastUnquoted = false;
  int stringDepth = 0;

  void Append(char c) {
    text += c;
    lines.push_back(file.line);
  }

  void TakeQuoted(int c) {
    if (c == '"') {
      inString = false;
      lastUnquoted = false;
      return;
    }
    if (c == '\n' || c == '\r') return;
    stringDepth += (c == '(') - (c == ')');
    Append(static_cast<char>(c));
  }

  // After a '-': true when a "--" comment was skipped to its line's end.
  bool SkipComment() {
    InputFileGetChar(file, false);
    if (file.current == '-') {
      InputFileSkipLine(file);
      return true;
    }
    file.newChar = false;
    return false;
  }

  // False at the ';' that ends the value.
  bool TakeUnquoted(int c) {
    if (c == '"') {
      inString = true;
      pendingSpace = false;
      return true;
    }
    if (c == ';') {
      // A bracket may open in one string and close in a later one.
      if (stringDepth != 0) BsdlError(file, "Mismatched BSDL string brackets");
      return false;
    }
    if ((c == '-' && SkipComment()) || std::isspace(c) || c == '&') {
      pendingSpace = true;
      return true;
    }
    if (pendingSpace && lastUnquoted) Append(' ');
    pendingSpace = false;
    lastUnquoted = true;
    Append(static_cast<char>(c));
    return true;
  }
};

}  // namespace

void BsdlCollectValue(IscInputFile& file, IscInputFile& value) {
  ValueCollector collector{file};
  while (true) {
    InputFileGetChar(file, false);
    if (file.eof) BsdlError(file, "Invalid entity termination format");
    if (collector.inString) {
      collector.TakeQuoted(file.current);
    } else if (!collector.TakeUnquoted(file.current)) {
      break;
    }
  }
  value.name = file.name;
  value.commentChar = 0;
  InputFileResetReading(value);
  InputFileSetText(value, std::move(collector.text), std::move(collector.lines));
  if (!value.memoryLines.empty()) value.line = value.memoryLines.front();
}

}  // namespace zor::isc
