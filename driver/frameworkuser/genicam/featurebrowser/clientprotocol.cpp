// The requests of browser clients and the notices sent to them.
#include <charconv>
#include <limits>

#include "driver/frameworkuser/genicam/featurebrowser/featurecodegenerator.h"
#include "driver/frameworkuser/genicam/featurebrowser/nodemapjsonwriter.h"
#include "driver/frameworkuser/genicam/featurebrowser/nodemappublisher.h"
#include "driver/frameworkuser/genicam/featurebrowser/publisherlog.h"
#include "platform/host/hostservices.h"

namespace zor::genicam {
namespace {

// Pieces between the delimiters; empty ones are dropped.
std::vector<std::string> Split(const std::string& text, char delimiter) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find(delimiter, start), text.size());
    if (end > start) pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

// The whole text as a decimal number of type T; false for anything else.
template <class T>
bool ParseDecimal(const std::string& text, T* value) {
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, *value, 10);
  return error == std::errc() && stop == end;
}

// The same settings for a get reply and a single-node update.
void SetUpSingleNodeWriter(NodeMapJsonWriter& writer, const std::string& mapName) {
  writer.SetVisibilityLimit(GenApi::Guru);
  writer.SetMode(NodeMapJsonWriter::kDescriptionDocument);
  writer.SetValuesOnly(0);
  writer.SetExpandChildren(false);
  writer.SetDeviceName(mapName);
}

}  // namespace

NodeMapPublisher::ClientChange NodeMapPublisher::OnClientMessage(QINT64 /*hookType*/, QID event) {
  foundation::UniqueLock hold(lock_);
  if (active_.empty() && pending_.empty()) return {};
  QID mailbox = 0;
  HostObjGetHookInfo(event, Q_OBJECT_ID, &mailbox);
  QINT64 size = 0;
  QINT64 tag = 0;
  QINT64 spare = 0;
  HostObjMessageRead(mailbox, nullptr, 0, &size, &tag, &spare, Q_DEFAULT);
  std::string body(static_cast<size_t>(std::max<QINT64>(size, 0)), '\0');
  char none = 0;
  HostObjMessageRead(mailbox, body.empty() ? &none : body.data(), static_cast<QINT64>(body.size()),
                     &size, &tag, &spare, Q_DEFAULT);
  if (tag == kHello) ActivateClient(mailbox);
  const std::shared_ptr<ClientConnection> client = ActiveByMailbox(mailbox);
  // Clients that have not said hello are not served.
  if (client == nullptr || client->ToClient() == 0 || tag < kSnapshot || tag > kHello) return {};
  return ServeRequest(tag, body, mailbox, hold);
}

NodeMapPublisher::ClientChange NodeMapPublisher::ServeRequest(
    QINT64 tag, const std::string& body, QID mailbox, foundation::UniqueLock<PublisherLock>& hold) {
  const QINT64 clientId = ActiveByMailbox(mailbox)->ClientId();
  // Nodes are touched without the main lock: the node map's lock comes first, then the host
  // command's object lock (a register access), then this one (a digitizer's 6905 publishes
  // under its lock).
  if (tag == kSet || tag == kGet || tag == kSubscribe || tag == kUnsubscribe ||
      tag == kExampleCode) {
    hold.unlock();
  }
  switch (tag) {
    case kSnapshot:
    case kSnapshotAgain:
      ServeSnapshot(tag, body, mailbox, hold);
      break;
    case kSet:
      LogPublisherEvent(*this, PublisherEvent::kSetRequest);
      return ServeSet(Split(body, ':'), clientId);
    case kGet:
      LogPublisherEvent(*this, PublisherEvent::kGetRequest);
      ServeGet(Split(body, ':'), clientId);
      break;
    case kSubscribe:
      LogPublisherEvent(*this, PublisherEvent::kSubscribeRequest);
      if (auto map = FindMap(body)) map->Reporter().Subscribe();
      break;
    case kUnsubscribe:
      LogPublisherEvent(*this, PublisherEvent::kUnsubscribeRequest);
      if (auto map = FindMap(body)) map->Reporter().DeregisterAll();
      break;
    case kExampleCode:
      LogPublisherEvent(*this, PublisherEvent::kExampleCodeRequest);
      ServeExampleCode(Split(body, ':'), clientId);
      break;
    case kPolling: {
      const std::vector<std::string> pieces = Split(body, ':');
      if (pieces.size() != 2 || pieces[0] != "poll") break;
      if (pieces[1] == "true") {
        LogPublisherEvent(*this, PublisherEvent::kPollingOnRequest);
        StartPolling();
      } else {
        LogPublisherEvent(*this, PublisherEvent::kPollingOffRequest);
        StopPolling();
      }
      break;
    }
    case kHello:
      ServeHello(clientId, hold);
      break;
    default:
      break;
  }
  return {};
}

