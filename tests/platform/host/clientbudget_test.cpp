// The clients' memory of one server: who is refused when it runs short, and that the total never
// passes the budget, whichever clients come, take, give back and go.
#include "platform/host/clientbudget.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

namespace zorhost {
namespace {

using Refusal = ClientBudget::Share::Refusal;

// 4 slots of 125 bytes each, 500 bytes lent.
constexpr size_t kBudget = 1000;
constexpr size_t kClients = 4;
constexpr size_t kOwn = 125;
constexpr size_t kLent = 500;

TEST(ClientBudget, TheClientThatWouldPassTheBudgetIsTheOneRefused) {
  auto budget = std::make_shared<ClientBudget>(kBudget, kClients, kBudget);
  auto greedy = budget->Join();
  auto other = budget->Join();
  auto polite = budget->Join();
  // The greedy client takes its part and all that is lent; the next byte is refused.
  EXPECT_EQ(greedy->TakeReply(kOwn + kLent), Refusal::kNone);
  EXPECT_EQ(greedy->TakeReply(1), Refusal::kServerFull);
  EXPECT_EQ(other->TakeReply(kOwn + 1), Refusal::kServerFull);
  // Within their parts the others are served, replies and requests alike, up to the budget.
  EXPECT_EQ(other->TakeReply(kOwn), Refusal::kNone);
  EXPECT_TRUE(polite->TakeRequest(kOwn, [] {}));
  EXPECT_EQ(budget->HeldBytes(), kOwn + kLent + 2 * kOwn);
  auto late = budget->Join();
  EXPECT_EQ(late->TakeReply(kOwn), Refusal::kNone);
  EXPECT_EQ(budget->HeldBytes(), kBudget);
  EXPECT_EQ(budget->MostHeldBytes(), kBudget);
  // What the greedy one gives back is lent again; what it held goes back when it ends.
  greedy->GiveReply(kLent);
  EXPECT_EQ(other->TakeReply(kLent), Refusal::kNone);
  other->GiveReply(kLent);
  greedy->End();
  EXPECT_EQ(budget->HeldBytes(), 3 * kOwn);
  EXPECT_EQ(greedy->TakeReply(1), Refusal::kServerFull);
  EXPECT_FALSE(greedy->TakeRequest(1, [] {}));

  // Unread replies stay within their bound, up to its last byte; a lone reply may pass it.
  auto reader = std::make_shared<ClientBudget>(kBudget, kClients, 100)->Join();
  EXPECT_EQ(reader->TakeReply(150), Refusal::kNone);
  EXPECT_EQ(reader->TakeReply(1), Refusal::kUnreadReplies);
  reader->GiveReply(150);
  EXPECT_EQ(reader->TakeReply(60), Refusal::kNone);
  EXPECT_EQ(reader->TakeReply(40), Refusal::kNone);
  EXPECT_EQ(reader->TakeReply(1), Refusal::kUnreadReplies);
}

// Room that another client gives back wakes a reader that found none, once.
TEST(ClientBudget, AReaderWaitingForRoomIsWokenWhenBytesComeBack) {
  auto budget = std::make_shared<ClientBudget>(kBudget, kClients, kBudget);
  auto holder = budget->Join();
  auto reader = budget->Join();
  ASSERT_EQ(holder->TakeReply(kOwn + kLent), Refusal::kNone);
  int woken = 0;
  EXPECT_FALSE(reader->TakeRequest(kOwn + 1, [&woken] { ++woken; }));
  EXPECT_EQ(woken, 0);
  holder->GiveReply(1);
  EXPECT_EQ(woken, 1);
  EXPECT_TRUE(reader->TakeRequest(kOwn + 1, [&woken] { ++woken; }));
  holder->End();
  EXPECT_EQ(woken, 1) << "woken again without waiting";
}

// Clients on threads of their own take and give at random: the total stays within the budget,
// and everything comes back once they end.
TEST(ClientBudget, TheTotalNeverPassesTheBudget) {
  auto budget = std::make_shared<ClientBudget>(kBudget, kClients, 400);
  std::vector<std::thread> clients;
  std::atomic<int> refused{0};
  for (size_t i = 0; i < kClients; ++i) {
    clients.emplace_back([&budget, &refused, i] {
      auto share = budget->Join();
      std::mt19937 random(static_cast<unsigned>(i));
      std::vector<std::pair<size_t, bool>> held;
      for (int step = 0; step < 20000; ++step) {
        const size_t bytes = random() % 200;
        if (!held.empty() && random() % 2 == 0) {
          const auto [given, reply] = held.back();
          held.pop_back();
          reply ? share->GiveReply(given) : share->GiveRequest(given);
        } else if (random() % 2 == 0) {
          if (share->TakeReply(bytes) == Refusal::kNone) {
            held.emplace_back(bytes, true);
          } else {
            ++refused;
          }
        } else if (share->TakeRequest(bytes, [] {})) {
          held.emplace_back(bytes, false);
        } else {
          ++refused;
        }
        ASSERT_LE(budget->HeldBytes(), kBudget);
      }
      share->End();
    });
  }
  for (auto& client : clients) client.join();
  EXPECT_GT(refused.load(), 0) << "the budget was never reached";
  EXPECT_LE(budget->MostHeldBytes(), kBudget);
  EXPECT_EQ(budget->HeldBytes(), 0u);
  EXPECT_NE(budget->Join(), nullptr);
}

}  // namespace
}  // namespace zorhost
