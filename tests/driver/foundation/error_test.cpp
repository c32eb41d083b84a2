#include "driver/foundation/error.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>

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

// The whole record: code, sub-code, whether set, and the source.
std::tuple<uint64_t, uint64_t, int64_t, uint32_t> Fields(const CError& e) {
  return {e.code, e.subCode, e.errorSet, e.SourceId()};
}

TEST(Error, FirstErrorWinsAndCodeZeroIsNoError) {
  CError error(4301, 2);
  error.SetError(4305, 1);
  EXPECT_EQ(Fields(error), Fields(CError(4301, 2)));
  EXPECT_EQ(Fields(error), (std::tuple(4301u, 2u, 1, 487488u)));
  CError empty;
  empty.SetError(0, 3);
  EXPECT_EQ(Fields(empty), (std::tuple(0u, 0u, 0, 487488u)));
  empty.SetError(4310, 4);
  EXPECT_EQ(Fields(CError(empty)), (std::tuple(4310u, 4u, 1, 487488u)));
}

TEST(Error, ReportReachesTheSinkOnlyWithAnError) {
  RecordingSink sink;
  CError().Report(sink);
  EXPECT_EQ(sink.calls, 0);
  CError(4320, 3).Report(sink);
  EXPECT_EQ(
      std::tuple(sink.calls, sink.last.code, sink.last.subCode, sink.last.text1, sink.last.text2),
      (std::tuple(1, 4320u, 3u, 0u, 0u)));
}
