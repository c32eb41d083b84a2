// The STAPL statements: each keyword with the versions and phases that allow it and its handler.
#include <cctype>

#include "driver/firmware/stapl/interpreter.h"
#include "driver/firmware/stapl/staplresult.h"

namespace zor::firmware {

using I = CStaplInterpreter;
using Text = std::string_view;

const CStaplInterpreter::
    Statement
        CStaplInterpreter::
            kStatements
                [] =
                    {
                        {"ACTION", VersionRule::kRequires2, PhaseRule::kUpToAction,
                         [](I& s, Text rest) {
                           s.phase_ = kPhaseAction;
                           return s.DoAction(rest);
                         }},
                        {"BOOLEAN", VersionRule::kImplies1, PhaseRule::kInProcedureOrData,
                         [](I& s, Text rest) { return s.DoDeclaration(true, rest); }},
                        {"CALL", VersionRule::kImplies1, PhaseRule::kInProcedure,
                         [](I& s, Text rest) { return s.DoCallOrGoto(rest, true); }},
                        // The CRC statement ends the program text; running into it is an error.
                        {"CRC", VersionRule::kAny, PhaseRule::kAny,
                         [](I&, Text) -> int { return kStaplPhaseError; }},
                        {"DATA", VersionRule::kRequires2, PhaseRule::kNewDataBlock,
                         [](I& s, Text rest) {
                           return s.DeclareBlock(StaplKind::kDataBlock, rest,
                                                 s.reader_.StatementStart());
                         }},
                        {"DRSCAN", VersionRule::kAny, PhaseRule::kInProcedure,
                         [](I& s, Text rest) { return s.DoScan(false, rest); }},
                        {"DRSTOP", VersionRule::kAny, PhaseRule::kInProcedure,
                         [](I& s, Text rest) { return s.DoStop(false, rest); }},
                        {"ENDDATA", VersionRule::kImplies2, PhaseRule::kAny,
                         [](I& s, Text rest) { return s.DoReturn(rest); }},
                        {"ENDPROC", VersionRule::kImplies2, PhaseRule::kAny,
                         [](I& s, Text rest) { return s.DoReturn(rest); }},
                        {"EXIT", VersionRule::kAny, PhaseRule::kInProcedure,
                         [](I& s, Text rest) { return s.DoExit(rest); }},
                        {"EXPORT", VersionRule::kAny, PhaseRule::kInProcedure,
                         [](I& s, Text rest) { return s.DoExport(rest); }},
                        {"FOR", VersionRule::kAny, PhaseRule::kInProcedure,
                         [](I& s, Text rest) { return s.DoFor(rest); }},
                        {"FREQUENCY", VersionRule::kRequires2, PhaseRule::kInProcedure,
                         [](I& s, Text rest) { return s.DoFrequency(rest); }},
                        {"GOTO", VersionRule::kImplies1, PhaseRule::kInProcedure,
                         [](I& s, Text rest) { return s.DoCallOrGoto(rest, false); }},
                        {"IF", VersionRule::kAny, PhaseRule::kInProcedure,
                         [](I& s, Text rest) { return s.DoIf(rest); }},
                        {"INTEGER", VersionRule::kAny, PhaseRule::kInProcedureOrData,
                         [](I& s, Text rest) { return s.DoDeclaration(false, rest); }},
                        {"IRSCAN", VersionRule::kAny, PhaseRule::kInProcedure,
                         [](I& s, Text rest) { return s.DoScan(true, rest); }},
                        {"IRSTOP", VersionRule::kAny, PhaseRule::kInProcedure,
                         [](I& s, Text rest) { return s.DoStop(true, rest); }},
                        {"LET", VersionRule::kRequires1, PhaseRule::kAny,
                         [](I& s, Text rest) { return s.DoAssignment(rest); }},
                        {"NEXT", VersionRule::kAny, PhaseRule::kInProcedure,
                         [](I& s, Text rest) { return s.DoNext(rest); }},
                        {"NOTE", VersionRule::kAny, PhaseRule::kBeforeAction,
                         [](I& s, Text) -> int {
                           if (s.phase_ == kPhaseUnknown) s.phase_ = kPhaseNote;
                           return kStaplSuccess;
                         }},
                        {"PADDING", VersionRule::kRequires1, PhaseRule::kAny,
                         [](I& s, Text rest) { return s.DoPadding(rest); }},
                        {"POP", VersionRule::kAny, PhaseRule::kInProcedure,
                         [](I& s, Text rest) { return s.DoPop(rest); }},
                        {"POSTDR", VersionRule::kAny, PhaseRule::kInProcedure,
                         [](I& s, Text rest) { return s.DoAmble(false, false, rest); }},
                        {"POSTIR", VersionRule::kAny, PhaseRule::kInProcedure,
                         [](I& s, Text rest) { return s.DoAmble(true, false, rest); }},
                        {"PREDR", VersionRule::kAny, PhaseRule::kInProcedure,
                         [](I& s, Text rest) { return s.DoAmble(false, true, rest); }},
                        {"PREIR", VersionRule::kAny, PhaseRule::kInProcedure,
                         [](I& s, Text rest) { return s.DoAmble(true, true, rest); }},
                        {"PRINT", VersionRule::kAny, PhaseRule::kInProcedure,
                         [](I& s, Text rest) { return s.DoPrint(rest); }},
                        {"PROCEDURE", VersionRule::kRequires2, PhaseRule::kNewProcedure,
                         [](I& s, Text rest) {
                           return s.DeclareBlock(StaplKind::kProcedure, rest,
                                                 s.reader_.StatementStart());
                         }},
                        {"PUSH", VersionRule::kAny, PhaseRule::kInProcedure,
                         [](I& s, Text rest) { return s.DoPush(rest); }},
                        {"REM", VersionRule::kAny, PhaseRule::kAny,
                         [](I&, Text) -> int { return kStaplSuccess; }},
                        {"RETURN", VersionRule::kRequires1, PhaseRule::kAny,
                         [](I& s, Text rest) { return s.DoReturn(rest); }},
                        {"STATE", VersionRule::kAny, PhaseRule::kInProcedure,
                         [](I& s, Text rest) { return s.DoState(rest); }},
                        {"TRST", VersionRule::kImplies2, PhaseRule::kInProcedure,
                         [](I& s, Text rest) { return s.DoWait(rest); }},
                        {"VECTOR", VersionRule::kAny, PhaseRule::kInProcedure,
                         [](I& s, Text rest) { return s.DoVector(rest); }},
                        {"VMAP", VersionRule::kAny, PhaseRule::kInProcedure,
                         [](I& s, Text rest) { return s.DoVmap(rest); }},
                        {"WAIT", VersionRule::kAny, PhaseRule::kInProcedure,
                         [](I& s, Text rest) { return s.DoWait(rest); }},
};

// The statement whose keyword is the statement's leading letters; none for an assignment.
const CStaplInterpreter::Statement* CStaplInterpreter::FindStatement(Text statement,
                                                                     size_t* length) {
  size_t n = 0;
  while (n < statement.size() && std::isalpha(static_cast<unsigned char>(statement[n]))) ++n;
  *length = n;
  const Text word = statement.substr(0, n);
  for (const Statement& entry : kStatements) {
    if (entry.keyword == word) return &entry;
  }
  return nullptr;
}

int CStaplInterpreter::ApplyVersionRule(VersionRule rule) {
  switch (rule) {
    case VersionRule::kAny:
      return kStaplSuccess;
    case VersionRule::kImplies1:
    case VersionRule::kImplies2:
      if (version_ == 0) version_ = rule == VersionRule::kImplies1 ? 1 : 2;
      return kStaplSuccess;
    case VersionRule::kRequires1:
    case VersionRule::kRequires2: {
      const int version = rule == VersionRule::kRequires1 ? 1 : 2;
      if (version_ == 0) version_ = version;
      return version_ == version ? kStaplSuccess : kStaplSyntaxError;
    }
  }
  return kStaplInternalError;
}

int CStaplInterpreter::ApplyPhaseRule(PhaseRule rule) const {
  const bool inProcedure = phase_ == kPhaseProcedure;
  switch (rule) {
    case PhaseRule::kAny:
      return kStaplSuccess;
    case PhaseRule::kInProcedure:
      return version_ == 2 && !inProcedure ? kStaplPhaseError : kStaplSuccess;
    case PhaseRule::kInProcedureOrData:
      return version_ == 2 && !inProcedure && phase_ != kPhaseData ? kStaplPhaseError
                                                                   : kStaplSuccess;
    case PhaseRule::kUpToAction:
      return phase_ > kPhaseAction ? kStaplPhaseError : kStaplSuccess;
    case PhaseRule::kBeforeAction:
      return version_ == 2 && phase_ >= kPhaseAction ? kStaplPhaseError : kStaplSuccess;
    case PhaseRule::kNewProcedure:
    case PhaseRule::kNewDataBlock:
      // Flow that reaches the blocks still among the ACTION statements found no requested action.
      if (phase_ == kPhaseAction) return kStaplActionNotFound;
      return ApplyPhaseRule(rule == PhaseRule::kNewProcedure ? PhaseRule::kInProcedure
                                                             : PhaseRule::kInProcedureOrData);
  }
  return kStaplInternalError;
}

int CStaplInterpreter::RunStatement(const Statement& statement, Text rest) {
  if (const int rc = ApplyVersionRule(statement.version); rc != kStaplSuccess) return rc;
  if (const int rc = ApplyPhaseRule(statement.phase); rc != kStaplSuccess) return rc;
  return statement.run(*this, rest);
}

}  // namespace zor::firmware
