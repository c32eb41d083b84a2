// STAPL programs: runs the program's first action (or the whole program when it names none)
// against a host whose TDO line answers a fixed pattern. The host serves the program text
// through a budget of reads, so that a program that loops for ever ends as a truncated one.
#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>

#include "driver/firmware/stapl/staplexecute.h"

namespace {

using zor::firmware::IStaplHost;

class BudgetHost : public IStaplHost {
 public:
  explicit BudgetHost(std::string_view program) : program_(program) {}

  int StaplGetChar() override {
    if (reads_ == kReadBudget || position_ >= program_.size()) return -1;
    ++reads_;
    return static_cast<unsigned char>(program_[position_++]);
  }
  int StaplSeek(int32_t offset) override {
    if (offset < 0 || static_cast<size_t>(offset) > program_.size()) return -1;
    position_ = static_cast<size_t>(offset);
    return 0;
  }
  int StaplJtagIo(int, int, int readTdo) override {
    ++cycles_;
    return readTdo != 0 ? static_cast<int>((cycles_ * 0x2545F491u) >> 31) : 0;
  }
  void StaplMessage(const char*) override {}
  void StaplExport(const char*, int64_t) override {}
  void StaplExportBits(const char*, const uint32_t* bits, int64_t count) override {
    // The whole range is read, as a host that stores it would.
    uint32_t sum = 0;
    for (int64_t i = 0; i < (count + 31) / 32; ++i) sum += bits[i];
    checksum_ += sum;
  }
  void StaplDelay(int64_t) override {}
  int StaplVectorMap(int count, const char* const*) override { return count; }
  int StaplVectorIo(int count, const int64_t*, const int64_t*, int64_t*) override { return count; }
  int StaplSetFrequency(int64_t) override { return 0; }

 private:
  // Enough for the real programs of the seed corpus to reach their scans.
  static constexpr uint64_t kReadBudget = 4'000'000;
  std::string_view program_;
  size_t position_ = 0;
  uint64_t reads_ = 0;
  uint64_t cycles_ = 0;
  uint32_t checksum_ = 0;
};

// The name after the first "ACTION" word, or "" when there is none.
std::string FirstAction(std::string_view program) {
  auto upper = [](char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  };
  for (size_t i = 0; i + 7 < program.size(); ++i) {
    bool match = (i == 0 || std::isspace(static_cast<unsigned char>(program[i - 1])));
    for (size_t k = 0; match && k < 6; ++k) match = upper(program[i + k]) == "ACTION"[k];
    if (!match || !std::isspace(static_cast<unsigned char>(program[i + 6]))) continue;
    size_t start = i + 6;
    while (start < program.size() && std::isspace(static_cast<unsigned char>(program[start])))
      ++start;
    size_t end = start;
    while (end < program.size() &&
           (std::isalnum(static_cast<unsigned char>(program[end])) || program[end] == '_'))
      ++end;
    return std::string(program.substr(start, end - start));
  }
  return "";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view program(reinterpret_cast<const char*>(data), size);
  const std::string action = FirstAction(program);
  BudgetHost host(program);
  int32_t errorLine = 0;
  int32_t exitCode = 0;
  zor::firmware::StaplExecute(host, action.empty() ? nullptr : action.c_str(), nullptr, &errorLine,
                              &exitCode);
  return 0;
}
