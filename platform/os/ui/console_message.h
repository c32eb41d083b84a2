// How a message box looks on the console.
#pragma once

#include <cstdint>
#include <string>

namespace os::detail {

// Writes caption, text and the buttons of the style to stderr.
void PrintMessage(const std::wstring& text, const std::wstring& caption, uint32_t style);

}  // namespace os::detail
