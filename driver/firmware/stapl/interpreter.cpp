// CStaplInterpreter's statement loop, keyword dispatch and symbol scopes.
#include "driver/firmware/stapl/interpreter.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <new>
#include <optional>
#include <stdexcept>

#include "driver/firmware/stapl/staplexecute.h"
#include "driver/firmware/stapl/staplresult.h"
#include "driver/firmware/stapl/textscan.h"
#include "driver/foundation/asciitext.h"

namespace zor::firmware {

namespace {

enum Keyword {
  kNone,
  kAction,
  kBoolean,
  kCall,
  kCrc,
  kData,
  kDrscan,
  kDrstop,
  kEnddata,
  kEndproc,
  kExit,
  kExport,
  kFor,
  kFrequency,
  kGoto,
  kIf,
  kInteger,
  kIrscan,
  kIrstop,
  kLet,
  kNext,
  kNote,
  kPadding,
  kPop,
  kPostdr,
  kPostir,
  kPredr,
  kPreir,
  kPrint,
  kProcedure,
  kPush,
  kRem,
  kReturn,
  kState,
  kTrst,
  kVector,
  kVmap,
  kWait,
};

constexpr std::string_view kKeywords[] = {
    "ACTION",  "BOOLEAN", "CALL",   "CRC",   "DATA",      "DRSCAN",  "DRSTOP", "ENDDATA",
    "ENDPROC", "EXIT",    "EXPORT", "FOR",   "FREQUENCY", "GOTO",    "IF",     "INTEGER",
    "IRSCAN",  "IRSTOP",  "LET",    "NEXT",  "NOTE",      "PADDING", "POP",    "POSTDR",
    "POSTIR",  "PREDR",   "PREIR",  "PRINT", "PROCEDURE", "PUSH",    "REM",    "RETURN",
    "STATE",   "TRST",    "VECTOR", "VMAP",  "WAIT",
};

// The leading letters of the statement; a word of ten or more letters is no keyword.
int FindKeyword(std::string_view statement, size_t* length) {
  size_t n = 0;
  while (n < statement.size() && std::isalpha(static_cast<unsigned char>(statement[n]))) ++n;
  *length = n;
  if (n >= 10) return kNone;
  const std::string_view word = statement.substr(0, n);
  for (size_t i = 0; i < std::size(kKeywords); ++i) {
    if (kKeywords[i] == word) return static_cast<int>(i) + 1;
  }
  return kNone;
}

}  // namespace

CStaplInterpreter::CStaplInterpreter(IStaplHost& host, const char* action,
                                     const char* const* initList)
    : host_(host), action_(action), initList_(initList), reader_(host), jtag_(host) {}

int CStaplInterpreter::Run(int32_t* errorLine, int32_t* exitCode) {
  int rc = reader_.Seek(0);
  while (rc == kStaplSuccess && !done_) rc = RunStatements(0, false);
  if (rc != kStaplSuccess && errorLine != nullptr) *errorLine = reader_.LineOf(failStart_);
  if (exitCode != nullptr) *exitCode = exitCode_;
  jtag_.Release();
  return rc;
}

int CStaplInterpreter::ReadStatement() {
  int rc = reader_.Read(statement_, label_);
  failStart_ = reader_.StatementStart();
  if (rc != kStaplSuccess || label_.empty()) return rc;
  StaplSymbol* label = nullptr;
  return AddSymbol(label_, StaplKind::kLabel, 0, reader_.StatementStart(), &label);
}

int CStaplInterpreter::RunStatements(size_t stopDepth, bool nested) {
  for (;;) {
    if (!reexecute_) {
      const int rc = ReadStatement();
      if (rc != kStaplSuccess) return rc;
    }
    reexecute_ = false;
    const int rc = ExecuteStatement();
    if (rc != kStaplSuccess || done_) return rc;
    if (nested && stack_.Depth() == stopDepth) return kStaplSuccess;
  }
}

int CStaplInterpreter::ExecuteStatement() {
  size_t length = 0;
  const int keyword = FindKeyword(statement_, &length);
  int rc;
  try {
    rc = Dispatch(keyword, std::string_view(statement_).substr(keyword == kNone ? 0 : length));
  } catch (const std::bad_alloc&) {
    rc = kStaplOutOfMemory;
  } catch (const std::length_error&) {
    rc = kStaplOutOfMemory;
  }
  for (StaplBits& literal : literals_) StaplBits().swap(literal);
  return rc;
}

// A statement runs in the group that its keyword belongs to; a line that starts with no
// keyword is an assignment.
int CStaplInterpreter::Dispatch(int keyword, std::string_view rest) {
  for (const StatementGroup group :
       {&CStaplInterpreter::RunStructureStatement, &CStaplInterpreter::RunFlowStatement,
        &CStaplInterpreter::RunDataStatement, &CStaplInterpreter::RunJtagStatement}) {
    if (const std::optional<int> rc = (this->*group)(keyword, rest)) return *rc;
  }
  return DoImplicitAssignment(rest);
}

int CStaplInterpreter::RequireVersion(int version) {
  if (version_ == 0) version_ = version;
  return version_ == version ? kStaplSuccess : kStaplSyntaxError;
}

int CStaplInterpreter::ProcedureOnly() const {
  return version_ == 2 && phase_ != kPhaseProcedure ? kStaplPhaseError : kStaplSuccess;
}

std::optional<int> CStaplInterpreter::RunStructureStatement(int keyword, std::string_view rest) {
  int rc = kStaplSuccess;
  switch (keyword) {
    case kAction:
      if ((rc = RequireVersion(2)) != kStaplSuccess) return rc;
      if (phase_ > kPhaseAction) return kStaplPhaseError;
      phase_ = kPhaseAction;
      return DoAction(rest);
    case kData:
    case kProcedure:
      if ((rc = RequireVersion(2)) != kStaplSuccess) return rc;
      if (phase_ == kPhaseAction) return kStaplActionNotFound;
      if (phase_ != kPhaseProcedure && (keyword == kProcedure || phase_ != kPhaseData)) {
        return kStaplPhaseError;
      }
      return DeclareBlock(keyword == kData ? StaplKind::kDataBlock : StaplKind::kProcedure, rest,
                          reader_.StatementStart());
    case kEnddata:
    case kEndproc:
      if (version_ == 0) version_ = 2;
      return DoReturn(rest);
    case kNote:
      if (version_ == 2 && phase_ >= kPhaseAction) return kStaplPhaseError;
      if (phase_ == kPhaseUnknown) phase_ = kPhaseNote;
      return kStaplSuccess;
    case kRem:
      return kStaplSuccess;
    case kCrc:
      // The CRC statement ends the program text; running into it is an error.
      return kStaplPhaseError;
    default:
      return std::nullopt;
  }
}

std::optional<int> CStaplInterpreter::RunFlowStatement(int keyword, std::string_view rest) {
  const int needProcedure = ProcedureOnly();
  int rc = kStaplSuccess;
  switch (keyword) {
    case kCall:
    case kGoto:
      if (version_ == 0) version_ = 1;
      if (needProcedure) return needProcedure;
      return DoCallOrGoto(rest, keyword == kCall);
    case kReturn:
      if ((rc = RequireVersion(1)) != kStaplSuccess) return rc;
      return DoReturn(rest);
    case kExit:
      return needProcedure ? needProcedure : DoExit(rest);
    case kIf:
      return needProcedure ? needProcedure : DoIf(rest);
    case kFor:
      return needProcedure ? needProcedure : DoFor(rest);
    case kNext:
      return needProcedure ? needProcedure : DoNext(rest);
    default:
      return std::nullopt;
  }
}

std::optional<int> CStaplInterpreter::RunDataStatement(int keyword, std::string_view rest) {
  const int needProcedure = ProcedureOnly();
  int rc = kStaplSuccess;
  switch (keyword) {
    case kBoolean:
    case kInteger:
      if (keyword == kBoolean && version_ == 0) version_ = 1;
      if (version_ == 2 && phase_ != kPhaseProcedure && phase_ != kPhaseData) {
        return kStaplPhaseError;
      }
      return DoDeclaration(keyword == kBoolean, rest);
    case kLet:
      if ((rc = RequireVersion(1)) != kStaplSuccess) return rc;
      return DoAssignment(rest);
    case kPush:
      return needProcedure ? needProcedure : DoPush(rest);
    case kPop:
      return needProcedure ? needProcedure : DoPop(rest);
    case kPrint:
      return needProcedure ? needProcedure : DoPrint(rest);
    case kExport:
      return needProcedure ? needProcedure : DoExport(rest);
    default:
      return std::nullopt;
  }
}

std::optional<int> CStaplInterpreter::RunJtagStatement(int keyword, std::string_view rest) {
  int rc = kStaplSuccess;
  switch (keyword) {
    case kDrscan:
    case kIrscan:
    case kDrstop:
    case kIrstop:
    case kPredr:
    case kPostdr:
    case kPreir:
    case kPostir:
    case kState:
    case kWait:
    case kVector:
    case kVmap:
      if (const int needProcedure = ProcedureOnly()) return needProcedure;
      return RunTapStatement(keyword, rest);
    case kTrst:
      if (version_ == 0) version_ = 2;
      if (version_ == 2 && phase_ != kPhaseProcedure) return kStaplPhaseError;
      return DoWait(rest);
    case kFrequency:
      if ((rc = RequireVersion(2)) != kStaplSuccess) return rc;
      if (phase_ != kPhaseProcedure) return kStaplPhaseError;
      return DoFrequency(rest);
    case kPadding:
      if ((rc = RequireVersion(1)) != kStaplSuccess) return rc;
      return DoPadding(rest);
    default:
      return std::nullopt;
  }
}

int CStaplInterpreter::RunTapStatement(int keyword, std::string_view rest) {
  switch (keyword) {
    case kDrscan:
    case kIrscan:
      return DoScan(keyword == kIrscan, rest);
    case kDrstop:
    case kIrstop:
      return DoStop(keyword == kIrstop, rest);
    case kPredr:
    case kPostdr:
    case kPreir:
    case kPostir:
      return DoAmble(keyword == kPreir || keyword == kPostir,
                     keyword == kPredr || keyword == kPreir, rest);
    case kState:
      return DoState(rest);
    case kWait:
      return DoWait(rest);
    case kVector:
      return DoVector(rest);
    case kVmap:
      return DoVmap(rest);
    default:
      return kStaplInternalError;
  }
}

int CStaplInterpreter::DoImplicitAssignment(std::string_view rest) {
  if (version_ != 2) return kStaplSyntaxError;
  if (const int needProcedure = ProcedureOnly()) return needProcedure;
  std::string_view text = rest;
  const std::string_view name = staplText::TakeName(text);
  if (name.empty() || name.size() >= CStaplSymbolTable::kMaxName) return kStaplSyntaxError;
  StaplSymbol* symbol = symbols_.Find(name);
  if (symbol == nullptr || symbol->kind < StaplKind::kInteger ||
      symbol->kind > StaplKind::kBooleanArrayInit) {
    return kStaplSyntaxError;
  }
  return DoAssignment(rest);
}

int CStaplInterpreter::Evaluate(std::string_view text, int64_t* value, int* type) {
  return StaplEvaluateExpression(text, *this, value, type);
}

int CStaplInterpreter::EvaluateInteger(std::string_view text, int64_t* value) {
  int type = 0;
  const int rc = Evaluate(text, value, &type);
  if (rc != kStaplSuccess) return rc;
  return IsIntegerType(type) ? kStaplSuccess : kStaplTypeMismatch;
}

bool CStaplInterpreter::IsVisible(const StaplSymbol& symbol) const {
  if (version_ != 2) return true;
  auto usedByBlock = [this](std::string_view name) {
    if (block_ == nullptr || block_->kind != StaplKind::kProcedure) return false;
    return std::find(block_->uses.begin(), block_->uses.end(), name) != block_->uses.end();
  };
  // Blocks are declared at the top level; a procedure reaches another through its USES list.
  if (symbol.kind == StaplKind::kProcedure || symbol.kind == StaplKind::kDataBlock) {
    return inUses_ || block_ == nullptr || block_ == &symbol || usedByBlock(symbol.name);
  }
  if (symbol.owner == nullptr || symbol.owner == block_ || &symbol == block_) return true;
  return usedByBlock(symbol.owner->name);
}

int CStaplInterpreter::ResolveSymbol(std::string_view name, StaplSymbol** symbol) {
  StaplSymbol* found = symbols_.Find(name);
  if (found == nullptr) return kStaplUndefinedSymbol;
  if (!IsVisible(*found)) return kStaplScopeError;
  *symbol = found;
  return kStaplSuccess;
}

bool CStaplInterpreter::InitListValue(std::string_view name, int64_t* value) const {
  if (initList_ == nullptr) return false;
  for (const char* const* entry = initList_; *entry != nullptr; ++entry) {
    std::string_view text = *entry;
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) continue;
    if (!foundation::EqualsIgnoreCase(staplText::Trim(text.substr(0, equals)), name)) continue;
    std::string_view number = staplText::Trim(text.substr(equals + 1));
    const bool negative = !number.empty() && number.front() == '-';
    if (negative) number.remove_prefix(1);
    int64_t v = 0;
    for (char c : number) {
      if (!std::isdigit(static_cast<unsigned char>(c))) break;
      v = v * 10 + (c - '0');
    }
    *value = negative ? -v : v;
    return true;
  }
  return false;
}

