#include "tests/platform/host/hostfixture.h"

#include <stdlib.h>

#include "platform/host/hostservices.h"

void HostTest::SetUp() {
  setenv("ZOR_DRIVER_DRAVIONLYN", FAKE_BOARD_PATH, 1);
  QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
}

void HostTest::TearDown() {
  if (board_ != 0) QsysFree(board_);
}

std::wstring HostTest::ErrorText(QINT64 type) {
  const QINT64 length = QappGetError(Q_DEFAULT, type + Q_STRING_SIZE, nullptr);
  std::wstring text(static_cast<size_t>(length), L'\0');
  QappGetError(Q_DEFAULT, type, text.data());
  text.resize(static_cast<size_t>(length - 1));
  return text;
}

QINT64 HostTest::CountObjects(QINT64 type) {
  return HostAppListObjects(Q_DEFAULT, 20, type, 0, nullptr);
}

QID HostTest::AllocBoard() {
  board_ = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", 3, Q_DEFAULT, nullptr);
  return board_;
}
