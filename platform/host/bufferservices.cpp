// Host services for drivers: host buffers.
#include "platform/host/answer.h"
#include "platform/host/bufferops.h"
#include "platform/host/hostservices.h"
#include "platform/host/threadcontext.h"

using namespace zorhost;

ZOR_API QID HostBufCreate2d(QID system, QINT64 sizeX, QINT64 sizeY, QINT64 type, QINT64 attribute,
                            QINT64 flags, QINT64 pitch, void* address, QID* out) {
  ApiScope scope(L"HostBufCreate2d");
  void* addresses[4] = {address, nullptr, nullptr, nullptr};
  return AllocateBuffer(system, {1, sizeX, sizeY, type, attribute, flags, pitch}, addresses, out);
}

ZOR_API QID HostBufCreateColor(QID system, QINT64 bands, QINT64 sizeX, QINT64 sizeY, QINT64 type,
                               QINT64 attribute, QINT64 flags, QINT64 pitch, void** addresses,
                               QID* out) {
  ApiScope scope(L"HostBufCreateColor");
  return AllocateBuffer(system, {bands, sizeX, sizeY, type, attribute, flags, pitch}, addresses,
                        out);
}

ZOR_API QID HostBufChildAlloc(QID parent, QINT64 band, QINT64 offsetX, QINT64 offsetY, QINT64 sizeX,
                              QINT64 sizeY, QID* out) {
  ApiScope scope(L"HostBufChildAlloc");
  return AllocateChild(parent, band, offsetX, offsetY, sizeX, sizeY, out);
}

ZOR_API void HostBufFree(QID buffer) {
  ApiScope scope(L"HostBufFree");
  FreeBuffer(buffer);
}

ZOR_API QINT64 HostBufInquire(QID buffer, QINT64 type, void* out) {
  ApiScope scope(L"HostBufInquire");
  return InquireBuffer(buffer, type, out);
}

ZOR_API void HostBufControl(QID buffer, QINT64 type, QINT64 value) {
  ApiScope scope(L"HostBufControl");
  ControlBuffer(buffer, type, value);
}

ZOR_API void HostBufControlDouble(QID buffer, QINT64 type, double value) {
  ApiScope scope(L"HostBufControlDouble");
  ControlBufferDouble(buffer, type, value);
}

ZOR_API void HostBufClear(QID buffer, double value) {
  ApiScope scope(L"HostBufClear");
  ClearBuffer(buffer, value);
}

ZOR_API QINT64 HostBufExport(const wchar_t* fileName, QINT64 format, QID buffer) {
  ApiScope scope(L"HostBufExport");
  return ExportBuffer(fileName, format, buffer);
}

ZOR_API void HostBufGetRegion(QID buffer, QINT64 offsetX, QINT64 offsetY, QINT64 sizeX,
                              QINT64 sizeY, void* data) {
  ApiScope scope(L"HostBufGetRegion");
  GetBufferRegion(buffer, -1, offsetX, offsetY, sizeX, sizeY, data);
}

ZOR_API void HostBufPutRegion(QID buffer, QINT64 offsetX, QINT64 offsetY, QINT64 sizeX,
                              QINT64 sizeY, const void* data) {
  ApiScope scope(L"HostBufPutRegion");
  PutBufferRegion(buffer, -1, offsetX, offsetY, sizeX, sizeY, data);
}

ZOR_API void HostBufGetBand(QID buffer, QINT64 /*format*/, QINT64 band, void* data) {
  ApiScope scope(L"HostBufGetBand");
  if (auto object = BufferWithMemory(buffer)) {
    GetBufferRegion(buffer, band, 0, 0, object->memory->SizeX(), object->memory->SizeY(), data);
  }
}

ZOR_API void HostBufPutBand(QID buffer, QINT64 /*format*/, QINT64 band, const void* data) {
  ApiScope scope(L"HostBufPutBand");
  if (auto object = BufferWithMemory(buffer)) {
    PutBufferRegion(buffer, band, 0, 0, object->memory->SizeX(), object->memory->SizeY(), data);
  }
}

ZOR_API void HostBufGetBandRegion(QID buffer, QINT64 /*format*/, QINT64 band, QINT64 offsetX,
                                  QINT64 offsetY, QINT64 sizeX, QINT64 sizeY, void* data) {
  ApiScope scope(L"HostBufGetBandRegion");
  GetBufferRegion(buffer, band, offsetX, offsetY, sizeX, sizeY, data);
}

ZOR_API void HostBufPutBandRegion(QID buffer, QINT64 /*format*/, QINT64 band, QINT64 offsetX,
                                  QINT64 offsetY, QINT64 sizeX, QINT64 sizeY, const void* data) {
  ApiScope scope(L"HostBufPutBandRegion");
  PutBufferRegion(buffer, band, offsetX, offsetY, sizeX, sizeY, data);
}

ZOR_API QINT64 HostBufTransfer(QID source, QID destination, QINT64 offsetX, QINT64 offsetY,
                               QINT64 sizeX, QINT64 sizeY, QINT64 band, QINT64 destOffsetX,
                               QINT64 destOffsetY, QINT64 destSizeX, QINT64 destSizeY,
                               QINT64 destBand, QINT64 /*function*/, QINT64 /*transferType*/,
                               QINT64 /*operationFlag*/, void* /*extra*/) {
  ApiScope scope(L"HostBufTransfer");
  return TransferBuffer(source, destination, offsetX, offsetY, sizeX, sizeY, band, destOffsetX,
                        destOffsetY, destSizeX, destSizeY, destBand);
}

ZOR_API QINT64 HostBufHookFunction(QID buffer, QINT64 type, QHOOK_FUNCTION function, void* user) {
  ApiScope scope(L"HostBufHookFunction");
  auto object = Lookup<BufferObject>(buffer, Q_IMAGE);
  if (object == nullptr) return 0;
  return ApplyHook(object->hooks, type, function, user);
}

ZOR_API QINT64 HostBufGetHookInfo(QID event, QINT64 type, void* out) {
  ApiScope scope(L"HostBufGetHookInfo");
  return EventInfo(event, type, out);
}

// Operations a board driver passes on for its buffers; a buffer here keeps
// nothing that they change, so a known buffer accepts them.
ZOR_API void HostBufPassWords(QID buffer, QINT64 /*a*/, QINT64 /*b*/) {
  ApiScope scope(L"HostBufPassWords");
  Lookup<BufferObject>(buffer, Q_IMAGE);
}

ZOR_API void HostBufPassAfterKernel(QID buffer, QINT64 /*a*/, QINT64 /*b*/, QINT64 /*c*/,
                                    QINT64 /*d*/, QINT64 /*e*/) {
  ApiScope scope(L"HostBufPassAfterKernel");
  Lookup<BufferObject>(buffer, Q_IMAGE);
}
