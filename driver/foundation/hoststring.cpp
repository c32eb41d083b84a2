// Reads a text attribute of a host-library object, length first.
#include "driver/foundation/hoststring.h"

#include <cwchar>

#include "platform/host/hostservices.h"

namespace zor::foundation {

QINT64 InquireHostString(QID object, QINT64 inquireType, std::wstring& out) {
  QINT64 length = 0;
  HostObjInquire(object, inquireType + Q_STRING_SIZE, &length);
  if (length < 1) return 0;
  std::wstring text(static_cast<size_t>(length), L'\0');
  const QINT64 result = HostObjInquire(object, inquireType, text.data());
  // The length counts the NUL; a shorter text ends at its own NUL.
  text.resize(wcsnlen(text.c_str(), static_cast<size_t>(length - 1)));
  out = text;
  return result;
}

}  // namespace zor::foundation
