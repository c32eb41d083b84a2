#include "platform/host/bufferops.h"

#include <algorithm>
#include <array>
#include <vector>

#include "interfaces/hostcommand/opcodes.h"
#include "platform/host/answer.h"
#include "platform/host/bufferanswers.h"
#include "platform/host/command.h"
#include "platform/host/processring.h"
#include "platform/host/systemops.h"
#include "platform/host/threadcontext.h"
#include "platform/os/text/convert.h"

namespace zorhost {
namespace {

// Runs a command that makes a driver buffer: the driver answers its index and
// makes the host buffer that holds the memory, captured here.
QID RunBufferCommand(const std::shared_ptr<SystemObject>& system, Command& command, QINT64& index,
                     QID parent) {
  QID backing = 0;
  ThreadContext& thread = CurrentThread();
  QID* outerCapture = thread.capturedBuffer;
  thread.capturedBuffer = &backing;
  const bool done = Execute(*system, command);
  thread.capturedBuffer = outerCapture;
  if (!done) return 0;
  if (index <= 0 || backing == 0) {
    RecordError(Q_ERR_DRIVER, L"The driver gave no buffer.");
    return 0;
  }
  auto buffer = std::make_shared<BufferObject>(system->id, index, backing, parent);
  const QID id = ObjectRegistry::Instance().Add(buffer);
  if (auto memory =
          std::dynamic_pointer_cast<BufferObject>(ObjectRegistry::Instance().Find(backing))) {
    memory->boardBuffer = id;
  }
  return id;
}

QID AllocateBoardBuffer(const std::shared_ptr<SystemObject>& system, const BufferShape& shape,
                        void* const* addresses) {
  QINT64 index = 0;
  Command command(zor::hostcommand::kBufAlloc, system->driverIndex);
  command.Object(system->id, system->driverIndex)
      .Integer(shape.bands)
      .Integer(shape.sizeX)
      .Integer(shape.sizeY)
      .Integer(shape.type)
      .Integer(shape.attribute)
      .Integer(shape.flags)
      .Integer(shape.pitch)
      .Address(addresses)
      .Slot(QD_TYPE_ADDRESS, reinterpret_cast<int64_t>(&index), reinterpret_cast<int64_t>(&index));
  return RunBufferCommand(system, command, index, 0);
}

// A board buffer's command, or null when the buffer has host memory.
struct BoardTarget {
  std::shared_ptr<BufferObject> buffer;
  std::shared_ptr<SystemObject> system;
};

BoardTarget BoardTargetOf(const std::shared_ptr<BufferObject>& buffer) {
  if (buffer->memory != nullptr) return {buffer, nullptr};
  auto system = BoardSystemOf(*buffer);
  if (system == nullptr) {
    RecordError(Q_ERR_INVALID_ID, L"The buffer's system is gone.");
  }
  return {buffer, system};
}

Command BufferCommand(uint16_t opcode, const BoardTarget& target) {
  Command command(opcode, target.system->driverIndex);
  command.Object(target.buffer->id, target.buffer->driverIndex);
  return command;
}

// A region read or write of a board buffer: the whole-buffer opcode for a negative band.
void TransferBoardRegion(const std::shared_ptr<BufferObject>& buffer, uint16_t wholeOpcode,
                         uint16_t bandOpcode, QINT64 band, QINT64 x, QINT64 y, QINT64 w, QINT64 h,
                         const void* data) {
  BoardTarget target = BoardTargetOf(buffer);
  if (target.system == nullptr) return;
  if (data == nullptr) {
    RecordError(Q_ERR_NULL_POINTER, L"The data pointer is null.");
    return;
  }
  Command command = BufferCommand(band < 0 ? wholeOpcode : bandOpcode, target);
  if (band >= 0) command.Integer(0).Integer(band);
  command.Integer(x).Integer(y).Integer(w).Integer(h).Address(data);
  Execute(*target.system, command);
}

template <class Value>
void ControlBufferValue(QID id, QINT64 type, Value value) {
  // The driver marks the memory of a frame it delivers: the thread keeps its ring.
  if (const ProcessRing::Entry* entry = ProcessRing::Cached(id)) {
    if (entry->memoryObject != nullptr && entry->memoryObject->memory != nullptr) {
      entry->memoryObject->settings.Set(type, SettingValue(value));
      return;
    }
  }
  auto buffer = Lookup<BufferObject>(id, Q_IMAGE);
  if (buffer == nullptr) return;
  if (buffer->memory != nullptr) {
    buffer->settings.Set(type, SettingValue(value));
    return;
  }
  BoardTarget target = BoardTargetOf(buffer);
  if (target.system == nullptr) return;
  Command command = BufferCommand(zor::hostcommand::kBufControl, target);
  command.Integer(type).Value(value);
  Execute(*target.system, command);
}

// A copy between two buffers that live only in the driver, on one system: the
// driver decides whether the board moves the pixels. False for other pairs.
template <typename AddWords>
bool DriverCopies(const std::shared_ptr<BufferObject>& source,
                  const std::shared_ptr<BufferObject>& destination, uint16_t opcode,
                  AddWords addWords) {
  if (source->memory != nullptr || destination->memory != nullptr ||
      source->owner != destination->owner) {
    return false;
  }
  BoardTarget target = BoardTargetOf(source);
  if (target.system == nullptr) return true;
  Command command = BufferCommand(opcode, target);
  command.Object(destination->id, destination->driverIndex);
  addWords(command);
  Execute(*target.system, command);
  return true;
}

}  // namespace

QID AllocateBuffer(QID systemId, const BufferShape& shape, void* const* addresses, QID* out) {
  if (out != nullptr) *out = 0;
  auto system = Lookup<SystemObject>(systemId, Q_SYSTEM);
  if (system == nullptr) return 0;
  QID id = 0;
  if (system->driver != nullptr) {
    id = AllocateBoardBuffer(system, shape, addresses);
  } else {
    HostError error;
    std::unique_ptr<HostBuffer> memory = HostBuffer::Create(shape, addresses, &error);
    if (memory == nullptr) {
      RecordError(std::move(error));
      return 0;
    }
    id = ObjectRegistry::Instance().Add(
        std::make_shared<BufferObject>(system->id, std::move(memory), 0));
    ThreadContext& thread = CurrentThread();
    if (thread.capturedBuffer != nullptr && *thread.capturedBuffer == 0) {
      *thread.capturedBuffer = id;
    }
  }
  if (out != nullptr) *out = id;
  return id;
}

QID AllocateChild(QID parentId, QINT64 band, QINT64 offsetX, QINT64 offsetY, QINT64 sizeX,
                  QINT64 sizeY, QID* out) {
  if (out != nullptr) *out = 0;
  auto parent = Lookup<BufferObject>(parentId, Q_IMAGE);
  if (parent == nullptr) return 0;
  if (parent->memory == nullptr) {
    BoardTarget target = BoardTargetOf(parent);
    if (target.system == nullptr) return 0;
    QINT64 index = 0;
    Command command = BufferCommand(zor::hostcommand::kBufChildBand, target);
    command.Integer(band).Integer(offsetX).Integer(offsetY).Integer(sizeX).Integer(sizeY).Slot(
        QD_TYPE_ADDRESS, reinterpret_cast<int64_t>(&index), reinterpret_cast<int64_t>(&index));
    const QID id = RunBufferCommand(target.system, command, index, parent->id);
    if (out != nullptr) *out = id;
    return id;
  }
  HostError error;
  std::unique_ptr<HostBuffer> memory =
      parent->memory->Child(band, offsetX, offsetY, sizeX, sizeY, &error);
  if (memory == nullptr) {
    RecordError(std::move(error));
    return 0;
  }
  const QID id = ObjectRegistry::Instance().Add(
      std::make_shared<BufferObject>(parent->owner, std::move(memory), parent->id));
  ThreadContext& thread = CurrentThread();
  if (thread.capturedBuffer != nullptr && *thread.capturedBuffer == 0) *thread.capturedBuffer = id;
  if (out != nullptr) *out = id;
  return id;
}

void CopyBuffers(QID sourceId, QID destinationId, const CopyRegion& region) {
  auto source = Lookup<BufferObject>(sourceId, Q_IMAGE);
  auto destination = source != nullptr ? Lookup<BufferObject>(destinationId, Q_IMAGE) : nullptr;
  if (destination == nullptr) return;
  const bool driverCopies = DriverCopies(source, destination, region.opcode, [&](Command& command) {
    for (QINT64 word : region.words) command.Integer(word);
  });
  if (driverCopies) return;
  auto from = BufferWithMemory(sourceId);
  auto to = BufferWithMemory(destinationId);
  if (from == nullptr || to == nullptr) return;
  QINT64 w = std::min(from->memory->SizeX(), to->memory->SizeX());
  QINT64 h = std::min(from->memory->SizeY(), to->memory->SizeY());
  switch (region.opcode) {
    case zor::hostcommand::kBufCopyClip: {
      const QINT64 x = region.words[0];
      const QINT64 y = region.words[1];
      w = std::min(to->memory->SizeX() - x, from->memory->SizeX());
      h = std::min(to->memory->SizeY() - y, from->memory->SizeY());
      if (w > 0 && h > 0) TransferBuffer(sourceId, destinationId, 0, 0, w, h, -1, x, y, w, h, -1);
      return;
    }
    case zor::hostcommand::kBufCopyRegion: {
      const std::vector<QINT64>& a = region.words;
      auto band = [](QINT64 b) { return b == 8 ? 0 : b == 16 ? 1 : b == 32 ? 2 : b; };
      TransferBuffer(sourceId, destinationId, a[1], a[2], a[6], a[7], band(a[0]), a[4], a[5], a[6],
                     a[7], band(a[3]));
      return;
    }
    default:
      TransferBuffer(sourceId, destinationId, 0, 0, w, h, -1, 0, 0, w, h, -1);
  }
}

void FreeBuffer(QID id) {
  auto buffer = Lookup<BufferObject>(id, Q_IMAGE);
  if (buffer == nullptr) return;
  BoardTarget target = BoardTargetOf(buffer);
  if (target.system != nullptr) {
    Command command = BufferCommand(zor::hostcommand::kBufFree, target);
    Execute(*target.system, command);
  }
  FreeObject(buffer);
}

QINT64 InquireBuffer(QID id, QINT64 type, void* out) {
  auto buffer = Lookup<BufferObject>(id, Q_IMAGE);
  if (buffer == nullptr) return 0;
  QINT64 answer = 0;
  if (AnswerAnyBuffer(buffer, type, out, &answer)) return answer;
  if (buffer->memory != nullptr) {
    if (AnswerMemory(*buffer->memory, type, out, &answer)) return answer;
    RecordError(Q_ERR_NOT_SUPPORTED,
                L"Inquire type " + std::to_wstring(type) + L" is not supported.");
    return 0;
  }
  BoardTarget target = BoardTargetOf(buffer);
  if (target.system == nullptr) return 0;
  AnswerRoom room;
  Command command = BufferCommand(zor::hostcommand::kBufInquire, target);
  command.Integer(type).Address(room.For(out));
  return Execute(*target.system, command) ? room.Result(out) : 0;
}

void ControlBuffer(QID id, QINT64 type, QINT64 value) { ControlBufferValue(id, type, value); }

void ControlBufferDouble(QID id, QINT64 type, double value) { ControlBufferValue(id, type, value); }

std::shared_ptr<BufferObject> BoardBufferOf(std::shared_ptr<BufferObject> buffer) {
  if (buffer == nullptr || buffer->boardBuffer == 0) return buffer;
  auto board =
      std::dynamic_pointer_cast<BufferObject>(ObjectRegistry::Instance().Find(buffer->boardBuffer));
  return board != nullptr ? board : buffer;
}

std::shared_ptr<BufferObject> BufferWithMemory(QID id) {
  auto buffer = Lookup<BufferObject>(id, Q_IMAGE);
  if (buffer == nullptr || buffer->memory != nullptr) return buffer;
  return BufferWithMemory(buffer->backing);
}

void GetBufferRegion(QID id, QINT64 band, QINT64 x, QINT64 y, QINT64 w, QINT64 h, void* data) {
  auto buffer = Lookup<BufferObject>(id, Q_IMAGE);
  if (buffer == nullptr) return;
  HostError error;
  if (buffer->memory != nullptr) {
    if (!buffer->memory->GetRegion(band, x, y, w, h, data, &error)) RecordError(error);
    return;
  }
  TransferBoardRegion(buffer, zor::hostcommand::kBufGetRegion, zor::hostcommand::kBufGetBandRegion,
                      band, x, y, w, h, data);
}

void PutBufferRegion(QID id, QINT64 band, QINT64 x, QINT64 y, QINT64 w, QINT64 h,
                     const void* data) {
  auto buffer = Lookup<BufferObject>(id, Q_IMAGE);
  if (buffer == nullptr) return;
  HostError error;
  if (buffer->memory != nullptr) {
    if (!buffer->memory->PutRegion(band, x, y, w, h, data, &error)) RecordError(error);
    return;
  }
  TransferBoardRegion(buffer, zor::hostcommand::kBufPutRegion, zor::hostcommand::kBufPutBandRegion,
                      band, x, y, w, h, data);
}

void ClearBuffer(QID id, double value) {
  auto buffer = BufferWithMemory(id);
  if (buffer != nullptr) buffer->memory->Clear(value);
}

QINT64 ExportBuffer(const wchar_t* fileName, QINT64 format, QID id) {
  if (fileName == nullptr) {
    RecordError(Q_ERR_NULL_POINTER, L"No file name.");
    return 0;
  }
  if (format != Q_RAW) {
    RecordError(Q_ERR_NOT_SUPPORTED, L"Unknown export format.");
    return 0;
  }
  auto buffer = BufferWithMemory(id);
  if (buffer == nullptr) return 0;
  std::string problem;
  if (!buffer->memory->ExportRaw(os::WideToUtf8(fileName), &problem)) {
    RecordError(Q_ERR_FILE, L"Cannot write " + std::wstring(fileName), os::Utf8ToWide(problem));
    return 0;
  }
  return 1;
}

QINT64 TransferBuffer(QID sourceId, QID destinationId, QINT64 x, QINT64 y, QINT64 w, QINT64 h,
                      QINT64 band, QINT64 destX, QINT64 destY, QINT64 destW, QINT64 destH,
                      QINT64 destBand) {
  auto source = BufferWithMemory(sourceId);
  auto destination = source != nullptr ? BufferWithMemory(destinationId) : nullptr;
  if (destination == nullptr) return 0;
  // A smaller destination takes every (w / destW)-th column and (h / destH)-th row.
  const QINT64 stepX = destW > 0 ? w / destW : 0;
  const QINT64 stepY = destH > 0 ? h / destH : 0;
  if (stepX < 1 || stepY < 1 || w > source->memory->SizeX() || h > source->memory->SizeY() ||
      source->memory->BytesPerPixel() != destination->memory->BytesPerPixel() ||
      (band < 0) != (destBand < 0) ||
      (band < 0 && source->memory->Bands() != destination->memory->Bands())) {
    RecordError(Q_ERR_NOT_SUPPORTED, L"The transfer would need a conversion.");
    return 0;
  }
  const QINT64 bands = band < 0 ? source->memory->Bands() : 1;
  const auto pixelBytes = static_cast<size_t>(source->memory->BytesPerPixel());
  std::vector<std::byte> pixels(static_cast<size_t>(w * h * bands) * pixelBytes);
  HostError error;
  if (!source->memory->GetRegion(band, x, y, w, h, pixels.data(), &error)) {
    RecordError(error);
    return 0;
  }
  if (stepX != 1 || stepY != 1) {
    std::vector<std::byte> scaled(static_cast<size_t>(destW * destH * bands) * pixelBytes);
    std::byte* out = scaled.data();
    for (QINT64 b = 0; b < bands; ++b) {
      for (QINT64 row = 0; row < destH; ++row) {
        const std::byte* in =
            pixels.data() + static_cast<size_t>((b * h + row * stepY) * w) * pixelBytes;
        for (QINT64 column = 0; column < destW; ++column, out += pixelBytes) {
          std::copy_n(in + static_cast<size_t>(column * stepX) * pixelBytes, pixelBytes, out);
        }
      }
    }
    pixels = std::move(scaled);
  }
  if (!destination->memory->PutRegion(destBand, destX, destY, destW, destH, pixels.data(),
                                      &error)) {
    RecordError(error);
    return 0;
  }
  return 1;
}

void TransferBuffers(QID sourceId, QID destinationId, const TransferArgs& t) {
  auto source = Lookup<BufferObject>(sourceId, Q_IMAGE);
  auto destination = source != nullptr ? Lookup<BufferObject>(destinationId, Q_IMAGE) : nullptr;
  if (destination == nullptr) return;
  // A record has fourteen slots: the last three arguments travel as one array.
  const std::array<QINT64, 3> last = {t.transferType, t.operationFlag,
                                      reinterpret_cast<QINT64>(t.extra)};
  const bool driverCopies =
      DriverCopies(source, destination, zor::hostcommand::kBufTransfer, [&](Command& command) {
        for (QINT64 word : {t.x, t.y, t.w, t.h, t.band, t.destX, t.destY, t.destW, t.destH,
                            t.destBand, t.function}) {
          command.Integer(word);
        }
        command.Array(QD_TYPE_INT64, last.data(), static_cast<int64_t>(last.size()));
      });
  if (driverCopies) return;
  TransferBuffer(sourceId, destinationId, t.x, t.y, t.w, t.h, t.band, t.destX, t.destY, t.destW,
                 t.destH, t.destBand);
}

}  // namespace zorhost
