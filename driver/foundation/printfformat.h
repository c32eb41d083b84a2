// printf-style formatting with Windows conventions, translated for glibc.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

namespace zor::foundation {

// Rewrites a format written for the Windows printf family into its glibc form. In a wide
// format %s and %c take wide arguments and %S/%C narrow ones; in a narrow format the other
// way round; %hs is always narrow, %ls/%ws wide; %ld is 32 bits, %I64d 64 bits.
// Returns false for a format it will not pass on (%n, unknown conversions, a cut-off conversion).
bool TranslateFormat(const wchar_t* format, std::wstring& out);
bool TranslateFormat(const char* format, std::string& out);

// Format into out and return the length, or -1 when the format or an argument is invalid.
// Narrow text is UTF-8. The wide form does not rely on vswprintf reporting a length.
int64_t FormatWideV(std::wstring& out, const wchar_t* format, va_list args);
int64_t FormatNarrowV(std::string& out, const char* format, va_list args);

}  // namespace zor::foundation
