// Per-thread state of the running command: its flags, nesting, the first error
// recorded during it, the overlapped block for kernel requests, and the
// per-system contexts of the systems this thread has addressed.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "driver/foundation/lockorder.h"
#include "driver/foundation/logprovider.h"
#include "driver/foundation/zorstring.h"
#include "driver/frameworkuser/context/qdzorthreadcontext.h"
#include "platform/os/device/overlapped.h"

namespace zor::frame {

class QDDeviceDriver;

inline constexpr int64_t kOwnTextSize = 320;

class QDDriverThreadContext : public foundation::CLogProvider {
 public:
  using ItemMutex = foundation::Ranked<std::mutex, foundation::LockId::kThreadItems>;

  QDDriverThreadContext(QDDeviceDriver& driver, uint32_t threadId);
  QDDriverThreadContext(const QDDriverThreadContext&) = delete;
  QDDriverThreadContext& operator=(const QDDriverThreadContext&) = delete;
  ~QDDriverThreadContext() override;

  // Error recording: the first error of a command wins; code 0 clears.
  virtual void SetError(int64_t code, int64_t sub1, int64_t sub2, int64_t sub3);
  virtual void SetErrorText(int64_t code, const wchar_t* text5, const wchar_t* text6,
                            const wchar_t* text7);
  virtual void SetErrorSubText(int64_t code, int64_t sub1, const wchar_t* text6,
                               const wchar_t* text7);
  virtual void SetErrorSubSubText(int64_t code, int64_t sub1, int64_t sub2, const wchar_t* text7);
  // kind 1: four int64_t; kind 2: four texts of kOwnTextSize characters;
  // kind 3: the driver name; kinds 5 and 6: zeros. Returns 1.
  virtual int64_t GetError(int64_t kind, void* out1, void* out2, void* out3, void* out4);
  virtual void ShowInternalErrorPopup();
  virtual void OnCommandStart() {}
  virtual void NotifySystemEnd();

  // Texts of an error whose code lies outside the driver's table.
  void SetHeadlineText(const wchar_t* text);
  void SetDetailText(int64_t kind, const wchar_t* text);
  // The own text buffers: the headline, and the detail texts of kind 1 and 2.
  const wchar_t* HeadlineText() const { return headline_; }
  const wchar_t* DetailText(int64_t kind) const { return details_[kind == 1 ? 0 : 1]; }

  // Sends one kernel request on this thread's overlapped block and waits for
  // it; returns the bytes written back, 0 after recording a transport failure.
  uint32_t DeviceIoControl(os::Handle device, uint32_t code, void* input, uint32_t inputSize,
                           void* output, uint32_t outputSize);

  QDDeviceDriver& Driver() const { return driver_; }
  uint32_t ThreadId() const { return threadId_; }
  int64_t ErrorCode() const { return errorCode_; }
  int64_t SubCodeCount() const { return subCodeCount_; }
  int64_t SubCode(int i) const { return subCodes_[i - 1]; }

  // State of the running command, kept by the dispatcher.
  struct CommandState {
    int64_t noOperation = 0;  // record flag bit 1, as 2 or 0
    int64_t checkArgs = 0;    // record flag bit 0, as 1 or 0
    int64_t extended = 0;     // record flag bit 16, as 0x10000 or 0
  };
  CommandState& Command() { return command_; }
  int64_t& Nesting() { return nesting_; }
  uint64_t GateMask() const { return gateMask_; }

  // Per-system contexts. The own thread reads them under ItemLock(); changes
  // take the driver's global lock and then ItemLock().
  ItemMutex& ItemLock() const ZOR_RETURN_CAPABILITY(itemLock_) { return itemLock_; }
  QDZorThreadContext* Current() const { return current_.load(std::memory_order_acquire); }
  void SetCurrent(QDZorThreadContext* context) {
    current_.store(context, std::memory_order_release);
  }
  // What a command reads of its current per-system context, copied under
  // ItemLock(): a free on another thread takes the context away under that
  // lock before the context may go, so it is never read once deleted.
  struct CurrentFacts {
    int64_t systemIndex;
    uint64_t gateBits;
    int64_t waitWord;
  };
  std::optional<CurrentFacts> ReadCurrent() const;
  CSystemZorThreadContext* FindItem(int64_t systemIndex) const;
  void AddItem(std::unique_ptr<CSystemZorThreadContext> item) ZOR_REQUIRES(itemLock_);
  std::unique_ptr<CSystemZorThreadContext> RemoveItem(int64_t systemIndex) ZOR_REQUIRES(itemLock_);
  const std::vector<std::unique_ptr<CSystemZorThreadContext>>& Items() const { return items_; }

  // Systems that calls on this thread are using, in up to kPins slots: a
  // freed system is deleted only when no thread has it pinned. Only the own
  // thread takes and frees its slots; any thread may read them.
  static constexpr std::size_t kPins = 8;
  // A free slot, or null when all are taken.
  std::atomic<const void*>* FreePinSlot();
  bool Pins(const void* object) const;

 private:
  void Record(int64_t code, int64_t sub1, int64_t sub2, int64_t sub3);
  void LogRecord(int64_t code, int64_t sub1) const;
  void CopyFreeTexts(const wchar_t* text5, const wchar_t* text6, const wchar_t* text7);
  // Free text 5 to 7, or the table's text of the held code; none for sub-code 0.
  const wchar_t* SubCodeText(int64_t sub) const;
  void WriteErrorTexts(void* const (&outs)[4]) const;

  QDDeviceDriver& driver_;
  // Guards items_ (see ItemLock); a leaf, taken after the driver's global lock.
  mutable ItemMutex itemLock_;
  // Not marked guarded: the global lock also keeps it from changing, and readers under that
  // lock alone (FindItem) need not take this one.
  std::vector<std::unique_ptr<CSystemZorThreadContext>> items_;
  os::Overlapped overlapped_;
  uint32_t threadId_;
  uint64_t gateMask_ = 1;
  CommandState command_;
  int64_t nesting_ = 0;
  int64_t errorCode_ = 0;
  int64_t subCodeCount_ = 0;
  int64_t subCodes_[3] = {0, 0, 0};
  wchar_t headline_[kOwnTextSize] = {};
  wchar_t details_[2][kOwnTextSize] = {};
  std::atomic<QDZorThreadContext*> current_{nullptr};
  std::array<std::atomic<const void*>, kPins> pins_{};
  foundation::CZORString freeTexts_[3];
};

}  // namespace zor::frame
