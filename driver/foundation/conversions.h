// Conversions between wide text, the ANSI code page and UTF-8, and splitting text at delimiters.
#pragma once

#include <string>
#include <vector>

#include "driver/foundation/zorstring.h"
#include "driver/foundation/zorstringascii.h"

namespace zor::foundation {

// The ANSI code page is UTF-8 here. A conversion that fails leaves an empty result.
// Narrow text in the ANSI code page, as CZORString takes it; invalid input fails.
bool AnsiToWide(const char* text, std::wstring& out);
bool Utf8ToWide(const char* text, CZORString& out);
// The best-fit flag has no effect with UTF-8, which represents every character.
bool WideToAnsiEx(const wchar_t* text, CZORStringAscii& out, bool noBestFit);
bool WideToAnsi(const wchar_t* text, CZORStringAscii& out);
bool Utf8ToAnsi(const char* text, CZORStringAscii& out);

std::wstring AnsiToWString(const std::string& text);
std::string Utf8ToAnsiString(const std::string& text);
std::string WStringToAnsi(const std::wstring& text);
std::string WStringToUtf8(const std::wstring& text);
std::wstring Utf8ToWString(const std::string& text);

// Splits at any of the delimiter characters; empty pieces are dropped.
std::vector<std::string> SplitString(const std::string& text, const char* delimiters);
std::vector<std::wstring> SplitWString(const std::wstring& text, const wchar_t* delimiters);

}  // namespace zor::foundation
