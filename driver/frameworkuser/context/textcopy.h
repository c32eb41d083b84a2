// Bounded copies of wide texts into fixed buffers.
#pragma once

#include <cstdint>

namespace zor::frame {

// Copies at most size - 1 characters and always terminates; null gives "".
void CopyBoundedText(wchar_t* destination, int64_t size, const wchar_t* source);

}  // namespace zor::frame
