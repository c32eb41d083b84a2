// The application interface of libZOR.so. Every call that addresses a board system, or one of
// its digitizers, buffers, threads or events, becomes a command record for the board's driver.
// A failing call records an error on the calling thread (QappGetError), prints it unless
// printing is disabled (QappControl Q_ERROR_PRINT) and returns 0 (or leaves `out` alone).
// C11 and C++11 and later read it alike; C++ adds the overloads at its end.
#pragma once

#ifdef __cplusplus
#include <cstddef>
#include <cwchar>
#include <type_traits>
#else
#include <stddef.h>
#endif

// Relative, as applications find both headers in one folder (include/zor/).
#include "qtypes.h"

// Application. The default application (Q_DEFAULT) exists without QappAlloc.
ZOR_API QID QappAlloc(const wchar_t* name, QINT64 initFlag, QID* out);
ZOR_API void QappFree(QID app);
ZOR_API QINT64 QappInquire(QID app, QINT64 type, void* out);
ZOR_API void QappControl(QID app, QINT64 type, QINT64 value);
// type Q_CURRENT and the Q_CURRENT_* types; text types write wide texts of at most
// Q_ERROR_TEXT_SIZE characters. Returns the current error code.
ZOR_API QINT64 QappGetError(QID app, QINT64 type, void* out);
// Q_ERROR_CURRENT: function(Q_ERROR_CURRENT, 0, user) runs on the thread of each error.
ZOR_API QINT64 QappHookFunction(QID app, QINT64 type, QHOOK_FUNCTION function, void* user);

// Systems. The descriptor names the board type: L"Q_SYSTEM_DRAVIONLYN" loads
// libZorDravionLyn.so from the folder of libZOR.so; L"Q_SYSTEM_HOST" is the host alone.
ZOR_API QID QsysAlloc(QID app, const wchar_t* descriptor, QINT64 number, QINT64 initFlag, QID* out);
ZOR_API void QsysFree(QID system);
ZOR_API QINT64 QsysInquire(QID system, QINT64 type, void* out);
ZOR_API void QsysControl(QID system, QINT64 type, QINT64 value);
ZOR_API void QsysControlDouble(QID system, QINT64 type, double value);
// The board's I/O space: operation 3, direction 1 reads and 2 writes count bytes (at most 256)
// at the address.
// The system's own features by name ("QsysControl:<feature>"), as QdigControlFeature and
// QdigInquireFeature.
ZOR_API void QsysControlFeature(QID system, QINT64 flag, const wchar_t* feature, QINT64 dataType,
                                const void* value);
ZOR_API void QsysInquireFeature(QID system, QINT64 flag, const wchar_t* feature, QINT64 dataType,
                                void* value, QINT64 size);
ZOR_API void QsysIoCommand(QID system, QINT64 operation, QINT64 direction, QINT64 address,
                           QINT64 count, void* data);
// System hooks of a board system: bit 0x4000000 of the type unhooks. function(type, event,
// user) runs on the driver's thread of that hook (type 17: characters reached a serial port).
ZOR_API QINT64 QsysHookFunction(QID system, QINT64 type, QHOOK_FUNCTION function, void* user);
// What a system hook's event tells: 0x81000 the I/O source, 0x8A000 the I/O state.
ZOR_API QINT64 QsysGetHookInfo(QID event, QINT64 type, void* out);

// Digitizers.
ZOR_API QID QdigAlloc(QID system, QINT64 number, const wchar_t* format, QINT64 initFlag, QID* out);
ZOR_API void QdigFree(QID digitizer);
ZOR_API QINT64 QdigInquire(QID digitizer, QINT64 type, void* out);
ZOR_API void QdigControl(QID digitizer, QINT64 type, QINT64 value);
ZOR_API void QdigControlDouble(QID digitizer, QINT64 type, double value);
ZOR_API void QdigGrab(QID digitizer, QID buffer);
ZOR_API void QdigGrabContinuous(QID digitizer, QID buffer);
ZOR_API void QdigGrabWait(QID digitizer, QINT64 flag);
ZOR_API void QdigHalt(QID digitizer);
// Ends the digitizer's grabs at once (the driver's default abort).
ZOR_API void QdigGrabAbort(QID digitizer);
// Processes into the buffers; function(hook flags, event, user) runs for each modified
// buffer, HostBufGetHookInfo/QbufGetHookInfo(event, Q_OBJECT_ID) names it.
ZOR_API void QdigProcess(QID digitizer, const QID* buffers, QINT64 count, QINT64 operation,
                         QINT64 operationFlag, QHOOK_FUNCTION function, void* user);
