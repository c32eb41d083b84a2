#pragma once

#include <cstddef>
#include <string>

// Strict UTF-8 <-> wide (UTF-32) conversion: overlong forms, surrogates, code points past
// U+10FFFF and cut-off sequences are errors, and an error converts nothing.
bool DecodeUtf8(const char* text, size_t length, std::wstring& out);
bool EncodeUtf8(const wchar_t* text, size_t length, std::string& out);
