#include "driver/foundation/messagebox.h"

#include <cstdio>
#include <cstdlib>

int32_t ShowMessageBox(const wchar_t* text, const wchar_t* caption, uint32_t) {
  fprintf(stderr, "%ls: %ls\n", caption, text);
  return 1;
}

void FatalMemoryError(const wchar_t* text) {
  ShowMessageBox(text, L"Fatal memory error.", 0);
  exit(1);
}
