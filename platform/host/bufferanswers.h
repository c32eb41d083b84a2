// The buffer inquiries that the host answers itself.
#pragma once

#include <memory>

#include "platform/host/boardobjects.h"

namespace zorhost {

// What the host answers for every buffer, board buffers included: its driver index, parent,
// and the common object answers.
bool AnswerAnyBuffer(const std::shared_ptr<BufferObject>& buffer, QINT64 type, void* out,
                     QINT64* answer);
// What the memory of a host buffer tells: sizes, type, pitch, addresses, description.
bool AnswerMemory(const HostBuffer& memory, QINT64 type, void* out, QINT64* answer);

}  // namespace zorhost
