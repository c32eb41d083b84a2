// Reads a text attribute of a host-library object.
#pragma once

#include <string>

#include "platform/host/qtypes.h"

namespace zor::foundation {

// Reads a text attribute of a host-library object: its length first, then the text.
// Returns the text inquiry's result, or 0 (out unchanged) when the object has no text.
QINT64 InquireHostString(QID object, QINT64 inquireType, std::wstring& out);

}  // namespace zor::foundation
