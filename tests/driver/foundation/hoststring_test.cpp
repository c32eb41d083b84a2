#include "driver/foundation/hoststring.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/host/hostservices.h"

using namespace zor::foundation;

TEST(InquireHostString, ReadsTheTextOfAHostObject) {
  constexpr QID kHostSystem = 0x7F000001;
  const QID mailbox = HostObjAlloc(kHostSystem, Q_MAILBOX, 0, nullptr);
  ASSERT_NE(mailbox, 0);
  const std::wstring name = L"box €";
  HostObjControl(mailbox, Q_OBJECT_NAME, reinterpret_cast<QINT64>(name.c_str()));
  std::wstring out = L"old";
  InquireHostString(mailbox, Q_OBJECT_NAME, out);
  EXPECT_EQ(out, name);

  out = L"kept";
  EXPECT_EQ(InquireHostString(mailbox + 1000, Q_OBJECT_NAME, out), 0);
  EXPECT_EQ(out, L"kept");
  HostObjFree(mailbox);
}
