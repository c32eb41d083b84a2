// Message boxes on the console, or answered by an installed function.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace os {

inline constexpr uint32_t MB_OK = 0x0;
inline constexpr uint32_t MB_OKCANCEL = 0x1;
inline constexpr uint32_t MB_ABORTRETRYIGNORE = 0x2;
inline constexpr uint32_t MB_YESNOCANCEL = 0x3;
inline constexpr uint32_t MB_YESNO = 0x4;
inline constexpr uint32_t MB_RETRYCANCEL = 0x5;
inline constexpr uint32_t MB_ICONERROR = 0x10;
inline constexpr uint32_t MB_ICONQUESTION = 0x20;
inline constexpr uint32_t MB_ICONWARNING = 0x30;
inline constexpr uint32_t MB_ICONINFORMATION = 0x40;
inline constexpr uint32_t MB_SYSTEMMODAL = 0x1000;
inline constexpr uint32_t MB_TOPMOST = 0x40000;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

using MessageBoxAnswer =
    std::function<int(const std::wstring& text, const std::wstring& caption, uint32_t style)>;

// Installs the function that answers every message box (empty: none).
void SetMessageBoxAnswer(MessageBoxAnswer answer);

// Prints caption and text on stderr. The installed function answers; without
// one, a terminal on stdin is asked; without that the cautious button of the
// style answers: Cancel when offered, else No, else the style's first.
int MessageBox(const wchar_t* text, const wchar_t* caption, uint32_t style);

}  // namespace os
