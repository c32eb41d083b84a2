// Faults a test arms on one kernel function; each fires on the next matching
// requests.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <map>
#include <mutex>
#include <optional>

namespace boardsim {

enum class FaultKind {
  kErrorTriple,       // the reply carries code/sub-code/extra, nothing is done
  kShortReply,        // served, but fewer bytes come back
  kTransportFailure,  // the request fails with a Windows error, the record untouched
  kStall,             // no completion until the board aborts (grab abort, halt, Abort())
  kThrow,             // the request throws `exception` into its sender, as a failure below an
                      // operation that nothing there expected
  kCrossesHalt,       // held until the next halt of a kernel object, then served just after it, as
                      // a request that was on its way while the halt ran
};

struct Fault {
  FaultKind kind = FaultKind::kErrorTriple;
  uint64_t code = 0;
  uint64_t subCode = 0;
  uint64_t extra = 0;
  uint32_t bytes = 0;          // short reply length
  uint32_t windowsError = 31;  // ERROR_GEN_FAILURE
  int count = 1;               // requests it applies to; -1 for every one
  std::exception_ptr exception = nullptr;
};

class FaultTable {
 public:
  void Arm(uint32_t function, const Fault& fault);
  void Clear();
  // The fault for the next request of the function, consumed once.
  std::optional<Fault> Take(uint32_t function);

 private:
  std::mutex mutex_;
  std::map<uint32_t, Fault> faults_;
  // The number of functions with a fault, written under the lock: requests find none without it.
  std::atomic<size_t> armed_{0};
};

}  // namespace boardsim
