// The services that libZOR.so offers to board drivers. Conventions:
// - Q_DEFAULT stands for the default application, no flags or an infinite time.
// - Inquire functions write the answer to `out` (when not null) and also return it; adding
//   Q_STRING_SIZE to a type asks for the length of a text answer, terminator included.
//   Text answers are wide; `out` must hold the length that the size inquiry gave.
// - Hook functions take (object, event type, function, user data); adding Q_UNHOOK to the
//   event type removes the same function and user data.
// - Control functions have an integer and a double variant; texts and addresses travel as the
//   integer value of the pointer.
// - A failing call records a host error on the calling thread (read with HostGetError or
//   HostAppGetError) and returns 0.
// - A call that addresses an object of a board driver (a system, digitizer or buffer the
//   driver serves) is passed to that driver as a nested command on the calling thread.
#pragma once

#include <cwchar>

#include "platform/host/qtypes.h"

// Application.
ZOR_API QINT64 HostAppInquire(QID app, QINT64 type, void* out);
ZOR_API void HostAppControl(QID app, QINT64 type, QINT64 value);
ZOR_API QINT64 HostAppGetError(QID app, QINT64 type, void* out);
ZOR_API QINT64 HostAppHookFunction(QID app, QINT64 type, QHOOK_FUNCTION function, void* user);
ZOR_API QINT64 HostAppGetHookInfo(QID app, QID event, QINT64 type, void* out);
// operation 20: count the objects of objectType (count and list ignored); 15: write up to
// count ids into list. Returns the number of objects.
ZOR_API QINT64 HostAppListObjects(QID app, QINT64 operation, QINT64 objectType, QINT64 count,
                                  QID* list);

// Browser clients of the feature-browser servers, for a browser program in the process: a new
// client id announced to the Q_BROWSER_CLIENT_CONNECTED hooks (which make its mailboxes), and
// its end announced to the Q_BROWSER_CLIENT_DISCONNECTED hooks.
ZOR_API QINT64 HostAppClientConnect(QID app);
ZOR_API void HostAppClientDisconnect(QID app, QINT64 clientId);

// Errors of the calling thread (types as HostAppGetError).
ZOR_API QINT64 HostGetError(QID reserved, QINT64 type, void* out);
ZOR_API void HostErrorReset(QINT64 reserved1, QINT64 reserved2);

// Internal binding. Inquire: 10 the object's driver data, 29 its type, 1101 its owner,
// 15044 the host's feature level (1), 48 the name of the function behind an opcode (object =
// opcode, wide text), 219 (object 0) enters a foreign thread's host context and writes a context
// word, 221 (object 0) saves the thread's error state and writes a context word. Control: 220
// (object 0, the word of 219) leaves the context, 222 (object 0, the address of the word of 221)
// restores the error state, 46 registers a driver's process-wide data block; other types are
// kept as settings of the object.
ZOR_API QINT64 HostInternalInquire(QID object, QINT64 type, void* out);
ZOR_API void HostInternalControl(QID object, QINT64 type, QINT64 value);

// Systems.
ZOR_API QID HostSysAlloc(QID app, const wchar_t* descriptor, QINT64 number, QINT64 initFlag,
                         QID* out);
ZOR_API void HostSysFree(QID system);
ZOR_API QINT64 HostSysInquire(QID system, QINT64 type, void* out);
ZOR_API void HostSysControl(QID system, QINT64 type, QINT64 value);
ZOR_API void HostSysControlDouble(QID system, QINT64 type, double value);

// Digitizers.
ZOR_API QID HostDigAlloc(QID system, QINT64 number, const wchar_t* format, QINT64 initFlag,
                         QID* out);
ZOR_API void HostDigFree(QID digitizer);
ZOR_API QINT64 HostDigInquire(QID digitizer, QINT64 type, void* out);
ZOR_API void HostDigControl(QID digitizer, QINT64 type, QINT64 value);
ZOR_API void HostDigControlDouble(QID digitizer, QINT64 type, double value);
// Delivers one grab-processing event: calls function(flags, event, user) where the event
// answers HostBufGetHookInfo(event, Q_OBJECT_ID) with the buffer.
ZOR_API void HostDigProcessNotify(QID buffer, QHOOK_FUNCTION function, void* user, QINT64 count,
                                  QINT64 further, QINT64 reserved, QINT64 flags, double rate);

// Buffers.
ZOR_API QID HostBufCreate2d(QID system, QINT64 sizeX, QINT64 sizeY, QINT64 type, QINT64 attribute,
                            QINT64 flags, QINT64 pitch, void* address, QID* out);
ZOR_API QID HostBufCreateColor(QID system, QINT64 bands, QINT64 sizeX, QINT64 sizeY, QINT64 type,
                               QINT64 attribute, QINT64 flags, QINT64 pitch, void** addresses,
                               QID* out);
ZOR_API QID HostBufChildAlloc(QID parent, QINT64 band, QINT64 offsetX, QINT64 offsetY, QINT64 sizeX,
                              QINT64 sizeY, QID* out);
