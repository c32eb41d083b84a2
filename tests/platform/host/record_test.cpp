// The command records the host builds, read back byte by byte as the driver received them.
#include <bit>
#include <cstring>
#include <functional>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "interfaces/hostcommand/opcodes.h"
#include "platform/host/hostservices.h"
#include "tests/platform/host/fakeboard/fakeboard.h"
#include "tests/platform/host/hostfixture.h"

namespace {

class RecordTest : public HostTest {
 protected:
  QDCommandRecord Last(uint16_t opcode) {
    QDCommandRecord record{};
    EXPECT_TRUE(FakeBoardLastRecord(opcode, &record));
    std::memcpy(bytes_, &record, sizeof(bytes_));
    return record;
  }
  template <typename T>
  T At(size_t offset) const {
    T value;
    std::memcpy(&value, bytes_ + offset, sizeof(T));
    return value;
  }
  size_t Slot(int i) const { return 0x40 + 32 * static_cast<size_t>(i); }
  // The 8-byte words from `from` to `to`; an address among them counts only as set (1) or not.
  std::vector<uint64_t> Words(size_t from, size_t to,
                              const std::set<size_t>& addresses = {}) const {
    std::vector<uint64_t> words;
    for (size_t offset = from; offset < to; offset += 8) {
      const auto word = At<uint64_t>(offset);
      words.push_back(addresses.count(offset) != 0 ? word != 0 : word);
    }
    return words;
  }

