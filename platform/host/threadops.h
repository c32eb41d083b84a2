// Host threads, events and the thread and event objects of board systems.
#pragma once

#include "platform/host/qtypes.h"

namespace zorhost {

QID AllocateHostThread(QID owner, QINT64 kind, QTHREAD_FUNCTION function, void* user, QID* out);
QINT64 WaitHostThread(QID thread, QINT64 waitWord, QINT64* result);
void FreeHostThread(QID thread);
QID AllocateHostEvent(QID owner, QINT64 type, void* driverData);
void FreeHostEvent(QID event);

// The thread and event objects of a board system (QthrAlloc and the like).
QID AllocateSystemThread(QID system, QINT64 type, QINT64 initFlag, QID* out);
void FreeSystemThread(QID object);
QINT64 InquireSystemThread(QID object, QINT64 type, void* out);
void ControlSystemThread(QID object, QINT64 type, QINT64 value);
QINT64 WaitSystemThread(QID object, QINT64 waitWord, QINT64* result);
QINT64 WaitSystemThreads(const QID* objects, QINT64 count, QINT64 waitWord, QINT64* result);

}  // namespace zorhost
