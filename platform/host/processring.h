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

  // The ring of the buffers in processing order; null when one of them is not a buffer.
  static std::shared_ptr<const ProcessRing> Make(const DigitizerObject& digitizer,
                                                 const QID* buffers, QINT64 count);
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
  // The digitizer's ring for its new run, or none (the digitizer goes); the
  // previous ring's events leave the registry, and a thread that still keeps
  // that ring does not find it again.
  static void Install(DigitizerObject& digitizer, std::shared_ptr<const ProcessRing> ring);

 private:
  ProcessRing() = default;
  const Entry* EntryOf(QID memory) const;
  void RemoveEvents() const;

  std::vector<Entry> entries_;  // sorted by memory
  QHOOK_FUNCTION function_ = nullptr;
  void* user_ = nullptr;
};

}  // namespace zorhost
