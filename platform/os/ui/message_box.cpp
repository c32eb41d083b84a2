#include "platform/os/ui/message_box.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>
#include <vector>

#include "platform/os/text/convert.h"
#include "platform/os/ui/console_message.h"

namespace os {
namespace {

struct Button {
  int id;
  char key;
  const char* label;
};

struct Answering {
  std::mutex mutex;
  MessageBoxAnswer answer;
};

Answering& Answerer() {
  static Answering& answering = *new Answering;
  return answering;
}

std::vector<Button> Buttons(uint32_t style) {
  const Button ok{IDOK, 'o', "[O]K"}, cancel{IDCANCEL, 'c', "[C]ancel"},
      abort{IDABORT, 'a', "[A]bort"}, retry{IDRETRY, 'r', "[R]etry"},
      ignore{IDIGNORE, 'i', "[I]gnore"}, yes{IDYES, 'y', "[Y]es"}, no{IDNO, 'n', "[N]o"};
  switch (style & 0xF) {
    case MB_OKCANCEL:
      return {ok, cancel};
    case MB_ABORTRETRYIGNORE:
      return {abort, retry, ignore};
    case MB_YESNOCANCEL:
      return {yes, no, cancel};
    case MB_YESNO:
      return {yes, no};
    case MB_RETRYCANCEL:
      return {retry, cancel};
    default:
      return {ok};
  }
}

// Cancel when offered, else No, else the first button.
int CautiousAnswer(uint32_t style) {
  const std::vector<Button> buttons = Buttons(style);
  for (int wanted : {IDCANCEL, IDNO}) {
    for (const Button& button : buttons) {
      if (button.id == wanted) return wanted;
    }
  }
  return buttons.front().id;
}

int AskTerminal(uint32_t style) {
  const std::vector<Button> buttons = Buttons(style);
  std::string line;
  while (std::getline(std::cin, line)) {
    for (const Button& button : buttons) {
      if (!line.empty() && (line[0] | 0x20) == button.key) return button.id;
    }
    std::fputs("? ", stderr);
  }
  return CautiousAnswer(style);
}

}  // namespace

namespace detail {

void PrintMessage(const std::wstring& text, const std::wstring& caption, uint32_t style) {
  std::string out = "\n== " + WideToUtf8(caption) + " ==\n" + WideToUtf8(text) + "\n";
  for (const Button& button : Buttons(style)) out += std::string(button.label) + " ";
  out += "\n";
  std::fputs(out.c_str(), stderr);
}

}  // namespace detail

void SetMessageBoxAnswer(MessageBoxAnswer answer) {
  std::lock_guard lock(Answerer().mutex);
  Answerer().answer = std::move(answer);
}

int MessageBox(const wchar_t* text, const wchar_t* caption, uint32_t style) {
  const std::wstring body = text == nullptr ? L"" : text;
  const std::wstring title = caption == nullptr ? L"Error" : caption;
  detail::PrintMessage(body, title, style);
  MessageBoxAnswer answer;
  {
    std::lock_guard lock(Answerer().mutex);
    answer = Answerer().answer;
  }
  if (answer) return answer(body, title, style);
  if (isatty(STDIN_FILENO)) return AskTerminal(style);
  return CautiousAnswer(style);
}

}  // namespace os
