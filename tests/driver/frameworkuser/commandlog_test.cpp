// The driver-log records of commands and of recorded errors.
#include <gtest/gtest.h>

#include <vector>

#include "driver/foundation/log.h"
#include "driver/foundation/logrecord.h"
#include "driver/foundation/logtag.h"
#include "tests/driver/frameworkuser/support/frameworktest.h"

using namespace zor::foundation;

namespace zor::frame {
namespace {

constexpr uint32_t kRecords = 24;

class CommandLogTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    const uint32_t size = kLogHeaderSize + kRecords * kLogRecordSize;
    memory_.assign(size / 8 + 1, 0);
    auto& header = *reinterpret_cast<LogRingHeader*>(memory_.data());
    header.writeOffset = kLogHeaderSize;
    header.totalSize = size;
    header.ringSize = size;
    ASSERT_EQ(CLog::Instance()->AllocBuffer(memory_.data(), size), 0);
  }

  std::vector<LogRecord> Records() const {
    std::vector<LogRecord> records;
    const auto* bytes = reinterpret_cast<const uint8_t*>(memory_.data());
    for (uint32_t i = 0; i < kRecords; ++i) {
      const auto& record =
          *reinterpret_cast<const LogRecord*>(bytes + kLogHeaderSize + i * kLogRecordSize);
      if (record.timeStamp != 0) records.push_back(record);
    }
    return records;
  }

  std::vector<uint64_t> memory_;
};

TEST_F(CommandLogTest, CommandsAndErrorsAreLoggedOnlyWhenTheirCategoryIsOn) {
  const int64_t system = AllocSystem();
  CommandBuilder(0x0607, system).Run();
  EXPECT_TRUE(Records().empty());

  CLog::Instance()->SetCategory(12, true);
  CLog::Instance()->SetCategory(13, true);
  probe().onCall = [](QDBaseSystem&, SystemOp, const OperationArgs&, QDDriverThreadContext& ctx) {
    ctx.SetError(4310, 1, 0, 0);
    return int64_t{1};
  };
  CommandBuilder(0x0003, system).Int(1, 2001).Int(2, 0).Run();
  const std::vector<LogRecord> records = Records();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].kind, 4u);
  EXPECT_EQ(records[0].pairs[0].tag, LogTag("OPCD"));
  EXPECT_EQ(records[0].pairs[0].value, 0x0003u);
  EXPECT_EQ(records[1].kind, 2u);
  EXPECT_EQ(records[1].pairs[0].tag, LogTag("ERRC"));
  EXPECT_EQ(records[1].pairs[0].value, 4310u);
  EXPECT_EQ(records[1].pairs[1].tag, LogTag("ESUB"));
  EXPECT_EQ(records[1].pairs[1].value, 1u);
  EXPECT_EQ(records[2].kind, 5u);
  EXPECT_EQ(records[2].pairs[1].tag, LogTag("TYPE"));
  EXPECT_EQ(records[2].pairs[1].value, 2001u);

  // The next command clears the error: its code and sub-code count are logged as it goes.
  probe().onCall = nullptr;
  CommandBuilder(0x0003, system).Int(1, 2001).Int(2, 0).Run();
  const std::vector<LogRecord> next = Records();
  ASSERT_GT(next.size(), 4u);
  EXPECT_EQ(next[4].kind, 3u);
  EXPECT_EQ(next[4].pairs[0].value, 4310u);
  EXPECT_EQ(next[4].pairs[1].value, 1u);
}

// The start record leaves its two pairs blank; the end record carries the pairs the opcode
// chose, and tag 0 with value 0 where it chose none, whatever the opcode.
TEST_F(CommandLogTest, EndRecordsFillThePairsNoTagWasChosenForWithZero) {
  const int64_t system = AllocSystem();
  CLog::Instance()->SetCategory(12, true);
  struct Pair {
    uint32_t tag;
    uint64_t value;
  };
  const struct {
    uint16_t opcode;
    Pair first;
    Pair second;
  } cases[] = {
      {0x0003, {LogTag("TYPE"), 11}, {0, 0}},
      {0x0004, {LogTag("TYPE"), 11}, {LogTag("VAL"), 22}},
      {0x0601, {LogTag("FLAG"), 22}, {0, 0}},
      {0x0607, {0, 0}, {0, 0}},
      {0x2E04, {LogTag("TYPE"), 11}, {0, 0}},
      {0x0238, {0, 0}, {0, 0}},
      {0x0007, {LogTag("TYPE"), 5}, {0, 0}},
      {0x0610, {LogTag("OPER"), 33}, {LogTag("FLAG"), 44}},
      {0x0612, {LogTag("FLAG"), 11}, {LogTag("TYPE"), 33}},
  };
  size_t seen = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.opcode);
    CommandBuilder(c.opcode, system).Int(0, 5).Int(1, 11).Int(2, 22).Int(3, 33).Int(4, 44).Run();
    const std::vector<LogRecord> records = Records();
    ASSERT_EQ(records.size(), seen + 2);
    const LogRecord& start = records[seen];
    const LogRecord& end = records[seen + 1];
    seen = records.size();
    EXPECT_EQ(start.kind, 4u);
    for (int pair : {1, 2}) {
      EXPECT_EQ(start.pairs[pair].tag, kEmptyLogTag);
      EXPECT_EQ(start.pairs[pair].value, 0u);
    }
    EXPECT_EQ(end.kind, 5u);
    EXPECT_EQ(end.pairs[0].tag, LogTag("OPCD"));
    EXPECT_EQ(end.pairs[0].value, c.opcode);
    EXPECT_EQ(end.pairs[1].tag, c.first.tag);
    EXPECT_EQ(end.pairs[1].value, c.first.value);
    EXPECT_EQ(end.pairs[2].tag, c.second.tag);
    EXPECT_EQ(end.pairs[2].value, c.second.value);
  }
}

}  // namespace
}  // namespace zor::frame
