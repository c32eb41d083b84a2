#include "platform/host/hosterror.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "platform/host/application.h"
#include "platform/host/threadcontext.h"

namespace zorhost {
namespace {

struct HostMessage {
  QINT64 code;
  const wchar_t* text;
};

constexpr HostMessage kMessages[] = {
    {Q_ERR_INVALID_ID, L"Invalid identifier."},
    {Q_ERR_NULL_POINTER, L"A required pointer is null."},
    {Q_ERR_INVALID_PARAMETER, L"Invalid parameter."},
    {Q_ERR_WRONG_OBJECT_TYPE, L"The identifier does not name an object of the right type."},
    {Q_ERR_SYSTEM_NOT_FOUND, L"The system driver could not be loaded."},
    {Q_ERR_NOT_SUPPORTED, L"Operation not supported."},
    {Q_ERR_OUT_OF_MEMORY, L"Not enough memory."},
    {Q_ERR_FILE, L"File access error."},
    {Q_ERR_DRIVER, L"The system driver did not carry out the command."},
};

const wchar_t* HostMessageText(QINT64 code) {
  for (const HostMessage& message : kMessages) {
    if (message.code == code) return message.text;
  }
  return L"Unknown error.";
}

void PrintError(const HostError& error) {
  std::fprintf(stderr, "ZOR error %lld in %ls(): %ls\n", static_cast<long long>(error.code),
               error.function.c_str(), error.message.c_str());
  for (const std::wstring& text : error.subText) {
    if (!text.empty()) std::fprintf(stderr, "    %ls\n", text.c_str());
  }
}

void CallErrorHooks() {
  thread_local bool inHook = false;
  if (inHook) return;  // an error inside an error hook does not recurse
  inHook = true;
  for (const Hook& hook : Application::Instance().Hooks().Matching(Q_ERROR_CURRENT)) {
    hook.function(Q_ERROR_CURRENT, 0, hook.user);
  }
  inHook = false;
}

bool WriteText(const std::wstring& text, QINT64 type, void* out, QINT64* answer) {
  const QINT64 length = std::min<QINT64>(static_cast<QINT64>(text.size()) + 1, Q_ERROR_TEXT_SIZE);
  if ((type & 0xF0000000000) == Q_STRING_SIZE) {
    *answer = length;
    if (out != nullptr) *static_cast<QINT64*>(out) = length;
    return true;
  }
  *answer = 0;
  if (out == nullptr) return true;
  auto* chars = static_cast<wchar_t*>(out);
  std::wmemcpy(chars, text.c_str(), static_cast<size_t>(length - 1));
  chars[length - 1] = L'\0';
  return true;
}

}  // namespace

int HostError::SubCount() const {
  int count = 0;
  while (count < 3 && sub[count] != 0) ++count;
  return count;
}

HostError MakeHostError(QINT64 code, const std::wstring& detail, const std::wstring& detail2) {
  HostError error;
  error.code = code;
  error.message = HostMessageText(code);
  error.subText[0] = detail;
  error.subText[1] = detail2;
  return error;
}

const HostError& CurrentError() { return CurrentThread().error; }

void RecordError(HostError error) {
  ThreadContext& thread = CurrentThread();
  if (error.function.empty()) error.function = thread.outerFunction;
  thread.error = std::move(error);
  if (Application::Instance().Setting(Q_ERROR_PRINT) != Q_PRINT_DISABLE) {
    PrintError(thread.error);
  }
  CallErrorHooks();
}

void ClearError() { CurrentThread().error = HostError{}; }

QINT64 SaveErrorState() {
  ThreadContext& thread = CurrentThread();
  thread.saved.push_back(std::move(thread.error));
  thread.error = HostError{};
  return static_cast<QINT64>(thread.saved.size());
}

void RestoreErrorState(QINT64 token) {
  ThreadContext& thread = CurrentThread();
  if (token < 1 || token > static_cast<QINT64>(thread.saved.size())) return;
  thread.error = std::move(thread.saved[token - 1]);
  thread.saved.resize(token - 1);
}

bool InquireError(QINT64 type, void* out, QINT64* answer) {
  const HostError& error = CurrentError();
  const QINT64 plain = type & ~0xF0000000000;
  QINT64 value = 0;
  switch (plain) {
    case Q_MESSAGE:
      return WriteText(error.message, type, out, answer);
    case Q_CURRENT_FCT:
      return WriteText(error.function, type, out, answer);
    case Q_CURRENT_SUB_1_TEXT:
    case Q_CURRENT_SUB_2_TEXT:
    case Q_CURRENT_SUB_3_TEXT:
      return WriteText(error.subText[(plain - Q_CURRENT_SUB_1_TEXT) >> 16], type, out, answer);
    case Q_CURRENT:
      value = error.code;
      break;
    case Q_CURRENT_SUB_NB:
      value = error.SubCount();
      break;
    case Q_CURRENT_SUB_1:
    case Q_CURRENT_SUB_2:
    case Q_CURRENT_SUB_3:
      value = error.sub[(plain - Q_CURRENT_SUB_1) >> 16];
      break;
    default:
      return false;
  }
  *answer = value;
  if (out != nullptr) *static_cast<QINT64*>(out) = value;
  return true;
}

}  // namespace zorhost
