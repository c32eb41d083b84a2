// Conversions between narrow and wide text with Windows' counting rules.
// The "ANSI" code pages are UTF-8 here; wide text is UTF-32 (wchar_t).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace os {

inline constexpr uint32_t CP_ACP = 0;
inline constexpr uint32_t CP_OEMCP = 1;
inline constexpr uint32_t CP_THREAD_ACP = 3;
inline constexpr uint32_t CP_UTF8 = 65001;

inline constexpr uint32_t MB_ERR_INVALID_CHARS = 0x08;
inline constexpr uint32_t WC_ERR_INVALID_CHARS = 0x80;
inline constexpr uint32_t WC_NO_BEST_FIT_CHARS = 0x400;

// srcLength -1: the source is NUL-terminated and the NUL is converted and
// counted too. dstLength 0: only count. Result: characters (or bytes)
// written or needed; 0 on failure with the last error set:
// ERROR_INSUFFICIENT_BUFFER, ERROR_NO_UNICODE_TRANSLATION (invalid input with
// MB_ERR_INVALID_CHARS / WC_ERR_INVALID_CHARS; without them invalid input
// becomes U+FFFD), ERROR_INVALID_PARAMETER, ERROR_INVALID_FLAGS.
// WC_NO_BEST_FIT_CHARS is accepted and has nothing to do: UTF-8 holds every
// character.
int MultiByteToWideChar(uint32_t codePage, uint32_t flags, const char* src, int srcLength,
                        wchar_t* dst, int dstLength);
int WideCharToMultiByte(uint32_t codePage, uint32_t flags, const wchar_t* src, int srcLength,
                        char* dst, int dstLength, const char* defaultChar, bool* usedDefaultChar);

// Lenient conversions for the stand-ins' own use: invalid input becomes U+FFFD.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

}  // namespace os
