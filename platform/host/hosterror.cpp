#include "platform/host/hosterror.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <iterator>

#include "platform/host/application.h"
#include "platform/host/threadcontext.h"

namespace zorhost {
namespace {

ErrorText HostMessageText(QINT64 code) {
  switch (code) {
    case Q_ERR_INVALID_ID:
      return L"Invalid identifier.";
    case Q_ERR_NULL_POINTER:
      return L"A required pointer is null.";
    case Q_ERR_INVALID_PARAMETER:
      return L"Invalid parameter.";
    case Q_ERR_WRONG_OBJECT_TYPE:
      return L"The identifier does not name an object of the right type.";
    case Q_ERR_SYSTEM_NOT_FOUND:
      return L"The system driver could not be loaded.";
    case Q_ERR_NOT_SUPPORTED:
      return L"Operation not supported.";
    case Q_ERR_OUT_OF_MEMORY:
      return L"Not enough memory.";
    case Q_ERR_FILE:
      return L"File access error.";
    case Q_ERR_DRIVER:
      return L"The system driver did not carry out the command.";
    default:
      return L"Unknown error.";
  }
}

void PrintError(const HostError& error) {
  std::fprintf(stderr, "ZOR error %lld in %ls(): %ls\n", static_cast<long long>(error.code),
               error.function.c_str(), error.message.c_str());
  for (const ErrorText& text : error.subText) {
    if (!text.empty()) std::fprintf(stderr, "    %ls\n", text.c_str());
  }
}

void CallErrorHooks(ThreadContext& thread) {
  if (thread.inErrorHook) return;  // an error inside an error hook does not recurse
  thread.inErrorHook = true;
  Application::Instance().Hooks().Call(Q_ERROR_CURRENT, Q_ERROR_CURRENT, 0);
  thread.inErrorHook = false;
}

// Makes the error one of the host's own table, whatever it held before.
void SetHostError(HostError& error, QINT64 code, const ErrorText& detail,
                  const ErrorText& detail2) {
  error.code = code;
  std::fill(std::begin(error.sub), std::end(error.sub), 0);
  error.function.clear();
  error.message = HostMessageText(code);
  error.subText[0] = detail;
  error.subText[1] = detail2;
  error.subText[2].clear();
}

void PublishError(ThreadContext& thread) {
  if (thread.error.function.empty()) thread.error.function = thread.outerFunction;
  if (ThreadPrintsErrors()) PrintError(thread.error);
  CallErrorHooks(thread);
}

bool WriteText(const ErrorText& text, QINT64 type, void* out, QINT64* answer) {
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

void HostError::Clear() {
  code = 0;
  std::fill(std::begin(sub), std::end(sub), 0);
  function.clear();
  message.clear();
  for (ErrorText& text : subText) text.clear();
}

HostError MakeHostError(QINT64 code, ErrorText detail, ErrorText detail2) {
  HostError error;
  SetHostError(error, code, detail, detail2);
  return error;
}

const HostError& CurrentError() { return CurrentThread().error; }

void RecordError(const HostError& error) {
  ThreadContext& thread = CurrentThread();
  thread.error = error;
  PublishError(thread);
}

void RecordError(QINT64 code, ErrorText detail, ErrorText detail2) {
  ThreadContext& thread = CurrentThread();
  SetHostError(thread.error, code, detail, detail2);
  PublishError(thread);
}

void ClearError() { CurrentThread().error.Clear(); }

QINT64 SaveErrorState() {
  ThreadContext& thread = CurrentThread();
  thread.saved.push_back(std::move(thread.error));
  thread.error.Clear();
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
