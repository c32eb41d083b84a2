#include "platform/os/sync/named_mutex.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "platform/os/core/paths.h"
#include "platform/os/sync/thread.h"
#include "platform/os/sync/waitable.h"
#include "platform/os/text/convert.h"

namespace os::detail {
namespace {

// Byte ranges of the mutex file: every process that has the mutex open holds
// a read lock on kPresence; the owning process holds a write lock on
// kOwnership. The byte at kOwnership is 1 while owned, so a new owner can
// tell that the last one ended without releasing.
constexpr off_t kPresence = 0;
constexpr off_t kOwnership = 1;

bool LockByte(int fd, off_t offset, short type, bool block) {
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = offset;
  lock.l_len = 1;
  return fcntl(fd, block ? F_OFD_SETLKW : F_OFD_SETLK, &lock) == 0;
}

class Mutex;

// The mutexes the calling thread owns. A thread that ends owning one
// abandons it, so the next owner learns and nobody waits for a dead thread.
struct OwnedMutexes {
  std::vector<std::weak_ptr<Mutex>> mutexes;
  ~OwnedMutexes();
};

OwnedMutexes& ThisThreadsMutexes() {
  thread_local OwnedMutexes owned;
  return owned;
}

class Mutex : public Waitable, public std::enable_shared_from_this<Mutex> {
 public:
  static constexpr Kind kKind = Kind::kMutex;
  // A named mutex has its file's path; a private one none.
  Mutex(std::string file, int fd) : Waitable(kKind), file_(std::move(file)), fd_(fd) {}
  ~Mutex() override {
    if (fd_ >= 0) close(fd_);
  }

  bool IsSignalled(uint32_t threadId) override {
    if (owner_ == threadId) return true;
    if (owner_ != 0) return false;
    if (fd_ >= 0 && !fileLocked_) fileLocked_ = LockByte(fd_, kOwnership, F_WRLCK, false);
    return fd_ < 0 || fileLocked_;
  }
  bool Take(uint32_t threadId) override {
    if (owner_ == threadId) {
      ++count_;
      return false;
    }
    owner_ = threadId;
    count_ = 1;
    ThisThreadsMutexes().mutexes.push_back(weak_from_this());
    bool abandoned = abandoned_;
    abandoned_ = false;
    if (fd_ < 0) return abandoned;
    char held = 0;
    abandoned = (pread(fd_, &held, 1, kOwnership) == 1 && held == 1) || abandoned;
    held = 1;
    // The marker only serves abandonment reports; a failed write loses those.
    (void)!pwrite(fd_, &held, 1, kOwnership);
    return abandoned;
  }
  void Untaken() override {
    if (owner_ == 0 && fileLocked_) {
      LockByte(fd_, kOwnership, F_UNLCK, false);
      fileLocked_ = false;
    }
  }
  bool NeedsPolling() const override { return fd_ >= 0; }

  bool Release(uint32_t threadId) {
    if (owner_ != threadId || count_ == 0) return false;
    if (--count_ > 0) return true;
    owner_ = 0;
    std::erase_if(ThisThreadsMutexes().mutexes,
                  [this](const std::weak_ptr<Mutex>& owned) { return owned.lock().get() == this; });
    if (fd_ >= 0) {
      char held = 0;
      (void)!pwrite(fd_, &held, 1, kOwnership);
      Untaken();
    }
    WakeWaiters();
    return true;
  }

  // Under SyncMutex, when the owning thread ends. A named mutex keeps its
  // ownership marker, which tells the next owner in any process.
  void Abandon(uint32_t threadId) {
    if (owner_ != threadId) return;
    owner_ = 0;
    count_ = 0;
    abandoned_ = true;
    if (fd_ >= 0) Untaken();
    WakeWaiters();
  }

  void AddHandle() { ++handles_; }
  void Closed() override;

