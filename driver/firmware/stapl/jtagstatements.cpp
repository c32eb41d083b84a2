// The STAPL JTAG statements: SCAN, VECTOR, STATE, WAIT, FREQUENCY, pre- and postambles.
#include <algorithm>
#include <string>
#include <vector>

#include "driver/firmware/stapl/interpreter.h"
#include "driver/firmware/stapl/staplresult.h"
#include "driver/firmware/stapl/textscan.h"

namespace zor::firmware {

using namespace staplText;

namespace {

constexpr int64_t kMaxAmble = 1000;
constexpr size_t kMaxVectorSignals = 256;

// Cuts a literal longer than the scan to the scan's length.
void CutLiteral(StaplArrayArg& arg, int64_t length) {
  if (arg.literal && arg.Length() > length) arg.end = arg.start + length - 1;
}

int TakeStateName(std::string_view name, jtag::TapState* state) {
  *state = StaplTapStateByName(name);
  return *state == jtag::TapState::kUnknown ? kStaplSyntaxError : kStaplSuccess;
}

}  // namespace

int CStaplInterpreter::ParseScanTail(const std::vector<std::string_view>& parts, size_t first,
                                     int64_t length, StaplScanTail* tail) {
  size_t i = first;
  int rc;
  std::string_view head = parts[i];
  std::string_view word = TakeName(head);
  if (word == "CAPTURE") {
    if ((rc = ParseArrayArg(head, 2, &tail->capture)) != kStaplSuccess) return rc;
    CutLiteral(tail->capture, length);
    if (tail->capture.Length() != length) return kStaplBoundsError;
    tail->capturing = true;
    if (++i == parts.size()) return kStaplSuccess;
    head = parts[i];
    word = TakeName(head);
  }
  // A capture may be followed by a compare of the same bits.
  if (word != "COMPARE" || parts.size() != i + 3) return kStaplSyntaxError;
  if ((rc = ParseArrayArg(head, 3, &tail->expected)) != kStaplSuccess) return rc;
  if ((rc = ParseArrayArg(parts[i + 1], 4, &tail->mask)) != kStaplSuccess) return rc;
  CutLiteral(tail->expected, length);
  CutLiteral(tail->mask, length);
  if (tail->expected.Length() != length || tail->mask.Length() != length) {
    return kStaplBoundsError;
  }
  if ((rc = ResolveSymbol(parts[i + 2], &tail->result)) != kStaplSuccess) return rc;
  return tail->result->kind == StaplKind::kBoolean ? kStaplSuccess : kStaplTypeMismatch;
}

void CStaplInterpreter::FinishScanTail(const StaplScanTail& tail, const uint32_t* captured,
                                       int64_t length) {
  if (tail.capturing) {
    for (int64_t i = 0; i < length; ++i) {
      SetStaplBit(tail.capture.words, tail.capture.start + i, GetStaplBit(captured, i));
    }
  }
  if (tail.result == nullptr) return;
  tail.result->value = 1;
  for (int64_t i = 0; i < length; ++i) {
    const bool m = GetStaplBit(tail.mask.words, tail.mask.start + i);
    if (m &&
        GetStaplBit(captured, i) != GetStaplBit(tail.expected.words, tail.expected.start + i)) {
      tail.result->value = 0;
      return;
    }
  }
}

int CStaplInterpreter::DoScan(bool ir, std::string_view rest) {
  std::string_view text = rest;
  if (!StripSemicolon(text)) return kStaplSyntaxError;
  const std::vector<std::string_view> parts = SplitTopLevel(text);
  if (parts.size() < 2) return kStaplSyntaxError;
  int64_t length = 0;
  int rc = EvaluateInteger(parts[0], &length);
  if (rc != kStaplSuccess) return rc;
  if (length < 1) return kStaplBoundsError;
  StaplArrayArg data;
  if ((rc = ParseArrayArg(parts[1], 0, &data)) != kStaplSuccess) return rc;
  CutLiteral(data, length);
  if (data.Length() < length) return kStaplBoundsError;
  StaplScanTail tail;
  if (parts.size() > 2 && (rc = ParseScanTail(parts, 2, length, &tail)) != kStaplSuccess) {
    return rc;
  }
  const CStaplJtag::Bits bits{data.words, data.start};
  if (parts.size() == 2) {
    return ir ? jtag_.ScanIr(length, bits, nullptr, 0) : jtag_.ScanDr(length, bits, nullptr, 0);
  }
  StaplBits captured = MakeStaplBits(length);
  rc = ir ? jtag_.ScanIr(length, bits, captured.data(), 0)
          : jtag_.ScanDr(length, bits, captured.data(), 0);
  if (rc != kStaplSuccess) return rc;
  FinishScanTail(tail, captured.data(), length);
  return kStaplSuccess;
}

int CStaplInterpreter::DoStop(bool ir, std::string_view rest) {
  std::string_view text = rest;
  if (!StripSemicolon(text)) return kStaplSyntaxError;
  jtag::TapState state;
  const int rc = TakeStateName(text, &state);
  if (rc != kStaplSuccess) return rc;
  if (ir) {
    jtag_.SetIrStop(state);
  } else {
    jtag_.SetDrStop(state);
  }
  return kStaplSuccess;
}

int CStaplInterpreter::DoState(std::string_view rest) {
  std::string_view text = rest;
  if (!StripSemicolon(text)) return kStaplSyntaxError;
  std::string names(text);
  for (char& c : names) {
    if (c == ',') c = ' ';
  }
  std::string_view list = names;
  while (!(list = Trim(list)).empty()) {
    const std::string_view name = TakeName(list);
    jtag::TapState state;
    int rc = TakeStateName(name, &state);
    if (rc != kStaplSuccess) return rc;
    if ((rc = jtag_.GotoState(state)) != kStaplSuccess) return rc;
  }
  return kStaplSuccess;
}

int CStaplInterpreter::DoAmble(bool ir, bool pre, std::string_view rest) {
  std::string_view text = rest;
  if (!StripSemicolon(text)) return kStaplSyntaxError;
  const std::vector<std::string_view> parts = SplitTopLevel(text);
  if (parts.size() > 2) return kStaplSyntaxError;
  int64_t length = 0;
  int rc = EvaluateInteger(parts[0], &length);
  if (rc != kStaplSuccess) return rc;
  if (length > kMaxAmble) return kStaplSyntaxError;
  CStaplJtag::Bits bits;
  if (parts.size() == 2) {
    StaplArrayArg data;
    if ((rc = ParseArrayArg(parts[1], 0, &data)) != kStaplSuccess) return rc;
    if (data.Length() < length) return kStaplBoundsError;
    bits = {data.words, data.start};
  }
  if (ir) {
    pre ? jtag_.SetPreIr(length, bits) : jtag_.SetPostIr(length, bits);
  } else {
    pre ? jtag_.SetPreDr(length, bits) : jtag_.SetPostDr(length, bits);
  }
  return kStaplSuccess;
}

// The items of a WAIT or TRST statement: counts to wait, the state to wait in and the state to
// end in.
struct StaplWaitPlan {
  struct Count {
    int64_t amount;
    bool cycles;  // else microseconds
  };
  std::vector<Count> counts;
  jtag::TapState waitState = jtag::TapState::kIdle;
  jtag::TapState endState = jtag::TapState::kIdle;
  bool waitNamed = false;
  bool endNamed = false;
};

namespace {

// A state named before the first count is the wait state, one after it the end state.
int NameWaitState(StaplWaitPlan& plan, jtag::TapState state) {
  const bool beforeCounts = plan.counts.empty();
  bool& named = beforeCounts ? plan.waitNamed : plan.endNamed;
  if (named) return kStaplSyntaxError;
  named = true;
  (beforeCounts ? plan.waitState : plan.endState) = state;
  return kStaplSuccess;
}

}  // namespace

int CStaplInterpreter::DoWait(std::string_view rest) {
  std::string_view text = rest;
  if (!StripSemicolon(text)) return kStaplSyntaxError;
  StaplWaitPlan plan;
  for (std::string_view item : SplitTopLevel(text)) {
    const int rc = ReadWaitItem(item, plan);
    if (rc != kStaplSuccess) return rc;
  }
  if (plan.counts.empty()) return kStaplSyntaxError;
  for (const StaplWaitPlan::Count& count : plan.counts) {
    const int rc = count.cycles ? WaitCycles(count.amount, plan.waitState)
                                : WaitMicroseconds(count.amount, plan.waitState);
    if (rc != kStaplSuccess) return rc;
  }
  return plan.endState == jtag::TapState::kIdle ? kStaplSuccess : jtag_.GotoState(plan.endState);
}

// A state name, or a count followed by "CYCLES" or "USEC".
int CStaplInterpreter::ReadWaitItem(std::string_view item, StaplWaitPlan& plan) {
  const jtag::TapState state = StaplTapStateByName(item);
  if (state != jtag::TapState::kUnknown) return NameWaitState(plan, state);
  if (plan.endNamed) return kStaplSyntaxError;
  const size_t blank = item.rfind(' ');
  if (blank == std::string_view::npos) return kStaplSyntaxError;
  const std::string_view unit = item.substr(blank + 1);
  if (unit != "CYCLES" && unit != "USEC") return kStaplSyntaxError;
  StaplWaitPlan::Count count{0, unit == "CYCLES"};
  const int rc = EvaluateInteger(item.substr(0, blank), &count.amount);
  if (rc != kStaplSuccess) return rc;
  plan.counts.push_back(count);
  return kStaplSuccess;
}

// Only TMS high holds the TAP in RESET; the other wait states hold with TMS low.
int CStaplInterpreter::WaitCycles(int64_t cycles, jtag::TapState waitState) {
  const int rc = jtag_.GotoStateIfDifferent(waitState);
  if (rc != kStaplSuccess) return rc;
  const bool tms = waitState == jtag::TapState::kReset;
  for (int64_t i = 0; i < cycles; ++i) jtag_.Clock(tms);
  return kStaplSuccess;
}

// A delay does not reset a TAP whose state is still unknown.
int CStaplInterpreter::WaitMicroseconds(int64_t microseconds, jtag::TapState waitState) {
  if (jtag_.State() != jtag::TapState::kUnknown) {
    const int rc = jtag_.GotoStateIfDifferent(waitState);
    if (rc != kStaplSuccess) return rc;
  }
  host_.StaplDelay(microseconds);
  return kStaplSuccess;
}

int CStaplInterpreter::DoVmap(std::string_view rest) {
  std::string_view text = rest;
  if (!StripSemicolon(text)) return kStaplSyntaxError;
  std::vector<std::string> names;
  for (std::string_view item : SplitTopLevel(text)) {
    std::string_view quoted;
    if (!TakeQuoted(item, quoted) || !item.empty()) return kStaplSyntaxError;
    names.emplace_back(quoted);
  }
  if (names.size() > kMaxVectorSignals) return kStaplSyntaxError;
  // In STAPL proper the last name is signal 0.
  if (version_ == 2) std::reverse(names.begin(), names.end());
  std::vector<const char*> pointers;
  for (const std::string& name : names) pointers.push_back(name.c_str());
  const int count = static_cast<int>(names.size());
  if (host_.StaplVectorMap(count, pointers.data()) != count) {
    vectorCount_ = 0;
    return kStaplVectorMapFailed;
  }
  vectorCount_ = count;
  return kStaplSuccess;
}

int CStaplInterpreter::DoVector(std::string_view rest) {
  std::string_view text = rest;
  if (!StripSemicolon(text)) return kStaplSyntaxError;
  const std::vector<std::string_view> parts = SplitTopLevel(text);
  if (parts.size() < 2) return kStaplSyntaxError;
  const int64_t length = vectorCount_;
  StaplArrayArg direction, data;
  int rc = ParseArrayArg(parts[0], 0, &direction);
  if (rc != kStaplSuccess) return rc;
  if ((rc = ParseArrayArg(parts[1], 1, &data)) != kStaplSuccess) return rc;
  CutLiteral(direction, length);
  CutLiteral(data, length);
  if (direction.Length() < length || data.Length() < length) return kStaplBoundsError;
  StaplScanTail tail;
  if (parts.size() > 2 && (rc = ParseScanTail(parts, 2, length, &tail)) != kStaplSuccess) {
    return rc;
  }
  // The host takes 32 signals per 64-bit word.
  const size_t words = (length + 31) / 32 + 1;
  std::vector<int64_t> dirWords(words, 0), dataWords(words, 0), captureWords(words, 0);
  for (int64_t i = 0; i < length; ++i) {
    if (GetStaplBit(direction.words, direction.start + i)) {
      dirWords[i / 32] |= int64_t{1} << (i % 32);
    }
    if (GetStaplBit(data.words, data.start + i)) dataWords[i / 32] |= int64_t{1} << (i % 32);
  }
  const bool capturing = parts.size() > 2;
  const int processed =
      host_.StaplVectorIo(static_cast<int>(length), dirWords.data(), dataWords.data(),
                          capturing ? captureWords.data() : nullptr);
  if (processed != length) return kStaplInternalError;
  if (!capturing) return kStaplSuccess;
  StaplBits captured = MakeStaplBits(length);
  for (int64_t i = 0; i < length; ++i) {
    SetStaplBit(captured.data(), i, (captureWords[i / 32] >> (i % 32)) & 1);
  }
  FinishScanTail(tail, captured.data(), length);
  return kStaplSuccess;
}

int CStaplInterpreter::DoFrequency(std::string_view rest) {
  std::string_view text = rest;
  if (!StripSemicolon(text)) return kStaplSyntaxError;
  int64_t hertz = -1;
  if (!text.empty()) {
    const int rc = EvaluateInteger(text, &hertz);
    if (rc != kStaplSuccess) return rc;
  }
  return host_.StaplSetFrequency(hertz) != 0 ? kStaplBoundsError : kStaplSuccess;
}

int CStaplInterpreter::DoPadding(std::string_view rest) {
  std::string_view text = rest;
  if (!StripSemicolon(text)) return kStaplSyntaxError;
  const std::vector<std::string_view> parts = SplitTopLevel(text);
  if (parts.size() != 4) return kStaplSyntaxError;
  int64_t lengths[4];
  for (int i = 0; i < 4; ++i) {
    const int rc = EvaluateInteger(parts[i], &lengths[i]);
    if (rc != kStaplSuccess) return rc;
    if (lengths[i] > kMaxAmble) return kStaplSyntaxError;
  }
  jtag_.SetPreDr(lengths[0], {});
  jtag_.SetPostDr(lengths[1], {});
  jtag_.SetPreIr(lengths[2], {});
  jtag_.SetPostIr(lengths[3], {});
  return kStaplSuccess;
}

}  // namespace zor::firmware
