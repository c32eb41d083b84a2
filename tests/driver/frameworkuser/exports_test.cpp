// The built driver library exports its command entry and error table.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(DriverExportsTest, ErrorTableThroughTheLoadedLibrary) {
  // Kept loaded, as the host keeps it: the simulated board it carries lives
  // as long as the process.
  void* library = dlopen(ZOR_DRIVER_LIBRARY, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  ASSERT_NE(library, nullptr) << dlerror();
  EXPECT_NE(dlsym(library, "QDDravionLynCommandDecoder"), nullptr);
  using RangeFunction = int32_t (*)(int32_t, uint32_t*, uint32_t*, uint32_t*, const wchar_t**);
  using MessageFunction = int32_t (*)(int32_t, int32_t, const wchar_t**);
  auto range = reinterpret_cast<RangeFunction>(dlsym(library, "GetErrorRange"));
  auto message = reinterpret_cast<MessageFunction>(dlsym(library, "GetErrorMessage"));
  ASSERT_NE(range, nullptr);
  ASSERT_NE(message, nullptr);
  uint32_t first = 0, last = 0, subs = 0;
  const wchar_t* name = nullptr;
  EXPECT_EQ(range(2, &first, &last, &subs, &name), 0);
  EXPECT_STREQ(name, L"Driver Specific");
  EXPECT_EQ(first, 4446u);
  const wchar_t* text = nullptr;
  EXPECT_EQ(message(4339, 1, &text), 0);
  EXPECT_STREQ(text, L"Invalid UART instance.");
  EXPECT_EQ(message(4450, 0, &text), -2);
  // Nothing else of the driver is visible.
  EXPECT_EQ(dlsym(library, "_ZN3zor5frame11MessageTextEll"), nullptr);
  dlclose(library);
}

}  // namespace