ZOR_API QINT64 QdigHookFunction(QID digitizer, QINT64 type, QHOOK_FUNCTION function, void* user);
// Feature hooks (Q_FEATURE_CHANGE and the others in qtypes.h) answer the Q_FEATURE_* information
// types; size a text with its Q_STRING_SIZE type first.
ZOR_API QINT64 QdigGetHookInfo(QID event, QINT64 type, void* out);
// Features by name: "QdigControl:<feature>" (the digitizer's own map) or "QsysControl:<feature>"
// (its system's). The variable has the data type's size; a string is wide text, a byte array
// Q_TYPE_UINT8 + Q_FEATURE_USER_ARRAY_SIZE(n) bytes; with Q_FEATURE_VALUE_AS_STRING the variable
// is wide text whatever the type.
ZOR_API void QdigControlFeature(QID digitizer, QINT64 flag, const wchar_t* feature, QINT64 dataType,
                                const void* value);
// A string answer needs `size` characters at value, Q_TYPE_REGISTER `size` bytes; other types
// ignore size.
ZOR_API void QdigInquireFeature(QID digitizer, QINT64 flag, const wchar_t* feature, QINT64 dataType,
                                void* value, QINT64 size);

// Buffers.
ZOR_API QID QbufAlloc2d(QID system, QINT64 sizeX, QINT64 sizeY, QINT64 type, QINT64 attribute,
                        QID* out);
ZOR_API QID QbufAllocColor(QID system, QINT64 bands, QINT64 sizeX, QINT64 sizeY, QINT64 type,
                           QINT64 attribute, QID* out);
ZOR_API QID QbufCreate2d(QID system, QINT64 sizeX, QINT64 sizeY, QINT64 type, QINT64 attribute,
                         QINT64 pitch, void* address, QID* out);
ZOR_API QID QbufChild2d(QID parent, QINT64 offsetX, QINT64 offsetY, QINT64 sizeX, QINT64 sizeY,
                        QID* out);
// A child of one band (-1: all bands; a board buffer also takes 8, 16 and 32 for its first three).
ZOR_API QID QbufChildColor2d(QID parent, QINT64 band, QINT64 offsetX, QINT64 offsetY, QINT64 sizeX,
                             QINT64 sizeY, QID* out);
ZOR_API void QbufFree(QID buffer);
// Copies: the common region from the origin, the source placed at an offset of the
// destination (clipped), and a region with bands (-1 all, or 8, 16, 32, or a band number).
ZOR_API void QbufCopy(QID source, QID destination);
ZOR_API void QbufCopyClip(QID source, QID destination, QINT64 offsetX, QINT64 offsetY);
ZOR_API void QbufCopyColor2d(QID source, QID destination, QINT64 sourceBand, QINT64 sourceX,
                             QINT64 sourceY, QINT64 destinationBand, QINT64 destinationX,
                             QINT64 destinationY, QINT64 sizeX, QINT64 sizeY);
// A region of the source into a region of the destination; a smaller destination takes every
// (sizeX / destSizeX)-th column and (sizeY / destSizeY)-th row from the region's origin.
// Between two buffers of one board system the driver transfers (transfer type 0x2000000: a
// scaled copy out of device memory, or with transfer function 4096 a copy and with 0x800000 a
// blend with the buffer whose id extraParameter points to); elsewhere the host copies.
ZOR_API void QbufTransfer(QID source, QID destination, QINT64 offsetX, QINT64 offsetY, QINT64 sizeX,
                          QINT64 sizeY, QINT64 band, QINT64 destOffsetX, QINT64 destOffsetY,
                          QINT64 destSizeX, QINT64 destSizeY, QINT64 destBand,
                          QINT64 transferFunction, QINT64 transferType, QINT64 operationFlag,
                          void* extraParameter);
ZOR_API QINT64 QbufInquire(QID buffer, QINT64 type, void* out);
ZOR_API void QbufControl(QID buffer, QINT64 type, QINT64 value);
ZOR_API void QbufClear(QID buffer, double value);
// The whole buffer, band after band, rows packed.
ZOR_API void QbufGet(QID buffer, void* data);
ZOR_API void QbufPut(QID buffer, const void* data);
ZOR_API void QbufGet2d(QID buffer, QINT64 offsetX, QINT64 offsetY, QINT64 sizeX, QINT64 sizeY,
                       void* data);
ZOR_API void QbufPut2d(QID buffer, QINT64 offsetX, QINT64 offsetY, QINT64 sizeX, QINT64 sizeY,
                       const void* data);
ZOR_API QINT64 QbufExport(const wchar_t* fileName, QINT64 format, QID buffer);
ZOR_API QINT64 QbufGetHookInfo(QID event, QINT64 type, void* out);

// Threads and events of a system.
ZOR_API QID QthrAlloc(QID system, QINT64 type, QINT64 initFlag, QID* out);
ZOR_API void QthrFree(QID object);
ZOR_API QINT64 QthrInquire(QID object, QINT64 type, void* out);
ZOR_API void QthrControl(QID object, QINT64 type, QINT64 value);
ZOR_API QINT64 QthrWait(QID object, QINT64 waitWord, QINT64* result);
// Waits on up to 16 events of one system (add 0x4000000 to the wait word to wait for all);
// the result is the index of the signalled event, Q_WAIT_ENDED or Q_WAIT_TIMEOUT.
ZOR_API QINT64 QthrWaitMultiple(const QID* objects, QINT64 count, QINT64 waitWord, QINT64* result);

