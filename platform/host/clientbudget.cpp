#include "platform/host/clientbudget.h"

#include <algorithm>

namespace zorhost {

ClientBudget::ClientBudget(size_t bytes, size_t clients, size_t unreadReplyBytes)
    : clients_(std::max<size_t>(clients, 1)),
      unreadReplyBytes_(unreadReplyBytes),
      own_(bytes / clients_ / 2),
      lent_(bytes - own_ * clients_) {}

std::shared_ptr<ClientBudget::Share> ClientBudget::Join() {
  std::lock_guard lock(mutex_);
  if (joined_ >= clients_) return nullptr;
  ++joined_;
  return std::shared_ptr<Share>(new Share(shared_from_this()));
}

size_t ClientBudget::HeldBytes() const {
  std::lock_guard lock(mutex_);
  return held_;
}

size_t ClientBudget::MostHeldBytes() const {
  std::lock_guard lock(mutex_);
  return most_;
}

size_t ClientBudget::BorrowedAfter(size_t held, size_t after) const {
  const auto beyond = [this](size_t bytes) { return bytes > own_ ? bytes - own_ : 0; };
  return borrowed_ - beyond(held) + beyond(after);
}

// Every client holds at most its part plus what it borrowed, and the borrowed bytes stay within
// the lent half: the total never passes the budget, whichever clients come and go.
bool ClientBudget::Move(size_t held, size_t after) {
  const size_t borrowed = BorrowedAfter(held, after);
  if (after > held && borrowed > lent_) return false;
  borrowed_ = borrowed;
  held_ = held_ - held + after;
  most_ = std::max(most_, held_);
  return true;
}

void ClientBudget::Wake(std::unique_lock<std::mutex> lock) {
  std::vector<std::function<void()>> waiting;
  waiting.swap(waiting_);
  lock.unlock();
  for (auto& wake : waiting) wake();
}

ClientBudget::Share::Refusal ClientBudget::Share::TakeReply(size_t bytes) {
  std::lock_guard lock(budget_->mutex_);
  if (ended_) return Refusal::kServerFull;
  if (replies_ != 0 && replies_ + bytes > budget_->unreadReplyBytes_) {
    return Refusal::kUnreadReplies;
  }
  if (!budget_->Move(held_, held_ + bytes)) return Refusal::kServerFull;
  held_ += bytes;
  replies_ += bytes;
  return Refusal::kNone;
}

bool ClientBudget::Share::TakeRequest(size_t bytes, std::function<void()> whenRoom) {
  std::lock_guard lock(budget_->mutex_);
  if (ended_) return false;
  if (!budget_->Move(held_, held_ + bytes)) {
    budget_->waiting_.push_back(std::move(whenRoom));
    return false;
  }
  held_ += bytes;
  return true;
}

void ClientBudget::Share::GiveReply(size_t bytes) { Give(bytes, bytes); }

void ClientBudget::Share::GiveRequest(size_t bytes) { Give(bytes, 0); }

void ClientBudget::Share::Give(size_t bytes, size_t replies) {
  std::unique_lock lock(budget_->mutex_);
  if (ended_) return;
  budget_->Move(held_, held_ - bytes);
  held_ -= bytes;
  replies_ -= replies;
  budget_->Wake(std::move(lock));
}

void ClientBudget::Share::End() {
  std::unique_lock lock(budget_->mutex_);
  if (ended_) return;
  ended_ = true;
  budget_->Move(held_, 0);
  held_ = 0;
  replies_ = 0;
  --budget_->joined_;
  budget_->Wake(std::move(lock));
}

}  // namespace zorhost
