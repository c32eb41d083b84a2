// The STAPL flow statements: ACTION, procedures and data blocks, CALL, GOTO, FOR, IF, PUSH, EXIT.
#include <string>
#include <vector>

#include "driver/firmware/stapl/interpreter.h"
#include "driver/firmware/stapl/staplresult.h"
#include "driver/firmware/stapl/textscan.h"
#include "driver/foundation/asciitext.h"

namespace zor::firmware {

using namespace staplText;

int CStaplInterpreter::DoAction(std::string_view rest) {
  if (action_ == nullptr) return kStaplActionNotFound;
  std::string_view text = rest;
  const std::string_view name = TakeName(text);
  if (name.empty()) return kStaplSyntaxError;
  if (!foundation::EqualsIgnoreCase(name, action_)) return kStaplSuccess;
  phase_ = kPhaseProcedure;
  std::string_view description;
  TakeQuoted(text, description);
  if (text.empty() || text.front() != '=') return kStaplSyntaxError;
  text.remove_prefix(1);
  if (!StripSemicolon(text)) return kStaplSyntaxError;

  // The calls below reuse the statement buffer: decide first, then call.
  std::vector<std::string> calls;
  for (std::string_view item : SplitTopLevel(text)) {
    const std::string_view procedure = TakeName(item);
    if (procedure.empty()) return kStaplSyntaxError;
    bool call = true;
    int64_t flag = 0;
    const bool listed = InitListValue(procedure, &flag);
    if (item.empty()) {
      call = true;
    } else if (foundation::EqualsIgnoreCase(item, "OPTIONAL")) {
      call = listed && flag != 0;
    } else if (foundation::EqualsIgnoreCase(item, "RECOMMENDED")) {
      call = !listed || flag != 0;
    } else {
      return kStaplSyntaxError;
    }
    if (call) calls.emplace_back(procedure);
  }
  for (const std::string& procedure : calls) {
    const int rc = CallProcedure(procedure);
    if (rc != kStaplSuccess || done_) return rc;
  }
  done_ = true;
  return kStaplSuccess;
}

int CStaplInterpreter::DeclareBlock(StaplKind kind, std::string_view rest, int32_t position) {
  std::string_view text = rest;
  if (!StripSemicolon(text)) return kStaplSyntaxError;
  const std::string_view name = TakeName(text);
  std::string_view uses;
  if (!text.empty()) {
    if (kind == StaplKind::kDataBlock || TakeName(text) != "USES") return kStaplSyntaxError;
    uses = text;
  }
  // Blocks belong to no block, and declaring them again must not reset a data block's
  // initialised flag.
  StaplSymbol* symbol = nullptr;
  StaplSymbol* saved = block_;
  block_ = nullptr;
  const int rc = AddSymbol(name, kind, 0, position, &symbol);
  block_ = saved;
  if (rc != kStaplSuccess) return rc;
  if (!uses.empty() && !symbol->hasUses) {
    for (std::string_view used : SplitTopLevel(uses)) {
      if (!IsValidStaplName(used)) return kStaplSyntaxError;
      symbol->uses.emplace_back(used);
    }
    symbol->hasUses = true;
  }
  return kStaplSuccess;
}

int CStaplInterpreter::FindOrDeclareForward(std::string_view name, bool label,
                                            StaplSymbol** symbol) {
  int rc = ResolveSymbol(name, symbol);
  if (rc != kStaplUndefinedSymbol) return rc;
  const int32_t resume = reader_.Position();
  StaplSymbol* found = nullptr;
  rc = label ? ReadForwardToLabel(name, &found) : ReadForwardToBlock(name);
  if (rc != kStaplSuccess) return rc;
  if (found != nullptr) {
    *symbol = found;
    return reader_.Seek(resume);
  }
  rc = reader_.Seek(resume);
  if (rc != kStaplSuccess) return rc;
  return ResolveSymbol(name, symbol);
}

// Declares the labels of the statements it reads until it reads the one named; found stays null
// when the program, or in STAPL proper the procedure, ends first.
int CStaplInterpreter::ReadForwardToLabel(std::string_view name, StaplSymbol** found) {
  std::string statement, statementLabel;
  for (;;) {
    int rc = reader_.Read(statement, statementLabel);
    if (rc == kStaplUnexpectedEnd) return kStaplSuccess;
    if (rc != kStaplSuccess) return rc;
    if (!statementLabel.empty()) {
      StaplSymbol* declared = nullptr;
      rc = AddSymbol(statementLabel, StaplKind::kLabel, 0, reader_.StatementStart(), &declared);
      if (rc != kStaplSuccess) return rc;
      if (statementLabel == name) {
        *found = declared;
        return kStaplSuccess;
      }
    }
    std::string_view text = statement;
    // A label must lie inside the current procedure.
    if (version_ == 2 && TakeName(text) == "ENDPROC") return kStaplSuccess;
  }
}

// Declares the procedures and data blocks it reads until the one named is declared or the
// program ends.
int CStaplInterpreter::ReadForwardToBlock(std::string_view name) {
  std::string statement, statementLabel;
  for (;;) {
    int rc = reader_.Read(statement, statementLabel);
    if (rc == kStaplUnexpectedEnd) return kStaplSuccess;
    if (rc != kStaplSuccess) return rc;
    std::string_view text = statement;
    const std::string_view word = TakeName(text);
    if (word != "PROCEDURE" && word != "DATA") continue;
    const StaplKind kind = word == "DATA" ? StaplKind::kDataBlock : StaplKind::kProcedure;
    rc = DeclareBlock(kind, text, reader_.StatementStart());
    if (rc != kStaplSuccess) return rc;
    if (symbols_.Find(name) != nullptr) return kStaplSuccess;
  }
}

int CStaplInterpreter::RunBlock(StaplSymbol& block, Phase phase) {
  const size_t depth = stack_.Depth();
  StaplStackRecord record;
  record.kind = StaplStackKind::kCall;
  record.position = reader_.Position();
  if (!stack_.Push(record)) return kStaplOutOfMemory;
  int rc = reader_.Seek(block.position);
  if (rc != kStaplSuccess) return rc;
  const Phase savedPhase = phase_;
  StaplSymbol* savedBlock = block_;
  phase_ = phase;
  block_ = &block;
  rc = RunStatements(depth, true);
  phase_ = savedPhase;
  block_ = savedBlock;
  return rc;
}

int CStaplInterpreter::ProcessUses(const StaplSymbol& procedure) {
  for (const std::string& name : procedure.uses) {
    StaplSymbol* used = nullptr;
    inUses_ = true;
    int rc = FindOrDeclareForward(name, false, &used);
    inUses_ = false;
    if (rc != kStaplSuccess) return rc;
    if (used->kind == StaplKind::kProcedure) continue;
    if (used->kind != StaplKind::kDataBlock) return kStaplInternalError;
    if (used->value != 0) continue;
    rc = RunBlock(*used, kPhaseData);
    if (rc != kStaplSuccess) return rc;
    used->value = 1;
  }
  return kStaplSuccess;
}

int CStaplInterpreter::CallProcedure(std::string_view name) {
  StaplSymbol* procedure = nullptr;
  int rc = FindOrDeclareForward(name, false, &procedure);
  if (rc != kStaplSuccess) return rc;
  if (procedure->kind != StaplKind::kProcedure) return kStaplTypeMismatch;
  rc = ProcessUses(*procedure);
  if (rc != kStaplSuccess) return rc;
  return RunBlock(*procedure, kPhaseProcedure);
}

int CStaplInterpreter::DoCallOrGoto(std::string_view rest, bool call) {
  std::string_view text = rest;
  if (!StripSemicolon(text)) return kStaplSyntaxError;
  const std::string name(TakeName(text));
  if (name.empty() || !text.empty()) return kStaplSyntaxError;
  if (call && version_ == 2) return CallProcedure(name);
  StaplSymbol* target = nullptr;
  int rc = FindOrDeclareForward(name, true, &target);
  if (rc != kStaplSuccess) return rc;
  if (target->kind != StaplKind::kLabel) return kStaplTypeMismatch;
  if (call) {
    StaplStackRecord record;
    record.kind = StaplStackKind::kCall;
    record.position = reader_.Position();
    if (!stack_.Push(record)) return kStaplOutOfMemory;
  }
  return reader_.Seek(target->position);
}

int CStaplInterpreter::DoReturn(std::string_view rest) {
  if (Trim(rest) != ";") return kStaplSyntaxError;
  StaplStackRecord* top = stack_.Top();
  if (top == nullptr || top->kind != StaplStackKind::kCall) return kStaplReturnUnexpected;
  const int32_t position = top->position;
  stack_.Pop();
  return reader_.Seek(position);
}

int CStaplInterpreter::DoIf(std::string_view rest) {
  const size_t then = FindWord(rest, "THEN");
  if (then == std::string_view::npos) return kStaplSyntaxError;
  int64_t value = 0;
  int type = 0;
  const int rc = Evaluate(rest.substr(0, then), &value, &type);
  if (rc != kStaplSuccess) return rc;
  if (!IsBooleanType(type)) return kStaplTypeMismatch;
  if (value == 0) return kStaplSuccess;
  statement_ = std::string(Trim(rest.substr(then + 4)));
  reexecute_ = true;
  return kStaplSuccess;
}

int CStaplInterpreter::DoFor(std::string_view rest) {
  std::string_view text = rest;
  if (!StripSemicolon(text)) return kStaplSyntaxError;
  const std::string_view name = TakeName(text);
  if (text.empty() || text.front() != '=') return kStaplSyntaxError;
  text.remove_prefix(1);
  StaplSymbol* variable = nullptr;
  int rc = ResolveSymbol(name, &variable);
  if (rc != kStaplSuccess) return rc;
  if (variable->kind != StaplKind::kInteger) return kStaplTypeMismatch;
  const size_t to = FindWord(text, "TO");
  if (to == std::string_view::npos) return kStaplSyntaxError;
  std::string_view stopText = text.substr(to + 2);
  std::string_view stepText = "1";
  const size_t step = FindWord(stopText, "STEP");
  if (step != std::string_view::npos) {
    stepText = stopText.substr(step + 4);
    stopText = stopText.substr(0, step);
  }
  StaplStackRecord record;
  record.kind = StaplStackKind::kFor;
  record.variable = variable;
  record.position = reader_.StatementEnd();
  int64_t start = 0;
  if ((rc = EvaluateInteger(text.substr(0, to), &start)) != kStaplSuccess) return rc;
  if ((rc = EvaluateInteger(stopText, &record.stop)) != kStaplSuccess) return rc;
  if ((rc = EvaluateInteger(stepText, &record.step)) != kStaplSuccess) return rc;
  if (record.step == 0) return kStaplSyntaxError;
  variable->value = start;
  return stack_.Push(record) ? kStaplSuccess : kStaplOutOfMemory;
}

int CStaplInterpreter::DoNext(std::string_view rest) {
  std::string_view text = rest;
  if (!StripSemicolon(text)) return kStaplSyntaxError;
  StaplSymbol* variable = nullptr;
  const int rc = ResolveSymbol(text, &variable);
  if (rc != kStaplSuccess) return rc;
  if (variable->kind != StaplKind::kInteger) return kStaplTypeMismatch;
  StaplStackRecord* top = stack_.Top();
  if (top == nullptr || top->kind != StaplStackKind::kFor || top->variable != variable) {
    return kStaplNextUnexpected;
  }
  if ((top->step > 0 && variable->value >= top->stop) ||
      (top->step < 0 && variable->value <= top->stop)) {
    stack_.Pop();
    return kStaplSuccess;
  }
  variable->value = static_cast<int64_t>(static_cast<uint64_t>(variable->value) +
                                         static_cast<uint64_t>(top->step));
  return reader_.Seek(top->position);
}

int CStaplInterpreter::DoPush(std::string_view rest) {
  std::string_view text = rest;
  if (!StripSemicolon(text)) return kStaplSyntaxError;
  StaplStackRecord record;
  record.kind = StaplStackKind::kValue;
  int type = 0;
  const int rc = Evaluate(text, &record.value, &type);
  if (rc != kStaplSuccess) return rc;
  return stack_.Push(record) ? kStaplSuccess : kStaplOutOfMemory;
}

int CStaplInterpreter::DoPop(std::string_view rest) {
  std::string_view text = rest;
  if (!StripSemicolon(text)) return kStaplSyntaxError;
  StaplStackRecord* top = stack_.Top();
  if (top == nullptr || top->kind != StaplStackKind::kValue) return kStaplPopUnexpected;
  const int64_t value = top->value;
  stack_.Pop();
  const std::string_view name = TakeName(text);
  StaplSymbol* target = nullptr;
  int rc = ResolveSymbol(name, &target);
  if (rc != kStaplSuccess) return rc;
  if (text.empty()) {
    if (target->kind == StaplKind::kInteger) {
      target->value = value;
      return kStaplSuccess;
    }
    if (target->kind != StaplKind::kBoolean) return kStaplTypeMismatch;
    if (value != 0 && value != 1) return kStaplTypeMismatch;
    target->value = value;
    return kStaplSuccess;
  }
  if (text.front() != '[' || text.back() != ']') return kStaplSyntaxError;
  if (target->kind != StaplKind::kIntegerArray && target->kind != StaplKind::kBooleanArray) {
    return kStaplTypeMismatch;
  }
  int64_t index = 0;
  if ((rc = EvaluateInteger(text.substr(1, text.size() - 2), &index)) != kStaplSuccess) return rc;
  if (index < 0 || index >= target->array->dimension) return kStaplBoundsError;
  if (target->kind == StaplKind::kIntegerArray) {
    target->array->integers[index] = value;
    return kStaplSuccess;
  }
  if (value != 0 && value != 1) return kStaplTypeMismatch;
  SetStaplBit(target->array->bits.data(), index, value != 0);
  return kStaplSuccess;
}

int CStaplInterpreter::DoExit(std::string_view rest) {
  std::string_view text = rest;
  if (!StripSemicolon(text)) return kStaplSyntaxError;
  int64_t value = 0;
  int type = 0;
  const int rc = Evaluate(text, &value, &type);
  if (rc != kStaplSuccess) return rc;
  if (type != kStaplInteger && type != kStaplEither) return kStaplTypeMismatch;
  if (value < -32767 || value > 32767) return kStaplIntegerOverflow;
  if (version_ == 2) {
    // STAPL's exit codes in the numbering of the caller's codes.
    static constexpr int kMap[][2] = {{4, 8}, {6, 2}, {7, 3}, {9, 5}, {10, 4}, {11, 6}};
    for (const auto& pair : kMap) {
      if (value == pair[0]) {
        value = pair[1];
        break;
      }
    }
  }
  exitCode_ = static_cast<int32_t>(value);
  done_ = true;
  return kStaplSuccess;
}

}  // namespace zor::firmware
