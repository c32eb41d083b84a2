// CStaplStatementReader: the program's statements, read one at a time through the host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zor::firmware {

class IStaplHost;

// Reads the program one statement at a time through the host: comments dropped, blanks folded,
// letters upper-cased outside strings and compressed data.
class CStaplStatementReader {
 public:
  static constexpr size_t kMaxStatement = 8192;
  static constexpr size_t kMaxLabel = 32;

  explicit CStaplStatementReader(IStaplHost& host) : host_(host) {}

  // Fills the statement (ending in ";", unless it was cut) and the label; 0, 3, 4 or 17.
  int Read(std::string& statement, std::string& label);

  int Seek(int32_t position);
  int32_t Position() const { return position_; }
  // Where the last statement began and where the one after it begins.
  int32_t StatementStart() const { return statementStart_; }
  int32_t StatementEnd() const { return statementEnd_; }
  // Reads the program from its start: 1 + the line feeds before the position, 0 when the seek
  // fails.
  int32_t LineOf(int32_t position);

  // Re-reads the text after the first "=" of the statement that starts at start, to its ";",
  // without the length limit (comments dropped, blanks and line ends ignored). Letters are
  // upper-cased unless the data are Boolean, whose case a statement keeps.
  int ReadLongInitialiser(int32_t start, bool booleanData, std::string& text);

 private:
  int GetChar();

  IStaplHost& host_;
  int32_t position_ = 0;
  int32_t statementStart_ = 0;
  int32_t statementEnd_ = 0;
};

}  // namespace zor::firmware
