// A browser program's side of the feature-browser protocol, through libZOR.so alone: it
// announces itself, finds the mailboxes that a system made for it by their names, writes
// requests and collects what the server writes back.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/host/hostservices.h"
#include "tests/support/mailboxmessage.h"

namespace genicamtest {

struct Message {
  QINT64 tag = 0;
  std::string body;

  bool operator==(const Message&) const = default;
};

inline void PrintTo(const Message& message, std::ostream* out) {
  *out << message.tag << " " << message.body;
}

class TestBrowserClient {
 public:
  TestBrowserClient() : id_(HostAppClientConnect(Q_DEFAULT)) {}
  ~TestBrowserClient() {
    Unhook();
    if (connected_) HostAppClientDisconnect(Q_DEFAULT, id_);
  }
  TestBrowserClient(const TestBrowserClient&) = delete;
  TestBrowserClient& operator=(const TestBrowserClient&) = delete;

  QINT64 Id() const { return id_; }

  // Picks up the pair of the system; false when the system made none.
  bool Attach(const std::wstring& systemName) {
    Unhook();
    toServer_ = FindMailbox(systemName + L":FBClientToServer:" + std::to_wstring(id_));
    toClient_ = FindMailbox(systemName + L":FBServerToClient:" + std::to_wstring(id_));
    if (toServer_ == 0 || toClient_ == 0) return false;
    HostObjHookFunction(toClient_, Q_MAILBOX_MESSAGE, &OnMessage, this);
    return true;
  }

  void Send(QINT64 tag, const std::string& body) {
    HostObjMessageWrite(toServer_, body.data(), static_cast<QINT64>(body.size()), tag, Q_DEFAULT);
  }

  // Everything received so far, oldest first.
  std::vector<Message> Take() {
    std::lock_guard lock(mutex_);
    std::vector<Message> all(received_.begin(), received_.end());
    received_.clear();
    return all;
  }

  // The next message of the tag, dropping others before it; empty after a long wait.
  std::optional<Message> WaitFor(QINT64 tag) {
    std::unique_lock lock(mutex_);
    std::optional<Message> found;
    arrived_.wait_for(lock, std::chrono::seconds(10), [&] {
      while (!received_.empty()) {
        Message first = std::move(received_.front());
        received_.pop_front();
        if (first.tag == tag) {
          found = std::move(first);
          return true;
        }
      }
      return false;
    });
    return found;
  }

  void Leave() {
    Unhook();
    HostAppClientDisconnect(Q_DEFAULT, id_);
    connected_ = false;
  }

  // The next message ends the client from inside its hook, on the thread that wrote it, as a
  // browser's connection ends when a write to it fails.
  void LeaveOnNextMessage() { leaveOnMessage_ = true; }

  static QID FindMailbox(const std::wstring& name) {
    for (QID id : Mailboxes()) {
      QINT64 length = 0;
      HostObjInquire(id, Q_OBJECT_NAME + Q_STRING_SIZE, &length);
      std::wstring text(static_cast<size_t>(length), L'\0');
      if (length > 0) HostObjInquire(id, Q_OBJECT_NAME, text.data());
      if (length > 0) text.resize(static_cast<size_t>(length - 1));
      if (text == name) return id;
    }
    return 0;
  }

 private:
  static QINT64 OnMessage(QINT64, QID event, void* user) {
    auto* self = static_cast<TestBrowserClient*>(user);
    QID mailbox = 0;
    HostObjGetHookInfo(event, Q_OBJECT_ID, &mailbox);
    auto [tag, body] = testsupport::TakeMailboxMessage(mailbox);
    {
      std::lock_guard lock(self->mutex_);
      self->received_.push_back({tag, std::move(body)});
      self->arrived_.notify_all();
    }
    if (self->leaveOnMessage_.exchange(false)) {
      self->connected_ = false;
      HostAppClientDisconnect(Q_DEFAULT, self->id_);
    }
    return 0;
  }

  static std::vector<QID> Mailboxes() {
    const QINT64 count = HostAppListObjects(Q_DEFAULT, 20, Q_MAILBOX, 0, nullptr);
    std::vector<QID> ids(static_cast<size_t>(count), 0);
    HostAppListObjects(Q_DEFAULT, 15, Q_MAILBOX, count, ids.data());
    return ids;
  }

  void Unhook() {
    const std::vector<QID> ids = Mailboxes();
    if (toClient_ != 0 && std::find(ids.begin(), ids.end(), toClient_) != ids.end())
      HostObjHookFunction(toClient_, Q_MAILBOX_MESSAGE + Q_UNHOOK, &OnMessage, this);
    toClient_ = 0;
  }

  QINT64 id_;
  std::atomic<bool> connected_{true};
  std::atomic<bool> leaveOnMessage_{false};
  QID toServer_ = 0;
  QID toClient_ = 0;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Message> received_;
};

}  // namespace genicamtest