int CStaplInterpreter::AddSymbol(std::string_view name, StaplKind kind, int64_t value,
                                 int32_t position, StaplSymbol** symbol) {
  if (!IsValidStaplName(name)) return kStaplIllegalSymbol;
  StaplSymbol* existing = symbols_.Find(name);
  if (existing != nullptr) {
    const bool inProcedure = block_ != nullptr && block_->kind == StaplKind::kProcedure;
    if (existing->kind == kind && existing->position == position) {
      // Declarations run again each time flow passes them.
      if (version_ == 1 || (version_ == 2 && inProcedure)) existing->value = value;
      *symbol = existing;
      return kStaplSuccess;
    }
    const bool initialisedTwin =
        (kind == StaplKind::kBooleanArray && existing->kind == StaplKind::kBooleanArrayInit) ||
        (kind == StaplKind::kIntegerArray && existing->kind == StaplKind::kIntegerArrayInit);
    if (phase_ == kPhaseData && initialisedTwin && existing->position == position) {
      *symbol = existing;
      return kStaplSuccess;
    }
    return kStaplRedefinedSymbol;
  }
  if (version_ == 1 && (kind == StaplKind::kInteger || kind == StaplKind::kBoolean)) {
    InitListValue(name, &value);
  }
  *symbol = symbols_.Add(name, kind, value, position, block_);
  return kStaplSuccess;
}

int32_t StaplExecute(IStaplHost& host, const char* action, const char* const* initList,
                     int32_t* errorLine, int32_t* exitCode) {
  try {
    CStaplInterpreter interpreter(host, action, initList);
    return interpreter.Run(errorLine, exitCode);
  } catch (const std::bad_alloc&) {
    return kStaplOutOfMemory;
  }
}

}  // namespace zor::firmware
