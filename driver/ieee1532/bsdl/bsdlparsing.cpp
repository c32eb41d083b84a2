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

void BsdlCollectValue(IscInputFile& file, IscInputFile& value) {
  std::string text;
  std::vector<int64_t> lines;
  bool inString = false;
  bool pendingSpace = false;
  bool lastUnquoted = false;
  int stringDepth = 0;
  auto append = [&](char c) {
    text += c;
    lines.push_back(file.line);
  };
  while (true) {
    InputFileGetChar(file, false);
    if (file.eof) BsdlError(file, "Invalid entity termination format");
    int c = file.current;
    if (inString) {
      if (c == '"') {
        inString = false;
        lastUnquoted = false;
        continue;
      }
      if (c == '\n' || c == '\r') continue;
      stringDepth += (c == '(') - (c == ')');
      append(static_cast<char>(c));
      continue;
    }
    if (c == '"') {
      inString = true;
      pendingSpace = false;
      continue;
    }
    if (c == ';') {
      // A bracket may open in one string and close in a later one.
      if (stringDepth != 0) BsdlError(file, "Mismatched BSDL string brackets");
      break;
    }
    if (c == '-') {
      InputFileGetChar(file, false);
      if (file.current == '-') {
        InputFileSkipLine(file);
        pendingSpace = true;
        continue;
      }
      file.newChar = false;
    }
    if (std::isspace(c) || c == '&') {
      pendingSpace = true;
      continue;
    }
    if (pendingSpace && lastUnquoted) append(' ');
    pendingSpace = false;
    lastUnquoted = true;
    append(static_cast<char>(c));
  }
  value.name = file.name;
  value.commentChar = 0;
  InputFileResetReading(value);
  InputFileSetText(value, std::move(text), std::move(lines));
  if (!value.memoryLines.empty()) value.line = value.memoryLines.front();
}

}  // namespace zor::isc
