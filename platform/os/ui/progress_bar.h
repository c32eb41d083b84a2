// The progress-bar window ("msctls_progress32") on the terminal.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace os {

// A titled bar on one line of stderr, drawn only when stderr is a terminal (or on the stream a
// test hands in). Positions run from 0 to 100, as the window class's default range; each new
// position redraws the line with a turning mark, so a long run shows that it is alive.
class ProgressBar {
 public:
  explicit ProgressBar(const wchar_t* title, std::FILE* out = nullptr);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // The window's title; the bar is drawn again under the new one.
  void SetTitle(const wchar_t* title);
  const std::string& Title() const { return title_; }
  // The window's set-position message (1026); positions above the range show it full.
  void SetPosition(uint32_t position);
  uint32_t Position() const { return position_; }
  // The message pump: a terminal has no pending messages.
  void PumpMessages() {}

 private:
  void Draw();

  std::string title_;
  std::FILE* out_;
  uint32_t position_ = 0;
  uint32_t draws_ = 0;
};

}  // namespace os