  unsigned char bytes_[sizeof(QDCommandRecord)] = {};
};

TEST_F(RecordTest, SystemAllocationRecordHasTheSharedLayout) {
  ASSERT_NE(AllocBoard(), 0);
  Last(zor::hostcommand::kSysAlloc);
  // The opcode with its flags and five slots (application, descriptor, number, init flag and
  // index), with the status preset (0x0BAD) and reserved words zero; the descriptor, wide text
  // whose element count the driver computes; the address of the index variable.
  EXPECT_EQ(
      Words(0, Slot(5), {Slot(1) + 0x10, Slot(4) + 0x10}),
      (std::vector<uint64_t>{0x5003303E8, 0, 1,         0, 0x0BAD0000,    0, 0, 0,  // the header
                             1,           0, Q_DEFAULT, 0, 0x2000A00000A, 0, 1, 0, 4, 0,
                             3,           0, 4,         0, Q_DEFAULT,     0, 2, 0, 1, 0}));
  for (size_t offset = Slot(5); offset < sizeof(QDCommandRecord); ++offset) {
    EXPECT_EQ(bytes_[offset], 0) << "byte " << offset;
  }
}

TEST_F(RecordTest, ObjectParametersCarryHostIdAndDriverIndex) {
  ASSERT_NE(AllocBoard(), 0);
  QINT64 number = 0;
  QsysInquire(board_, Q_NUMBER, &number);
  EXPECT_EQ(number, 3);
  Last(zor::hostcommand::kSysInquire);
  const auto index = At<uint64_t>(0x08);
  EXPECT_GT(index, 0u);
  const auto id = static_cast<uint64_t>(board_);
  EXPECT_EQ(Words(Slot(0), Slot(3)),
            (std::vector<uint64_t>{1, 0, id, index, 4, 0, Q_NUMBER, 0, 2, 0,
                                   reinterpret_cast<uint64_t>(&number), 0}));

  // The host told the driver the system's host id right after the allocation.
  QINT64 announced = 0;
  QsysInquire(board_, Q_HOST_OBJECT_ID, &announced);
  EXPECT_EQ(announced, board_);
}

TEST_F(RecordTest, ControlsPassIntegersAndDoublesWithTheirTypeCodes) {
  ASSERT_NE(AllocBoard(), 0);
  QsysControl(board_, 7000, -5);
  Last(zor::hostcommand::kSysControl);
  EXPECT_EQ(Words(Slot(1), Slot(3)), (std::vector<uint64_t>{4, 0, 7000, 0, 4, 0, uint64_t(-5), 0}));
  QsysControlDouble(board_, 7001, 2.5);
  Last(zor::hostcommand::kSysControl);
  EXPECT_EQ(Words(Slot(2), Slot(3)), (std::vector<uint64_t>{3, 0, 0x4004000000000000, 0}));
  // The driver's own control of a digitizer keeps its type and value apart too.
  const QID digitizer = HostDigAlloc(board_, 0, L"camera.dcf", Q_DEFAULT, nullptr);
  HostDigControl(digitizer, 7002, -6);
  const QDCommandRecord record = Last(zor::hostcommand::kDigControl);
  EXPECT_EQ(std::pair(record.params[1].value.integer, record.params[2].value.integer),
            std::pair(QINT64{7002}, QINT64{-6}));
  HostDigFree(digitizer);
  EXPECT_EQ(CountObjects(Q_DIGITIZER), 0);
  QsysIoCommand(board_, 0x51, 2, 0x40, 0, nullptr);
  EXPECT_EQ(Last(zor::hostcommand::kSysIoCommand).params[3].value.integer, 0x51);
  // Each system command names the system by its host id and its index.
  for (const uint16_t opcode : {zor::hostcommand::kSysControl, zor::hostcommand::kSysIoCommand}) {
    const QDCommandRecord system = Last(opcode);
    EXPECT_EQ(std::pair(system.params[0].value.integer, system.params[0].driverIndex),
              std::pair(board_, system.systemIndex))
        << opcode;
  }
}

TEST_F(RecordTest, BufferAllocationSlotsFollowTheDriversOrder) {
  ASSERT_NE(AllocBoard(), 0);
  const QID buffer = QbufAllocColor(board_, 3, 64, 48, 8, Q_IMAGE | Q_GRAB, nullptr);
  ASSERT_NE(buffer, 0);
  QDCommandRecord record = Last(zor::hostcommand::kBufAlloc);
  // The count, the system, the sizes and flags, no memory of the caller's, and the index's
  // variable named twice.
  std::vector<QINT64> got = {record.paramCount, record.params[0].value.integer,
                             record.params[0].driverIndex - record.systemIndex};
  for (int i = 1; i < 9; ++i) got.push_back(record.params[i].value.integer);
  got.push_back(record.params[9].value.integer - record.params[9].driverIndex);
  EXPECT_EQ(got, (std::vector<QINT64>{10, board_, 0, 3, 64, 48, 8, Q_IMAGE | Q_GRAB, 0, 0, 0, 0}));

  // Copies between two board buffers go to the driver, each with its opcode and its words; so
  // does a region of band 0, named as a band.
  const QID other = QbufAllocColor(board_, 3, 64, 48, 8, Q_IMAGE | Q_GRAB, nullptr);
  QbufCopy(buffer, other);
  QbufCopyClip(buffer, other, 5, 6);
  QbufCopyColor2d(buffer, other, 1, 2, 3, 4, 5, 6, 7, 8);
  QbufTransfer(buffer, other, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, nullptr);
  const uint8_t pixels[64] = {};
  HostBufPutBandRegion(buffer, 0, 0, 1, 2, 3, 4, pixels);
  const std::tuple<uint16_t, std::vector<QINT64>, int> sent[] = {
      {zor::hostcommand::kBufCopy, {other}, 2},
      {zor::hostcommand::kBufCopyClip, {other, 5, 6}, 4},
      {zor::hostcommand::kBufCopyRegion, {other, 1, 2, 3, 4, 5, 6, 7, 8}, 10},
      // The transfer's last three words travel as one array.
      {zor::hostcommand::kBufTransfer, {other, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 14},
      {zor::hostcommand::kBufPutBandRegion, {0, 0, 1, 2, 3, 4}, 8}};
  for (const auto& [opcode, words, count] : sent) {
    record = Last(opcode);
    std::vector<QINT64> got;
    for (size_t i = 1; i <= words.size(); ++i) got.push_back(record.params[i].value.integer);
    EXPECT_EQ(std::make_tuple(record.params[0].value.integer, got, int{record.paramCount}),
              std::make_tuple(buffer, words, count))
        << opcode;
  }
  QbufFree(other);
  QbufFree(buffer);
}

TEST_F(RecordTest, FeatureValuesAreSizedByTheirDataType) {
  ASSERT_NE(AllocBoard(), 0);
  const QID digitizer = QdigAlloc(board_, 0, L"camera.dcf", Q_DEFAULT, nullptr);
  ASSERT_NE(digitizer, 0);
  int32_t value = 7;
  QdigControlFeature(digitizer, 0xFA0000, L"Gain", Q_TYPE_INT32, &value);
  QDCommandRecord record = Last(zor::hostcommand::kDigControlFeature);
  // The name, the data type and a 32-bit variable (5).
  EXPECT_EQ(
      std::make_tuple(std::wstring(static_cast<const wchar_t*>(record.params[2].value.pointer)),
                      record.params[3].value.integer, record.params[4].type,
                      record.params[4].value.pointer),
      std::make_tuple(L"Gain", Q_TYPE_INT32, 5u, static_cast<void*>(&value)));
  // A system's feature goes the same way, its flag beside it.
  QsysControlFeature(board_, 0xFB0000, L"Gain", Q_TYPE_INT32, &value);
  EXPECT_EQ(Last(zor::hostcommand::kDigControlFeature).params[1].value.integer, 0xFB0000);
  // Bytes travel as an array of their count.
  const uint8_t bytes[3] = {1, 2, 3};
  QdigControlFeature(digitizer, 0, L"Lut", Q_TYPE_UINT8 + 3, bytes);
  record = Last(zor::hostcommand::kDigControlFeature);
  EXPECT_EQ(std::make_tuple(record.params[4].type & 0x1F00001Fu, record.params[4].count,
                            record.params[4].value.pointer),
            std::make_tuple(0x800000Cu, int64_t{3}, static_cast<const void*>(bytes)));

  wchar_t text[16] = {};
  QdigInquireFeature(digitizer, 0, L"DeviceModelName", Q_TYPE_STRING, text, 16);
  record = Last(zor::hostcommand::kDigInquireFeature);
  EXPECT_EQ(std::pair(record.params[4].type & 0x1F00001Fu, record.params[4].count),
            std::pair(0xE00000Au, int64_t{16}));  // wide text the driver fills

  // Each data type's slot: a scalar sized by its type, text or bytes as an array with its room.
  struct Case {
    QINT64 flag, dataType, size;
    uint32_t slotType;
    QINT64 count;
  };
  const Case cases[] = {
      {0, Q_TYPE_INT32, 0, 5, 0},
      {0, Q_TYPE_BOOLEAN, 0, 5, 0},
      {0, Q_TYPE_INT16, 0, 14, 0},
      {0, Q_TYPE_UINT8, 0, 12, 0},
      {0, Q_TYPE_DOUBLE, 0, 3, 0},
      {0, Q_TYPE_FLOAT, 0, 11, 0},
      {0, Q_TYPE_INT64, 0, 4, 0},
      {Q_STRING_SIZE, Q_TYPE_STRING, 0, 4, 0},
      {Q_FEATURE_VALUE_AS_STRING, Q_TYPE_INT64, 1, 0xE00000A, 1},
      {0, Q_TYPE_REGISTER, 6, 0xC00000C, 6},
      {0, Q_TYPE_UINT8 + 5, 99, 0xC00000C, 5},
  };
  for (const Case& c : cases) {
    QdigInquireFeature(digitizer, c.flag, L"Width", c.dataType, text, c.size);
    record = Last(zor::hostcommand::kDigInquireFeature);
    EXPECT_EQ(record.params[4].type & 0x1F00001Fu, c.slotType) << c.dataType;
    if (c.count != 0) {
      EXPECT_EQ(record.params[4].count, c.count) << c.dataType;
    }
  }
  // No room, no variable, no name: refused before the driver is asked.
  for (const Case& c : {Case{0, Q_TYPE_STRING, 0, 0, 0}, Case{0, Q_TYPE_REGISTER, 0, 0, 0}}) {
    QdigInquireFeature(digitizer, c.flag, L"Refused", c.dataType, text, c.size);
    EXPECT_EQ(ErrorCode(), Q_ERR_INVALID_PARAMETER);
  }
  QdigInquireFeature(digitizer, 0, L"Refused", Q_TYPE_INT64, nullptr, 0);
  EXPECT_EQ(ErrorCode(), Q_ERR_NULL_POINTER);
  QdigControlFeature(digitizer, 0, nullptr, Q_TYPE_INT64, &value);
  EXPECT_EQ(ErrorCode(), Q_ERR_NULL_POINTER);
  EXPECT_NE(std::wstring(static_cast<const wchar_t*>(
                Last(zor::hostcommand::kDigInquireFeature).params[2].value.pointer)),
            L"Refused");
  QsysInquireFeature(Q_DEFAULT_HOST, 0, L"Width", Q_TYPE_INT64, text, 0);
  EXPECT_EQ(ErrorCode(), Q_ERR_NOT_SUPPORTED);
  QdigFree(digitizer);
}

// The header's own forms reach the entry they stand for with every argument in its place.
TEST_F(RecordTest, TheHeadersOwnFormsPassEveryArgumentOn) {
  ASSERT_NE(AllocBoard(), 0);
  const QID digitizer = QdigAlloc(board_, 0, L"camera.dcf", Q_DEFAULT, nullptr);
  const wchar_t* text = L"text";
  const auto pointer = reinterpret_cast<QINT64>(text);
  using zor::hostcommand::kDigControl;
  using zor::hostcommand::kSysControl;
  const std::tuple<std::function<void()>, uint16_t, std::vector<QINT64>> rows[] = {
      {[&] { QsysControl(board_, 7003, 2.5); },
       kSysControl,
       {board_, 7003, std::bit_cast<QINT64>(2.5)}},
      {[&] { QdigControl(digitizer, 7004, 1.5f); },
       kDigControl,
       {digitizer, 7004, std::bit_cast<QINT64>(1.5)}},
      {[&] { QsysControl(board_, 7005, text); }, kSysControl, {board_, 7005, pointer}},
      {[&] { QdigControl(digitizer, 7006, text); }, kDigControl, {digitizer, 7006, pointer}},
  };
  for (const auto& [call, opcode, words] : rows) {
    SCOPED_TRACE(words[1]);
    call();
    const QDCommandRecord record = Last(opcode);
    std::vector<QINT64> got;
    for (size_t i = 0; i < words.size(); ++i) got.push_back(record.params[i].value.integer);
    EXPECT_EQ(got, words);
  }
  // The forms without a size give none: a register inquiry has no room and is refused.
  uint8_t bytes[4] = {};
  QsysInquireFeature(board_, 0, L"Width", Q_TYPE_REGISTER, bytes);
  EXPECT_EQ(ErrorCode(), Q_ERR_INVALID_PARAMETER);
  QdigInquireFeature(digitizer, 0, L"Width", Q_TYPE_REGISTER, bytes);
  EXPECT_EQ(ErrorCode(), Q_ERR_INVALID_PARAMETER);
  QdigFree(digitizer);
}

}  // namespace
