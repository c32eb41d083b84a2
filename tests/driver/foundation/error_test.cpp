#include "driver/foundation/error.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "driver/foundation/logprovider.h"

using namespace zor::foundation;

namespace {

struct RecordingSink {
  void SetError(uint64_t code, uint64_t subCode, uint64_t text1, uint64_t text2) {
    ++calls;
    last = {code, subCode, text1, text2};
  }
  int calls = 0;
  struct {
    uint64_t code, subCode, text1, text2;
  } last{};
};

}  // namespace

TEST(LogProvider, PacksTheSourceId) {
  EXPECT_EQ(CLogProvider(63, 63, 1023, 1023).SourceId(), 0xFFFFFFFFu);
  EXPECT_EQ(CLogProvider(64, 0, 0, 0).SourceId(), 0u);
  EXPECT_EQ(CLogProvider(0, 1, 119, 0).SourceId(), 487488u);
  EXPECT_EQ(g_DriverLogProvider.SourceId(), 4224u);
  EXPECT_EQ(CError().SourceId(), 487488u);
}

TEST(LogProvider, SequenceSkipsZeroAtTheWrap) {
  CLogProvider provider(0, 0, 0, 0);
  CLogProvider other(0, 0, 0, 0);
  EXPECT_EQ(provider.NextSequence(), 1u);
  EXPECT_EQ(other.NextSequence(), 2u);  // one counter for every provider
  EXPECT_EQ(other.Sequence(), 2u);
  for (uint32_t i = 2; i < 0xFFFFF; ++i) provider.NextSequence();
  EXPECT_EQ(provider.Sequence(), 0xFFFFFu);
  EXPECT_EQ(provider.NextSequence(), 1u);
  EXPECT_EQ(provider.Sequence(), 1u);
}

TEST(Error, FirstErrorWinsAndCodeZeroIsNoError) {
  CError error(4301, 2);
  error.SetError(4305, 1);
  EXPECT_EQ(error.code, 4301u);
  EXPECT_EQ(error.subCode, 2u);
  EXPECT_EQ(error.errorSet, 1);

  CError empty;
  empty.SetError(0, 3);
  EXPECT_EQ(empty.errorSet, 0);
  empty.SetError(4310, 4);
  EXPECT_EQ(empty.code, 4310u);
  const CError copy(empty);
  EXPECT_EQ(copy.subCode, 4u);
  EXPECT_EQ(copy.SourceId(), empty.SourceId());
}

TEST(Error, ReportReachesTheSinkOnlyWithAnError) {
  RecordingSink sink;
  CError().Report(sink);
  EXPECT_EQ(sink.calls, 0);
  CError(4320, 3).Report(sink);
  EXPECT_EQ(sink.calls, 1);
  EXPECT_EQ(sink.last.code, 4320u);
  EXPECT_EQ(sink.last.subCode, 3u);
  EXPECT_EQ(sink.last.text1, 0u);
}
