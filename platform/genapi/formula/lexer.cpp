#include "platform/genapi/formula/lexer.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "platform/genapi/formula/formula.h"

namespace GenApi {
namespace {

bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
}

constexpr std::string_view kOperators[] = {"**", "<<", ">>", "<=", ">=", "<>", "&&", "||", "(",
                                           ")",  ",",  "?",  ":",  "|",  "^",  "&",  "=",  "<",
                                           ">",  "+",  "-",  "*",  "/",  "%",  "~",  "!"};

}  // namespace

Token Lexer::Next() {
  while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  if (pos_ >= text_.size()) return {};
  const char c = text_[pos_];
  if (std::isdigit(static_cast<unsigned char>(c)) ||
      (c == '.' && pos_ + 1 < text_.size() &&
       std::isdigit(static_cast<unsigned char>(text_[pos_ + 1])))) {
    return ReadNumber();
  }
  if (IsNameStart(c)) {
    const size_t start = pos_;
    while (pos_ < text_.size() && IsNameChar(text_[pos_])) ++pos_;
    return Token{TokenKind::Name, std::string(text_.substr(start, pos_ - start)), {}};
  }
  for (std::string_view op : kOperators) {
    if (op[0] == c && text_.substr(pos_, op.size()) == op) {
      pos_ += op.size();
      return Token{TokenKind::Operator, std::string(op), {}};
    }
  }
  throw FormulaError("unexpected character '" + std::string(1, c) + "'");
}

Token Lexer::ReadNumber() {
  const size_t start = pos_;
  Token token{TokenKind::Number, {}, {}};
  if (text_.substr(pos_, 2) == "0x" || text_.substr(pos_, 2) == "0X") {
    pos_ += 2;
    uint64_t value = 0;
    size_t digits = 0;
    while (pos_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[pos_]))) {
      const char h = static_cast<char>(std::tolower(static_cast<unsigned char>(text_[pos_])));
      value = value * 16 + static_cast<uint64_t>(h <= '9' ? h - '0' : h - 'a' + 10);
      ++pos_;
      ++digits;
    }
    if (digits == 0 || digits > 16) throw FormulaError("bad hexadecimal number");
    token.number = Number::Int(static_cast<int64_t>(value));
  } else {
    bool isFloat = false;
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (std::isdigit(static_cast<unsigned char>(c))) {
        ++pos_;
      } else if (c == '.') {
        isFloat = true;
        ++pos_;
      } else if ((c == 'e' || c == 'E') && pos_ + 1 < text_.size() &&
                 (std::isdigit(static_cast<unsigned char>(text_[pos_ + 1])) ||
                  ((text_[pos_ + 1] == '-' || text_[pos_ + 1] == '+') && pos_ + 2 < text_.size() &&
                   std::isdigit(static_cast<unsigned char>(text_[pos_ + 2]))))) {
        isFloat = true;
        pos_ += 2;
      } else {
        break;
      }
    }
    const std::string digits(text_.substr(start, pos_ - start));
    if (isFloat) {
      token.number = Number::Float(std::strtod(digits.c_str(), nullptr));
    } else {
      errno = 0;
      const unsigned long long value = std::strtoull(digits.c_str(), nullptr, 10);
      if (errno == ERANGE) throw FormulaError("number out of range: " + digits);
      token.number = Number::Int(static_cast<int64_t>(value));
    }
  }
  token.text = std::string(text_.substr(start, pos_ - start));
  return token;
}

}  // namespace GenApi
