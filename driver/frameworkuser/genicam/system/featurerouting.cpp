// Feature control, inquiry and hooks by name: the module before a colon picks
// the registered control of the system or of the addressed digitizer.
#include <algorithm>
#include <optional>
#include <set>
#include <string_view>

#include "driver/foundation/conversions.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/genicam/featureaccess/controlfeature.h"
#include "driver/frameworkuser/genicam/featureaccess/inquirefeature.h"
#include "driver/frameworkuser/genicam/featureaccess/typedfeatureaccess.h"
#include "driver/frameworkuser/genicam/featurehooks/featurehookcontroller.h"
#include "driver/frameworkuser/genicam/genicamcontrol/genicamcontrol.h"
#include "driver/frameworkuser/genicam/genicamcontrol/objectclasstable.h"
#include "driver/frameworkuser/genicam/system/qdgenicamdevicesystem.h"
#include "driver/frameworkuser/records/qddigitizerinfo.h"

namespace zor::frame {
namespace {

using errorcode::kGenICamError;
constexpr int64_t kUnhookFlag = 0x4000000;
constexpr const wchar_t* kSystemModule = L"QsysControl";

struct FeatureName {
  std::wstring_view module;
  std::wstring_view feature;
};

// Pieces between colons, empty ones dropped: module and feature from the
// first two. A single piece names no module, so no map has it.
std::optional<FeatureName> SplitFeatureName(std::wstring_view text) {
  std::wstring_view pieces[2];
  size_t count = 0;
  size_t position = 0;
  while (count < 2 && position <= text.size()) {
    const size_t colon = text.find(L':', position);
    const size_t end = colon == std::wstring_view::npos ? text.size() : colon;
    if (end > position) pieces[count++] = text.substr(position, end - position);
    if (colon == std::wstring_view::npos) break;
    position = colon + 1;
  }
  if (count < 2) return std::nullopt;
  return FeatureName{pieces[0], pieces[1]};
}

bool IsOwnModule(std::wstring_view module) {
  const std::set<std::wstring>& names = genicam::OwnControlFunctionNames();
  return std::any_of(names.begin(), names.end(),
                     [module](const std::wstring& name) { return name == module; });
}

std::optional<genicam::FeatureHookKind> HookKindOf(int64_t type) {
  switch (type) {
    case genicam::kWatchedFeatureHookType:
      return genicam::FeatureHookKind::kWatched;
    case genicam::kBrowserFeatureHookType:
      return genicam::FeatureHookKind::kBrowser;
    case genicam::kAnyFeatureHookType:
      return genicam::FeatureHookKind::kAnyFeature;
    default:
      return std::nullopt;
  }
}

// The error of a feature that no node map has: the same as a missing node.
void RecordNoNodeMap(std::wstring_view name, QDDriverThreadContext& ctx) {
  if (ctx.ErrorCode() != 0) return;
  const std::wstring text = L"The device does not have a \"" + std::wstring(name) + L"\" feature.";
  ctx.SetErrorSubText(genicam::kFeatureAccessError, 1,
                      L"Camera specific info: No node map is registered for this module.",
                      text.c_str());
}

// The last control a thread's feature name reached: threads on their own
// digitizers then do not meet on the registry's lock. It holds while the
// registry has not changed since.
struct RouteCache {
  const genicam::NodeMapRegistry* registry = nullptr;
  uint64_t generation = 0;
  int64_t id = 0;
  std::wstring module;
  std::weak_ptr<genicam::GenICamControl> control;
};

std::shared_ptr<genicam::GenICamControl> FindControl(const genicam::NodeMapRegistry& registry,
                                                     int64_t id, std::wstring_view module) {
  thread_local RouteCache cache;
  const uint64_t generation = registry.Generation();
  if (cache.registry == &registry && cache.generation == generation && cache.id == id &&
      cache.module == module) {
    if (std::shared_ptr<genicam::GenICamControl> control = cache.control.lock()) return control;
  }
  std::shared_ptr<genicam::GenICamControl> control = registry.Get(id, module);
  cache.registry = &registry;
  cache.generation = generation;
  cache.id = id;
  cache.module.assign(module);
  cache.control = control;
  return control;
}

}  // namespace

int64_t QDGeniCamDeviceSystem::ControlFeature(const OperationArgs& args,
                                              QDDriverThreadContext& ctx) {
  return RouteFeature(args, ctx, true);
}

int64_t QDGeniCamDeviceSystem::InquireFeature(const OperationArgs& args,
                                              QDDriverThreadContext& ctx) {
  return RouteFeature(args, ctx, false);
}

int64_t QDGeniCamDeviceSystem::RouteFeature(const OperationArgs& args, QDDriverThreadContext& ctx,
                                            bool control) {
  if (!GenICamAvailable()) {
    ctx.SetError(kGenICamError, 1, 0, 0);
    return 1;
  }
  const auto* text = args.Pointer<const wchar_t>(2);
  const std::wstring_view whole = text != nullptr ? std::wstring_view(text) : std::wstring_view();
  const std::optional<FeatureName> name = SplitFeatureName(whole);
  if (!name.has_value()) {
    RecordNoNodeMap(whole, ctx);
    return 1;
  }
  std::shared_ptr<QDDigitizerInfo> digitizer = digitizers_.GetAt(args.Int(0));
  // The system's own map is reached whichever digitizer the command names,
  // also none (the system's own feature calls).
  int64_t id = 0;
  if (name->module == kSystemModule) {
    id = GetHostObjectId();
  } else if (digitizer != nullptr) {
    id = IsOwnModule(name->module) ? digitizer->GetHostId() : digitizer->DeviceNumber();
  }
  std::shared_ptr<genicam::GenICamControl> found = FindControl(*registry_, id, name->module);
  if (found == nullptr) {
    RecordNoNodeMap(whole, ctx);
    return 1;
  }
  const genicam::UserVariable variable{args.Pointer<void>(4), args.Int(5)};
  // The hooks the access fires run once the feature lock is released.
  const genicam::DeferredFeatureHooks deferred;
  // One digitizer's maps are used by one thread at a time; without a
  // digitizer the system's lock stands in.
  foundation::ScopedLock featureLock(digitizer != nullptr ? digitizer->FeatureLock()
                                                          : systemFeatureLock_);
  try {
    if (control) {
      genicam::ControlFeature(*found, found->HookController().get(), args.Int(1), name->feature,
                              args.Int(3), variable, ctx);
    } else {
      genicam::InquireFeature(*found, found->HookController().get(), args.Int(1), name->feature,
                              args.Int(3), variable, ctx);
    }
  } catch (const std::exception&) {
    // Nothing crosses the command boundary.
    if (ctx.ErrorCode() == 0) ctx.SetError(genicam::kFeatureAccessError, 0, 0, 0);
  }
  return 1;
}

int64_t QDGeniCamDeviceSystem::DigHookFunction(const OperationArgs& args,
                                               QDDriverThreadContext& ctx) {
  std::shared_ptr<QDDigitizerInfo> digitizer = digitizers_.GetAt(args.Int(0));
  if (!GenICamAvailable()) {
    ctx.SetError(kGenICamError, 1, 0, 0);
    return 1;
  }
  if (digitizer == nullptr) return 1;
  int64_t type = args.Int(1);
  auto function = args.Pointer<std::remove_pointer_t<QHOOK_FUNCTION>>(2);
  void* user = args.Pointer<void>(3);
  const bool unhook = (type & kUnhookFlag) != 0;
  if (unhook) {
    type &= ~kUnhookFlag;
    function = nullptr;
    user = nullptr;
  }
  const std::optional<genicam::FeatureHookKind> kind = HookKindOf(type);
  if (!kind.has_value()) return QDDeviceSystem::DigHookFunction(args, ctx);
  QDDigitizerInfo& record = *digitizer;
  foundation::ScopedLock lock(record.FeatureLock());
  SetFeatureHooks(record, *kind, unhook, function, user, ctx);
  return 1;
}

void QDGeniCamDeviceSystem::SetFeatureHooks(QDDigitizerInfo& digitizer,
                                            genicam::FeatureHookKind kind, bool unhook,
                                            QHOOK_FUNCTION function, void* user,
                                            QDDriverThreadContext& ctx) {
  // The digitizer's modules (its device name, ";"-separated; none: the own
  // ones) of the digitizer itself and of its system.
  const std::vector<std::shared_ptr<genicam::GenICamControl>> controls =
      registry_->Find(digitizer.GetDeviceName(), digitizer.GetHostId(), digitizer.DeviceNumber());
  for (const std::shared_ptr<genicam::GenICamControl>& control : controls) {
    genicam::FeatureHookController& hooks = *control->HookController();
    if (unhook) {
      hooks.Unregister(kind, true, &ctx);
    } else {
      hooks.SetHook(kind, function, user, &ctx);
    }
    hooks.UpdateDelivery();
  }
}

bool QDGeniCamDeviceSystem::IsFeatureEvent(int64_t eventId) {
  return genicam::FeatureHookController::FindContext(eventId) != nullptr;
}

int64_t QDGeniCamDeviceSystem::DigGetHookInfo(const OperationArgs& args,
                                              QDDriverThreadContext& ctx) {
  if (!IsFeatureEvent(args.Int(0))) return QDDeviceSystem::DigGetHookInfo(args, ctx);
  genicam::GenICamControl::InquireGenICam(args.Int(0), args.Int(1), args.Pointer<void>(2));
  return 1;
}

}  // namespace zor::frame
