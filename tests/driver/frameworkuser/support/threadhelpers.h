// Helpers that run test code on other threads.
#pragma once

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace zor::frame {

inline void RunOnNewThread(const std::function<void()>& body) { std::thread(body).join(); }

// Runs body on count threads that start together.
inline void RunTogether(int count, const std::function<void(int)>& body) {
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < count; ++i) {
    threads.emplace_back([&, i] {
      ready.fetch_add(1);
      while (ready.load() < count) std::this_thread::yield();
      body(i);
    });
  }
  for (std::thread& thread : threads) thread.join();
}

}  // namespace zor::frame
