// Copies a wide text into a fixed buffer, cut to fit and always terminated.
#include "driver/frameworkuser/context/textcopy.h"

namespace zor::frame {

void CopyBoundedText(wchar_t* destination, int64_t size, const wchar_t* source) {
  if (destination == nullptr || size <= 0) return;
  int64_t i = 0;
  if (source != nullptr) {
    for (; i < size - 1 && source[i] != L'\0'; ++i) destination[i] = source[i];
  }
  destination[i] = L'\0';
}

}  // namespace zor::frame
