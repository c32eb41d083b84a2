// Qbuf and Qthr: buffers, and the thread and event objects of board systems.
#include "interfaces/hostcommand/opcodes.h"
#include "platform/host/answer.h"
#include "platform/host/bufferops.h"
#include "platform/host/threadcontext.h"
#include "platform/host/threadops.h"
#include "platform/host/zor.h"

using namespace zorhost;

namespace {

QINT64 WholeSize(QID buffer, QINT64 type) {
  auto object = BufferWithMemory(buffer);
  if (object == nullptr) return -1;
  return type == Q_SIZE_X ? object->memory->SizeX() : object->memory->SizeY();
}

}  // namespace

ZOR_API QID QbufAlloc2d(QID system, QINT64 sizeX, QINT64 sizeY, QINT64 type, QINT64 attribute,
                        QID* out) {
  ApiScope scope(L"QbufAlloc2d");
  return AllocateBuffer(system, {1, sizeX, sizeY, type, attribute, 0, 0}, nullptr, out);
}

ZOR_API QID QbufAllocColor(QID system, QINT64 bands, QINT64 sizeX, QINT64 sizeY, QINT64 type,
                           QINT64 attribute, QID* out) {
  ApiScope scope(L"QbufAllocColor");
  return AllocateBuffer(system, {bands, sizeX, sizeY, type, attribute, 0, 0}, nullptr, out);
}

ZOR_API QID QbufCreate2d(QID system, QINT64 sizeX, QINT64 sizeY, QINT64 type, QINT64 attribute,
                         QINT64 pitch, void* address, QID* out) {
  ApiScope scope(L"QbufCreate2d");
  if (address == nullptr) {
    if (out != nullptr) *out = 0;
    RecordError(Q_ERR_NULL_POINTER, L"No memory to create the buffer on.");
    return 0;
  }
  void* addresses[4] = {address, nullptr, nullptr, nullptr};
  return AllocateBuffer(system, {1, sizeX, sizeY, type, attribute, 0, pitch}, addresses, out);
}

ZOR_API QID QbufChild2d(QID parent, QINT64 offsetX, QINT64 offsetY, QINT64 sizeX, QINT64 sizeY,
                        QID* out) {
  ApiScope scope(L"QbufChild2d");
  return AllocateChild(parent, -1, offsetX, offsetY, sizeX, sizeY, out);
}

ZOR_API QID QbufChildColor2d(QID parent, QINT64 band, QINT64 offsetX, QINT64 offsetY, QINT64 sizeX,
                             QINT64 sizeY, QID* out) {
  ApiScope scope(L"QbufChildColor2d");
  return AllocateChild(parent, band, offsetX, offsetY, sizeX, sizeY, out);
}

ZOR_API void QbufCopy(QID source, QID destination) {
  ApiScope scope(L"QbufCopy");
  CopyBuffers(source, destination, {zor::hostcommand::kBufCopy, {}});
}

ZOR_API void QbufCopyClip(QID source, QID destination, QINT64 offsetX, QINT64 offsetY) {
  ApiScope scope(L"QbufCopyClip");
  CopyBuffers(source, destination, {zor::hostcommand::kBufCopyClip, {offsetX, offsetY}});
}

ZOR_API void QbufCopyColor2d(QID source, QID destination, QINT64 sourceBand, QINT64 sourceX,
                             QINT64 sourceY, QINT64 destinationBand, QINT64 destinationX,
                             QINT64 destinationY, QINT64 sizeX, QINT64 sizeY) {
  ApiScope scope(L"QbufCopyColor2d");
  CopyBuffers(
      source, destination,
      {zor::hostcommand::kBufCopyRegion,
       {sourceBand, sourceX, sourceY, destinationBand, destinationX, destinationY, sizeX, sizeY}});
}

