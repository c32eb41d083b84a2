// CStaplInterpreter: one run of a STAPL program.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "driver/firmware/stapl/bitarray.h"
#include "driver/firmware/stapl/expression.h"
#include "driver/firmware/stapl/jtaglayer.h"
#include "driver/firmware/stapl/staplhost.h"
#include "driver/firmware/stapl/staplstack.h"
#include "driver/firmware/stapl/statementreader.h"
#include "driver/firmware/stapl/symboltable.h"

namespace zor::firmware {

// A Boolean array argument: a range of an array or of a literal.
struct StaplArrayArg {
  uint32_t* words = nullptr;
  int64_t start = 0;  // lowest bit of the range
  int64_t end = -1;   // highest bit; end < start makes the length negative
  bool literal = false;
  int64_t Length() const { return end - start + 1; }
};

// What follows the data of a scan or vector: a capture array, a compare, or both.
struct StaplScanTail {
  bool capturing = false;
  StaplArrayArg capture;
  StaplArrayArg expected;
  StaplArrayArg mask;
  StaplSymbol* result = nullptr;
};

struct StaplDeclaration;
struct StaplWaitPlan;

// One run of a STAPL program: the statement loop, the dispatcher and the statement handlers.
class CStaplInterpreter : public IStaplSymbolResolver {
 public:
  CStaplInterpreter(IStaplHost& host, const char* action, const char* const* initList);

  int Run(int32_t* errorLine, int32_t* exitCode);
  int ResolveSymbol(std::string_view name, StaplSymbol** symbol) override;

 private:
  enum Phase { kPhaseUnknown, kPhaseNote, kPhaseAction, kPhaseProcedure, kPhaseData };

  // statement loop (interpreter.cpp)
  int ReadStatement();
  int RunStatements(size_t stopDepth, bool nested);
  int ExecuteStatement();
  // How a statement's keyword fixes the program's version: a keyword of one version only
  // implies it when none is fixed yet, or requires it (a syntax error under the other).
  enum class VersionRule { kAny, kImplies1, kImplies2, kRequires1, kRequires2 };
  // Where a statement may run: anywhere, inside procedures only (version 2), inside procedures
  // or data blocks, before the procedures, before the ACTION statements, or as a new block.
  enum class PhaseRule {
    kAny,
    kInProcedure,
    kInProcedureOrData,
    kUpToAction,
    kBeforeAction,
    kNewProcedure,
    kNewDataBlock
  };
  struct Statement {
    std::string_view keyword;
    VersionRule version;
    PhaseRule phase;
    int (*run)(CStaplInterpreter& interpreter, std::string_view rest);
  };
  static const Statement kStatements[];
  // statement table (statementtable.cpp)
  static const Statement* FindStatement(std::string_view statement, size_t* length);
  int ApplyVersionRule(VersionRule rule);
  int ApplyPhaseRule(PhaseRule rule) const;
  int RunStatement(const Statement& statement, std::string_view rest);
  // A STAPL (version 2) assignment without LET: the statement starts with a variable's name.
  int DoImplicitAssignment(std::string_view rest);
  int Evaluate(std::string_view text, int64_t* value, int* type);
  int EvaluateInteger(std::string_view text, int64_t* value);
  int AddSymbol(std::string_view name, StaplKind kind, int64_t value, int32_t position,
                StaplSymbol** symbol);
  bool InitListValue(std::string_view name, int64_t* value) const;
  bool IsVisible(const StaplSymbol& symbol) const;

  // flow (flowstatements.cpp)
  int DoAction(std::string_view rest);
  int DeclareBlock(StaplKind kind, std::string_view rest, int32_t position);
  int FindOrDeclareForward(std::string_view name, bool label, StaplSymbol** symbol);
  int ReadForwardToLabel(std::string_view name, StaplSymbol** found);
  int ReadForwardToBlock(std::string_view name);
  int CallProcedure(std::string_view name);
  int ProcessUses(const StaplSymbol& procedure);
  int RunBlock(StaplSymbol& block, Phase phase);
  int DoCallOrGoto(std::string_view rest, bool call);
  int DoReturn(std::string_view rest);
  int DoIf(std::string_view rest);
  int DoFor(std::string_view rest);
  int DoNext(std::string_view rest);
  int DoPush(std::string_view rest);
  int DoPop(std::string_view rest);
  int DoExit(std::string_view rest);

  // values (datastatements.cpp)
  int DoDeclaration(bool boolean, std::string_view rest);
  int ReadDeclaration(std::string_view rest, StaplDeclaration& declaration);
  int DeclareScalar(const StaplDeclaration& declaration, int32_t position);
  int DeclareArray(const StaplDeclaration& declaration, int32_t position);
  int EvaluateArraySize(const StaplDeclaration& declaration, int64_t* size);
  int StoreArray(StaplSymbol& symbol, const StaplDeclaration& declaration, int64_t size);
  int DoAssignment(std::string_view text);
  int AssignVariable(StaplSymbol& variable, std::string_view source);
  int AssignRange(StaplSymbol& array, std::string_view inside, std::string_view source);
  int AssignElement(StaplSymbol& array, std::string_view index, std::string_view source);
  int DoPrint(std::string_view rest);
  int DoExport(std::string_view rest);

  // array initialisers (initialisers.cpp)
  int InitialiseIntegers(StaplArray& array, std::string_view text);
  int InitialiseBooleans(StaplArray& array, std::string_view text);

  // array arguments (arrayargs.cpp)
  int ParseArrayArg(std::string_view text, int slot, StaplArrayArg* arg);
  int ParseLiteral(std::string_view text, int slot, StaplArrayArg* arg);
  int ParseBoolLiteral(std::string_view text, StaplBits& bits, StaplArrayArg* arg);
  int ParseRange(StaplSymbol& array, std::string_view inside, StaplArrayArg* arg);

  // JTAG statements (jtagstatements.cpp)
  int DoScan(bool ir, std::string_view rest);
  int ParseScanTail(const std::vector<std::string_view>& parts, size_t first, int64_t length,
                    StaplScanTail* tail);
  void FinishScanTail(const StaplScanTail& tail, const uint32_t* captured, int64_t length);
  int DoStop(bool ir, std::string_view rest);
  int DoState(std::string_view rest);
  int DoAmble(bool ir, bool pre, std::string_view rest);
  int DoWait(std::string_view rest);
  int ReadWaitItem(std::string_view item, StaplWaitPlan& plan);
  int WaitCycles(int64_t cycles, jtag::TapState waitState);
  int WaitMicroseconds(int64_t microseconds, jtag::TapState waitState);
  int DoVmap(std::string_view rest);
  int DoVector(std::string_view rest);
  int DoFrequency(std::string_view rest);
  int DoPadding(std::string_view rest);

  IStaplHost& host_;
  const char* action_;
  const char* const* initList_;
  CStaplStatementReader reader_;
  CStaplSymbolTable symbols_;
  CStaplStack stack_;
  CStaplJtag jtag_;

  std::string statement_;
  std::string label_;
  int version_ = 0;
  Phase phase_ = kPhaseUnknown;
  StaplSymbol* block_ = nullptr;
  bool inUses_ = false;
  // Literal arguments of the current statement: direction or data, data, capture, expected, mask.
  std::array<StaplBits, 5> literals_;
  bool done_ = false;
  bool reexecute_ = false;
  int32_t exitCode_ = 0;
  int vectorCount_ = 0;
  int32_t failStart_ = 0;
  int64_t arrayBytes_ = 0;  // of every array declared, against the run's limit
};

}  // namespace zor::firmware
