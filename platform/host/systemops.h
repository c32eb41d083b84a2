// Systems: allocation (loading the board's driver on first use), free, inquire and control.
#pragma once

#include <memory>

#include "platform/host/hostobject.h"

namespace zorhost {

QID AllocateSystem(QID app, const wchar_t* descriptor, QINT64 number, QINT64 initFlag, QID* out);
void FreeSystem(QID system);
QINT64 InquireSystem(QID system, QINT64 type, void* out);
void ControlSystem(QID system, QINT64 type, QINT64 value);
void ControlSystemDouble(QID system, QINT64 type, double value);
void IoCommandSystem(QID system, QINT64 operation, QINT64 direction, QINT64 address, QINT64 count,
                     void* data);
QINT64 HookSystem(QID system, QINT64 type, QHOOK_FUNCTION function, void* user);

// The board system that owns an object, or null (no error) for the host's own systems.
std::shared_ptr<SystemObject> BoardSystemOf(const HostObject& object);
bool IsApplication(QID app);

}  // namespace zorhost
