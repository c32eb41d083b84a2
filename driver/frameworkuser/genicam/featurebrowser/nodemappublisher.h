// The feature-browser server of one GenICam system: publishes node maps to browser clients
// that talk to it through host mailboxes, pushes their changes, polls them, and can run the
// host's HTTP server for the browser's web files.
#pragma once

#include <atomic>
#include <cstdint>
#include <future>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "driver/foundation/lockorder.h"
#include "driver/foundation/logprovider.h"
#include "driver/frameworkuser/genicam/featurebrowser/clientconnection.h"
#include "driver/frameworkuser/genicam/featurebrowser/featurecodeprefixes.h"
#include "driver/frameworkuser/genicam/featurebrowser/genicampollingnodes.h"
#include "driver/frameworkuser/genicam/featurebrowser/nodemapproxy.h"
#include "platform/genapi/genapi.h"
#include "platform/host/qtypes.h"
#include "platform/os/sync/critical_section.h"

namespace zor::genicam {

class GenICamControl;

// What the publisher needs of its system.
struct PublisherSystem {
  QID hostId = 0;          // owner of every host object the publisher makes
  uint32_t logSource = 0;  // the system's driver-log source (its device number)
  std::string name;        // display name (UTF-8), the first part of the mailbox names
  bool webServer = false;  // "FeatureBrowserServer"
  int64_t port = 0;        // "FeatureBrowserServerPortNumber"; 0 serves on 9000
  int64_t flushDelayMs = GenICamEventReporter::kFlushDelayMs;
};

// Writes its driver-log events as a log provider of its system.
class NodeMapPublisher : public foundation::CLogProvider {
 public:
  using PublisherLock = foundation::Ranked<os::CriticalSection, foundation::LockId::kPublisher>;

  // Client to server.
  static constexpr QINT64 kSnapshot = 1;
  static constexpr QINT64 kSnapshotAgain = 2;
  static constexpr QINT64 kSet = 3;
  static constexpr QINT64 kGet = 4;
  static constexpr QINT64 kSubscribe = 5;
  static constexpr QINT64 kUnsubscribe = 6;
  static constexpr QINT64 kExampleCode = 7;
  static constexpr QINT64 kPolling = 8;
  static constexpr QINT64 kHello = 9;
  // Server to client.
  static constexpr QINT64 kMapsAdded = 0x10000000;
  static constexpr QINT64 kMapRemoved = 0x10000001;
  static constexpr QINT64 kNodesChanged = 0x10000002;
  static constexpr QINT64 kNodeUpdate = 0x10000003;

  static constexpr int64_t kDefaultPort = 9000;

  // programPath is relative to the library's tools folder; the file must exist there.
  NodeMapPublisher(PublisherSystem system, const std::wstring& programPath);
  ~NodeMapPublisher() override;
  NodeMapPublisher(const NodeMapPublisher&) = delete;
  NodeMapPublisher& operator=(const NodeMapPublisher&) = delete;

  // The control's map under its composed display name; the host object type of the driver's own
  // objects decides the style of their example code.
  void Publish(GenICamControl& control);
  void RemoveControl(GenICamControl& control);

  // The first map starts the publisher (and its web server); a name published already is kept.
  // Host errors while starting throw (kFeatureBrowserError).
  void AddNodeMap(const std::string& mapName, const std::string& deviceName,
                  const FeatureCodePrefixes& prefixes, int64_t objectType,
                  std::shared_ptr<GenApi::CNodeMapRef> nodeMap,
                  std::shared_ptr<FeatureHookController> hooks);
  // The last map withdrawn stops the publisher and its web server.
  void RemoveDevice(const std::string& mapName);

  void StartPolling();
  void StopPolling();

  size_t PublishedCount() const;
  // Whether polling was asked for, also while no node has a polling time to run it.
  bool IsPolling() const { return pollingOn_; }
  int64_t SessionValue() const { return session_.load(); }
  std::wstring Url() const;

 private:
  using Snapshot = std::pair<std::string, std::map<GenICam::gcstring, std::string>>;
  using Clients = std::map<QINT64, std::shared_ptr<ClientConnection>>;
  // A feature a client wrote, for the map's hooks; the holder keeps the node alive.
  struct ClientChange {
    std::shared_ptr<FeatureHookController> hooks;
    std::shared_ptr<GenApi::CNodeMapRef> nodeMap;
    GenApi::INode* node = nullptr;
  };

