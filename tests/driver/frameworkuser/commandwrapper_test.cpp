// Reading parameter slots: variants, string lengths and byte sizes.
#include "driver/frameworkuser/command/commandwrapper.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <vector>

namespace zor::frame {
namespace {

class CommandWrapperTest : public ::testing::Test {
 protected:
  QDCommandParam& Slot(int i, uint32_t type, int64_t count, const void* data) {
    QDCommandParam& param = record_.params[i];
    param.type = type;
    param.count = count;
    param.value.pointer = const_cast<void*>(data);
    return param;
  }

  QDCommandRecord record_{};
  QDCommandWrapper command_{&record_};
};

TEST_F(CommandWrapperTest, PendingTextCountIsComputedOnceAndKept) {
  Slot(0, QD_TYPE_WSTRING, 0, L"abc").flags = QD_PARAM_COUNT_PENDING;
  EXPECT_EQ(command_.CommandParamStringLength(0), 4);
  EXPECT_EQ(command_.CommandParamByteSize(0), int64_t{4 * sizeof(wchar_t)});
  EXPECT_EQ(record_.params[0].count, 4);
  Slot(1, QD_TYPE_STRING | 0x10000000, 0, "narrow").flags = QD_PARAM_COUNT_PENDING;
  EXPECT_EQ(command_.CommandParamByteSize(1), 7);
  // Without the pending flag the stored count stands.
  Slot(2, QD_TYPE_WSTRING, 0, L"abc");
  EXPECT_EQ(command_.CommandParamByteSize(2), 0);

  // A text without terminator is not read beyond the limit.
  std::vector<char> unterminated(std::size_t{1} << 21, 'x');
  unterminated[std::size_t{1} << 20] = '\0';  // just past the limit
  Slot(3, QD_TYPE_STRING, 0, unterminated.data()).flags = QD_PARAM_COUNT_PENDING;
  EXPECT_EQ(command_.CommandParamByteSize(3), 0);
  Slot(4, QD_TYPE_WSTRING, 0, nullptr).flags = QD_PARAM_COUNT_PENDING;
  EXPECT_EQ(command_.CommandParamByteSize(4), 0);
}

TEST_F(CommandWrapperTest, ByteSizesOfScalarsAndArrays) {
  const struct {
    uint32_t type;
    int64_t count;
    int64_t bytes;
  } cases[] = {
      {QD_TYPE_ID, 0, 8},
      {QD_TYPE_ADDRESS, 0, 8},
      {QD_TYPE_DOUBLE, 0, 8},
      {QD_TYPE_INT64, 0, 8},
      {QD_TYPE_INT32, 0, 4},
      {QD_TYPE_UINT32, 0, 4},
      {QD_TYPE_UINT64, 0, 8},
      {QD_TYPE_FUNCTION, 0, 8},
      {QD_TYPE_FLOAT, 0, 4},
      {QD_TYPE_UINT8, 0, 1},
      {QD_TYPE_BOOL, 0, 1},
      {QD_TYPE_UINT16, 0, 2},
      // The text codes as the host writes them: narrow and wide strings, file names and outputs.
      {0x900000A, 3, 3},
      {0x9000010, 3, 3},
      {0xD00000A, 3, 3},
      {0xA00000A, 3, 3 * sizeof(wchar_t)},
      {0xA000010, 3, 3 * sizeof(wchar_t)},
      {0xE00000A | 0x10000000, 3, 3 * sizeof(wchar_t)},
      {0x8000005, 10, 40},
      {QD_TYPE_INT16, 0, 2},
      {QD_TYPE_INT16 | 0x10000000, 0, 2},
      {0x8000003, 1, 8},
      {0x1F, 3, 0},
      // A negative count is the size as it stands, for arrays and texts alike.
      {0x8000005, -3, -3},
      {QD_TYPE_WSTRING, -1, -1},
      {0x8000001, INT64_MIN, INT64_MIN},
      // A size that overflows has no buffer behind it.
      {0x8000001, INT64_MAX / 4, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.type << " x " << std::dec << c.count);
    Slot(0, c.type, c.count, nullptr);
    EXPECT_EQ(command_.CommandParamByteSize(0), c.bytes);
    EXPECT_EQ(record_.params[0].count, c.count);
  }
}

TEST_F(CommandWrapperTest, VariantsByType) {
  Slot(0, QD_TYPE_INT64, 0, nullptr).value.integer = 42;
  Slot(1, QD_TYPE_DOUBLE, 0, nullptr).value.real = 1.5;
  Slot(2, QD_TYPE_UINT8, 0, nullptr).value.integer = 9;
  EXPECT_EQ(command_.GetArgVariant(0).kind, kValueInteger);
  EXPECT_EQ(command_.GetArgVariant(0).value, 42);
  EXPECT_EQ(command_.GetArgVariant(1).kind, kValueDouble);
  EXPECT_EQ(std::bit_cast<double>(command_.GetArgVariant(1).value), 1.5);
  EXPECT_EQ(command_.GetArgVariant(2).value, 0);
  EXPECT_EQ(command_.GetArgVariant(2).kind, kValueDouble);
}

}  // namespace
}  // namespace zor::frame
