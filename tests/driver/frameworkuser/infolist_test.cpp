// Entries read without the list's lock while other threads add and remove
// them, and indexes past the entries that are read without it.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "driver/frameworkuser/driver/qdinfolist.h"

namespace zor::frame {
namespace {

struct Record {
  explicit Record(int64_t v) : value(v) {}
  ~Record() { value = -1; }
  int64_t value;
};

TEST(InfoListTest, RemovedEntryIsGoneAndItsIndexServesTheNextOne) {
  QDInfoList<Record> list;
  for (int64_t index : {0, 1, -1}) EXPECT_EQ(list.GetAt(index), nullptr) << index;
  const int64_t first = list.Add(std::make_shared<Record>(7));
  const int64_t second = list.Add(std::make_shared<Record>(8));
  EXPECT_EQ(first, 1);
  const std::shared_ptr<Record> held = list.GetAt(first);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(list.Remove(first), held);
  EXPECT_EQ(list.Remove(first), nullptr);
  EXPECT_EQ(list.GetAt(first), nullptr);
  EXPECT_EQ(list.Peek(first), nullptr);
  // The reader's reference keeps the record.
  EXPECT_EQ(held->value, 7);
  EXPECT_EQ(list.Add(std::make_shared<Record>(9)), first);
  EXPECT_EQ(list.GetAt(first)->value, 9);
  EXPECT_EQ(list.Peek(second)->value, 8);
  EXPECT_EQ(list.InUse(), 3);
}

TEST(InfoListTest, EntriesBeyondTheLockFreeRangeAreFoundToo) {
  QDInfoList<Record> list;
  int64_t last = 0;
  while (QDInfoList<Record>::CanPeek(last)) last = list.Add(std::make_shared<Record>(last + 1));
  ASSERT_FALSE(QDInfoList<Record>::CanPeek(last));
  EXPECT_EQ(list.GetAt(last)->value, last);
  EXPECT_EQ(list.GetAt(last - 1)->value, last - 1);
  EXPECT_EQ(list.GetAt(last + 1), nullptr);
  EXPECT_EQ(list.Remove(last)->value, last);
  EXPECT_EQ(list.GetAt(last), nullptr);
}

TEST(InfoListTest, ReadersOfEntriesBeingReplacedSeeWholeRecordsOnly) {
  QDInfoList<Record> list;
  constexpr int64_t kEntries = 4;
  for (int64_t i = 1; i <= kEntries; ++i) list.Add(std::make_shared<Record>(i));
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::vector<std::thread> readers;
  for (int64_t reader = 0; reader < 4; ++reader) {
    readers.emplace_back([&, reader] {
      const int64_t index = reader % kEntries + 1;
      while (!done.load()) {
        const std::shared_ptr<Record> record = list.GetAt(index);
        // A record lives while it is read; its value stays its index.
        if (record != nullptr && record->value != index) ++torn;
      }
    });
  }
  for (int round = 0; round < 2000; ++round) {
    const int64_t index = round % kEntries + 1;
    std::shared_ptr<Record> removed = list.Remove(index);
    removed.reset();
    list.Add(std::make_shared<Record>(index));
  }
  done = true;
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(torn.load(), 0);
  EXPECT_EQ(list.InUse(), kEntries + 1);
}

}  // namespace
}  // namespace zor::frame
