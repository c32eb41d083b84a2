// A text of a host error. Most errors carry fixed texts: those are kept by address, so that
// recording an error that nobody reads costs no allocation. Other texts are owned and shared
// between copies.
#pragma once

#include <cwchar>
#include <memory>
#include <string>

namespace zorhost {

class ErrorText {
 public:
  ErrorText() = default;
  // Only a text with static storage compiles here; anything else must pass a std::wstring.
  consteval ErrorText(const wchar_t* literal) : text_(literal) {}
  ErrorText(std::wstring text)
      : owned_(std::make_shared<const std::wstring>(std::move(text))), text_(owned_->c_str()) {}
  ErrorText(const ErrorText&) = default;
  ErrorText& operator=(const ErrorText&) = default;
  // A moved-from text is empty: it must not keep the address of a string it no longer owns.
  ErrorText(ErrorText&& other) noexcept : owned_(std::move(other.owned_)), text_(other.text_) {
    other.text_ = L"";
  }
  ErrorText& operator=(ErrorText&& other) noexcept {
    if (this == &other) return *this;
    owned_ = std::move(other.owned_);
    text_ = other.text_;
    other.text_ = L"";
    return *this;
  }

  const wchar_t* c_str() const { return text_; }
  std::size_t size() const { return std::wcslen(text_); }
  bool empty() const { return *text_ == L'\0'; }
  // Every host call clears its thread's error; most texts own nothing.
  void clear() {
    if (owned_) owned_.reset();
    text_ = L"";
  }

 private:
  std::shared_ptr<const std::wstring> owned_;
  const wchar_t* text_ = L"";
};

}  // namespace zorhost
