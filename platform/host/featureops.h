// Feature control and inquiry by name: the command slots of the feature name,
// the data type and the caller's variable, sized so that the driver never
// writes past the variable.
#pragma once

#include "platform/host/command.h"
#include "platform/host/hostobject.h"
#include "platform/host/qtypes.h"

namespace zorhost {

// The command already carries its object slot; the rest is added here.
void SendFeatureControl(SystemObject& system, Command& command, QINT64 flag, const wchar_t* feature,
                        QINT64 dataType, const void* value);
void SendFeatureInquire(SystemObject& system, Command& command, QINT64 flag, const wchar_t* feature,
                        QINT64 dataType, void* value, QINT64 size);

// The system's own features; the command names no digitizer.
void ControlSystemFeature(QID system, QINT64 flag, const wchar_t* feature, QINT64 dataType,
                          const void* value);
void InquireSystemFeature(QID system, QINT64 flag, const wchar_t* feature, QINT64 dataType,
                          void* value, QINT64 size);

}  // namespace zorhost
