// The buffers of a running QdigProcess, resolved once when the run starts: for
// each, the memory the driver names when it tells of a frame, the buffer the
// application knows, and the hook event that the processing function gets,
// registered for as long as the run. A frame's notice, and the driver's notes
// on the memory while it is delivered, then need no registry look-up.
#pragma once

#include <memory>
#include <vector>

#include "platform/host/boardobjects.h"

namespace zorhost {

class ProcessRing {
 public:
  struct Entry {
    QID memory = 0;                              // what the driver names
    std::shared_ptr<BufferObject> memoryObject;  // null when the registry had none
    std::shared_ptr<BufferObject> buffer;
    QID event = 0;
    const ProcessRing* ring = nullptr;
  };

  // The ring of the buffers in processing order, for the processing function; null when one of
  // them is not a buffer.
  static std::shared_ptr<const ProcessRing> Make(const QID* buffers, QINT64 count,
                                                 QHOOK_FUNCTION function, void* user);
  ~ProcessRing();
  ProcessRing(const ProcessRing&) = delete;
  ProcessRing& operator=(const ProcessRing&) = delete;

  QHOOK_FUNCTION Function() const { return function_; }
  void* User() const { return user_; }

  // The entry of the calling thread's current ring for the memory, or null; valid
  // until the thread's next Find. The thread keeps the ring it found last while no
  // ring was installed and no object left the registry since.
  static const Entry* Find(QID memory);
  // The entry of the ring the calling thread keeps, while that ring is current;
  // unlike Find it never looks further nor changes what the thread keeps.
  static const Entry* Cached(QID memory);
  // A start's ring, installed before the driver answers, so that the run's first frames find it;
  // a thread that keeps the ring it replaces does not find that ring again. Settle follows once
  // the driver answered: a ring the driver refused (a run is active) gives way to the one it
  // replaced, or to the last one before that the driver did not refuse, with its function.
  static void Install(DigitizerObject& digitizer, const std::shared_ptr<const ProcessRing>& ring);
  static void Settle(DigitizerObject& digitizer, const std::shared_ptr<const ProcessRing>& ring,
                     bool taken);
  // The digitizer goes: its ring's events leave the registry with it. The events of rings it
  // replaced go with those rings, which threads that delivered from them may keep a while.
  static void Remove(DigitizerObject& digitizer);

 private:
  ProcessRing() = default;
  const Entry* EntryOf(QID memory) const;
  void RemoveEvents() const;
  // The events of the ring and of the rings it replaced (or only of those the driver refused,
  // up to the first it did not); under the digitizer's ring mutex.
  void RemoveChain(bool refusedOnly) const;
  // The events of the digitizer's withdrawn rings; under its ring mutex.
  static void RemoveWithdrawn(DigitizerObject& digitizer);

  std::vector<Entry> entries_;  // sorted by memory
  QHOOK_FUNCTION function_ = nullptr;
  void* user_ = nullptr;
  // Under the digitizer's ring mutex: the ring this start's replaced, kept until the driver
  // answered (or, for a refused ring, as long as it is), and whether the driver refused it.
  mutable std::shared_ptr<const ProcessRing> replaced_;
  mutable bool refused_ = false;
};

}  // namespace zorhost
