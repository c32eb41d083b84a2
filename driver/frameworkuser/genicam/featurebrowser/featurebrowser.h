// The in-process feature browser of a GenICam control: a controller library,
// loaded on first use, shows the node maps and reports feature events back.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "driver/foundation/error.h"
#include "driver/foundation/lockorder.h"
#include "driver/frameworkuser/genicam/featurebrowser/controllerrecord.h"
#include "driver/frameworkuser/genicam/featurebrowser/genicampollingnodes.h"
#include "platform/os/process/library.h"

namespace zor::genicam {

class GenICamControl;

inline constexpr const wchar_t* kGenICamControllerLibrary = L"libZorGenICamController.so";

struct BrowserDescriptor {
  bool featureStyle = false;
  std::string name;
  std::string controlPrefix;
  std::string inquirePrefix;
  std::string fourthText;
  int64_t id = 0;
  GenICamControl* control = nullptr;
  int64_t owner = 0;
};

// The maps users look for first lead ("QsysControl", "QdigControl", "DCFInfo", "QseqControl", the
// first of each name); the rest follow by name, in a stable order.
std::vector<BrowserDescriptor> OrderBrowserDescriptors(std::vector<BrowserDescriptor> descriptors);

enum class BrowserAction { kOpen = 0, kClose = 1, kInvalid = 2 };
BrowserAction DecodeBrowserControlAction(int64_t value);
// 1 wait, 0 no wait, 2 invalid.
int DecodeBrowserControlWait(int64_t value);

class FeatureBrowser {
 public:
  using StateMutex = foundation::Ranked<std::mutex, foundation::LockId::kBrowserState>;

  explicit FeatureBrowser(int64_t owner, std::wstring libraryName = kGenICamControllerLibrary);
  virtual ~FeatureBrowser();
  FeatureBrowser(const FeatureBrowser&) = delete;
  FeatureBrowser& operator=(const FeatureBrowser&) = delete;

  // kInvalidControl sub-code 1 when the controller library or an entry point is
  // missing. Without wait, returns when the browser has ended.
  void Open(foundation::CError& error, const std::string& title,
            const std::vector<BrowserDescriptor>& descriptors, bool wait);
  void Close();
  void StartPolling(GenApi::INodeMap* nodeMap);
  void StopPolling();

  static void OnControllerEvent(void* userData, int64_t id, int64_t value);
  void ForwardEvent(int64_t id, int64_t value);

  bool IsRunning() const;
  const GenICamPollingNodes* Polling() const { return polling_.get(); }

 private:
  void WorkerThread(uint64_t generation, std::string title,
                    std::vector<BrowserDescriptor> descriptors, CreateControllerFunction create);
  bool LoadController();
  void CloseLocked() ZOR_REQUIRES(operationMutex_);
  void StopPollingLocked() ZOR_REQUIRES(operationMutex_);
  // Waits until the worker of that generation has ended, then joins it unless another caller
  // already took it. Not analysed: it leaves and retakes the caller's guard, which the analysis
  // does not follow into a callee.
  void WaitForWorker(foundation::UniqueLock<StateMutex>& lock, uint64_t generation)
      ZOR_REQUIRES(stateMutex_) ZOR_NO_THREAD_SAFETY_ANALYSIS;

  int64_t owner_;
  std::wstring libraryName_;
  std::string title_ ZOR_GUARDED_BY(stateMutex_);
  os::Module library_ = os::kNullModule;
  CreateControllerFunction create_ = nullptr;
  DeleteControllerFunction delete_ = nullptr;
  int64_t controllerHandle_ = 0;
  bool running_ ZOR_GUARDED_BY(stateMutex_) = false;
  std::unique_ptr<std::thread> worker_ ZOR_GUARDED_BY(stateMutex_);
  std::unique_ptr<GenICamPollingNodes> polling_;
  std::vector<BrowserDescriptor> descriptors_ ZOR_GUARDED_BY(stateMutex_);
  // Open and Close come from application threads: opening and closing run one at a time, while
  // an open that waits for the browser to end leaves Close free to end it.
  // operationMutex_ is taken first, before a map's polling and the node-map registry;
  // stateMutex_ guards the worker's state (running_, generation_, workerRunning_), is waited on
  // for the worker's end and comes after it; neither is recursive.
  foundation::Ranked<std::mutex, foundation::LockId::kBrowserOperation> operationMutex_;
  mutable StateMutex stateMutex_;
  foundation::ConditionVariable workerEnded_;
  uint64_t generation_ ZOR_GUARDED_BY(stateMutex_) = 0;
  bool workerRunning_ ZOR_GUARDED_BY(stateMutex_) = false;
};

}  // namespace zor::genicam
