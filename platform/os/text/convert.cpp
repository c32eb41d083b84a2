#include "platform/os/text/convert.h"

#include <cstring>
#include <cwchar>
#include <optional>

#include "platform/os/core/error.h"

namespace os {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsKnownCodePage(uint32_t codePage) {
  return codePage == CP_ACP || codePage == CP_OEMCP || codePage == CP_THREAD_ACP ||
         codePage == CP_UTF8;
}

// Decodes one UTF-8 sequence at text[i]; advances i. Empty on invalid input
// (overlong forms, surrogates, values above U+10FFFF, cut sequences).
std::optional<char32_t> DecodeUtf8(std::string_view text, size_t& i) {
  const auto lead = static_cast<unsigned char>(text[i++]);
  if (lead < 0x80) return lead;
  int extra;
  char32_t value;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2;
    value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3;
    value = lead & 0x07;
  } else {
    return std::nullopt;
  }
  for (int k = 0; k < extra; ++k) {
    if (i >= text.size()) return std::nullopt;
    const auto next = static_cast<unsigned char>(text[i]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    value = (value << 6) | (next & 0x3F);
    ++i;
  }
  static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
  if (value < kMinimum[extra] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return std::nullopt;
  }
  return value;
}

bool IsValidScalar(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

void EncodeUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Copies the converted text into the caller's buffer with Windows' rules.
template <class Char>
int Deliver(const std::basic_string<Char>& converted, Char* dst, int dstLength) {
  const int needed = static_cast<int>(converted.size());
  if (dstLength == 0) return needed;
  if (needed > dstLength) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  converted.copy(dst, converted.size());
  return needed;
}

bool ValidArguments(const void* src, int srcLength, const void* dst, int dstLength) {
  if (src == nullptr || srcLength == 0 || srcLength < -1 || dstLength < 0 ||
      (dst == nullptr && dstLength != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return true;
}

}  // namespace

int MultiByteToWideChar(uint32_t codePage, uint32_t flags, const char* src, int srcLength,
                        wchar_t* dst, int dstLength) {
  if (!ValidArguments(src, srcLength, dst, dstLength)) return 0;
  if (!IsKnownCodePage(codePage)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if ((flags & ~MB_ERR_INVALID_CHARS) != 0) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  std::string_view text =
      srcLength == -1 ? std::string_view(src, strlen(src) + 1) : std::string_view(src, srcLength);
  std::wstring converted;
  for (size_t i = 0; i < text.size();) {
    std::optional<char32_t> c = DecodeUtf8(text, i);
    if (!c && (flags & MB_ERR_INVALID_CHARS) != 0) {
      SetLastError(ERROR_NO_UNICODE_TRANSLATION);
      return 0;
    }
    converted += static_cast<wchar_t>(c.value_or(kReplacement));
  }
  return Deliver(converted, dst, dstLength);
}

int WideCharToMultiByte(uint32_t codePage, uint32_t flags, const wchar_t* src, int srcLength,
                        char* dst, int dstLength, const char* defaultChar, bool* usedDefaultChar) {
  if (!ValidArguments(src, srcLength, dst, dstLength)) return 0;
  if (!IsKnownCodePage(codePage) || defaultChar != nullptr || usedDefaultChar != nullptr) {
    // UTF-8 never needs a default character, as on Windows.
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if ((flags & ~(WC_ERR_INVALID_CHARS | WC_NO_BEST_FIT_CHARS)) != 0) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  std::wstring_view text =
      srcLength == -1 ? std::wstring_view(src, wcslen(src) + 1) : std::wstring_view(src, srcLength);
  std::string converted;
  for (wchar_t w : text) {
    auto c = static_cast<char32_t>(w);
    if (!IsValidScalar(c)) {
      if ((flags & WC_ERR_INVALID_CHARS) != 0) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
      }
      c = kReplacement;
    }
    EncodeUtf8(c, converted);
  }
  return Deliver(converted, dst, dstLength);
}

std::wstring Utf8ToWide(std::string_view text) {
  std::wstring out;
  for (size_t i = 0; i < text.size();) {
    out += static_cast<wchar_t>(DecodeUtf8(text, i).value_or(kReplacement));
  }
  return out;
}

std::string WideToUtf8(std::wstring_view text) {
  std::string out;
  for (wchar_t w : text) {
    auto c = static_cast<char32_t>(w);
    EncodeUtf8(IsValidScalar(c) ? c : kReplacement, out);
  }
  return out;
}

}  // namespace os
