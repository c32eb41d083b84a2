// GenICamProxy: the "Device" node map, its commands, names and enumeration entries.
#include "driver/frameworkuser/genicam/genicamcontrol/genicamproxy.h"

#include <chrono>
#include <thread>

#include "driver/foundation/conversions.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/genicam/featureaccess/typedfeatureaccess.h"

namespace zor::genicam {
namespace {

using errorcode::kCameraFeatureError;
using errorcode::kFeatureAccessError;
constexpr int64_t kDefaultCommandPollMs = 50;

std::wstring Wide(const std::string& text) { return foundation::Utf8ToWString(text); }

std::wstring DescriptionOf(const GenICam::GenericException& e) {
  return L"Description: " + Wide(e.GetDescription());
}

void RecordWriteError(GenApi::ICommand* command, const GenICam::GenericException& e,
                      ErrorSink* sink) {
  if (sink == nullptr) return;
  const std::wstring text =
      L"Error writing to feature <" + Wide(command->GetNode()->GetName().c_str()) + L">.";
  sink->SetErrorText(kFeatureAccessError, text.c_str(), Wide(e.GetDescription()).c_str(), nullptr);
}

}  // namespace

GenICamProxy::GenICamProxy(uint64_t deviceNumber, bool waitForCommandDone)
    : nodeMap_(std::make_shared<GenApi::CNodeMapRef>("Device")),
      waitForCommandDone_(waitForCommandDone),
      deviceNumber_(deviceNumber) {}

GenICamProxy::~GenICamProxy() {
  try {
    DeregisterNodeCallbacks();
  } catch (...) {
    // A destructor lets nothing out.
  }
}

void GenICamProxy::DeregisterNodeCallbacks() {
  for (auto& [name, handle] : nodeCallbacks_) GenApi::Deregister(handle);
  nodeCallbacks_.clear();
}

void GenICamProxy::SetNodeMap(std::shared_ptr<GenApi::CNodeMapRef> nodeMap,
                              std::shared_ptr<GenApi::IPort> port,
                              const GenICam::gcstring& portName, bool waitForCommandDone) {
  nodeMap_ = std::move(nodeMap);
  port_ = std::move(port);
  if (nodeMap_ != nullptr && port_ != nullptr) nodeMap_->_Connect(port_.get(), portName);
  waitForCommandDone_ = waitForCommandDone;
}

void GenICamProxy::SetResource(const std::wstring& name, int32_t kind) {
  resourceName_ = name;
  resourceKind_ = kind;
}

void GenICamProxy::ExecuteCommand(const GenICam::gcstring& name, ErrorSink* sink) {
  // The typed access reports a missing or unwritable command itself.
  GenApi::CCommandPtr command;
  if (GetFeaturePtr(*this, name, FeatureAccess::kWrite, command, sink) != 0) return;
  if (command.IsValid()) ExecuteCommandNode(command, sink);
}

void GenICamProxy::ExecuteCommandNode(GenApi::ICommand* command, ErrorSink* sink) {
  try {
    command->Execute(true);
  } catch (const GenICam::GenericException& e) {
    RecordWriteError(command, e, sink);
    return;
  }
  WaitForCommandDone(command, sink);
}

int64_t NodePollingTime(GenApi::CNodeMapRef* nodeMap, GenApi::INode* node) {
  if (node == nullptr) return -1;
  int64_t time = node->GetPollingTime();
  GenICam::gcstring valueName;
  GenICam::gcstring attribute;
  if (time == -1 && nodeMap != nullptr && nodeMap->_Ptr != nullptr &&
      node->GetProperty("pValue", valueName, attribute)) {
    if (GenApi::INode* value = nodeMap->_GetNode(valueName)) time = value->GetPollingTime();
  }
  return time;
}

int64_t GenICamProxy::WaitForCommandDone(GenApi::ICommand* command, ErrorSink* sink) {
  if (!waitForCommandDone_) return 0;
  try {
    // A device that never reports done must not hold the caller for ever.
    const int64_t polling = NodePollingTime(nodeMap_.get(), command->GetNode());
    const auto pause = std::chrono::milliseconds(polling >= 0 ? polling : kDefaultCommandPollMs);
    for (int check = 0; check < kCommandDoneChecks; ++check) {
      if (command->IsDone(true)) return 0;
      std::this_thread::sleep_for(pause);
    }
    if (sink != nullptr) sink->SetError(kCameraFeatureError, 2, 0, 0);
  } catch (const GenICam::GenericException& e) {
    RecordWriteError(command, e, sink);
  }
  return kGenICamFailed;
}

std::string GenICamProxy::CachedName(const char* feature, bool model) {
  // Several threads may ask first at once; the name is computed once.
  foundation::ScopedLock lock(namesMutex_);
  GenICam::gcstring& cache = model ? modelName_ : vendorName_;
  if (!cache.empty()) return cache.c_str();
  try {
    GenApi::CStringPtr value =
        nodeMap_ != nullptr && nodeMap_->_Ptr != nullptr ? nodeMap_->_GetNode(feature) : nullptr;
    if (value.IsValid() && GenApi::IsReadable(value)) cache = value->GetValue();
  } catch (const GenICam::GenericException&) {
    // Fall back on what the XML declares.
  }
  if (cache.empty() && nodeMap_ != nullptr && nodeMap_->_Ptr != nullptr) {
    try {
      if (auto* info = dynamic_cast<GenApi::IDeviceInfo*>(nodeMap_->_Ptr)) {
        cache = model ? info->GetModelName() : info->GetVendorName();
      }
    } catch (const GenICam::GenericException&) {
      // No name to give.
    }
  }
  return cache.c_str();
}

std::string GenICamProxy::GetDeviceModelName() { return CachedName("DeviceModelName", true); }

std::string GenICamProxy::GetDeviceVendorName() { return CachedName("DeviceVendorName", false); }

int64_t GenICamProxy::GetEnumEntries(GenApi::IEnumeration* enumeration, bool useDisplayNames,
                                     std::vector<GenICam::gcstring>& names, ErrorSink* sink) {
  const GenICam::gcstring feature = enumeration->GetNode()->GetName();
  try {
    GenApi::NodeList_t entries;
    enumeration->GetEntries(entries);
    for (GenApi::INode* node : entries) {
      if (node->GetAccessMode() == GenApi::NI) continue;
      GenApi::CEnumEntryPtr entry(node);
      names.push_back(useDisplayNames ? node->GetDisplayName() : entry->GetSymbolic());
    }
    return 0;
  } catch (const GenICam::GenericException& e) {
    if (sink != nullptr) {
      const std::wstring text =
          L"Cannot access the camera's <" + Wide(feature.c_str()) + L"> feature.";
      sink->SetErrorText(kFeatureAccessError, L"A GenICam exception occurred", text.c_str(),
                         DescriptionOf(e).c_str());
    }
    return kGenICamFailed;
  }
}

void GenICamProxy::GetEnumEntryName(size_t index, GenApi::IEnumeration* enumeration,
                                    bool useDisplayNames, GenICam::gcstring& name,
                                    ErrorSink* sink) {
  std::vector<GenICam::gcstring> names;
  if (GetEnumEntries(enumeration, useDisplayNames, names, sink) != 0) return;
  if (index >= names.size()) {
    if (sink != nullptr) sink->SetError(kFeatureAccessError, 3, 0, 0);
    return;
  }
  name = names[index];
}

size_t GenICamProxy::GetEnumEntryCount(GenApi::IEnumeration* enumeration, ErrorSink* sink) {
  std::vector<GenICam::gcstring> names;
  GetEnumEntries(enumeration, false, names, sink);
  return names.size();
}

int64_t GenICamProxy::BuildFeatureAccessError(GenApi::IEnumeration* enumeration,
                                              const GenICam::gcstring& entryName,
                                              EntryAccess operation, GenApi::IEnumEntry*& entry,
                                              ErrorSink* sink) {
  const std::wstring feature = Wide(enumeration->GetNode()->GetName().c_str());
  const std::wstring name = Wide(entryName.c_str());
  try {
    GenApi::IEnumEntry* found = enumeration->GetEntryByName(entryName);
    if (found == nullptr) {
      if (sink != nullptr) {
        const std::wstring text = L"The device does not have a <" + name +
                                  L"> entry name in the <" + feature + L"> feature.";
        const std::wstring where = L"Camera specific info: Error occurred on the " +
                                   Wide(GetDeviceModelName()) + L" " + Wide(GetDeviceVendorName()) +
                                   L".";
        sink->SetErrorSubText(kFeatureAccessError, 1, text.c_str(), where.c_str());
      }
      return kGenICamFailed;
    }
    const GenApi::EAccessMode mode = found->GetAccessMode();
    const wchar_t* refusal = nullptr;
    switch (operation) {
      case EntryAccess::kRead:
        if (!GenApi::IsReadable(mode)) refusal = L"> feature. Entry cannot be read.";
        break;
      case EntryAccess::kWrite:
        if (!GenApi::IsWritable(mode)) refusal = L"> feature. Entry cannot be written.";
        break;
      case EntryAccess::kImplemented:
        if (mode == GenApi::NI) refusal = L"> feature. Entry is not implemented.";
        break;
      case EntryAccess::kAvailable:
        if (!GenApi::IsAvailable(mode)) refusal = L"> feature. Entry is not available.";
        break;
    }
    if (refusal != nullptr) {
      if (sink != nullptr) {
        const std::wstring text =
            L"Cannot access the camera's <" + name + L"> entry in the <" + feature + refusal;
        const std::wstring where = L"Camera specific info: Error occurred on the " +
                                   Wide(GetDeviceModelName()) + L" " + Wide(GetDeviceVendorName()) +
                                   L".";
        sink->SetErrorText(kFeatureAccessError, text.c_str(), where.c_str(), nullptr);
      }
      return kGenICamFailed;
    }
    entry = found;
    return 0;
  } catch (const GenICam::GenericException& e) {
    if (sink != nullptr) {
      const std::wstring text = L"Cannot access the camera's <" + name +
                                L"> enumeration entry in the <" + feature + L"> feature.";
      sink->SetErrorText(kFeatureAccessError, L"A GenICam exception occurred.", text.c_str(),
                         DescriptionOf(e).c_str());
    }
    return kGenICamFailed;
  }
}

}  // namespace zor::genicam
