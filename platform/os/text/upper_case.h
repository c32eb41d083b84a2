// Names that compare ignoring case (devices, ports, resources) are kept in
// upper case.
#pragma once

#include <cwctype>
#include <string>
#include <string_view>

namespace os::detail {

inline std::wstring UpperCase(std::wstring_view text) {
  std::wstring upper(text);
  for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return upper;
}

}  // namespace os::detail
