#include "platform/host/processring.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>

namespace zorhost {

namespace {

constexpr QINT64 kProcessIndex = 0x401B0000;  // the buffer's place in the processing list

// Counts the rings installed, so that a thread may keep the ring it found while the count stays.
std::atomic<uint64_t> g_installed{0};

struct ThreadRing {
  std::shared_ptr<const ProcessRing> ring;
  uint64_t installed = 0;
  uint64_t generation = 0;
};

ThreadRing& CurrentRing() {
  thread_local ThreadRing current;
  return current;
}

}  // namespace

std::shared_ptr<const ProcessRing> ProcessRing::Make(const QID* buffers, QINT64 count,
                                                     QHOOK_FUNCTION function, void* user) {
  std::shared_ptr<ProcessRing> ring(new ProcessRing);
  ring->function_ = function;
  ring->user_ = user;
  for (QINT64 i = 0; i < count; ++i) {
    auto buffer =
        std::dynamic_pointer_cast<BufferObject>(ObjectRegistry::Instance().Find(buffers[i]));
    if (buffer == nullptr) return nullptr;
    auto event = std::make_shared<HostObject>(Q_HOOK_EVENT, buffer->owner);
    event->settings.Set(Q_OBJECT_ID, buffer->id);
    event->settings.Set(kProcessIndex, i);
    const QID memoryId = buffer->backing != 0 ? buffer->backing : buffer->id;
    auto memory = buffer->backing != 0 ? std::dynamic_pointer_cast<BufferObject>(
                                             ObjectRegistry::Instance().Find(buffer->backing))
                                       : buffer;
    ring->entries_.push_back({memoryId, std::move(memory), std::move(buffer),
                              ObjectRegistry::Instance().Add(event), ring.get()});
  }
  std::sort(ring->entries_.begin(), ring->entries_.end(),
            [](const Entry& a, const Entry& b) { return a.memory < b.memory; });
  return ring;
}

ProcessRing::~ProcessRing() { RemoveEvents(); }

const ProcessRing::Entry* ProcessRing::EntryOf(QID memory) const {
  auto entry = std::lower_bound(entries_.begin(), entries_.end(), memory,
                                [](const Entry& e, QID m) { return e.memory < m; });
  return entry != entries_.end() && entry->memory == memory ? &*entry : nullptr;
}

const ProcessRing::Entry* ProcessRing::Cached(QID memory) {
  const ThreadRing& current = CurrentRing();
  if (current.ring == nullptr || current.installed != g_installed.load(std::memory_order_acquire) ||
      current.generation != ObjectRegistry::Instance().Generation()) {
    return nullptr;
  }
  return current.ring->EntryOf(memory);
}

const ProcessRing::Entry* ProcessRing::Find(QID memory) {
  ThreadRing& current = CurrentRing();
  // Read before the look-up: a ring installed or an object removed after it makes it stale.
  const uint64_t installed = g_installed.load(std::memory_order_acquire);
  const uint64_t generation = ObjectRegistry::Instance().Generation();
  if (current.ring != nullptr && current.installed == installed &&
      current.generation == generation) {
    if (const Entry* entry = current.ring->EntryOf(memory)) return entry;
  }
  auto found = std::dynamic_pointer_cast<BufferObject>(ObjectRegistry::Instance().Find(memory));
  if (found == nullptr) return nullptr;
  const QID board = found->boardBuffer;
  auto buffer =
      board != 0 ? std::dynamic_pointer_cast<BufferObject>(ObjectRegistry::Instance().Find(board))
                 : found;
  if (buffer == nullptr) return nullptr;
  auto digitizer = std::dynamic_pointer_cast<DigitizerObject>(
      ObjectRegistry::Instance().Find(buffer->processDigitizer));
  std::shared_ptr<const ProcessRing> ring = digitizer != nullptr ? digitizer->Ring() : nullptr;
  const Entry* entry = ring != nullptr ? ring->EntryOf(memory) : nullptr;
  // Only a ring that serves the buffer is kept: it is the one the next frames need.
  if (entry != nullptr && entry->buffer == buffer) {
    current = {std::move(ring), installed, generation};
    return entry;
  }
  return nullptr;
}

void ProcessRing::Install(DigitizerObject& digitizer,
                          const std::shared_ptr<const ProcessRing>& ring) {
  std::lock_guard lock(digitizer.ringMutex_);
  ring->replaced_ = std::exchange(digitizer.ring_, ring);
  digitizer.processFunction = ring->function_;
  digitizer.processUser = ring->user_;
  // Counted after the swap: a thread that saw the count before it looks again.
  g_installed.fetch_add(1, std::memory_order_acq_rel);
}

void ProcessRing::Settle(DigitizerObject& digitizer, const std::shared_ptr<const ProcessRing>& ring,
                         bool taken) {
  std::lock_guard lock(digitizer.ringMutex_);
  if (taken) {
    // The runs before are over: their rings' events go.
    if (const auto replaced = std::exchange(ring->replaced_, nullptr)) replaced->RemoveChain(false);
    RemoveWithdrawn(digitizer);
    return;
  }
  ring->refused_ = true;
  // Another start came since: its own answer decides.
  if (digitizer.ring_ != ring) return;
  std::shared_ptr<const ProcessRing> back = ring->replaced_;
  while (back != nullptr && back->refused_) back = back->replaced_;
  digitizer.processFunction = back != nullptr ? back->function_ : nullptr;
  digitizer.processUser = back != nullptr ? back->user_ : nullptr;
  digitizer.ring_ = std::move(back);
  g_installed.fetch_add(1, std::memory_order_acq_rel);
  std::erase_if(digitizer.withdrawn_, [](const auto& kept) { return kept.expired(); });
  digitizer.withdrawn_.push_back(ring);
}

void ProcessRing::Remove(DigitizerObject& digitizer) {
  std::lock_guard lock(digitizer.ringMutex_);
  if (const auto previous = std::exchange(digitizer.ring_, nullptr)) previous->RemoveChain(false);
  RemoveWithdrawn(digitizer);
  g_installed.fetch_add(1, std::memory_order_acq_rel);
}

void ProcessRing::RemoveChain(bool refusedOnly) const {
  for (const ProcessRing* ring = this; ring != nullptr && (ring->refused_ || !refusedOnly);
       ring = ring->replaced_.get()) {
    ring->RemoveEvents();
  }
}

void ProcessRing::RemoveWithdrawn(DigitizerObject& digitizer) {
  // The rings they replaced that the driver did not refuse are not theirs to end.
  for (const auto& kept : std::exchange(digitizer.withdrawn_, {})) {
    if (const auto ring = kept.lock()) ring->RemoveChain(true);
  }
}

void ProcessRing::RemoveEvents() const {
  for (const Entry& entry : entries_) ObjectRegistry::Instance().Remove(entry.event);
}

}  // namespace zorhost
