#include "platform/host/bufferanswers.h"

#include "platform/host/answer.h"
#include "platform/host/bufferops.h"

namespace zorhost {
namespace {

constexpr QINT64 kRegionCopyFlags = 6703;  // bit 64: the id stands for another buffer
constexpr QINT64 kRegionCopyTarget = 1192;
constexpr QINT64 kBoardImageAddress = 0x4004;  // where a board-image buffer's pixels start

}  // namespace

bool AnswerAnyBuffer(const std::shared_ptr<BufferObject>& buffer, QINT64 type, void* out,
                     QINT64* answer) {
  switch (type) {
    case Q_DRIVER_INDEX:
      // The driver may ask with the id of the memory it made for one of its buffers.
      *answer = AnswerValue(out, BoardBufferOf(buffer)->driverIndex);
      return true;
    case Q_PARENT_ID:
      *answer = AnswerValue(out, buffer->parent);
      return true;
    case kRegionCopyFlags:
      *answer = AnswerValue(out, 0);
      return true;
    case kRegionCopyTarget:
      *answer = AnswerValue(out, buffer->id);
      return true;
    default:
      return AnswerCommon(*buffer, type, out, answer);
  }
}

bool AnswerMemory(const HostBuffer& memory, QINT64 type, void* out, QINT64* answer) {
  const HostBufferDescription& d = memory.Description();
  QINT64 value = 0;
  switch (type) {
    case Q_SIZE_X:
      value = memory.SizeX();
      break;
    case Q_SIZE_Y:
      value = memory.SizeY();
      break;
    case Q_SIZE_BAND:
      value = memory.Bands();
      break;
    case Q_SIZE_BIT:
      value = static_cast<QINT64>(d.bitDepth);
      break;
    case Q_TYPE:
      value = static_cast<QINT64>(d.dataType);
      break;
    case Q_ATTRIBUTE:
      value = static_cast<QINT64>(d.attribute);
      break;
    case Q_FORMAT_WORD:
      value = static_cast<QINT64>(d.formatWord);
      break;
    case Q_PITCH:
      value = static_cast<QINT64>(d.pitch);
      break;
    case Q_PITCH_BYTE:
      value = memory.PitchBytes();
      break;
    case Q_SIZE_BYTE:
      value = static_cast<QINT64>(d.byteSize);
      break;
    case Q_BUFFER_DESCRIPTION:
      value = reinterpret_cast<QINT64>(&d);
      break;
    case Q_HOST_ADDRESS:
    case Q_HOST_ADDRESS + 0x8:
      value = static_cast<QINT64>(d.hostAddress[0]);
      break;
    case Q_HOST_ADDRESS + 0x10:
      value = static_cast<QINT64>(d.hostAddress[1]);
      break;
    case Q_HOST_ADDRESS + 0x20:
      value = static_cast<QINT64>(d.hostAddress[2]);
      break;
    case Q_PHYSICAL_ADDRESS:
    case kBoardImageAddress:
      value = 0;  // host memory has no bus address
      break;
    default:
      return false;
  }
  *answer = AnswerValue(out, value);
  return true;
}

}  // namespace zorhost