  void Start() ZOR_REQUIRES(lock_);
  // Called with the main lock held once; releases that hold. The steps below that leave and
  // retake the caller's hold are not analysed: the analysis does not follow a guard handed in.
  void Stop(foundation::UniqueLock<PublisherLock>& hold)
      ZOR_REQUIRES(lock_) ZOR_NO_THREAD_SAFETY_ANALYSIS;
  void StartWebServer() ZOR_REQUIRES(lock_);
  // Called without the main lock: closing its connections ends their clients, whose hooks take it.
  static void StopWebServer(QID server);
  std::vector<QINT64> FindExistingClients();
  std::shared_ptr<ClientConnection> CreateClientConnection(QINT64 clientId);
  void ActivateClient(QID mailbox) ZOR_REQUIRES(lock_);
  Snapshot BuildSnapshot(const std::string& mapName);

  // Hooks of the host; none lets an exception out.
  static QINT64 OnClientMessageThunk(QINT64 hookType, QID event, void* user);
  static QINT64 OnClientConnectedThunk(QINT64 hookType, QID event, void* user);
  static QINT64 OnClientDisconnectedThunk(QINT64 hookType, QID event, void* user);
  ClientChange OnClientMessage(QINT64 hookType, QID event);
  QINT64 OnClientConnected(QID event);
  QINT64 OnClientDisconnected(QID event);

  // Requests (clientprotocol.cpp), entered with the main lock held; nodes are read, written
  // and subscribed with it released.
  ClientChange ServeRequest(QINT64 tag, const std::string& body, QID mailbox,
                            foundation::UniqueLock<PublisherLock>& hold)
      ZOR_REQUIRES(lock_) ZOR_NO_THREAD_SAFETY_ANALYSIS;
  void ServeSnapshot(QINT64 tag, const std::string& body, QID mailbox,
                     foundation::UniqueLock<PublisherLock>& hold)
      ZOR_REQUIRES(lock_) ZOR_NO_THREAD_SAFETY_ANALYSIS;
  ClientChange ServeSet(const std::vector<std::string>& pieces, QINT64 clientId);
  void ServeGet(const std::vector<std::string>& pieces, QINT64 clientId);
  void ServeExampleCode(const std::vector<std::string>& pieces, QINT64 clientId);
  void ServeHello(QINT64 clientId, foundation::UniqueLock<PublisherLock>& hold)
      ZOR_REQUIRES(lock_) ZOR_NO_THREAD_SAFETY_ANALYSIS;
  std::shared_ptr<ClientConnection> ActiveByMailbox(QID mailbox) const ZOR_REQUIRES(lock_);
  // Writes go to these copies, outside the main lock: a write runs the client's hooks, which
  // may end the client (and change the lists) on this thread or another.
  std::shared_ptr<ClientConnection> ActiveClient(QINT64 clientId) const;
  std::vector<std::shared_ptr<ClientConnection>> ActiveClients() const;
  std::shared_ptr<NodeMapProxy> FindMap(const std::string& name) const;

  void SendNodeUpdate(QINT64 clientId, const std::string& mapName, const std::string& nodeName,
                      const std::string& errorText);
  void SendNodeErrors(QINT64 clientId, const std::string& mapName,
                      const std::map<GenICam::gcstring, std::string>& errors);
  void OnNodesChanged(const std::string& mapName, const GenApi::node_vector& nodes);
  // Called without the main lock.
  static void SendTo(const std::vector<std::shared_ptr<ClientConnection>>& clients, QINT64 tag,
                     const std::string& body);

  const PublisherSystem system_;
  const std::wstring systemName_;
  // Guards the snapshots, the server, the session and the client lists. Taken after a
  // digitizer's channel lock (a feature-browser control), before the polling's control lock,
  // the task scheduler's lock and the log's. Recursive (os::CriticalSection): a client's
  // message is dispatched under it and stops polling (StopPolling), which takes it again.
  mutable PublisherLock lock_;
  std::map<std::string, std::shared_future<Snapshot>> pendingSnapshots_ ZOR_GUARDED_BY(lock_);
  QID httpServer_ ZOR_GUARDED_BY(lock_) = 0;
  std::wstring url_ ZOR_GUARDED_BY(lock_);
  // Written while the publisher starts, read by inquiries on any thread.
  std::atomic<int64_t> session_{-1};
  bool started_ ZOR_GUARDED_BY(lock_) = false;
  GenICamPollingNodes polling_;
  std::atomic<bool> pollingOn_{false};
  Clients active_ ZOR_GUARDED_BY(lock_);
  Clients pending_ ZOR_GUARDED_BY(lock_);
  // Last, so that their reporters stop before anything they call into goes.
  std::map<std::string, std::shared_ptr<NodeMapProxy>> maps_ ZOR_GUARDED_BY(lock_);
};

// The JSON array of map names that hello replies and map notices carry.
std::string MapNamesJson(const std::vector<std::string>& names);

}  // namespace zor::genicam
