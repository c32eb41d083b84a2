// The driver-log records of commands and of recorded errors.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "driver/foundation/log.h"
#include "driver/foundation/logrecord.h"
#include "driver/foundation/logtag.h"
#include "tests/driver/frameworkuser/support/frameworktest.h"

using namespace zor::foundation;

namespace zor::frame {
namespace {

constexpr uint32_t kRecords = 40;
// The sources of the command records of a system's device, and of the error records.
uint64_t CommandSource(uint32_t device) { return CLogProvider(0, 1, 120, device).SourceId(); }
const uint64_t kErrorSource = CLogProvider(0, 1, 119, 0).SourceId();

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

  // Each record written so far as its source, its kind and its three pairs, compared whole.
  using Whole = std::array<uint64_t, 8>;
  std::vector<Whole> Logged() const {
    std::vector<Whole> records;
    const auto* bytes = reinterpret_cast<const uint8_t*>(memory_.data());
    for (uint32_t i = 0; i < kRecords; ++i) {
      const auto& r =
          *reinterpret_cast<const LogRecord*>(bytes + kLogHeaderSize + i * kLogRecordSize);
      const LogTagPair* p = r.pairs;
      if (r.timeStamp != 0) {
        records.push_back(
            {r.sourceId, r.kind, p[0].tag, p[0].value, p[1].tag, p[1].value, p[2].tag, p[2].value});
      }
    }
    return records;
  }

  std::vector<uint64_t> memory_;
};

TEST_F(CommandLogTest, CommandsAndErrorsAreLoggedOnlyWhenTheirCategoryIsOn) {
  const int64_t system = AllocSystem();
  CommandBuilder(0x0607, system).Run();
  EXPECT_TRUE(Logged().empty());

  CLog::Instance()->SetCategory(12, true);
  CLog::Instance()->SetCategory(13, true);
  probe().onCall = [](QDBaseSystem&, SystemOp, const OperationArgs&, QDDriverThreadContext& ctx) {
    ctx.SetError(4310, 1, 0, 0);
    return int64_t{1};
  };
  CommandBuilder(0x0003, system).Int(1, 2001).Int(2, 0).Run();
  const Whole start{CommandSource(0), 4, LogTag("OPCD"), 3, kEmptyLogTag, 0, kEmptyLogTag, 0};
  const Whole end{CommandSource(0), 5, LogTag("OPCD"), 3, LogTag("TYPE"), 2001, 0, 0};
  const Whole error{kErrorSource, 2, LogTag("ERRC"), 4310, LogTag("ESUB"), 1, kEmptyLogTag, 0};
  EXPECT_EQ(Logged(), (std::vector<Whole>{start, error, end}));

  // The next command clears the error: its code and sub-code count are logged as it goes.
  probe().onCall = nullptr;
  CommandBuilder(0x0003, system).Int(1, 2001).Int(2, 0).Run();
  const Whole cleared{kErrorSource, 3, LogTag("ERRC"), 4310, LogTag("ESUB"), 1, kEmptyLogTag, 0};
  EXPECT_EQ(Logged(), (std::vector<Whole>{start, error, end, start, cleared, end}));
}

// The start record leaves its two pairs blank; the end record carries the pairs the opcode
// chose, and tag 0 with value 0 where it chose none, whatever the opcode.
TEST_F(CommandLogTest, EndRecordsFillThePairsNoTagWasChosenForWithZero) {
  CLog::Instance()->SetCategory(12, true);
  // The allocation's own records, then those of each command of the system.
  int64_t system = 0;
  CommandBuilder(0x0001)
      .Int(0, 0)
      .WideText(1, L"Q_SYSTEM_DRAVIONLYN")
      .Int(2, 3)
      .Int(3, 33)
      .Pointer(4, &system)
      .Run();
  EXPECT_EQ(Logged(),
            (std::vector<Whole>{
                {CommandSource(0), 4, LogTag("OPCD"), 1, kEmptyLogTag, 0, kEmptyLogTag, 0},
                {CommandSource(0), 5, LogTag("OPCD"), 1, LogTag("NUM"), 3, LogTag("FLAG"), 33}}));
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
      {0x0007, {LogTag("TYPE"), 5}, {0, 0}},
      {0x0008, {LogTag("TYPE"), 11}, {0, 0}},
      {0x0210, {LogTag("TYPE"), 11}, {LogTag("VAL"), 22}},
      {0x0213, {LogTag("ATTR"), 55}, {LogTag("FLAG"), 66}},
      {0x0601, {LogTag("FLAG"), 22}, {0, 0}},
      {0x0607, {0, 0}, {0, 0}},
      {0x0609, {LogTag("TYPE"), 11}, {LogTag("VAL"), 22}},
      {0x060C, {LogTag("TYPE"), 11}, {0, 0}},
      {0x0610, {LogTag("OPER"), 33}, {LogTag("FLAG"), 44}},
      {0x0612, {LogTag("FLAG"), 11}, {LogTag("TYPE"), 33}},
      {0x0613, {LogTag("FLAG"), 11}, {LogTag("TYPE"), 33}},
      {0x2E02, {LogTag("TYPE"), 11}, {LogTag("VAL"), 22}},
      {0x2E04, {LogTag("TYPE"), 11}, {0, 0}},
      {0x0238, {0, 0}, {0, 0}},
  };
  size_t seen = 2;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.opcode);
    CommandBuilder command(c.opcode, system);
    for (int slot = 0; slot < 7; ++slot) command.Int(slot, slot == 0 ? 5 : slot * 11);
    command.Run();
    const std::vector<Whole> logged = Logged();
    ASSERT_EQ(logged.size(), seen + 2);
    EXPECT_EQ(logged[seen], (Whole{CommandSource(0), 4, LogTag("OPCD"), c.opcode, kEmptyLogTag, 0,
                                   kEmptyLogTag, 0}));
    EXPECT_EQ(logged[seen + 1], (Whole{CommandSource(0), 5, LogTag("OPCD"), c.opcode, c.first.tag,
                                       c.first.value, c.second.tag, c.second.value}));
    seen = logged.size();
  }
}

}  // namespace
}  // namespace zor::frame
