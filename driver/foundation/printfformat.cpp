// Translates Windows printf formats into glibc ones, conversion by conversion, and formats text.
#include "driver/foundation/printfformat.h"

#include <locale.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace zor::foundation {

namespace {

template <typename Char>
bool IsFlag(Char c) {
  return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0' || c == '\'';
}

template <typename Char>
bool IsIntegerConversion(Char c) {
  return c == 'd' || c == 'i' || c == 'u' || c == 'x' || c == 'X' || c == 'o';
}

template <typename Char>
bool IsFloatConversion(Char c) {
  return c == 'e' || c == 'E' || c == 'f' || c == 'F' || c == 'g' || c == 'G' || c == 'a' ||
         c == 'A';
}

// Reads the Windows length modifier at p; returns it (empty when there is none).
template <typename Char>
std::string ReadModifier(const Char* p) {
  static const char* const kModifiers[] = {"I64", "I32", "hh", "ll", "h", "l",
                                           "L",   "I",   "w",  "z",  "j", "t"};
  for (const char* m : kModifiers) {
    size_t n = 0;
    while (m[n] != '\0' && p[n] == static_cast<Char>(m[n])) ++n;
    if (m[n] == '\0') return m;
  }
  return {};
}

// %s and %c with their upper-case forms. An unmodified lower-case one takes the format family's
// own width, an upper-case one the other; "h" makes either narrow, "l" and "w" wide.
struct TextConversion {
  char conversion;
  const char* narrow;
  const char* wide;
  bool familyWidth;
};
constexpr TextConversion kTextConversions[] = {{'s', "s", "ls", true},
                                               {'S', "s", "ls", false},
                                               {'c', "c", "lc", true},
                                               {'C', "c", "lc", false}};

// The Windows length modifiers of the integer conversions and their glibc forms; any other
// modifier is refused.
struct IntegerModifier {
  const char* windows;
  const char* glibc;
};
constexpr IntegerModifier kIntegerModifiers[] = {
    {"", ""},   {"I64", "ll"}, {"ll", "ll"}, {"I", "z"}, {"h", "h"}, {"hh", "hh"},
    {"z", "z"}, {"j", "j"},    {"t", "t"},   {"l", ""},  {"I32", ""}};

const TextConversion* FindTextConversion(char conversion) {
  for (const TextConversion& text : kTextConversions) {
    if (text.conversion == conversion) return &text;
  }
  return nullptr;
}

std::string TextForm(const TextConversion& text, const std::string& modifier, bool wide) {
  bool narrow = text.familyWidth ? !wide : wide;
  if (modifier == "h") {
    narrow = true;
  } else if (modifier == "l" || modifier == "w") {
    narrow = false;
  }
  return narrow ? text.narrow : text.wide;
}

std::string IntegerForm(const std::string& modifier, char conversion) {
  for (const IntegerModifier& entry : kIntegerModifiers) {
    if (modifier == entry.windows) return entry.glibc + std::string(1, conversion);
  }
  return {};
}

// The glibc conversion for one Windows conversion; empty when refused. `wide` tells
// whether the format belongs to the wide family, which decides the unmodified %s and %c.
std::string MapConversion(const std::string& modifier, char conversion, bool wide) {
  if (const TextConversion* text = FindTextConversion(conversion)) {
    return TextForm(*text, modifier, wide);
  }
  if (conversion == 'p') return "p";
  if (IsIntegerConversion(conversion)) return IntegerForm(modifier, conversion);
  // Windows' long double is a double, so the argument is always a double here.
  if (IsFloatConversion(conversion)) return std::string(1, conversion);
  return {};
}

template <typename Char>
size_t SkipDigitsOrStar(const Char* p) {
  if (*p == '*') return 1;
  size_t n = 0;
  while (p[n] >= '0' && p[n] <= '9') ++n;
  return n;
}

template <typename Char>
bool Translate(const Char* format, std::basic_string<Char>& out, bool wide) {
  out.clear();
  if (format == nullptr) return false;
  for (const Char* p = format; *p != 0;) {
    if (*p != '%') {
      out += *p++;
      continue;
    }
    if (p[1] == '%') {
      out += p[0];
      out += p[1];
      p += 2;
      continue;
    }
    const Char* start = p++;
    while (IsFlag(*p)) ++p;
    p += SkipDigitsOrStar(p);
    if (*p == '.') {
      ++p;
      p += SkipDigitsOrStar(p);
    }
    out.append(start, p);
    const std::string modifier = ReadModifier(p);
    p += modifier.size();
    if (*p == 0 || *p > 0x7F) return false;
    const std::string conversion = MapConversion(modifier, static_cast<char>(*p++), wide);
    if (conversion.empty()) return false;
    for (char c : conversion) out += static_cast<Char>(c);
  }
  return true;
}

// Narrow and wide text meet in these formats; they convert through UTF-8.
class Utf8Scope {
 public:
  Utf8Scope() {
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (utf8 != static_cast<locale_t>(0)) previous_ = uselocale(utf8);
  }
  ~Utf8Scope() {
    if (previous_ != static_cast<locale_t>(0)) uselocale(previous_);
  }
  Utf8Scope(const Utf8Scope&) = delete;
  Utf8Scope& operator=(const Utf8Scope&) = delete;

 private:
  locale_t previous_ = static_cast<locale_t>(0);
};

// Longer results are refused: a caller's width or precision must not size the allocation.
constexpr size_t kFormatLimit = size_t{1} << 24;

}  // namespace

bool TranslateFormat(const wchar_t* format, std::wstring& out) {
  return Translate(format, out, true);
}

bool TranslateFormat(const char* format, std::string& out) { return Translate(format, out, false); }

int64_t FormatWideV(std::wstring& out, const wchar_t* format, va_list args) {
  out.clear();
  std::wstring glibcFormat;
  if (!TranslateFormat(format, glibcFormat)) return -1;
  const Utf8Scope utf8;
  // vswprintf answers -1 both for a short buffer and for bad input, so grow until the text
  // fits; an encoding error or an absurd size ends the search.
  int64_t length = -1;
  for (size_t capacity = 256; capacity <= kFormatLimit; capacity *= 2) {
    out.assign(capacity, L'\0');
    va_list copy;
    va_copy(copy, args);
    errno = 0;
    const int written = vswprintf(out.data(), capacity, glibcFormat.c_str(), copy);
    va_end(copy);
    if (written >= 0) {
      length = written;
      break;
    }
    if (errno == EILSEQ || errno == EINVAL) break;
  }
  out.resize(length < 0 ? 0 : static_cast<size_t>(length));
  return length;
}

int64_t FormatNarrowV(std::string& out, const char* format, va_list args) {
  out.clear();
  std::string glibcFormat;
  if (!TranslateFormat(format, glibcFormat)) return -1;
  const Utf8Scope utf8;
  va_list copy;
  va_copy(copy, args);
  const int length = vsnprintf(nullptr, 0, glibcFormat.c_str(), copy);
  va_end(copy);
  if (length < 0 || static_cast<size_t>(length) >= kFormatLimit) return -1;
  out.assign(static_cast<size_t>(length) + 1, '\0');
  va_copy(copy, args);
  vsnprintf(out.data(), out.size(), glibcFormat.c_str(), copy);
  va_end(copy);
  out.resize(static_cast<size_t>(length));
  return length;
}

}  // namespace zor::foundation
