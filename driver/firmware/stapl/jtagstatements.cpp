#include <algorithm>
#include <string>
#include <vector>

#include "driver/firmware/stapl/interpreter.h"
#include "driver/firmware/stapl/staplresult.h"
#include "driver/firmware/stapl/textscan.h"

using namespace staplText;

namespace {

constexpr int64_t kMaxAmble = 1000;
constexpr size_t kMaxVectorSignals = 256;

// Cuts a literal longer than the scan to the scan's length.
void CutLiteral(StaplArrayArg& arg, int64_t length) {
  if (arg.literal && arg.Length() > length) arg.end = arg.start + length - 1;
}

int TakeStateName(std::string_view name, StaplTapState* state) {
  *state = StaplTapStateByName(name);
  return *state == StaplTapState::kUnknown ? kStaplSyntaxError : kStaplSuccess;
}

bool Matches(const StaplArrayArg& captured, const StaplArrayArg& expected,
             const StaplArrayArg& mask, int64_t length) {
  for (int64_t i = 0; i < length; ++i) {
    const bool m = GetStaplBit(mask.words, mask.start + i);
    if (m && GetStaplBit(captured.words, captured.start + i) !=
                 GetStaplBit(expected.words, expected.start + i)) {
      return false;
    }
  }
  return true;
}

}  // namespace

int CStaplInterpreter::ParseCaptureOrCompare(const std::vector<std::string_view>& parts,
                                             size_t first, int64_t length, StaplArrayArg* capture,
                                             StaplArrayArg* expected, StaplArrayArg* mask,
                                             StaplSymbol** result) {
  std::string_view head = parts[first];
  const std::string_view word = TakeName(head);
  int rc;
  if (word == "CAPTURE" && parts.size() == first + 1) {
    if ((rc = ParseArrayArg(head, 2, capture)) != kStaplSuccess) return rc;
    CutLiteral(*capture, length);
    return capture->Length() == length ? kStaplSuccess : kStaplBoundsError;
  }
  if (word != "COMPARE" || parts.size() != first + 3) return kStaplSyntaxError;
  if ((rc = ParseArrayArg(head, 2, expected)) != kStaplSuccess) return rc;
  if ((rc = ParseArrayArg(parts[first + 1], 3, mask)) != kStaplSuccess) return rc;
  CutLiteral(*expected, length);
  CutLiteral(*mask, length);
  if (expected->Length() != length || mask->Length() != length) return kStaplBoundsError;
  if ((rc = ResolveSymbol(parts[first + 2], result)) != kStaplSuccess) return rc;
  return (*result)->kind == StaplKind::kBoolean ? kStaplSuccess : kStaplTypeMismatch;
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
  StaplArrayArg data, capture, expected, mask;
  if ((rc = ParseArrayArg(parts[1], 0, &data)) != kStaplSuccess) return rc;
  CutLiteral(data, length);
  if (data.Length() < length) return kStaplBoundsError;
  StaplSymbol* result = nullptr;
  if (parts.size() > 2) {
    rc = ParseCaptureOrCompare(parts, 2, length, &capture, &expected, &mask, &result);
    if (rc != kStaplSuccess) return rc;
  }
  const CStaplJtag::Bits bits{data.words, data.start};
  if (parts.size() == 2)
    return ir ? m_jtag.ScanIr(length, bits, nullptr, 0) : m_jtag.ScanDr(length, bits, nullptr, 0);
  StaplBits scratch;
  StaplArrayArg into = capture;
  if (result != nullptr) {
    scratch = MakeStaplBits(length);
    into = StaplArrayArg{scratch.data(), 0, length - 1, true};
  }
  rc = ir ? m_jtag.ScanIr(length, bits, into.words, into.start)
          : m_jtag.ScanDr(length, bits, into.words, into.start);
  if (rc != kStaplSuccess || result == nullptr) return rc;
  result->value = Matches(into, expected, mask, length);
  return kStaplSuccess;
}

int CStaplInterpreter::DoStop(bool ir, std::string_view rest) {
  std::string_view text = rest;
  if (!StripSemicolon(text)) return kStaplSyntaxError;
  StaplTapState state;
  const int rc = TakeStateName(text, &state);
  if (rc != kStaplSuccess) return rc;
  if (ir) {
    m_jtag.SetIrStop(state);
  } else {
    m_jtag.SetDrStop(state);
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
    StaplTapState state;
    int rc = TakeStateName(name, &state);
    if (rc != kStaplSuccess) return rc;
    if ((rc = m_jtag.GotoState(state)) != kStaplSuccess) return rc;
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
    pre ? m_jtag.SetPreIr(length, bits) : m_jtag.SetPostIr(length, bits);
  } else {
    pre ? m_jtag.SetPreDr(length, bits) : m_jtag.SetPostDr(length, bits);
  }
  return kStaplSuccess;
}

