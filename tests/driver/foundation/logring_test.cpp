#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "driver/foundation/error.h"
#include "driver/foundation/log.h"
#include "driver/foundation/logrecord.h"
#include "driver/foundation/logtag.h"
#include "platform/host/hostservices.h"

using namespace zor::foundation;

namespace {

constexpr uint32_t kThreeRecords = kLogHeaderSize + 3 * kLogRecordSize;

// A record as "kind source: tag=value tag=value tag=value", the tags in hex.
std::string Text(const LogRecord& record) {
  std::ostringstream text;
  text << record.kind << " " << record.sourceId << ":";
  for (const LogTagPair& pair : record.pairs)
    text << " " << std::hex << pair.tag << "=" << std::dec << pair.value;
  return text.str();
}

// Log memory as the kernel driver would hand it out: a header, then the records.
class LogRing : public testing::Test {
 protected:
  void Attach(uint32_t memorySize, uint32_t ringSize, uint32_t writeOffset) {
    memory_.assign(memorySize / 8 + 1, 0);
    Header().writeOffset = writeOffset;
    Header().totalSize = memorySize;
    Header().ringSize = ringSize;
    memset(Header().kernel1, 0xAB, sizeof(Header().kernel1));
    ASSERT_EQ(CLog::Instance()->AllocBuffer(memory_.data(), memorySize), 0);
  }
  void TearDown() override {
    CLog::Instance()->FreeBuffer(false);
    CLog::Release();
  }
  LogRingHeader& Header() { return *reinterpret_cast<LogRingHeader*>(memory_.data()); }
  const LogRecord& RecordAt(uint32_t offset) {
    return *reinterpret_cast<const LogRecord*>(reinterpret_cast<uint8_t*>(memory_.data()) + offset);
  }
  void WriteValue(uint64_t value) {
    CLog::Instance()->Write(provider_, 300, LogTag("U64"), value, kEmptyLogTag, 0, kEmptyLogTag, 0);
  }

  CLogProvider provider_{1, 2, 3, 4};
  std::vector<uint64_t> memory_;
};

}  // namespace

TEST_F(LogRing, RecordLayout) {
  Attach(kThreeRecords, kThreeRecords, kLogHeaderSize);
  provider_.NextSequence();
  CLog::Instance()->Write(provider_, 4, LogTag("OPCD"), 0x613, LogTag("IN"), 7, kEmptyLogTag, 0);
  const LogRecord& record = RecordAt(kLogHeaderSize);
  const std::string source = std::to_string(provider_.SourceId());
  EXPECT_EQ(record.sequenceWord, provider_.Sequence() | 1u << 20);
  EXPECT_NE(record.timeStamp, 0u);
  EXPECT_EQ(Text(record), "4 " + source + ": 4f504344=1555 494e=7 20=0");
  // Each tag and value lands in its own pair.
  CLog::Instance()->Log(provider_, 5, LogTag("A"), 1, LogTag("B"), 2, LogTag("OUT"), 9);
  EXPECT_EQ(Text(RecordAt(kLogHeaderSize + kLogRecordSize)),
            "5 " + source + ": 41=1 42=2 4f5554=9");
  EXPECT_EQ(Header().writeOffset, kLogHeaderSize + 2 * kLogRecordSize);
}

TEST_F(LogRing, WrapRules) {
  Attach(kThreeRecords, kThreeRecords, kLogHeaderSize);
  for (uint64_t i = 1; i <= 4; ++i) WriteValue(i);
  // The offset reached the ring's end exactly: the fourth record starts again without a wrap.
  EXPECT_EQ(RecordAt(88).pairs[0].value, 4u);
  EXPECT_EQ(RecordAt(168).pairs[0].value, 2u);
  EXPECT_EQ(Header().writeOffset, 168u);

  Header().writeOffset = 400;  // moved past the end
  WriteValue(5);
  // The wrap, its pairs empty.
  EXPECT_EQ(Text(RecordAt(88)), "6 " + std::to_string(provider_.SourceId()) + ": 20=0 20=0 20=0");
  EXPECT_EQ(RecordAt(168).pairs[0].value, 5u);
  EXPECT_EQ(Header().writeOffset, 248u);
}