 private:
  const std::string file_;
  const int fd_;
  bool fileLocked_ = false;
  uint32_t owner_ = 0;
  uint32_t count_ = 0;
  bool abandoned_ = false;
  int handles_ = 0;
};

OwnedMutexes::~OwnedMutexes() { AbandonOwnedMutexes(); }

// The named mutexes this process has open, by their files; every handle of one
// shares one object.
struct MutexNames {
  std::map<std::string, std::shared_ptr<Mutex>> open;
};

MutexNames& Names() {
  static MutexNames& names = *new MutexNames;
  return names;
}

void Mutex::Closed() {
  SyncLock lock;
  if (--handles_ > 0 || file_.empty()) return;
  // The last handle: give up ownership so other processes can go on.
  owner_ = 0;
  count_ = 0;
  Untaken();
  Names().open.erase(file_);
}

std::string FileName(const std::string& name) {
  std::string file = "mutex.";
  static const char kHex[] = "0123456789abcdef";
  for (unsigned char c : name) {
    if (isalnum(c) || c == '.' || c == '_' || c == '-') {
      file += static_cast<char>(c);
    } else {
      file += '%';
      file += kHex[c >> 4];
      file += kHex[c & 15];
    }
  }
  return file;
}

// Opens the mutex file; sets created when no other process has it open.
int OpenFile(const std::filesystem::path& path, bool mayCreate, bool* created) {
  std::error_code ignored;
  std::filesystem::create_directories(path.parent_path(), ignored);
  int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | O_CREAT, 0666);
  if (fd < 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return -1;
  }
  *created = LockByte(fd, kPresence, F_WRLCK, false);
  // Opening alone finds a mutex only when another process holds it open.
  if (*created && !mayCreate) {
    close(fd);
    SetLastError(ERROR_FILE_NOT_FOUND);
    return -1;
  }
  if (*created) {
    char unowned = 0;
    (void)!pwrite(fd, &unowned, 1, kOwnership);
  }
  LockByte(fd, kPresence, F_RDLCK, true);
  return fd;
}

Handle OpenNamed(const std::string& name, bool mayCreate, bool initialOwner) {
  const std::string file = FileName(name);
  if (file.size() > 250) {
    SetLastError(ERROR_INVALID_NAME);
    return kNullHandle;
  }
  // The file is the mutex: one name in two object folders is two mutexes.
  const std::filesystem::path path = ObjectFolder() / file;
  SyncLock lock;
  auto& open = Names().open;
  std::shared_ptr<Mutex> mutex;
  bool created = false;
  if (auto found = open.find(path.string()); found != open.end()) {
    mutex = found->second;
  } else {
    int fd = OpenFile(path, mayCreate, &created);
    if (fd < 0) return kNullHandle;
    mutex = std::make_shared<Mutex>(path.string(), fd);
    open.emplace(path.string(), mutex);
  }
  mutex->AddHandle();
  if (created && initialOwner) {
    uint32_t self = GetCurrentThreadId();
    if (mutex->IsSignalled(self)) mutex->Take(self);
  }
  SetLastError(created || !mayCreate ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS);
  return InsertHandle(mutex);
}

}  // namespace

void AbandonOwnedMutexes() {
  const uint32_t self = GetCurrentThreadId();
  std::vector<std::weak_ptr<Mutex>> owned;
  owned.swap(ThisThreadsMutexes().mutexes);
  SyncLock lock;
  for (const std::weak_ptr<Mutex>& entry : owned) {
    if (std::shared_ptr<Mutex> mutex = entry.lock()) mutex->Abandon(self);
  }
}

}  // namespace os::detail

namespace os {

Handle CreateMutex(bool initialOwner, const wchar_t* name) {
  if (name != nullptr && *name != L'\0') {
    return detail::OpenNamed(WideToUtf8(name), true, initialOwner);
  }
  auto mutex = std::make_shared<detail::Mutex>(std::string(), -1);
  mutex->AddHandle();
  if (initialOwner) mutex->Take(GetCurrentThreadId());
  SetLastError(ERROR_SUCCESS);
  return detail::InsertHandle(mutex);
}

Handle OpenMutex(const wchar_t* name) {
  if (name == nullptr || *name == L'\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return kNullHandle;
  }
  return detail::OpenNamed(WideToUtf8(name), false, false);
}

bool ReleaseMutex(Handle handle) {
  auto mutex = detail::Lookup<detail::Mutex>(handle);
  if (mutex == nullptr) return false;
  detail::SyncLock lock;
  if (!mutex->Release(GetCurrentThreadId())) {
    SetLastError(ERROR_NOT_OWNER);
    return false;
  }
  return true;
}

}  // namespace os
