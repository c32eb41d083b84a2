#include "platform/host/hosterror.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <exception>
#include <iterator>

#include "platform/host/application.h"
#include "platform/host/handedcall.h"
#include "platform/host/hostmessages.h"
#include "platform/host/threadcontext.h"
#include "platform/os/text/convert.h"

namespace zorhost {
namespace {

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

// What the exception being handled says: what() of a standard exception.
ErrorText DescribeException() {
  try {
    throw;
  } catch (const std::exception& e) {
    return os::Utf8ToWide(e.what());
  } catch (...) {
    return L"An exception that is no std::exception.";
  }
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

void ReportHandedFailure() noexcept {
  try {
    ThreadContext& thread = CurrentThread();
    HostError failure =
        MakeHostError(Q_ERR_HOOK, L"The function threw an exception.", DescribeException());
    if (!thread.inErrorHook) {
      RecordError(failure);
      return;
    }
    // An error hook that throws leaves the error it was told of; its failure is only printed.
    failure.function = thread.outerFunction;
    if (ThreadPrintsErrors()) PrintError(failure);
  } catch (...) {
    // Not even the report could be made (no memory left): the caller still goes on.
  }
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
