#include "platform/boardsim/deviceprovider.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "platform/boardsim/oseventport.h"

namespace boardsim {

namespace {

constexpr uint32_t kMaxBoards = 16;

uint32_t EnvironmentNumber(const char* name, uint32_t fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return fallback;
  char* end = nullptr;
  const unsigned long value = std::strtoul(text, &end, 0);
  return *end == '\0' ? static_cast<uint32_t>(value) : fallback;
}

class OwnBoards : public BoardSet {
 public:
  Board* Find(uint32_t unit) override {
    std::lock_guard lock(mutex_);
    const uint32_t count = std::min(EnvironmentNumber(kBoardCountVariable, 1), kMaxBoards);
    if (unit >= count) return nullptr;
    if (!boards_[unit]) {
      BoardConfig config;
      config.unit = unit;
      boards_[unit] = std::make_unique<Board>(config);
      boards_[unit]->SetFrameTime(EnvironmentNumber(kFrameTimeVariable, 0));
    }
    return boards_[unit].get();
  }

 private:
  std::mutex mutex_;
  std::unique_ptr<Board> boards_[kMaxBoards];
};

class BoardDevice : public os::Device {
 public:
  explicit BoardDevice(Board* board) : board_(board), port_(std::make_shared<OsEventPort>()) {}
  void Control(std::shared_ptr<os::IoRequest> request) override {
    board_->Control(std::move(request), port_);
  }
  void Cancelled(const os::IoRequest& request) override { board_->Cancelled(request); }

 private:
  Board* board_;
  std::shared_ptr<EventPort> port_;
};

class BoardProvider : public os::DeviceProvider {
 public:
  std::shared_ptr<os::Device> Open(uint32_t unit) override {
    Board* board = Boards().Find(unit);
    return board ? std::make_shared<BoardDevice>(board) : nullptr;
  }

 private:
  // The shared boards of another module when this process publishes them. The
  // value names its process: a child inherits the variable but not the boards.
  static BoardSet& Boards() {
    const char* shared = std::getenv(kSharedBoardsVariable);
    if (shared == nullptr) return LocalBoards();
    unsigned long long pid = 0, address = 0;
    int used = 0;
    if (std::sscanf(shared, "%llu:%llx%n", &pid, &address, &used) != 2 || shared[used] != '\0' ||
        pid != static_cast<unsigned long long>(getpid()) || address == 0) {
      return LocalBoards();
    }
    return *reinterpret_cast<BoardSet*>(static_cast<uintptr_t>(address));
  }
};

[[maybe_unused]] const bool kRegistered = (RegisterBoardDevices(), true);

}  // namespace

BoardSet& LocalBoards() {
  static BoardSet* boards = new OwnBoards;  // never destroyed: outlives every device handle
  return *boards;
}

void RegisterBoardDevices() {
  os::RegisterDeviceProvider(L"DRAVIONLYN", std::make_shared<BoardProvider>());
}

void ShareBoards() {
  char text[48];
  std::snprintf(text, sizeof(text), "%llu:%llx", static_cast<unsigned long long>(getpid()),
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(&LocalBoards())));
  setenv(kSharedBoardsVariable, text, 1);
}

}  // namespace boardsim