ZOR_API void QbufTransfer(QID source, QID destination, QINT64 offsetX, QINT64 offsetY, QINT64 sizeX,
                          QINT64 sizeY, QINT64 band, QINT64 destOffsetX, QINT64 destOffsetY,
                          QINT64 destSizeX, QINT64 destSizeY, QINT64 destBand,
                          QINT64 transferFunction, QINT64 transferType, QINT64 operationFlag,
                          void* extraParameter) {
  ApiScope scope(L"QbufTransfer");
  TransferBuffers(
      source, destination,
      {offsetX, offsetY, sizeX, sizeY, band, destOffsetX, destOffsetY, destSizeX, destSizeY,
       destBand, transferFunction, transferType, operationFlag, extraParameter});
}

ZOR_API void QbufFree(QID buffer) {
  ApiScope scope(L"QbufFree");
  FreeBuffer(buffer);
}

ZOR_API QINT64 QbufInquire(QID buffer, QINT64 type, void* out) {
  ApiScope scope(L"QbufInquire");
  return InquireBuffer(buffer, type, out);
}

ZOR_API void QbufControl(QID buffer, QINT64 type, QINT64 value) {
  ApiScope scope(L"QbufControl");
  ControlBuffer(buffer, type, value);
}

ZOR_API void QbufClear(QID buffer, double value) {
  ApiScope scope(L"QbufClear");
  ClearBuffer(buffer, value);
}

ZOR_API void QbufGet(QID buffer, void* data) {
  ApiScope scope(L"QbufGet");
  const QINT64 sizeX = WholeSize(buffer, Q_SIZE_X);
  if (sizeX >= 0) GetBufferRegion(buffer, -1, 0, 0, sizeX, WholeSize(buffer, Q_SIZE_Y), data);
}

ZOR_API void QbufPut(QID buffer, const void* data) {
  ApiScope scope(L"QbufPut");
  const QINT64 sizeX = WholeSize(buffer, Q_SIZE_X);
  if (sizeX >= 0) PutBufferRegion(buffer, -1, 0, 0, sizeX, WholeSize(buffer, Q_SIZE_Y), data);
}

ZOR_API void QbufGet2d(QID buffer, QINT64 offsetX, QINT64 offsetY, QINT64 sizeX, QINT64 sizeY,
                       void* data) {
  ApiScope scope(L"QbufGet2d");
  GetBufferRegion(buffer, -1, offsetX, offsetY, sizeX, sizeY, data);
}

ZOR_API void QbufPut2d(QID buffer, QINT64 offsetX, QINT64 offsetY, QINT64 sizeX, QINT64 sizeY,
                       const void* data) {
  ApiScope scope(L"QbufPut2d");
  PutBufferRegion(buffer, -1, offsetX, offsetY, sizeX, sizeY, data);
}

ZOR_API QINT64 QbufExport(const wchar_t* fileName, QINT64 format, QID buffer) {
  ApiScope scope(L"QbufExport");
  return ExportBuffer(fileName, format, buffer);
}

ZOR_API QINT64 QbufGetHookInfo(QID event, QINT64 type, void* out) {
  ApiScope scope(L"QbufGetHookInfo");
  return EventInfo(event, type, out);
}

ZOR_API QID QthrAlloc(QID system, QINT64 type, QINT64 initFlag, QID* out) {
  ApiScope scope(L"QthrAlloc");
  return AllocateSystemThread(system, type, initFlag, out);
}

ZOR_API void QthrFree(QID object) {
  ApiScope scope(L"QthrFree");
  FreeSystemThread(object);
}

ZOR_API QINT64 QthrInquire(QID object, QINT64 type, void* out) {
  ApiScope scope(L"QthrInquire");
  return InquireSystemThread(object, type, out);
}

ZOR_API void QthrControl(QID object, QINT64 type, QINT64 value) {
  ApiScope scope(L"QthrControl");
  ControlSystemThread(object, type, value);
}

ZOR_API QINT64 QthrWait(QID object, QINT64 waitWord, QINT64* result) {
  ApiScope scope(L"QthrWait");
  return WaitSystemThread(object, waitWord, result);
}

ZOR_API QINT64 QthrWaitMultiple(const QID* objects, QINT64 count, QINT64 waitWord, QINT64* result) {
  ApiScope scope(L"QthrWaitMultiple");
  return WaitSystemThreads(objects, count, waitWord, result);
}