int CStaplInterpreter::DoWait(std::string_view rest) {
  std::string_view text = rest;
  if (!StripSemicolon(text)) return kStaplSyntaxError;
  struct Count {
    int64_t amount;
    bool cycles;
  };
  std::vector<Count> counts;
  StaplTapState waitState = StaplTapState::kIdle, endState = StaplTapState::kIdle;
  bool waitNamed = false, endNamed = false;
  for (std::string_view item : SplitTopLevel(text)) {
    const StaplTapState state = StaplTapStateByName(item);
    if (state != StaplTapState::kUnknown) {
      bool& named = counts.empty() ? waitNamed : endNamed;
      if (named) return kStaplSyntaxError;
      named = true;
      (counts.empty() ? waitState : endState) = state;
      continue;
    }
    if (endNamed) return kStaplSyntaxError;
    const size_t blank = item.rfind(' ');
    if (blank == std::string_view::npos) return kStaplSyntaxError;
    const std::string_view unit = item.substr(blank + 1);
    if (unit != "CYCLES" && unit != "USEC") return kStaplSyntaxError;
    Count count{0, unit == "CYCLES"};
    const int rc = EvaluateInteger(item.substr(0, blank), &count.amount);
    if (rc != kStaplSuccess) return rc;
    counts.push_back(count);
  }
  if (counts.empty()) return kStaplSyntaxError;
  for (const Count& count : counts) {
    if (count.cycles) {
      const int rc = m_jtag.GotoStateIfDifferent(waitState);
      if (rc != kStaplSuccess) return rc;
      const bool tms = waitState == StaplTapState::kReset;
      for (int64_t i = 0; i < count.amount; ++i) m_jtag.Clock(tms);
    } else {
      if (m_jtag.State() != StaplTapState::kUnknown) {
        const int rc = m_jtag.GotoStateIfDifferent(waitState);
        if (rc != kStaplSuccess) return rc;
      }
      m_host.StaplDelay(count.amount);
    }
  }
  return endState == StaplTapState::kIdle ? kStaplSuccess : m_jtag.GotoState(endState);
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
  if (m_version == 2) std::reverse(names.begin(), names.end());
  std::vector<const char*> pointers;
  for (const std::string& name : names) pointers.push_back(name.c_str());
  const int count = static_cast<int>(names.size());
  if (m_host.StaplVectorMap(count, pointers.data()) != count) {
    m_vectorCount = 0;
    return kStaplVectorMapFailed;
  }
  m_vectorCount = count;
  return kStaplSuccess;
}

int CStaplInterpreter::DoVector(std::string_view rest) {
  std::string_view text = rest;
  if (!StripSemicolon(text)) return kStaplSyntaxError;
  const std::vector<std::string_view> parts = SplitTopLevel(text);
  if (parts.size() < 2) return kStaplSyntaxError;
  const int64_t length = m_vectorCount;
  StaplArrayArg direction, data, capture, expected, mask;
  int rc = ParseArrayArg(parts[0], 0, &direction);
  if (rc != kStaplSuccess) return rc;
  if ((rc = ParseArrayArg(parts[1], 1, &data)) != kStaplSuccess) return rc;
  CutLiteral(direction, length);
  CutLiteral(data, length);
  if (direction.Length() < length || data.Length() < length) return kStaplBoundsError;
  StaplSymbol* result = nullptr;
  if (parts.size() > 2) {
    rc = ParseCaptureOrCompare(parts, 2, length, &capture, &expected, &mask, &result);
    if (rc != kStaplSuccess) return rc;
  }
  // The host takes 32 signals per 64-bit word.
  const size_t words = (length + 31) / 32 + 1;
  std::vector<int64_t> dirWords(words, 0), dataWords(words, 0), captureWords(words, 0);
  for (int64_t i = 0; i < length; ++i) {
    if (GetStaplBit(direction.words, direction.start + i))
      dirWords[i / 32] |= int64_t{1} << (i % 32);
    if (GetStaplBit(data.words, data.start + i)) dataWords[i / 32] |= int64_t{1} << (i % 32);
  }
  const bool capturing = parts.size() > 2;
  const int processed =
      m_host.StaplVectorIo(static_cast<int>(length), dirWords.data(), dataWords.data(),
                           capturing ? captureWords.data() : nullptr);
  if (processed != length) return kStaplInternalError;
  if (!capturing) return kStaplSuccess;
  StaplBits scratch = MakeStaplBits(length);
  StaplArrayArg into =
      result != nullptr ? StaplArrayArg{scratch.data(), 0, length - 1, true} : capture;
  for (int64_t i = 0; i < length; ++i) {
    SetStaplBit(into.words, into.start + i, (captureWords[i / 32] >> (i % 32)) & 1);
  }
  if (result != nullptr) result->value = Matches(into, expected, mask, length);
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
  return m_host.StaplSetFrequency(hertz) != 0 ? kStaplBoundsError : kStaplSuccess;
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
  m_jtag.SetPreDr(lengths[0], {});
  m_jtag.SetPostDr(lengths[1], {});
  m_jtag.SetPreIr(lengths[2], {});
  m_jtag.SetPostIr(lengths[3], {});
  return kStaplSuccess;
}
