#pragma once

#include <string>
#include <string_view>

#include "platform/genapi/formula/number.h"

namespace GenApi {

enum class TokenKind { End, Number, Name, Operator };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;
  Number number;
};

// Splits formula text into numbers, names and operators.
class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}
  Token Next();

 private:
  Token ReadNumber();
  std::string_view text_;
  size_t pos_ = 0;
};

}  // namespace GenApi