// Memory and ring sizes on both sides of one record after the header, and no memory at all (no
// buffer is made), each as "result ring-size free-result"; memory shorter than the header is
// never read (exactly sized, so a read shows), and a ring refused keeps its buffer until freed.
TEST_F(LogRing, DamagedHeaderNeverLeadsOutsideTheRecords) {
  constexpr uint32_t kOne = kLogHeaderSize + kLogRecordSize;
  const uint32_t sizes[][2] = {
      {0, 0},       {16, 100000},   {kOne - 8, 100000},       {kOne, kOne - 1},
      {kOne, kOne}, {kOne, 100000}, {kThreeRecords, kOne - 1}};
  std::string results;
  for (const auto& [memorySize, ringSize] : sizes) {
    auto memory = std::make_unique<uint64_t[]>(memorySize / 8);
    if (memorySize >= kLogHeaderSize) {
      reinterpret_cast<LogRingHeader*>(memory.get())->ringSize = ringSize;
    }
    const int32_t result = CLog::Instance()->AllocBuffer(memory.get(), memorySize);
    results += std::to_string(result) + " " + std::to_string(CLog::Instance()->RingSize()) + " ";
    results += std::to_string(CLog::Instance()->FreeBuffer(false)) + ",";
  }
  EXPECT_EQ(results, "1 0 1,1 0 0,1 0 0,1 0 0,0 168 0,0 168 0,1 0 0,");
  Attach(kThreeRecords, 100000, 8);  // offset inside the header, ring size past the memory
  WriteValue(1);
  EXPECT_EQ(RecordAt(88).kind, kLogKindWrap);
  EXPECT_EQ(RecordAt(168).pairs[0].value, 1u);
  for (uint8_t byte : Header().kernel1) EXPECT_EQ(byte, 0xAB);
  for (uint64_t i = 2; i < 10; ++i) WriteValue(i);
  EXPECT_LE(Header().writeOffset, kThreeRecords);

  Header().writeOffset = 90;  // off the record grid
  WriteValue(11);
  EXPECT_EQ(RecordAt(168).pairs[0].value, 11u);
}

// Memory that ends inside the third record: that record would reach past it, so the ring
// starts again instead.
TEST_F(LogRing, ARecordThatWouldEndPastTheMemoryIsNeverWritten) {
  constexpr uint32_t kMemory = kLogHeaderSize + 2 * kLogRecordSize + kLogRecordSize / 2 + 4;
  Attach(kMemory, kMemory, kLogHeaderSize);
  for (uint64_t i = 1; i <= 3; ++i) WriteValue(i);
  const auto* bytes = reinterpret_cast<const uint8_t*>(memory_.data());
  for (uint32_t at = kLogHeaderSize + 2 * kLogRecordSize; at < kMemory; ++at) {
    ASSERT_EQ(bytes[at], 0) << at;
  }
  EXPECT_LE(Header().writeOffset, kMemory);
  // Not lost: the wrap is marked and the third record follows it.
  EXPECT_EQ(RecordAt(kLogHeaderSize).kind, kLogKindWrap);
  EXPECT_EQ(RecordAt(kLogHeaderSize + kLogRecordSize).pairs[0].value, 3u);
  EXPECT_EQ(Header().writeOffset, kLogHeaderSize + 2 * kLogRecordSize);
}

