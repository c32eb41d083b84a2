// The error-table exports through which the host library turns codes into text.
#pragma once

#include <cstdint>

// Both read constant data only: nothing in them can throw.
extern "C" {

// Range 0 to 2: its name, first and last code; the sub-message count (8) is
// stored even when the index is bad. 0 on success, -1 for a bad index.
__attribute__((visibility("default"))) int32_t GetErrorRange(int32_t rangeIndex,
                                                             uint32_t* firstCode,
                                                             uint32_t* lastCode,
                                                             uint32_t* subCodeCount,
                                                             const wchar_t** rangeName) noexcept;

// 0 with a pointer to constant text; -1 when no range holds the code and
// sub-code; -2 when a range holds it but has no text there.
__attribute__((visibility("default"))) int32_t GetErrorMessage(int32_t code, int32_t subCode,
                                                               const wchar_t** message) noexcept;
}
