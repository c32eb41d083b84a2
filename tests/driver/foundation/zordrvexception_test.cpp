#include "driver/foundation/zordrvexception.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

using namespace zor::foundation;

TEST(ZorDrvException, ComposesTheMessageOnce) {
  const ZorDrvException bare(L"", L"a/b/c", 7, L"", 1, 2);
  EXPECT_STREQ(bare.GetMessage(), L"Exception thrown (file 'c', line 7)");
  const ZorDrvRuntimeException typed(L"", L"C:\\src\\x.cpp", 12, L"RuntimeException", 0, 0);
  EXPECT_STREQ(typed.GetMessage(), L"RuntimeException thrown (file 'x.cpp', line 12)");
  const ZorDrvException described(L"bad value", L"plain", 3, L"RuntimeException", 0, 0);
  EXPECT_STREQ(described.GetMessage(),
               L"bad value : RuntimeException thrown (file 'plain', line 3)");
  EXPECT_STREQ(described.GetFileName(), L"plain");
  EXPECT_EQ(described.GetLine(), 3u);
}

TEST(ZorDrvException, WhatStaysReadableAndThrownCopiesKeepEverything) {
  const ExceptionSource source(L"/src/server.cpp", 42, L"RuntimeException");
  try {
    throw source.Report(4401, L"client %s lost after %ld tries", L"été", 3);
  } catch (const ZorDrvRuntimeException& caught) {
    const char* first = caught.what();
    const std::string copy = first;
    EXPECT_STREQ(caught.what(), copy.c_str());
    EXPECT_EQ(copy,
              "client \xC3\xA9t\xC3\xA9 lost after 3 tries : RuntimeException thrown (file "
              "'server.cpp', line 42)");
    EXPECT_EQ(caught.GetCodeA(), 4401u);
    EXPECT_EQ(caught.GetCodeB(), 0u);
    EXPECT_STREQ(caught.GetDescription(), L"client été lost after 3 tries");
  }
  const ZorDrvRuntimeException two = source.Report(1, 2, L"x");
  EXPECT_EQ(two.GetCodeB(), 2u);
}

TEST(ZorDrvException, DescriptionIsCutAt512Characters) {
  const ExceptionSource source(L"f", 1, L"");
  const std::wstring long_text(600, L'z');
  const ZorDrvRuntimeException cut = source.Report(0, L"%s", long_text.c_str());
  EXPECT_EQ(std::wstring(cut.GetDescription()), std::wstring(512, L'z'));
}

TEST(ZorDrvException, WhatIsReadFromSeveralThreadsAtOnce) {
  const ZorDrvRuntimeException shared(L"lost", L"f.cpp", 9, L"RuntimeException", 0, 0);
  const auto read = [&shared] {
    for (int i = 0; i < 200; ++i) {
      EXPECT_STREQ(shared.what(), "lost : RuntimeException thrown (file 'f.cpp', line 9)");
    }
  };
  std::thread other(read);
  read();
  other.join();
}
