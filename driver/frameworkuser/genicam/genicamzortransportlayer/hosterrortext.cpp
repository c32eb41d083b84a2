// The calling thread's host error texts, numbered by the host library's feature level.
#include "driver/frameworkuser/genicam/genicamzortransportlayer/hosterrortext.h"

#include <vector>

#include "driver/frameworkuser/genicam/genicamzortransportlayer/czortransportlayer.h"
#include "platform/host/hostservices.h"

namespace zor::genicam {
namespace {

constexpr int64_t kFeatureLevelInquire = 15044;
constexpr int64_t kResetErrorControl = 0x1000833;
constexpr int64_t kSystemErrorReset = 2099;

struct ErrorTypes {
  int64_t code;
  int64_t function;
  int64_t messages[4];
};

// The host library's feature level stays for the process; every register
// access asks for its error numbering.
bool IsOldHost() {
  static const bool old = [] {
    int64_t level = 0;
    HostInternalInquire(0, kFeatureLevelInquire, &level);
    return level < 1;
  }();
  return old;
}

// Hosts below feature level 1 number their error types the older way.
ErrorTypes CurrentErrorTypes() {
  if (!IsOldHost()) {
    return {0x10E0000, 0x210F0000, {0x210E0000, 0x21110000, 0x21120000, 0x21130000}};
  }
  return {0x1000002, 0x21030000, {0x21000002, 0x21050000, 0x21060000, 0x21070000}};
}

}  // namespace

std::wstring GetHostErrorText(int64_t type) {
  int64_t length = 0;
  HostAppGetError(Q_DEFAULT, type + kStringLengthType, &length);
  if (length < 1) return {};
  std::vector<wchar_t> text(static_cast<size_t>(length) + 1, L'\0');
  HostAppGetError(Q_DEFAULT, type, text.data());
  return std::wstring(text.data());
}

int64_t GetHostErrorCode() {
  int64_t code = 0;
  HostAppGetError(Q_DEFAULT, CurrentErrorTypes().code, &code);
  return code;
}

std::wstring ComposeHostErrorText() {
  const ErrorTypes types = CurrentErrorTypes();
  std::wstring text = L"Error in " + GetHostErrorText(types.function) + L"().\n";
  for (int i = 0; i < 4; ++i) {
    const std::wstring line = GetHostErrorText(types.messages[i]);
    if (line.empty() || line == L"Null.") continue;
    text += line;
    if (i < 3) text += L'\n';
  }
  return text;
}

void ResetHostError(int64_t ownerSystem) {
  if (IsOldHost()) {
    HostAppControl(Q_DEFAULT, kResetErrorControl, 2);
  } else {
    HostErrorReset(0, 0);
  }
  if (ownerSystem != 0) HostSysControl(ownerSystem, kSystemErrorReset, 0);
}

bool CZorTransportLayerBase::HasHostError() const { return GetHostErrorCode() != 0; }

int64_t CZorTransportLayerBase::GetHostErrorText(std::wstring& text) const {
  const int64_t code = GetHostErrorCode();
  if (code == 0) return 0;
  text = ComposeHostErrorText();
  ClearHostError();
  return code;
}

void CZorTransportLayerBase::ClearHostError() const { ResetHostError(ownerSystem_); }

}  // namespace zor::genicam
