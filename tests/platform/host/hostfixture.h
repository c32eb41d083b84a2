// Every host test runs with the fake board driver in place of the real one and without
// printed errors.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/host/zor.h"

class HostTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  static QINT64 ErrorCode() { return QappGetError(Q_DEFAULT, Q_CURRENT, nullptr); }
  // The error that the call leaves (0: none).
  template <typename Call>
  static QINT64 ErrorOf(Call call) {
    call();
    return ErrorCode();
  }
  static std::wstring ErrorText(QINT64 type);
  // Objects of a type that the host holds now.
  static QINT64 CountObjects(QINT64 type);
  QID AllocBoard();

  QID board_ = 0;
};