void NodeMapPublisher::ServeSnapshot(QINT64 tag, const std::string& body, QID mailbox,
                                     foundation::UniqueLock<PublisherLock>& hold) {
  if (maps_.count(body) == 0) return;
  auto pending = pendingSnapshots_.find(body);
  if (pending != pendingSnapshots_.end()) {
    // The snapshot made when the map was published shows the values of that time; it is
    // waited for and dropped, and the client gets today's values.
    std::shared_future<Snapshot> prepared = std::move(pending->second);
    pendingSnapshots_.erase(pending);
    hold.unlock();
    prepared.wait();
    hold.lock();
    if (ActiveByMailbox(mailbox) == nullptr) return;
  }
  Snapshot snapshot;
  hold.unlock();
  try {
    snapshot = BuildSnapshot(body);
  } catch (const GenICam::GenericException&) {
    hold.lock();
    return;
  }
  hold.lock();
  const std::shared_ptr<ClientConnection> client = ActiveByMailbox(mailbox);
  hold.unlock();
  if (client == nullptr || snapshot.first.empty()) return;
  client->Write(tag, snapshot.first);
  LogPublisherEvent(*this, PublisherEvent::kSnapshotSent);
  SendNodeErrors(client->ClientId(), body, snapshot.second);
}

NodeMapPublisher::ClientChange NodeMapPublisher::ServeSet(const std::vector<std::string>& pieces,
                                                          QINT64 clientId) {
  if (pieces.size() < 2) return {};
  const std::shared_ptr<NodeMapProxy> map = FindMap(pieces[0]);
  if (map == nullptr) return {};
  const std::string& feature = pieces[1];
  const std::string value = pieces.size() > 2 ? pieces[2] : std::string();
  try {
    GenApi::INode* node = map->Node(feature);
    if (node == nullptr) return {};
    const GenApi::EInterfaceType type = node->GetPrincipalInterfaceType();
    auto* integer = dynamic_cast<GenApi::IInteger*>(node);
    const bool address = type == GenApi::intfIInteger && integer != nullptr &&
                         (integer->GetRepresentation() == GenApi::IPV4Address ||
                          integer->GetRepresentation() == GenApi::MACAddress);
    if (address) {
      int64_t number = 0;
      if (!ParseDecimal(value, &number)) return {};
      integer->SetValue(number, true);
    } else if (type == GenApi::intfICommand) {
      auto* command = dynamic_cast<GenApi::ICommand*>(node);
      if (command == nullptr) return {};
      command->Execute(true);
    } else if (type == GenApi::intfIRegister) {
      auto* reg = dynamic_cast<GenApi::IRegister*>(node);
      if (reg == nullptr) return {};
      std::vector<uint8_t> bytes;
      for (const std::string& piece : Split(value, ',')) {
        uint32_t number = 0;
        if (!ParseDecimal(piece, &number)) return {};
        bytes.push_back(static_cast<uint8_t>(number));
      }
      reg->Set(bytes.data(), static_cast<int64_t>(bytes.size()), true);
    } else if (auto* plain = dynamic_cast<GenApi::IValue*>(node)) {
      plain->FromString(value.c_str(), true);
    } else {
      // Nothing was written, so nothing changed through the browser.
      return {};
    }
    // Told once the publisher is left (OnClientMessageThunk).
    return {map->hooks, map->Holder(), node};
  } catch (const GenICam::GenericException& e) {
    SendNodeUpdate(clientId, map->mapName, feature, e.GetDescription());
  }
  return {};
}