TEST_F(LogRing, ConcurrentWritersLeaveNoTornRecord) {
  // A ring shorter than the writers are many, so that a writer still filling its record is
  // often overtaken by a full lap of the others.
  constexpr uint32_t kRecords = 4;
  Attach(kLogHeaderSize + kRecords * kLogRecordSize, kLogHeaderSize + kRecords * kLogRecordSize,
         kLogHeaderSize);
  constexpr int kThreads = 8;
  constexpr uint64_t kWrites = 20000;
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([t] {
      const CLogProvider provider(static_cast<uint32_t>(t), 5, 0, 0);
      for (uint64_t i = 0; i < kWrites; ++i) {
        const uint64_t value = static_cast<uint64_t>(t) << 32 | i;
        CLog::Instance()->Write(provider, 300, LogTag("U64"), value, LogTag("NBR"), ~value,
                                LogTag("THID"), static_cast<uint64_t>(t));
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  for (uint32_t r = 0; r < kRecords; ++r) {
    const LogRecord& record = RecordAt(kLogHeaderSize + r * kLogRecordSize);
    EXPECT_NE(record.timeStamp, 0u);
    if (record.kind == kLogKindWrap) continue;
    ASSERT_EQ(record.kind, 300u) << r;
    EXPECT_EQ(record.pairs[1].value, ~record.pairs[0].value) << r;
    EXPECT_EQ(record.pairs[2].value, record.pairs[0].value >> 32) << r;
    EXPECT_EQ(record.sourceId,
              CLogProvider(static_cast<uint32_t>(record.pairs[2].value), 5, 0, 0).SourceId());
  }
}

TEST_F(LogRing, FreedMemoryIsNeverWrittenAgain) {
  std::atomic<bool> stop{false};
  std::vector<std::thread> writers;
  for (uint32_t t = 0; t < 3; ++t) {
    writers.emplace_back([&stop, t] {
      const CLogProvider provider(t, 6, 0, 0);
      CLog* log = CLog::Instance();
      while (!stop.load()) log->WriteEvent(provider, 300);
    });
  }
  for (int round = 0; round < 200; ++round) {
    auto memory = std::make_unique<uint64_t[]>(kThreeRecords / 8);
    auto* header = reinterpret_cast<LogRingHeader*>(memory.get());
    header->writeOffset = kLogHeaderSize;
    header->totalSize = kThreeRecords;
    header->ringSize = kThreeRecords;
    ASSERT_EQ(CLog::Instance()->AllocBuffer(memory.get(), kThreeRecords), 0);
    std::this_thread::yield();
    CLog::Instance()->FreeBuffer(false);
    memory.reset();  // a writer still inside a record would now write into freed memory
  }
  stop.store(true);
  for (std::thread& writer : writers) writer.join();
}

TEST_F(LogRing, CategoriesSwitchWhileErrorsAreRecorded) {
  Attach(kThreeRecords, kThreeRecords, kLogHeaderSize);
  std::thread recorder([] {
    for (int i = 0; i < 2000; ++i) CError(4301, static_cast<uint64_t>(i));
  });
  for (int i = 0; i < 2000; ++i) CLog::Instance()->SetCategory(13, i % 2 == 0);
  recorder.join();
  // Whatever landed while the category flipped is a whole error record.
  for (uint32_t r = 0; r < 3; ++r) {
    const LogRecord& record = RecordAt(kLogHeaderSize + r * kLogRecordSize);
    if (record.timeStamp == 0 || record.kind == kLogKindWrap) continue;
    const uint64_t subCode = record.pairs[1].value;
    EXPECT_EQ(Text(record), "2 487488: 45525243=4301 45535542=" + std::to_string(subCode) + " 20=0")
        << r;
    EXPECT_LT(subCode, 2000u) << r;
  }
  EXPECT_FALSE(CLog::Instance()->IsCategoryEnabled(13));  // the last switch turned it off
  const uint32_t before = Header().writeOffset;
  CError(4301, 0);
  EXPECT_EQ(Header().writeOffset, before);
  // Each of the 64 categories is kept and reported on its own, and cleared again; those outside
  // the table neither.
  std::string kept;
  for (int category = -1; category <= 65; ++category) {
    CLog::Instance()->SetCategory(category, true);
    kept += CLog::Instance()->IsCategoryEnabled(category) ? "1" : "0";
    for (int other = 0; other < 64; ++other) {
      if (other != category && CLog::Instance()->IsCategoryEnabled(other)) kept += "!";
    }
    CLog::Instance()->SetCategory(category, false);
    kept += CLog::Instance()->IsCategoryEnabled(category) ? "!" : "";
  }
  EXPECT_EQ(kept, "0" + std::string(64, '1') + "00");
}

// Threads that took the log before the driver went away keep a live object.
TEST_F(LogRing, ReleaseKeepsTheObjectForThreadsThatHoldIt) {
  Attach(kThreeRecords, kThreeRecords, kLogHeaderSize);
  CLog* held = CLog::Instance();
  held->SetCategory(13, true);
  held->SetFolder(L"/tmp");
  std::atomic<bool> stop{false};
  std::atomic<uint64_t> writes{0};
  std::thread writer([&] {
    const CLogProvider provider(1, 6, 0, 0);
    while (!stop.load()) {
      held->WriteEvent(provider, 300);
      held->IsCategoryEnabled(13);
      writes.fetch_add(1);
    }
  });
  while (writes.load() == 0) std::this_thread::yield();
  CLog::Release();
  stop.store(true);
  writer.join();

  EXPECT_EQ(CLog::Instance(), held);
  EXPECT_EQ(held->Ring(), nullptr);  // back to its first-use state
  EXPECT_FALSE(held->IsCategoryEnabled(13));
  wchar_t folder[8] = {};
  held->GetFolder(folder, 8);
  EXPECT_STRNE(folder, L"/tmp");
  EXPECT_EQ(held->FreeBuffer(false), 1);
}

TEST_F(LogRing, ResetAndFree) {
  Attach(kThreeRecords, kThreeRecords, kLogHeaderSize);
  WriteValue(1);
  WriteValue(2);
  CLog::Instance()->Reset();
  EXPECT_EQ(Header().writeOffset, kLogHeaderSize);
  EXPECT_EQ(RecordAt(88).timeStamp, 0u);
  EXPECT_EQ(Header().ringSize, kThreeRecords);

  const auto buffer = static_cast<QID>(CLog::Instance()->BufferId());
  ASSERT_NE(HostBufInquire(buffer, Q_HOST_ADDRESS, nullptr), 0);
  EXPECT_EQ(CLog::Instance()->FreeBuffer(true), 0);
  EXPECT_EQ(CLog::Instance()->Ring(), nullptr);
  EXPECT_EQ(HostBufInquire(buffer, Q_HOST_ADDRESS, nullptr), 0);  // the host's buffer went with it
  Header().writeOffset = kLogHeaderSize;
  WriteValue(3);  // no ring: dropped
  EXPECT_EQ(Header().writeOffset, kLogHeaderSize);
  EXPECT_EQ(CLog::Instance()->FreeBuffer(false), 1);
}

TEST_F(LogRing, ErrorRecordsFollowTheirCategory) {
  Attach(kThreeRecords, kThreeRecords, kLogHeaderSize);
  CError quiet(4301, 2);
  EXPECT_EQ(Header().writeOffset, kLogHeaderSize);  // category 13 is off
  CLog::Instance()->SetCategory(13, true);
  CError unlogged;
  unlogged.noLog = 1;
  unlogged.SetError(4302, 1);
  EXPECT_EQ(Header().writeOffset, kLogHeaderSize);
  CError logged(4303, 4);
  EXPECT_EQ(Text(RecordAt(kLogHeaderSize)), "2 487488: 45525243=4303 45535542=4 20=0");
}
