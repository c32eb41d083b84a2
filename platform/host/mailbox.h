// A mailbox: a queue of tagged messages between the parts of a process.
#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/host/hosterror.h"
#include "platform/host/hostobject.h"

namespace zorhost {

class Mailbox : public HostObject {
 public:
  explicit Mailbox(QID owner) : HostObject(Q_MAILBOX, owner) {}

  void SetLimit(QINT64 limit);
  // False with `error` filled when the queue is full.
  bool Write(const void* data, QINT64 length, QINT64 tag, HostError* error);
  // With no buffer given, tells the size of the first message; otherwise takes it out when it
  // fits (an empty message fits a buffer of size 0). Returns the size of the message (0: none
  // waiting).
  QINT64 Read(void* data, QINT64 size, QINT64* tag, HostError* error);

  struct Message {
    std::vector<std::byte> body;
    QINT64 tag;
  };
  // Takes the first message out, empty ones included.
  std::optional<Message> Take();

 private:
  std::mutex mutex_;
  std::deque<Message> queue_;
  size_t limit_ = 0;  // 0: no limit
};

}  // namespace zorhost
