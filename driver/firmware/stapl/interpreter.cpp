// CStaplInterpreter's statement loop and symbol scopes.
#include "driver/firmware/stapl/interpreter.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <new>
#include <stdexcept>

#include "driver/firmware/stapl/staplexecute.h"
#include "driver/firmware/stapl/staplresult.h"
#include "driver/firmware/stapl/textscan.h"
#include "driver/foundation/asciitext.h"

namespace zor::firmware {

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
  const Statement* statement = FindStatement(statement_, &length);
  int rc;
  try {
    // A line that starts with no keyword is an assignment.
    rc = statement == nullptr
             ? DoImplicitAssignment(statement_)
             : RunStatement(*statement, std::string_view(statement_).substr(length));
  } catch (const std::bad_alloc&) {
    rc = kStaplOutOfMemory;
  } catch (const std::length_error&) {
    rc = kStaplOutOfMemory;
  }
  for (StaplBits& literal : literals_) StaplBits().swap(literal);
  return rc;
}

int CStaplInterpreter::DoImplicitAssignment(std::string_view rest) {
  if (version_ != 2) return kStaplSyntaxError;
  if (const int rc = ApplyPhaseRule(PhaseRule::kInProcedure); rc != kStaplSuccess) return rc;
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
