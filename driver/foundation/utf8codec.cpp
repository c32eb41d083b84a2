#include "driver/foundation/utf8codec.h"

#include <cstdint>

namespace {

bool IsScalarValue(uint32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

}  // namespace

bool DecodeUtf8(const char* text, size_t length, std::wstring& out) {
  out.clear();
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  for (size_t i = 0; i < length;) {
    const unsigned char lead = bytes[i];
    size_t extra = 0;
    uint32_t c = 0;
    uint32_t minimum = 0;
    if (lead < 0x80) {
      c = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, c = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, c = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, c = lead & 0x07, minimum = 0x10000;
    } else {
      out.clear();
      return false;
    }
    if (length - i <= extra) {
      out.clear();
      return false;
    }
    for (size_t k = 1; k <= extra; ++k) {
      const unsigned char next = bytes[i + k];
      if ((next & 0xC0) != 0x80) {
        out.clear();
        return false;
      }
      c = (c << 6) | (next & 0x3F);
    }
    if (c < minimum || !IsScalarValue(c)) {
      out.clear();
      return false;
    }
    out += static_cast<wchar_t>(c);
    i += extra + 1;
  }
  return true;
}

bool EncodeUtf8(const wchar_t* text, size_t length, std::string& out) {
  out.clear();
  for (size_t i = 0; i < length; ++i) {
    const auto c = static_cast<uint32_t>(text[i]);
    if (!IsScalarValue(c)) {
      out.clear();
      return false;
    }
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
  return true;
}