void NodeMapPublisher::ServeGet(const std::vector<std::string>& pieces, QINT64 clientId) {
  if (pieces.size() < 2) return;
  const std::shared_ptr<NodeMapProxy> map = FindMap(pieces[0]);
  if (map == nullptr) return;
  GenApi::INode* node = map->Node(pieces[1]);
  if (node == nullptr) return;
  NodeMapJsonWriter writer;
  SetUpSingleNodeWriter(writer, map->mapName);
  const std::string json = writer.WriteNodeList({node}, false);
  const auto client = ActiveClient(clientId);
  if (client == nullptr) return;
  client->Write(kGet, json);
  SendNodeErrors(clientId, map->mapName, writer.NodeErrors());
}

void NodeMapPublisher::ServeExampleCode(const std::vector<std::string>& pieces, QINT64 clientId) {
  if (pieces.size() < 2) return;
  const std::shared_ptr<NodeMapProxy> map = FindMap(pieces[0]);
  if (map == nullptr) return;
  GenApi::INode* node = map->Node(pieces[1]);
  if (node == nullptr) return;
  FeatureCodeGenerator generator(map->prefixes, map->objectType);
  std::string code;
  try {
    generator.FillNodeList(node);
    code = generator.Generate();
  } catch (const GenICam::GenericException&) {
    return;
  }
  const auto client = ActiveClient(clientId);
  if (code.empty() || client == nullptr) return;
  client->Write(kExampleCode, code);
}

void NodeMapPublisher::ServeHello(QINT64 clientId, foundation::UniqueLock<PublisherLock>& hold) {
  std::vector<std::string> names;
  for (const auto& [name, map] : maps_) names.push_back(name);
  const auto client = ActiveClient(clientId);
  hold.unlock();
  if (client == nullptr) return;
  client->Write(kMapsAdded, MapNamesJson(names));
  LogPublisherEvent(*this, PublisherEvent::kHelloSent);
}

std::shared_ptr<ClientConnection> NodeMapPublisher::ActiveByMailbox(QID mailbox) const {
  for (const auto& [id, connection] : active_) {
    if (connection->ToServer() == mailbox) return connection;
  }
  return nullptr;
}

void NodeMapPublisher::SendNodeErrors(QINT64 clientId, const std::string& mapName,
                                      const std::map<GenICam::gcstring, std::string>& errors) {
  for (const auto& [node, text] : errors) SendNodeUpdate(clientId, mapName, node.c_str(), text);
}

void NodeMapPublisher::SendNodeUpdate(QINT64 clientId, const std::string& mapName,
                                      const std::string& nodeName, const std::string& errorText) {
  {
    foundation::ScopedLock hold(lock_);
    if (active_.empty()) return;
  }
  const std::shared_ptr<NodeMapProxy> map = FindMap(mapName);
  if (map == nullptr) return;
  GenApi::INode* node = map->Node(nodeName);
  if (node == nullptr) return;
  NodeMapJsonWriter writer;
  SetUpSingleNodeWriter(writer, mapName);
  writer.SetErrorText(errorText);
  const std::string json = writer.WriteNodeList({node}, false);
  const auto client = ActiveClient(clientId);
  if (client == nullptr) return;
  client->Write(kNodeUpdate, json);
  LogPublisherEvent(*this, PublisherEvent::kNodeUpdate);
}

void NodeMapPublisher::OnNodesChanged(const std::string& mapName,
                                      const GenApi::node_vector& nodes) {
  {
    foundation::ScopedLock hold(lock_);
    if (active_.empty()) return;
  }
  NodeMapJsonWriter writer;
  writer.SetDeviceName(mapName);
  writer.SetVisibilityLimit(GenApi::Guru);
  writer.SetMode(NodeMapJsonWriter::kStateDocument);
  writer.SetValuesOnly(1);
  writer.SetExpandChildren(false);
  std::string json;
  try {
    json = writer.WriteNodeList(nodes, false);
  } catch (const GenICam::GenericException&) {
    return;
  }
  const auto clients = ActiveClients();
  LogPublisherEvent(*this, PublisherEvent::kNodesChanged, foundation::LogTag("NB_F"), nodes.size());
  SendTo(clients, kNodesChanged, json);
}

}  // namespace zor::genicam
