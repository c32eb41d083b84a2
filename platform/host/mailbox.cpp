#include "platform/host/mailbox.h"

#include <cstring>

namespace zorhost {

void Mailbox::SetLimit(QINT64 limit) {
  std::lock_guard lock(mutex_);
  limit_ = limit > 0 && limit != Q_DEFAULT ? static_cast<size_t>(limit) : 0;
}

bool Mailbox::Write(const void* data, QINT64 length, QINT64 tag, HostError* error) {
  std::lock_guard lock(mutex_);
  if (limit_ != 0 && queue_.size() >= limit_) {
    *error = MakeHostError(Q_ERR_OUT_OF_MEMORY, L"The mailbox is full.");
    return false;
  }
  const auto* bytes = static_cast<const std::byte*>(data);
  queue_.push_back({std::vector<std::byte>(bytes, bytes + length), tag});
  return true;
}

QINT64 Mailbox::Read(void* data, QINT64 size, QINT64* tag, HostError* error) {
  std::lock_guard lock(mutex_);
  if (queue_.empty()) return 0;
  const Message& first = queue_.front();
  const auto length = static_cast<QINT64>(first.body.size());
  if (tag != nullptr) *tag = first.tag;
  // A buffer of size 0 takes an empty message out.
  if (data == nullptr) return length;
  if (size < length) {
    *error = MakeHostError(Q_ERR_INVALID_PARAMETER, L"The message does not fit the buffer.");
    return length;
  }
  if (length > 0) std::memcpy(data, first.body.data(), static_cast<size_t>(length));
  queue_.pop_front();
  return length;
}

std::optional<Mailbox::Message> Mailbox::Take() {
  std::lock_guard lock(mutex_);
  if (queue_.empty()) return std::nullopt;
  Message first = std::move(queue_.front());
  queue_.pop_front();
  return first;
}

}  // namespace zorhost
