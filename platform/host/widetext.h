// UTF-8 and wide text for the host's file names and messages.
#pragma once

#include <string>
#include <string_view>

namespace zorhost {

std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);

}  // namespace zorhost
