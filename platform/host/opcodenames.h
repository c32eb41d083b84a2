// The application function behind each opcode the host sends.
#pragma once

#include "platform/host/qtypes.h"

namespace zorhost {

// Empty for an opcode that no host function sends.
const wchar_t* OpcodeFunctionName(QINT64 opcode);

}  // namespace zorhost
