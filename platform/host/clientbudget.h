// The memory that the browser clients of one server hold together (replies queued for them and
// requests read from them) and the number of clients. Half of the memory is shared out evenly
// among the client slots, so that a client that reads its replies always has room; the other
// half is lent to clients that hold more. A client that would need more than is left is the
// one refused, never one within its own part.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace zorhost {

class ClientBudget : public std::enable_shared_from_this<ClientBudget> {
 public:
  class Share;

  // `bytes` for all clients together, at most `clients` of them, each with at most
  // `unreadReplyBytes` of replies queued (a single larger reply passes when none is queued).
  ClientBudget(size_t bytes, size_t clients, size_t unreadReplyBytes);

  // A new client's part, or null when the server has its most clients already.
  std::shared_ptr<Share> Join();
  // What the clients hold now, and the most they held at once.
  size_t HeldBytes() const;
  size_t MostHeldBytes() const;

 private:
  // Under the lock: the bytes lent beyond the clients' own parts once `held` becomes `after`.
  size_t BorrowedAfter(size_t held, size_t after) const;
  // Under the lock; false when the lent half has no room for it.
  bool Move(size_t held, size_t after);
  void Wake(std::unique_lock<std::mutex> lock);

  mutable std::mutex mutex_;
  const size_t clients_;
  const size_t unreadReplyBytes_;
  const size_t own_;   // each slot's part
  const size_t lent_;  // what all clients together may hold beyond their parts
  size_t joined_ = 0;
  size_t held_ = 0;
  size_t most_ = 0;
  size_t borrowed_ = 0;
  std::vector<std::function<void()>> waiting_;
};

// One client's part. Its bytes and its slot go back when it ends.
class ClientBudget::Share {
 public:
  enum class Refusal { kNone, kUnreadReplies, kServerFull };

  ~Share() { End(); }
  Share(const Share&) = delete;
  Share& operator=(const Share&) = delete;

  // A reply about to be queued. Refused past the client's own bound of unread replies, or when
  // the budget has no room for it; after the end always (kServerFull).
  Refusal TakeReply(size_t bytes);
  // Room for request bytes about to be read. When there is none, `whenRoom` runs once, on the
  // thread that gives bytes back, after some came back; it must not block.
  bool TakeRequest(size_t bytes, std::function<void()> whenRoom);
  void GiveReply(size_t bytes);
  void GiveRequest(size_t bytes);
  void End();

 private:
  friend class ClientBudget;
  explicit Share(std::shared_ptr<ClientBudget> budget) : budget_(std::move(budget)) {}
  void Give(size_t bytes, size_t replies);

  const std::shared_ptr<ClientBudget> budget_;
  size_t held_ = 0;     // under the budget's lock, as the rest
  size_t replies_ = 0;  // of held_
  bool ended_ = false;
};

}  // namespace zorhost
