// Digitizers of board systems: every call is a command for the board's driver.
#pragma once

#include "platform/host/qtypes.h"

namespace zorhost {

QID AllocateDigitizer(QID system, QINT64 number, const wchar_t* format, QINT64 initFlag, QID* out);
void FreeDigitizer(QID digitizer);
QINT64 InquireDigitizer(QID digitizer, QINT64 type, void* out);
void ControlDigitizer(QID digitizer, QINT64 type, QINT64 value);
void ControlDigitizerDouble(QID digitizer, QINT64 type, double value);
void GrabDigitizer(QID digitizer, QID buffer, bool continuous);
void WaitDigitizer(QID digitizer, QINT64 flag);
void HaltDigitizer(QID digitizer);
void AbortDigitizerGrab(QID digitizer);
void ProcessDigitizer(QID digitizer, const QID* buffers, QINT64 count, QINT64 operation,
                      QINT64 operationFlag, QHOOK_FUNCTION function, void* user);
QINT64 HookDigitizer(QID digitizer, QINT64 type, QHOOK_FUNCTION function, void* user);
QINT64 DigitizerHookInfo(QID event, QINT64 type, void* out);
void ControlFeature(QID digitizer, QINT64 flag, const wchar_t* feature, QINT64 dataType,
                    const void* value);
void InquireFeature(QID digitizer, QINT64 flag, const wchar_t* feature, QINT64 dataType,
                    void* value, QINT64 size);

}  // namespace zorhost
