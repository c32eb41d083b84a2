// Reads the host library's current error and its texts, and throws it when asked.
#include "driver/frameworkuser/genicam/featurebrowser/hosterrorcheck.h"

#include <string>
#include <vector>

#include "driver/foundation/zordrvexception.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "platform/host/hostservices.h"

namespace zor::genicam {
namespace {

using errorcode::kFeatureBrowserError;

constexpr size_t kTextLimit = 320;

std::wstring ReadErrorText(QINT64 type) {
  QINT64 length = 0;
  HostGetError(0, type + Q_STRING_SIZE, &length);
  if (length <= 1) return {};
  // The size is asked first, so that a long text never overruns the buffer.
  std::vector<wchar_t> text(static_cast<size_t>(length), L'\0');
  HostGetError(0, type, text.data());
  text.back() = L'\0';
  std::wstring result(text.data());
  if (result.size() > kTextLimit - 1) result.resize(kTextLimit - 1);
  return result;
}

}  // namespace

bool ThrowOnHostError(bool throwOnError) {
  QINT64 code = 0;
  HostGetError(0, Q_CURRENT, &code);
  if (code == 0) return false;
  if (!throwOnError) return true;
  const QINT64 types[] = {Q_MESSAGE, Q_CURRENT_FCT, Q_CURRENT_SUB_1_TEXT, Q_CURRENT_SUB_2_TEXT,
                          Q_CURRENT_SUB_3_TEXT};
  std::wstring description;
  for (size_t i = 0; i < std::size(types); ++i) {
    const std::wstring text = ReadErrorText(types[i]);
    if (text.empty()) continue;
    description += text;
    if (i + 1 < std::size(types)) description += L"\n";
  }
  static const foundation::ExceptionSource source(L"w:/driver/frameworkuser/genicam/featurebrowser",
                                                  620, L"RuntimeException");
  throw source.Report(kFeatureBrowserError, 2, L"%ls", description.c_str());
}

}  // namespace zor::genicam
