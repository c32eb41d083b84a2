// Reading parameter slots: variants, string lengths and byte sizes.
#include "driver/frameworkuser/command/commandwrapper.h"

#include <gtest/gtest.h>

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

  // A text without terminator is not read beyond the limit: the last one found, the first not.
  std::vector<char> unterminated(std::size_t{1} << 21, 'x');
  unterminated[(std::size_t{1} << 20) - 1] = '\0';
  Slot(3, QD_TYPE_STRING, 0, unterminated.data()).flags = QD_PARAM_COUNT_PENDING;
  EXPECT_EQ(command_.CommandParamByteSize(3), int64_t{1} << 20);
  unterminated[(std::size_t{1} << 20) - 1] = 'x';
  unterminated[std::size_t{1} << 20] = '\0';
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
      {QD_TYPE_TEXT, 3, 0},
      {QD_TYPE_ARRAY | QD_TYPE_FILE_NAME, 3, 0},
      // A negative count is the size as it stands, for arrays and texts alike.
      {0x8000005, -3, -3},
      {QD_TYPE_WSTRING, -1, -1},
      {0x8000001, INT64_MIN, INT64_MIN},
      // A size that overflows has no buffer behind it.
      {0x8000001, INT64_MAX / 4, 0},
      {0x8000001, INT64_MAX / 8 + 1, 0},
      {0x8000001, INT64_MAX / 8, INT64_MAX / 8 * 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.type << " x " << std::dec << c.count);
    Slot(0, c.type, c.count, nullptr);
    EXPECT_EQ(command_.CommandParamByteSize(0), c.bytes);
    EXPECT_EQ(record_.params[0].count, c.count);
  }
}

TEST_F(CommandWrapperTest, VariantsByType) {
  const struct {
    uint32_t type;
    ValueRecord variant;
  } cases[] = {
      {QD_TYPE_ID, {42, kValueInteger}},     {QD_TYPE_INT64, {42, kValueInteger}},
      {QD_TYPE_UINT64, {42, kValueInteger}}, {QD_TYPE_DOUBLE, {42, kValueDouble}},
      {QD_TYPE_UINT8, {0, kValueDouble}},
  };
  for (const auto& c : cases) {
    Slot(0, c.type, 0, nullptr).value.integer = 42;
    const ValueRecord variant = command_.GetArgVariant(0);
    EXPECT_EQ((std::pair{variant.value, variant.kind}),
              (std::pair{c.variant.value, c.variant.kind}))
        << c.type;
  }
}

}  // namespace
}  // namespace zor::frame
