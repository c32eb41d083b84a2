// Digitizers and buffers. A digitizer always belongs to a board system; a buffer either holds
// host memory or, on a board system, stands for the driver's buffer at `driverIndex`, whose
// memory is the host buffer that the driver made for it (`backing`).
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/host/hostbuffer.h"
#include "platform/host/hostobject.h"

namespace zorhost {

class ProcessRing;

struct DigitizerObject : HostObject {
  DigitizerObject(QID system, int64_t index)
      : HostObject(Q_DIGITIZER, system), driverIndex(index) {}
  const int64_t driverIndex;
  // The processing function of the running QdigProcess.
  std::atomic<QHOOK_FUNCTION> processFunction{nullptr};
  std::atomic<void*> processUser{nullptr};

  // The buffers of the QdigProcess that runs, or of the start the driver has not answered yet
  // (processring.h, which changes it).
  std::shared_ptr<const ProcessRing> Ring() const {
    std::lock_guard lock(ringMutex_);
    return ring_;
  }

 private:
  friend class ProcessRing;
  // Guards the ring, the rings it replaced and the withdrawn ones (ProcessRing::Install and
  // Settle); a leaf.
  mutable std::mutex ringMutex_;
  std::shared_ptr<const ProcessRing> ring_;
  // Refused starts' rings that a thread may still deliver from: their events go with the next
  // run that starts, or with the digitizer.
  std::vector<std::weak_ptr<const ProcessRing>> withdrawn_;
};

struct BufferObject : HostObject {
  BufferObject(QID system, std::unique_ptr<HostBuffer> hostMemory, QID parentId)
      : HostObject(Q_IMAGE, system), memory(std::move(hostMemory)), parent(parentId) {}
  BufferObject(QID system, int64_t index, QID backingId, QID parentId = 0)
      : HostObject(Q_IMAGE, system), parent(parentId), driverIndex(index), backing(backingId) {}

  const std::unique_ptr<HostBuffer> memory;
  const QID parent = 0;
  const int64_t driverIndex = 0;
  const QID backing = 0;
  std::atomic<QID> boardBuffer{0};  // for a backing: the board buffer whose memory it is
  std::atomic<QID> processDigitizer{0};
  std::atomic<QINT64> processIndex{0};  // position in the running QdigProcess's list
};

}  // namespace zorhost
