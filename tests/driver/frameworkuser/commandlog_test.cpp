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

constexpr uint32_t kRecords = 16;

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
}

}  // namespace
}  // namespace zor::frame