ZOR_API void HostBufFree(QID buffer);
ZOR_API QINT64 HostBufInquire(QID buffer, QINT64 type, void* out);
ZOR_API void HostBufControl(QID buffer, QINT64 type, QINT64 value);
ZOR_API void HostBufControlDouble(QID buffer, QINT64 type, double value);
ZOR_API void HostBufClear(QID buffer, double value);
ZOR_API QINT64 HostBufExport(const wchar_t* fileName, QINT64 format, QID buffer);
ZOR_API void HostBufGetRegion(QID buffer, QINT64 offsetX, QINT64 offsetY, QINT64 sizeX,
                              QINT64 sizeY, void* data);
ZOR_API void HostBufPutRegion(QID buffer, QINT64 offsetX, QINT64 offsetY, QINT64 sizeX,
                              QINT64 sizeY, const void* data);
ZOR_API void HostBufGetBand(QID buffer, QINT64 format, QINT64 band, void* data);
ZOR_API void HostBufPutBand(QID buffer, QINT64 format, QINT64 band, const void* data);
ZOR_API void HostBufGetBandRegion(QID buffer, QINT64 format, QINT64 band, QINT64 offsetX,
                                  QINT64 offsetY, QINT64 sizeX, QINT64 sizeY, void* data);
ZOR_API void HostBufPutBandRegion(QID buffer, QINT64 format, QINT64 band, QINT64 offsetX,
                                  QINT64 offsetY, QINT64 sizeX, QINT64 sizeY, const void* data);
ZOR_API QINT64 HostBufTransfer(QID source, QID destination, QINT64 offsetX, QINT64 offsetY,
                               QINT64 sizeX, QINT64 sizeY, QINT64 band, QINT64 destOffsetX,
                               QINT64 destOffsetY, QINT64 destSizeX, QINT64 destSizeY,
                               QINT64 destBand, QINT64 function, QINT64 transferType,
                               QINT64 operationFlag, void* extra);
ZOR_API QINT64 HostBufHookFunction(QID buffer, QINT64 type, QHOOK_FUNCTION function, void* user);
ZOR_API QINT64 HostBufGetHookInfo(QID event, QINT64 type, void* out);
ZOR_API void HostBufPassWords(QID buffer, QINT64 a, QINT64 b);
ZOR_API void HostBufPassAfterKernel(QID buffer, QINT64 a, QINT64 b, QINT64 c, QINT64 d, QINT64 e);

// Sequences and displays: objects of the host with integer and double settings.
ZOR_API QINT64 HostSeqInquire(QID sequence, QINT64 index, QINT64 type, void* out);
ZOR_API void HostSeqControl(QID sequence, QINT64 index, QINT64 type, QINT64 value);
ZOR_API void HostSeqControlDouble(QID sequence, QINT64 index, QINT64 type, double value);
ZOR_API QINT64 HostDispInquire(QID display, QINT64 type, void* out);
ZOR_API void HostDispControl(QID display, QINT64 type, QINT64 value);
ZOR_API void HostDispControlDouble(QID display, QINT64 type, double value);

// Generic objects (mailboxes and the like).
ZOR_API QID HostObjAlloc(QID system, QINT64 objectType, QINT64 initFlag, QID* out);
ZOR_API void HostObjFree(QID object);
ZOR_API QINT64 HostObjInquire(QID object, QINT64 type, void* out);
ZOR_API void HostObjControl(QID object, QINT64 type, QINT64 value);
ZOR_API QINT64 HostObjHookFunction(QID object, QINT64 type, QHOOK_FUNCTION function, void* user);
ZOR_API QINT64 HostObjGetHookInfo(QID event, QINT64 type, void* out);
ZOR_API QINT64 HostObjMessageWrite(QID mailbox, const void* data, QINT64 length, QINT64 tag,
                                   QINT64 flag);
ZOR_API QINT64 HostObjMessageRead(QID mailbox, void* data, QINT64 size, QINT64* outSize,
                                  QINT64* outTag, QINT64* outSpare, QINT64 flag);

// Threads and events. kind Q_THREAD (256) starts function(user) at once on a new thread;
// kind 2048 makes a thread object without a thread that holds `user` as its driver data.
ZOR_API QID HostThrAlloc(QID owner, QINT64 kind, QINT64 flags, QTHREAD_FUNCTION function,
                         void* user, QID* out);
// waitWord: Q_THREAD_WAIT plus a time-out in ms (0: no limit). Returns Q_WAIT_ENDED or
// Q_WAIT_TIMEOUT, also written to result when not null.
ZOR_API QINT64 HostThrWait(QID thread, QINT64 waitWord, QINT64* result);
ZOR_API void HostThrControl(QID thread, QINT64 type, QINT64 value);
ZOR_API void HostThrFree(QID thread);
ZOR_API QID HostEventAlloc(QID owner, QINT64 initFlag, QINT64 kind, void* data);
ZOR_API QID HostEventAttach(QID owner, QINT64 type, void* driverData);
ZOR_API void HostEventFree(QID owner, QID event);
ZOR_API void HostSleep(QINT64 milliseconds);

// Error reports from driver threads.
ZOR_API QID HostFuncAlloc(const wchar_t* name, QINT64 initFlag, QID* out);
// code 0 with no texts clears the calling thread's error; other codes are looked up in the
// driver's message table, the texts fill the places of sub-messages 5 to 7.
ZOR_API void HostFuncErrorReport(QID function, QINT64 code, const wchar_t* format,
                                 const wchar_t* text1, const wchar_t* text2, const wchar_t* text3);
ZOR_API void HostFuncFree(QID function);
