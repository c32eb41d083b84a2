#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace GenICam {

// Narrow (UTF-8) string of the GenICam runtime.
class gcstring {
 public:
  static constexpr size_t npos = std::string::npos;

  gcstring() = default;
  gcstring(const char* text) : text_(text ? text : "") {}
  gcstring(const char* text, size_t count) : text_(text ? std::string(text, count) : "") {}
  gcstring(const std::string& text) : text_(text) {}
  gcstring(std::string&& text) : text_(std::move(text)) {}
  gcstring(size_t count, char ch) : text_(count, ch) {}

  const char* c_str() const { return text_.c_str(); }
  operator const char*() const { return text_.c_str(); }
  const std::string& str() const { return text_; }

  size_t size() const { return text_.size(); }
  size_t length() const { return text_.size(); }
  bool empty() const { return text_.empty(); }
  void clear() { text_.clear(); }
  void resize(size_t count) { text_.resize(count); }

  size_t find(const gcstring& what, size_t from = 0) const { return text_.find(what.text_, from); }
  size_t find(char ch, size_t from = 0) const { return text_.find(ch, from); }
  size_t rfind(char ch, size_t from = npos) const { return text_.rfind(ch, from); }
  gcstring substr(size_t offset = 0, size_t count = npos) const {
    return text_.substr(offset, count);
  }
  int compare(const gcstring& other) const { return text_.compare(other.text_); }

  gcstring& operator+=(const gcstring& other) {
    text_ += other.text_;
    return *this;
  }
  gcstring& operator+=(const char* other) {
    text_ += other ? other : "";
    return *this;
  }
  gcstring& operator+=(char ch) {
    text_ += ch;
    return *this;
  }

  friend gcstring operator+(const gcstring& a, const gcstring& b) { return a.text_ + b.text_; }
  friend gcstring operator+(const gcstring& a, const char* b) { return a.text_ + (b ? b : ""); }
  friend gcstring operator+(const char* a, const gcstring& b) { return (a ? a : "") + b.text_; }

  friend bool operator==(const gcstring& a, const gcstring& b) { return a.text_ == b.text_; }
  friend bool operator==(const gcstring& a, const char* b) { return a.text_ == (b ? b : ""); }
  friend bool operator==(const char* a, const gcstring& b) { return b == a; }
  friend bool operator!=(const gcstring& a, const gcstring& b) { return !(a == b); }
  friend bool operator!=(const gcstring& a, const char* b) { return !(a == b); }
  friend bool operator!=(const char* a, const gcstring& b) { return !(b == a); }
  friend bool operator<(const gcstring& a, const gcstring& b) { return a.text_ < b.text_; }
  friend bool operator>(const gcstring& a, const gcstring& b) { return a.text_ > b.text_; }

  friend std::ostream& operator<<(std::ostream& out, const gcstring& s) { return out << s.text_; }

 private:
  std::string text_;
};

using gcstring_vector = std::vector<gcstring>;

}  // namespace GenICam
