// The driver log sits on the grab path: one record must cost little, also under contention.
#include <benchmark/benchmark.h>

#include <vector>

#include "driver/foundation/log.h"
#include "driver/foundation/logrecord.h"
#include "driver/foundation/logtag.h"

using zor::foundation::CLog;
using zor::foundation::CLogProvider;
using zor::foundation::kEmptyLogTag;
using zor::foundation::kLogHeaderSize;
using zor::foundation::kLogRecordSize;
using zor::foundation::LogRingHeader;
using zor::foundation::LogTag;

namespace {

constexpr uint32_t kRingBytes = kLogHeaderSize + 4096 * kLogRecordSize;

// One ring for every run, attached before the first writer starts.
void AttachRing() {
  static std::vector<uint64_t> memory = [] {
    std::vector<uint64_t> bytes(kRingBytes / 8, 0);
    auto* header = reinterpret_cast<LogRingHeader*>(bytes.data());
    header->writeOffset = kLogHeaderSize;
    header->totalSize = kRingBytes;
    header->ringSize = kRingBytes;
    CLog::Instance()->AllocBuffer(bytes.data(), kRingBytes);
    return bytes;
  }();
}

void BM_LogWrite(benchmark::State& state) {
  AttachRing();
  const CLogProvider provider(0, 3, 7, 0);
  uint64_t value = 0;
  for (auto _ : state) {
    ++value;
    CLog::Instance()->Write(provider, 205, LogTag("GRAB"), value, LogTag("INDX"), value,
                            kEmptyLogTag, 0);
  }
}
BENCHMARK(BM_LogWrite)->Threads(1)->Threads(4);

}  // namespace
