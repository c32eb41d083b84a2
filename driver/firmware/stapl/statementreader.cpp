// CStaplStatementReader: reads and normalises one statement at a time, and finds line numbers.
#include "driver/firmware/stapl/statementreader.h"

#include <cctype>

#include "driver/firmware/stapl/staplhost.h"
#include "driver/firmware/stapl/staplresult.h"

namespace zor::firmware {

namespace {

bool KeepsCaseAfterAt(int c) { return std::isalnum(c) || c == ' ' || c == '@' || c == '_'; }

// What one character read does to the statement.
enum class Fold { kStore, kDrop, kFail };

struct StatementScan {
  std::string& statement;
  std::string& label;
  bool inString = false;
  bool inComment = false;
  bool atData = false;       // a compressed literal: case kept
  bool booleanData = false;  // a BOOLEAN's initialiser: case kept
  bool labelSeen = false;
  int error = kStaplSuccess;
};

// True for the characters of a comment, the "'" that opens it included.
bool InComment(StatementScan& scan, int c) {
  if (scan.inComment) {
    if (c != '\n' && c != '\r') return true;
    scan.inComment = false;
  }
  if (!scan.inString && c == '\'') {
    scan.inComment = true;
    return true;
  }
  return false;
}

// The text before a ":" is the statement's label; the statement starts again after it.
Fold TakeLabel(StatementScan& scan) {
  std::string& statement = scan.statement;
  if (scan.labelSeen) {
    scan.error = kStaplSyntaxError;
    return Fold::kFail;
  }
  while (!statement.empty() && statement.back() == ' ') statement.pop_back();
  if (statement.size() > CStaplStatementReader::kMaxLabel) {
    scan.error = kStaplIllegalSymbol;
    return Fold::kFail;
  }
  scan.label = statement;
  scan.labelSeen = true;
  statement.clear();
  return Fold::kDrop;
}

Fold FoldOutsideString(StatementScan& scan, int& c) {
  if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  if (c == ' ' && (scan.statement.empty() || scan.statement.back() == ' ')) return Fold::kDrop;
  if (scan.atData && !KeepsCaseAfterAt(c)) scan.atData = false;
  if (c == '@') scan.atData = true;
  if (c >= 'a' && c <= 'z' && !scan.atData && !scan.booleanData) c = c - 'a' + 'A';
  if (c == ':') return TakeLabel(scan);
  if (c == ']' && scan.statement.compare(0, 7, "BOOLEAN") == 0) scan.booleanData = true;
  return Fold::kStore;
}

// Comments dropped; outside strings blanks folded and letters upper-cased.
Fold FoldCharacter(StatementScan& scan, int& c) {
  if (InComment(scan, c)) return Fold::kDrop;
  if (c == '"') scan.inString = !scan.inString;
  if (scan.inString || c == '"') return Fold::kStore;
  return FoldOutsideString(scan, c);
}

}  // namespace

int CStaplStatementReader::GetChar() {
  const int c = host_.StaplGetChar();
  if (c >= 0) ++position_;
  return c;
}

int CStaplStatementReader::Seek(int32_t position) {
  if (host_.StaplSeek(position) != 0) return kStaplIoError;
  position_ = position;
  return kStaplSuccess;
}

int CStaplStatementReader::Read(std::string& statement, std::string& label) {
  statement.clear();
  label.clear();
  StatementScan scan{statement, label};
  bool started = false;
  statementStart_ = position_;
  for (;;) {
    int c = GetChar();
    if (c < 0) return kStaplUnexpectedEnd;
    const Fold fold = FoldCharacter(scan, c);
    if (fold == Fold::kFail) return scan.error;
    if (fold == Fold::kDrop) continue;
    if (!started) {
      started = true;
      statementStart_ = position_ - 1;
    }
    // Characters past the limit are dropped; a statement cut short has no ";".
    if (statement.size() < kMaxStatement) statement.push_back(static_cast<char>(c));
    if (c == ';' && !scan.inString) {
      statementEnd_ = position_;
      return kStaplSuccess;
    }
  }
}

int32_t CStaplStatementReader::LineOf(int32_t position) {
  if (Seek(0) != kStaplSuccess) return 0;
  int32_t line = 1;
  for (int32_t i = 0; i < position; ++i) {
    const int c = GetChar();
    if (c < 0) break;
    if (c == '\n') ++line;
  }
  return line;
}

int CStaplStatementReader::ReadLongInitialiser(int32_t start, bool booleanData, std::string& text) {
  const int32_t resume = statementEnd_;
  int rc = Seek(start);
  if (rc != kStaplSuccess) return rc;
  text.clear();
  bool inComment = false, afterEquals = false;
  for (;;) {
    int c = GetChar();
    if (c < 0) return kStaplUnexpectedEnd;
    if (inComment) {
      inComment = c != '\n' && c != '\r';
      continue;
    }
    if (c == '\'') {
      inComment = true;
      continue;
    }
    if (c == ';') break;
    if (!afterEquals) {
      afterEquals = c == '=';
      continue;
    }
    if (c <= ' ') continue;
    // As in a statement: ACA and RLC characters differ by their case.
    if (c >= 'a' && c <= 'z' && !booleanData) c = c - 'a' + 'A';
    text.push_back(static_cast<char>(c));
  }
  return Seek(resume);
}

}  // namespace zor::firmware
