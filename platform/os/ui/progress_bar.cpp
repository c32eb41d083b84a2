#include "platform/os/ui/progress_bar.h"

#include <unistd.h>

#include <algorithm>

#include "platform/os/text/convert.h"

namespace os {
namespace {
constexpr uint32_t kRange = 100;
constexpr int kWidth = 40;
}  // namespace

ProgressBar::ProgressBar(const wchar_t* title, std::FILE* out)
    : title_(WideToUtf8(title == nullptr ? L"" : title)),
      out_(out != nullptr ? out : (isatty(STDERR_FILENO) ? stderr : nullptr)) {
  if (out_ == nullptr) return;
  std::fprintf(out_, "%s\n", title_.c_str());
  Draw();
}

ProgressBar::~ProgressBar() {
  if (out_ == nullptr) return;
  std::fputc('\n', out_);
  std::fflush(out_);
}

void ProgressBar::SetTitle(const wchar_t* title) {
  title_ = WideToUtf8(title == nullptr ? L"" : title);
  if (out_ == nullptr) return;
  std::fprintf(out_, "\n%s\n", title_.c_str());
  Draw();
}

void ProgressBar::SetPosition(uint32_t position) {
  position_ = position;
  if (out_ != nullptr) Draw();
}

void ProgressBar::Draw() {
  static const char kMarks[] = "|/-\\";
  const uint32_t shown = std::min(position_, kRange);
  const int filled = static_cast<int>(shown * kWidth / kRange);
  std::string bar(filled, '#');
  bar.append(kWidth - filled, '.');
  std::fprintf(out_, "\r[%s] %3u%% %c", bar.c_str(), shown, kMarks[draws_++ % 4]);
  std::fflush(out_);
}

}  // namespace os
