// NodeMapPublisher: the feature-browser server, its clients, web server, pushes and polling.
#include "driver/frameworkuser/genicam/featurebrowser/nodemappublisher.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <set>
#include <utility>

#include "driver/foundation/conversions.h"
#include "driver/foundation/folders.h"
#include "driver/foundation/lockorder.h"
#include "driver/foundation/registrykey.h"
#include "driver/foundation/registrylocations.h"
#include "driver/foundation/zordrvexception.h"
#include "driver/frameworkuser/context/escapedexception.h"
#include "driver/frameworkuser/context/threaderrorreport.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/genicam/featurebrowser/hosterrorcheck.h"
#include "driver/frameworkuser/genicam/featurebrowser/nodemapjsonwriter.h"
#include "driver/frameworkuser/genicam/featurebrowser/publisherlog.h"
#include "platform/host/hostservices.h"

namespace zor::genicam {
namespace {

using errorcode::kFeatureBrowserError;

constexpr QINT64 kBrowserRole = 15526;
constexpr QINT64 kSessionSetting = 15531;
constexpr QINT64 kRoleTaken = 7;
constexpr QINT64 kCountObjects = 20;
constexpr QINT64 kListObjects = 15;
constexpr int kClientSearchAttempts = 50;
using foundation::kInstallLocation;
constexpr const wchar_t* kWebFolder = L"tools/featurebrowser/resources/app/dist";

// Host hooks reach a publisher only while it lives, and its destruction waits for the hooks
// already inside it: the host may have copied a hook just before it was removed.
// Guards livePublishers; a leaf, waited on by a publisher's destruction.
foundation::Ranked<std::mutex, foundation::LockId::kGate> gateMutex;
foundation::ConditionVariable gateIdle;
// Publisher to hooks running in it.
std::map<const NodeMapPublisher*, int> livePublishers ZOR_GUARDED_BY(gateMutex);

bool EnterGate(const NodeMapPublisher* publisher) {
  foundation::ScopedLock lock(gateMutex);
  auto found = livePublishers.find(publisher);
  if (found == livePublishers.end()) return false;
  ++found->second;
  return true;
}

void LeaveGate(const NodeMapPublisher* publisher) {
  foundation::ScopedLock lock(gateMutex);
  if (--livePublishers[publisher] == 0) gateIdle.notify_all();
}

template <class Call>
QINT64 ThroughGate(void* user, Call call) {
  auto* publisher = static_cast<NodeMapPublisher*>(user);
  if (!EnterGate(publisher)) return 0;
  // A hook of the host must not throw; the request is dropped.
  frame::ReportEscapes(frame::kHookFunctionName, [&] { call(publisher); });
  LeaveGate(publisher);
  return 0;
}

foundation::ExceptionSource Source(uint32_t line) {
  return foundation::ExceptionSource(L"w:/driver/frameworkuser/genicam/featurebrowser", line,
                                     L"RuntimeException");
}

QINT64 ClientIdOf(QID event) {
  QINT64 clientId = 0;
  HostAppGetHookInfo(Q_DEFAULT, event, Q_BROWSER_CLIENT_ID, &clientId);
  return clientId;
}

std::wstring ObjectName(QID object) {
  QINT64 length = 0;
  HostObjInquire(object, Q_OBJECT_NAME + Q_STRING_SIZE, &length);
  if (length <= 1) return {};
  std::wstring name(static_cast<size_t>(length), L'\0');
  HostObjInquire(object, Q_OBJECT_NAME, name.data());
  name.resize(static_cast<size_t>(length - 1));
  return name;
}

// The client id of a mailbox name "<system>:<stem>:<id>"; false for any other name.
bool ClientIdOfName(const std::wstring& name, QINT64* id) {
  std::vector<std::wstring> pieces;
  size_t start = 0;
  while (start <= name.size()) {
    const size_t colon = std::min(name.find(L':', start), name.size());
    if (colon > start) pieces.push_back(name.substr(start, colon - start));
    start = colon + 1;
  }
  if (pieces.size() < 3) return false;
  const std::wstring& digits = pieces[2];
  try {
    size_t used = 0;
    const long long value = std::stoll(digits, &used, 10);
    if (used != digits.size()) return false;
    *id = value;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

std::string MapNamesJson(const std::vector<std::string>& names) {
  rapidjson::StringBuffer text(nullptr, 0x100000);
  rapidjson::Writer<rapidjson::StringBuffer> writer(text);
  writer.StartArray();
  for (const std::string& name : names) {
    writer.String(name.data(), static_cast<rapidjson::SizeType>(name.size()));
  }
  writer.EndArray();
  return std::string(text.GetString(), text.GetSize());
}

NodeMapPublisher::NodeMapPublisher(PublisherSystem system, const std::wstring& programPath)
    : foundation::CLogProvider(system.logSource & 0x3F, 2, 128, 0),
      system_(std::move(system)),
      systemName_(foundation::Utf8ToWString(system_.name)) {
  foundation::CZORString program = foundation::GetToolsDir();
  program.AppendPath(programPath.c_str());
  if (!foundation::FileExists(program.CStr())) {
    throw Source(565).Report(kFeatureBrowserError, L"Could not find file: \"%ls\".",
                             program.CStr());
  }
  foundation::ScopedLock lock(gateMutex);
  livePublishers[this] = 0;
}

NodeMapPublisher::~NodeMapPublisher() {
  LogPublisherEvent(*this, PublisherEvent::kDestroyed);
  try {
    StopPolling();
  } catch (...) {
  }
  QID server = 0;
  {
    foundation::UniqueLock hold(lock_);
    Stop(hold);
    server = std::exchange(httpServer_, 0);
  }
  StopWebServer(server);
  {
    foundation::UniqueLock lock(gateMutex);
    while (livePublishers[this] != 0) gateIdle.Wait(lock);
    livePublishers.erase(this);
  }
  // Waited for without the main lock: a snapshot task takes it at its start.
  std::map<std::string, std::shared_future<Snapshot>> snapshots;
  std::map<std::string, std::shared_ptr<NodeMapProxy>> maps;
  {
    foundation::ScopedLock hold(lock_);
    snapshots.swap(pendingSnapshots_);
    maps.swap(maps_);
  }
  for (auto& [name, snapshot] : snapshots) snapshot.wait();
  // The reporters' workers stop here, while everything they call into still exists.
  maps.clear();
}

size_t NodeMapPublisher::PublishedCount() const {
  foundation::ScopedLock hold(lock_);
  return maps_.size();
}

std::wstring NodeMapPublisher::Url() const {
  foundation::ScopedLock hold(lock_);
  return url_;
}

void NodeMapPublisher::AddNodeMap(const std::string& mapName, const std::string& deviceName,
                                  const FeatureCodePrefixes& prefixes, int64_t objectType,
                                  std::shared_ptr<GenApi::CNodeMapRef> nodeMap,
                                  std::shared_ptr<FeatureHookController> hooks) {
  foundation::UniqueLock hold(lock_);
  if (!started_) Start();
  if (system_.webServer) StartWebServer();
  if (maps_.count(mapName) != 0) return;
  auto proxy =
      std::make_shared<NodeMapProxy>(mapName, deviceName, prefixes, objectType, std::move(nodeMap),
                                     std::move(hooks), system_.flushDelayMs);
  proxy->Reporter().SetEventHandler(this, &NodeMapPublisher::OnNodesChanged);
  maps_[mapName] = proxy;
  LogPublisherEvent(*this, PublisherEvent::kMapPublished);
  pendingSnapshots_[mapName] = std::async(std::launch::async, [this, mapName] {
                                 QINT64 context = 0;
                                 HostInternalInquire(0, Q_ENTER_THREAD_CONTEXT, &context);
                                 Snapshot snapshot;
                                 try {
                                   snapshot = BuildSnapshot(mapName);
                                 } catch (...) {
                                   // The dispatcher builds it again when asked.
                                 }
                                 HostInternalControl(0, Q_LEAVE_THREAD_CONTEXT, context);
                                 return snapshot;
                               }).share();
  if (pollingOn_) StartPolling();
  const auto clients = ActiveClients();
  hold.unlock();
  SendTo(clients, kMapsAdded, MapNamesJson({mapName}));
}

void NodeMapPublisher::RemoveDevice(const std::string& mapName) {
  std::shared_ptr<NodeMapProxy> removed;
  std::shared_future<Snapshot> snapshot;
  QID server = 0;
  std::vector<std::shared_ptr<ClientConnection>> told;
  {
    foundation::UniqueLock hold(lock_);
    auto found = maps_.find(mapName);
    if (found != maps_.end()) {
      told = ActiveClients();
      if (GenApi::INodeMap* map = found->second->Map()) {
        if (polling_.Remove(map) == 0) {
          polling_.Stop();
          pollingOn_ = false;
        }
      }
      removed = std::move(found->second);
      maps_.erase(found);
      LogPublisherEvent(*this, PublisherEvent::kMapWithdrawn);
    }
    auto pendingSnapshot = pendingSnapshots_.find(mapName);
    if (pendingSnapshot != pendingSnapshots_.end()) {
      snapshot = std::move(pendingSnapshot->second);
      pendingSnapshots_.erase(pendingSnapshot);
    }
    if (maps_.empty()) {
      Stop(hold);
      server = std::exchange(httpServer_, 0);
    }
  }
  SendTo(told, kMapRemoved, MapNamesJson({mapName}));
  told.clear();
  // Its connections end their clients, whose hooks take the lock.
  StopWebServer(server);
  // Outside the lock: the snapshot task and the reporter's worker both take it.
  if (snapshot.valid()) snapshot.wait();
  removed.reset();
}

void NodeMapPublisher::Start() {
  if (started_) return;
  QINT64 role = Q_DISABLE;
  QINT64 session = -1;
  HostAppInquire(Q_DEFAULT, kBrowserRole, &role);
  ThrowOnHostError(true);
  if (role != 0) {
    HostAppControl(Q_DEFAULT, kBrowserRole, kRoleTaken);
    HostAppInquire(Q_DEFAULT, kSessionSetting, &session);
    for (QINT64 clientId : FindExistingClients()) {
      pending_[clientId] = CreateClientConnection(clientId);
    }
  } else {
    HostAppControl(Q_DEFAULT, kSessionSetting, 0);
    ThrowOnHostError(false);
    HostAppControl(Q_DEFAULT, kBrowserRole, kRoleTaken);
    ThrowOnHostError(true);
    HostAppInquire(Q_DEFAULT, kSessionSetting, &session);
  }
  session_ = session;
  HostAppHookFunction(Q_DEFAULT, Q_BROWSER_CLIENT_CONNECTED, &OnClientConnectedThunk, this);
  ThrowOnHostError(true);
  HostAppHookFunction(Q_DEFAULT, Q_BROWSER_CLIENT_DISCONNECTED, &OnClientDisconnectedThunk, this);
  ThrowOnHostError(true);
  started_ = true;
  LogPublisherEvent(*this, PublisherEvent::kStart,
                    role != 0 ? foundation::LogTag("SLAV") : foundation::LogTag("MAST"));
}

void NodeMapPublisher::Stop(foundation::UniqueLock<PublisherLock>& hold) {
  if (started_) {
    Clients active;
    Clients pending;
    active.swap(active_);
    pending.swap(pending_);
    started_ = false;
    hold.unlock();
    active.clear();
    pending.clear();
    HostAppHookFunction(Q_DEFAULT, Q_BROWSER_CLIENT_CONNECTED + Q_UNHOOK, &OnClientConnectedThunk,
                        this);
    HostAppHookFunction(Q_DEFAULT, Q_BROWSER_CLIENT_DISCONNECTED + Q_UNHOOK,
                        &OnClientDisconnectedThunk, this);
    HostAppControl(Q_DEFAULT, kBrowserRole, Q_DISABLE);
    LogPublisherEvent(*this, PublisherEvent::kStop);
    hold.lock();
  }
  started_ = false;
}

std::vector<QINT64> NodeMapPublisher::FindExistingClients() {
  std::vector<QINT64> clients;
  for (int attempt = 0; attempt < kClientSearchAttempts && clients.empty(); ++attempt) {
    const QINT64 count =
        HostAppListObjects(Q_DEFAULT, kCountObjects, Q_MAILBOX, Q_DEFAULT, nullptr);
    if (count <= 0 || count % 2 != 0) {
      HostSleep(10);
      continue;
    }
    std::vector<QID> mailboxes(static_cast<size_t>(count), 0);
    const QINT64 listed =
        HostAppListObjects(Q_DEFAULT, kListObjects, Q_MAILBOX, count, mailboxes.data());
    mailboxes.resize(static_cast<size_t>(std::clamp<QINT64>(listed, 0, count)));
    for (QID mailbox : mailboxes) {
      QINT64 id = 0;
      // Mailboxes of other users have other names; they are no clients.
      if (!ClientIdOfName(ObjectName(mailbox), &id)) continue;
      if (std::find(clients.begin(), clients.end(), id) == clients.end()) clients.push_back(id);
    }
  }
  return clients;
}

std::shared_ptr<ClientConnection> NodeMapPublisher::CreateClientConnection(QINT64 clientId) {
  return std::make_shared<ClientConnection>(system_.hostId, systemName_, clientId,
                                            &OnClientMessageThunk, this, *this);
}

QINT64 NodeMapPublisher::OnClientMessageThunk(QINT64 hookType, QID event, void* user) {
  ClientChange change;
  ThroughGate(user, [&](NodeMapPublisher* p) { change = p->OnClientMessage(hookType, event); });
  // The user's hook runs outside the publisher: it may close the browser, which ends it.
  if (change.hooks != nullptr) {
    // A hook of the host must not throw; the change is not told.
    frame::ReportEscapes(frame::kHookFunctionName, [&] { change.hooks->OnEvent(change.node); });
  }
  return 0;
}

QINT64 NodeMapPublisher::OnClientConnectedThunk(QINT64 /*hookType*/, QID event, void* user) {
  return ThroughGate(user, [&](NodeMapPublisher* p) { p->OnClientConnected(event); });
}

QINT64 NodeMapPublisher::OnClientDisconnectedThunk(QINT64 /*hookType*/, QID event, void* user) {
  return ThroughGate(user, [&](NodeMapPublisher* p) { p->OnClientDisconnected(event); });
}

QINT64 NodeMapPublisher::OnClientConnected(QID event) {
  const QINT64 clientId = ClientIdOf(event);
  LogPublisherEvent(*this, PublisherEvent::kClientConnected, foundation::LogTag("C_Id"),
                    static_cast<uint64_t>(clientId));
  foundation::ScopedLock hold(lock_);
  if (!started_ || pending_.count(clientId) != 0) return 0;
  try {
    pending_[clientId] = CreateClientConnection(clientId);
  } catch (const foundation::ZorDrvException&) {
    // The half-made pair is freed; the client finds no mailboxes of this system.
  }
  return 0;
}

QINT64 NodeMapPublisher::OnClientDisconnected(QID event) {
  const QINT64 clientId = ClientIdOf(event);
  LogPublisherEvent(*this, PublisherEvent::kClientDisconnected, foundation::LogTag("C_Id"),
                    static_cast<uint64_t>(clientId));
  std::shared_ptr<ClientConnection> gone;
  foundation::ScopedLock hold(lock_);
  auto found = active_.find(clientId);
  if (found != active_.end()) {
    gone = std::move(found->second);
    active_.erase(found);
  }
  return 0;
}

void NodeMapPublisher::ActivateClient(QID mailbox) {
  for (auto it = pending_.begin(); it != pending_.end(); ++it) {
    if (it->second->ToServer() == mailbox) {
      active_[it->first] = it->second;
      pending_.erase(it);
      return;
    }
  }
}

NodeMapPublisher::Snapshot NodeMapPublisher::BuildSnapshot(const std::string& mapName) {
  NodeMapJsonWriter writer;
  std::shared_ptr<NodeMapProxy> proxy = FindMap(mapName);
  if (proxy == nullptr || proxy->Map() == nullptr) return {};
  LogPublisherEvent(*this, PublisherEvent::kSnapshot, foundation::LogTag("STRT"));
  std::string json = writer.WriteNodeMap(mapName, proxy->deviceName, *proxy->Map());
  LogPublisherEvent(*this, PublisherEvent::kSnapshot, foundation::LogTag("END"));
  return {std::move(json), writer.NodeErrors()};
}

std::shared_ptr<NodeMapProxy> NodeMapPublisher::FindMap(const std::string& name) const {
  foundation::ScopedLock hold(lock_);
  auto found = maps_.find(name);
  return found != maps_.end() ? found->second : nullptr;
}

void NodeMapPublisher::StartWebServer() {
  if (httpServer_ != 0) return;
  httpServer_ = HostObjAlloc(system_.hostId, Q_HTTP_SERVER, Q_DEFAULT, nullptr);
  if (httpServer_ == 0) return;
  foundation::CRegistryKey key(kInstallLocation, L"", false);
  foundation::CZORString root;
  if (!key.ReadString(L"InstallDir", root)) return;
  root.AppendPath(kWebFolder);
  // Loopback only: the page edits the board's features and has no sign-in.
  const int64_t port = system_.port != 0 ? system_.port : kDefaultPort;
  url_ = L"http://localhost:" + std::to_wstring(port);
  HostObjControl(httpServer_, Q_HTTP_URL, reinterpret_cast<QINT64>(url_.c_str()));
  HostObjControl(httpServer_, Q_HTTP_ROOT_FOLDER, reinterpret_cast<QINT64>(root.CStr()));
  HostObjControl(httpServer_, Q_HTTP_START, Q_DEFAULT);
  QINT64 length = 0;
  HostObjInquire(httpServer_, Q_HTTP_URL + Q_STRING_SIZE, &length);
  if (length > 1) {
    std::wstring served(static_cast<size_t>(length), L'\0');
    HostObjInquire(httpServer_, Q_HTTP_URL, served.data());
    served.resize(static_cast<size_t>(length - 1));
    url_ = served;
  }
  if (HostObjInquire(httpServer_, Q_HTTP_STATE, nullptr) != Q_HTTP_START) {
    throw Source(808).Report(kFeatureBrowserError, 1, L"URL: %ls", url_.c_str());
  }
}

void NodeMapPublisher::StopWebServer(QID server) {
  if (server == 0) return;
  HostObjControl(server, Q_HTTP_STOP, Q_DEFAULT);
  HostObjFree(server);
}

void NodeMapPublisher::StartPolling() {
  StopPolling();
  {
    foundation::ScopedLock hold(lock_);
    for (const auto& [name, proxy] : maps_) {
      GenApi::INodeMap* map = proxy->Map();
      if (map != nullptr && !polling_.Contains(map)) polling_.Add(map);
    }
  }
  polling_.Start();
  pollingOn_ = true;
}

void NodeMapPublisher::StopPolling() {
  {
    foundation::ScopedLock hold(lock_);
    for (const auto& [name, proxy] : maps_) {
      if (GenApi::INodeMap* map = proxy->Map()) polling_.Remove(map);
    }
  }
  polling_.Stop();
  pollingOn_ = false;
}

std::shared_ptr<ClientConnection> NodeMapPublisher::ActiveClient(QINT64 clientId) const {
  foundation::ScopedLock hold(lock_);
  auto found = active_.find(clientId);
  return found != active_.end() ? found->second : nullptr;
}

std::vector<std::shared_ptr<ClientConnection>> NodeMapPublisher::ActiveClients() const {
  foundation::ScopedLock hold(lock_);
  std::vector<std::shared_ptr<ClientConnection>> clients;
  for (const auto& [id, connection] : active_) clients.push_back(connection);
  return clients;
}

void NodeMapPublisher::SendTo(const std::vector<std::shared_ptr<ClientConnection>>& clients,
                              QINT64 tag, const std::string& body) {
  for (const auto& connection : clients) connection->Write(tag, body);
}

}  // namespace zor::genicam
