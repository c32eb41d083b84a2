// For what a process does once (settings read at their first use, caches filled once): the test
// body runs in a new process of the test program, which runs the test again from its start and
// reports its failures on its error output.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

namespace zortest {

inline void InProcessOfItsOwn(const std::function<void()>& body) {
  const std::string style = GTEST_FLAG_GET(death_test_style);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        body();
        std::exit(testing::Test::HasFailure() ? 1 : 0);
      },
      testing::ExitedWithCode(0), "");
  GTEST_FLAG_SET(death_test_style, style);
}

}  // namespace zortest
