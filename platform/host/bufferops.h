// Buffers: host memory on the host's systems, the driver's buffers on a board system.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/host/boardobjects.h"

namespace zorhost {

// Allocates, or wraps the caller's band addresses when addresses[0] is set.
QID AllocateBuffer(QID system, const BufferShape& shape, void* const* addresses, QID* out);
QID AllocateChild(QID parent, QINT64 band, QINT64 offsetX, QINT64 offsetY, QINT64 sizeX,
                  QINT64 sizeY, QID* out);
void FreeBuffer(QID buffer);
// A copy between two buffers: the opcode names the kind (kBufCopy, kBufCopyClip with the
// destination offset, kBufCopyRegion with source band, x, y, destination band, x, y, size x, y).
struct CopyRegion {
  uint16_t opcode;
  std::vector<QINT64> words;
};
void CopyBuffers(QID source, QID destination, const CopyRegion& region);
QINT64 InquireBuffer(QID buffer, QINT64 type, void* out);
void ControlBuffer(QID buffer, QINT64 type, QINT64 value);
void ControlBufferDouble(QID buffer, QINT64 type, double value);
// band -1: all bands. A region of a board buffer goes through its driver.
void GetBufferRegion(QID buffer, QINT64 band, QINT64 x, QINT64 y, QINT64 w, QINT64 h, void* data);
void PutBufferRegion(QID buffer, QINT64 band, QINT64 x, QINT64 y, QINT64 w, QINT64 h,
                     const void* data);
void ClearBuffer(QID buffer, double value);
QINT64 ExportBuffer(const wchar_t* fileName, QINT64 format, QID buffer);
QINT64 TransferBuffer(QID source, QID destination, QINT64 x, QINT64 y, QINT64 w, QINT64 h,
                      QINT64 band, QINT64 destX, QINT64 destY, QINT64 destW, QINT64 destH,
                      QINT64 destBand);
// The arguments of an application's transfer after the two buffers.
struct TransferArgs {
  QINT64 x, y, w, h, band;
  QINT64 destX, destY, destW, destH, destBand;
  QINT64 function, transferType, operationFlag;
  void* extra;
};
// Between two buffers of one board system the driver transfers; else the host copies.
void TransferBuffers(QID source, QID destination, const TransferArgs& args);
// The board buffer that a driver's host buffer serves as memory, or the buffer itself.
std::shared_ptr<BufferObject> BoardBufferOf(std::shared_ptr<BufferObject> buffer);
// The memory of a buffer (its own or, for a board buffer, its backing); null with an error.
std::shared_ptr<BufferObject> BufferWithMemory(QID buffer);

}  // namespace zorhost
