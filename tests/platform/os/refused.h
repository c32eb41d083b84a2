#pragma once

#include <gtest/gtest.h>

#include "platform/os/core/error.h"

namespace os {

// A call that failed, and the reason it left behind.
inline void Refused(bool failed, uint32_t error) {
  EXPECT_TRUE(failed);
  EXPECT_EQ(GetLastError(), error);
}

}  // namespace os