// The feature constants of the board's own node maps, where the headers are installed.
#if defined(__has_include)
#if __has_include("zorfeatures.h")
#include "zorfeatures.h"
#endif
#endif

#ifdef __cplusplus
// C++ forms that the feature browser's example code uses: a double or a wide text as a control
// value, a text answer into a ZOR_STRING, feature calls without a size, and Q_NULL for the
// value of a command.
namespace zor_detail {
template <typename Value>
using IfFloatingPoint = typename std::enable_if<std::is_floating_point<Value>::value, int>::type;
template <typename Value, typename Wanted>
using IfSame = typename std::enable_if<std::is_same<Value, Wanted>::value, int>::type;

// Sizes the text with the length form of the inquiry (terminator included), then reads it.
template <typename Inquire>
QINT64 InquireText(ZOR_STRING& text, Inquire inquire) {
  QINT64 length = 0;
  inquire(Q_STRING_SIZE, &length, 0);
  text.assign(static_cast<size_t>(length > 0 ? length : 1), L'\0');
  const QINT64 result = inquire(0, &text[0], static_cast<QINT64>(text.size()));
  text.resize(std::wcslen(text.c_str()));
  return result;
}
}  // namespace zor_detail

template <typename Value, zor_detail::IfFloatingPoint<Value> = 0>
inline void QsysControl(QID system, QINT64 type, Value value) {
  QsysControlDouble(system, type, static_cast<double>(value));
}
template <typename Value, zor_detail::IfFloatingPoint<Value> = 0>
inline void QdigControl(QID digitizer, QINT64 type, Value value) {
  QdigControlDouble(digitizer, type, static_cast<double>(value));
}
template <typename Character, zor_detail::IfSame<Character, wchar_t> = 0>
inline void QsysControl(QID system, QINT64 type, const Character* text) {
  QsysControl(system, type, reinterpret_cast<QINT64>(text));
}
template <typename Character, zor_detail::IfSame<Character, wchar_t> = 0>
inline void QdigControl(QID digitizer, QINT64 type, const Character* text) {
  QdigControl(digitizer, type, reinterpret_cast<QINT64>(text));
}

inline QINT64 QsysInquire(QID system, QINT64 type, ZOR_STRING& text) {
  return zor_detail::InquireText(text, [&](QINT64 length, void* out, QINT64) {
    return QsysInquire(system, type + length, out);
  });
}
inline QINT64 QdigInquire(QID digitizer, QINT64 type, ZOR_STRING& text) {
  return zor_detail::InquireText(text, [&](QINT64 length, void* out, QINT64) {
    return QdigInquire(digitizer, type + length, out);
  });
}
inline void QsysInquireFeature(QID system, QINT64 flag, const wchar_t* feature, QINT64 dataType,
                               void* value) {
  QsysInquireFeature(system, flag, feature, dataType, value, 0);
}
inline void QdigInquireFeature(QID digitizer, QINT64 flag, const wchar_t* feature, QINT64 dataType,
                               void* value) {
  QdigInquireFeature(digitizer, flag, feature, dataType, value, 0);
}
inline void QsysInquireFeature(QID system, QINT64 flag, const wchar_t* feature, QINT64 dataType,
                               ZOR_STRING& text) {
  zor_detail::InquireText(text, [&](QINT64 length, void* out, QINT64 size) {
    QsysInquireFeature(system, flag + length, feature, length != 0 ? Q_TYPE_INT64 : dataType, out,
                       size);
    return QINT64{0};
  });
}
inline void QdigInquireFeature(QID digitizer, QINT64 flag, const wchar_t* feature, QINT64 dataType,
                               ZOR_STRING& text) {
  zor_detail::InquireText(text, [&](QINT64 length, void* out, QINT64 size) {
    QdigInquireFeature(digitizer, flag + length, feature, length != 0 ? Q_TYPE_INT64 : dataType,
                       out, size);
    return QINT64{0};
  });
}
// Exactly a QINT64 (Q_NULL), so that a literal 0 still means a null value pointer.
template <typename NoValue, zor_detail::IfSame<NoValue, QINT64> = 0>
inline void QsysControlFeature(QID system, QINT64 flag, const wchar_t* feature, QINT64 dataType,
                               NoValue) {
  QsysControlFeature(system, flag, feature, dataType, static_cast<const void*>(nullptr));
}
template <typename NoValue, zor_detail::IfSame<NoValue, QINT64> = 0>
inline void QdigControlFeature(QID digitizer, QINT64 flag, const wchar_t* feature, QINT64 dataType,
                               NoValue) {
  QdigControlFeature(digitizer, flag, feature, dataType, static_cast<const void*>(nullptr));
}
#endif  // __cplusplus
