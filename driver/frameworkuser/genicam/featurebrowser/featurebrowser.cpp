#include "driver/frameworkuser/genicam/featurebrowser/featurebrowser.h"

#include <list>

#include "driver/frameworkuser/genicam/genicamcontrol/genicamcontrol.h"
#include "platform/host/hostservices.h"
#include "platform/os/ui/window.h"

namespace zor::genicam {
namespace {

constexpr int64_t kLibraryLoading = 121;
constexpr int64_t kLibraryLoaded = 122;
constexpr uint64_t kInvalidParameter = 4307;
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
  if (running_) Close();
  if (!LoadController()) {
    error.SetError(kInvalidParameter, 1);
    return;
  }
  running_ = true;
  title_ = title;
  descriptors_ = descriptors;
  worker_ = std::make_unique<std::thread>(&FeatureBrowser::WorkerThread, this);
  if (wait) {
    HostSleep(kFirstPauseMs);
    for (int look = 0; look < kWindowLooks && !FindWindowTitled(title_); ++look) {
      HostSleep(kLookPauseMs);
    }
    return;
  }
  if (worker_->joinable()) worker_->join();
  worker_.reset();
  running_ = false;
  title_.clear();
}

void FeatureBrowser::WorkerThread() {
  // The texts live in this frame for as long as the controller runs.
  std::list<std::string> texts;
  auto keep = [&texts](const std::string& text) { return texts.emplace_back(text).c_str(); };
  std::vector<ControllerRecord> records;
  for (const BrowserDescriptor& descriptor : descriptors_) {
    ControllerRecord record{};
    record.kind = descriptor.featureStyle ? 3 : 2;
    record.owner = descriptor.owner;
    record.id = descriptor.id;
    record.name = keep(descriptor.name);
    record.userData = this;
    record.callback = &FeatureBrowser::OnControllerEvent;
    record.four = 4;
    record.title = keep(title_);
    record.controlPrefix = keep(descriptor.controlPrefix);
    record.inquirePrefix = keep(descriptor.inquirePrefix);
    record.fourthText = keep(descriptor.fourthText);
    records.push_back(record);
  }
  create_(owner_, 0, records.data(), static_cast<int64_t>(records.size()), 0, 0,
          &controllerHandle_);
}

void FeatureBrowser::Close() {
  StopPolling();
  if (library_ != os::kNullModule && controllerHandle_ != 0 && delete_ != nullptr) {
    delete_(controllerHandle_, 0);
  }
  if (worker_ != nullptr) {
    if (worker_->joinable()) worker_->join();
    worker_.reset();
  }
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
  static_cast<FeatureBrowser*>(userData)->ForwardEvent(id, value);
}

void FeatureBrowser::ForwardEvent(int64_t id, int64_t value) {
  for (const BrowserDescriptor& descriptor : descriptors_) {
    if (descriptor.id != id || descriptor.control == nullptr) continue;
    if (FeatureEventTarget* target = descriptor.control->EventTarget()) target->OnEvent(value);
  }
}

void FeatureBrowser::StartPolling(GenApi::INodeMap* nodeMap) {
  if (polling_ == nullptr) polling_ = std::make_unique<GenICamPollingNodes>(nodeMap);
  polling_->Start();
}

void FeatureBrowser::StopPolling() {
  if (polling_ == nullptr) return;
  polling_->Stop();
  polling_.reset();
}

}  // namespace zor::genicam
