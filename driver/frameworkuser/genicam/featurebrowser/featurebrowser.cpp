// FeatureBrowser: loads the controller library and runs the browser window on a worker thread.
#include "driver/frameworkuser/genicam/featurebrowser/featurebrowser.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <list>

#include "driver/frameworkuser/context/escapedexception.h"
#include "driver/frameworkuser/context/threaderrorreport.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/genicam/genicamcontrol/genicamcontrol.h"
#include "platform/host/hostservices.h"
#include "platform/os/ui/window.h"

namespace zor::genicam {
namespace {

constexpr int64_t kLibraryLoading = 121;
constexpr int64_t kLibraryLoaded = 122;
using errorcode::kInvalidControl;
constexpr int kWindowLooks = 201;
constexpr int64_t kFirstPauseMs = 10;
constexpr int64_t kLookPauseMs = 100;

bool FindWindowTitled(const std::string& title) {
  const std::wstring wide(title.begin(), title.end());
  return os::FindWindow(nullptr, wide.c_str()) != os::kNullHandle;
}

}  // namespace

BrowserAction DecodeBrowserControlAction(int64_t value) {
  if (value == 16 || value == 17 || value == 18 || value == Q_DEFAULT) return BrowserAction::kOpen;
  if (value >= 32 && value <= 34) return BrowserAction::kClose;
  return BrowserAction::kInvalid;
}

int DecodeBrowserControlWait(int64_t value) {
  if (value == 18) return 1;
  if (value == 16 || value == 17 || value == Q_DEFAULT || (value >= 32 && value <= 34)) return 0;
  return 2;
}

std::vector<BrowserDescriptor> OrderBrowserDescriptors(std::vector<BrowserDescriptor> descriptors) {
  std::vector<BrowserDescriptor> ordered;
  for (const char* name : {"QsysControl", "QdigControl", "DCFInfo", "QseqControl"}) {
    auto it = std::find_if(descriptors.begin(), descriptors.end(),
                           [name](const auto& descriptor) { return descriptor.name == name; });
    if (it == descriptors.end()) continue;
    ordered.push_back(std::move(*it));
    descriptors.erase(it);
  }
  std::stable_sort(descriptors.begin(), descriptors.end(),
                   [](const auto& a, const auto& b) { return a.name < b.name; });
  std::move(descriptors.begin(), descriptors.end(), std::back_inserter(ordered));
  return ordered;
}

FeatureBrowser::FeatureBrowser(int64_t owner, std::wstring libraryName)
    : owner_(owner), libraryName_(std::move(libraryName)) {}

FeatureBrowser::~FeatureBrowser() { Close(); }

bool FeatureBrowser::LoadController() {
  if (library_ == os::kNullModule) {
    HostInternalControl(0, kLibraryLoading, reinterpret_cast<int64_t>(libraryName_.c_str()));
    const os::Module module = os::LoadLibrary(libraryName_.c_str());
    if (module == os::kNullModule) return false;
    HostInternalControl(static_cast<int64_t>(module), kLibraryLoaded,
                        reinterpret_cast<int64_t>(libraryName_.c_str()));
    library_ = module;
  }
  create_ = reinterpret_cast<CreateControllerFunction>(
      os::GetProcAddress(library_, kCreateControllerName));
  delete_ = reinterpret_cast<DeleteControllerFunction>(
      os::GetProcAddress(library_, kDeleteControllerName));
  return create_ != nullptr && delete_ != nullptr;
}

void FeatureBrowser::Open(foundation::CError& error, const std::string& title,
                          const std::vector<BrowserDescriptor>& descriptors, bool wait) {
  error = foundation::CError();
  uint64_t generation = 0;
  {
    foundation::ScopedLock operation(operationMutex_);
    if (IsRunning()) CloseLocked();
    if (!LoadController()) {
      error.SetError(kInvalidControl, 1);
      return;
    }
    foundation::ScopedLock state(stateMutex_);
    running_ = true;
    title_ = title;
    descriptors_ = descriptors;
    generation = ++generation_;
    workerRunning_ = true;
    worker_ = std::make_unique<std::thread>(&FeatureBrowser::WorkerThread, this, generation, title,
                                            descriptors, create_);
  }
  if (wait) {
    HostSleep(kFirstPauseMs);
    for (int look = 0; look < kWindowLooks && !FindWindowTitled(title); ++look) {
      HostSleep(kLookPauseMs);
    }
    return;
  }
  foundation::UniqueLock state(stateMutex_);
  WaitForWorker(state, generation);
  // A close or a newer open may have come meanwhile; their state stays.
  if (generation_ == generation && running_) {
    running_ = false;
    title_.clear();
  }
}

void FeatureBrowser::WaitForWorker(foundation::UniqueLock<StateMutex>& lock, uint64_t generation) {
  while (generation_ == generation && workerRunning_) workerEnded_.Wait(lock);
  if (generation_ != generation || worker_ == nullptr) return;
  std::unique_ptr<std::thread> worker = std::move(worker_);
  lock.unlock();
  if (worker->joinable()) worker->join();
  lock.lock();
}

bool FeatureBrowser::IsRunning() const {
  foundation::ScopedLock state(stateMutex_);
  return running_;
}

void FeatureBrowser::WorkerThread(uint64_t generation, std::string title,
                                  std::vector<BrowserDescriptor> descriptors,
                                  CreateControllerFunction create) {
  // Whatever ends the controller's run, the worker is told done: Open and Close wait for it.
  frame::ReportEscapes(frame::kThreadFunctionName, [&] {
    // The texts live in this frame for as long as the controller runs.
    std::list<std::string> texts;
    auto keep = [&texts](const std::string& text) { return texts.emplace_back(text).c_str(); };
    std::vector<ControllerRecord> records;
    for (const BrowserDescriptor& descriptor : descriptors) {
      ControllerRecord record{};
      record.kind = descriptor.featureStyle ? 3 : 2;
      record.owner = descriptor.owner;
      record.id = descriptor.id;
      record.name = keep(descriptor.name);
      record.userData = this;
      record.callback = &FeatureBrowser::OnControllerEvent;
      record.four = 4;
      record.title = keep(title);
      record.controlPrefix = keep(descriptor.controlPrefix);
      record.inquirePrefix = keep(descriptor.inquirePrefix);
      record.fourthText = keep(descriptor.fourthText);
      records.push_back(record);
    }
    create(owner_, 0, records.data(), static_cast<int64_t>(records.size()), 0, 0,
           &controllerHandle_);
  });
  {
    foundation::ScopedLock state(stateMutex_);
    if (generation_ == generation) workerRunning_ = false;
  }
  workerEnded_.notify_all();
}

void FeatureBrowser::Close() {
  foundation::ScopedLock operation(operationMutex_);
  CloseLocked();
}

void FeatureBrowser::CloseLocked() {
  StopPollingLocked();
  foundation::UniqueLock state(stateMutex_);
  // The controller may name its handle only after a while: ask it to end once it has one.
  bool deleteSent = false;
  while (true) {
    if (!deleteSent && library_ != os::kNullModule && delete_ != nullptr &&
        controllerHandle_ != 0) {
      const int64_t handle = controllerHandle_;
      state.unlock();
      delete_(handle, 0);
      state.lock();
      deleteSent = true;
    }
    if (!workerRunning_) break;
    workerEnded_.WaitFor(state, std::chrono::milliseconds(kLookPauseMs));
  }
  // An open that waits for the browser may have joined the worker already.
  std::unique_ptr<std::thread> worker = std::move(worker_);
  state.unlock();
  if (worker != nullptr && worker->joinable()) worker->join();
  state.lock();
  // The library stays loaded in the process; it is asked for again on the
  // next open.
  library_ = os::kNullModule;
  create_ = nullptr;
  delete_ = nullptr;
  descriptors_.clear();
  controllerHandle_ = 0;
  running_ = false;
  title_.clear();
}

void FeatureBrowser::OnControllerEvent(void* userData, int64_t id, int64_t value) {
  // Called by the controller library: nothing may escape back into it.
  frame::ReportEscapes(frame::kHookFunctionName,
                       [=] { static_cast<FeatureBrowser*>(userData)->ForwardEvent(id, value); });
}

// The user's hook may close or reopen the browser, which changes the descriptors: it runs on a
// copy of the controls addressed.
void FeatureBrowser::ForwardEvent(int64_t id, int64_t value) {
  std::vector<GenICamControl*> addressed;
  {
    foundation::ScopedLock state(stateMutex_);
    for (const BrowserDescriptor& descriptor : descriptors_) {
      if (descriptor.id == id && descriptor.control != nullptr) {
        addressed.push_back(descriptor.control);
      }
    }
  }
  for (GenICamControl* control : addressed) {
    if (const auto hooks = control->HookController()) hooks->OnEvent(value);
  }
}

void FeatureBrowser::StartPolling(GenApi::INodeMap* nodeMap) {
  foundation::ScopedLock operation(operationMutex_);
  if (polling_ == nullptr) polling_ = std::make_unique<GenICamPollingNodes>(nodeMap);
  polling_->Start();
}

void FeatureBrowser::StopPolling() {
  foundation::ScopedLock operation(operationMutex_);
  StopPollingLocked();
}

void FeatureBrowser::StopPollingLocked() {
  if (polling_ == nullptr) return;
  polling_->Stop();
  polling_.reset();
}

}  // namespace zor::genicam
