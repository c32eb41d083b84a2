// The feature browser's road: the first board's server opened and closed (with the first
// digitizer's map now and then), and while it is open, a client that asks for the page, the
// list of maps through the WebSocket and a feature of the system's map, as the page does. The
// browser's thread alone opens and closes the system's maps, so while it holds them open the
// server must answer.
#include <rapidjson/document.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/platform/host/rawwebclient.h"
#include "tests/torture/roads.h"

namespace torture {
namespace {

constexpr QINT64 kFeatureBrowser = 6905;
constexpr QINT64 kOpen = 16;
const std::vector<QINT64> kCloseValues = {32, 33, 34};
constexpr int kGet = 4;
constexpr int kPolling = 8;
constexpr int kHello = 9;
constexpr int kMapsAdded = 0x10000000;
// Messages a client may get before the answer it waits for (changes the polling reports).
constexpr int kMostMessages = 100000;

// Whether the browser's thread has the system's maps published.
bool published = false;

std::string Message(int tag, const std::string& body) {
  return "{\"tag\":" + std::to_string(tag) + ",\"body\":\"" + body + "\"}";
}

// The body of the next message with the tag; none when the connection ended or gave up.
std::optional<std::string> WaitFor(hosttest::RawWebClient& client, int tag) {
  for (int i = 0; i < kMostMessages; ++i) {
    const std::optional<hosttest::WebFrame> frame = client.ReadFrame();
    if (!frame || frame->opcode == 8) return std::nullopt;
    rapidjson::Document message;
    message.Parse(frame->payload.c_str());
    if (message.HasParseError() || !message.IsObject() || !message.HasMember("tag") ||
        !message["tag"].IsInt() || !message.HasMember("body") || !message["body"].IsString()) {
      return "(not a message: " + frame->payload.substr(0, 200) + ")";
    }
    if (message["tag"].GetInt() == tag) return std::string(message["body"].GetString());
  }
  return std::nullopt;
}

// The system's map among those a list names: the one whose name has no digitizer part.
std::string SystemMap(Worker& worker, const std::string& list) {
  rapidjson::Document names;
  names.Parse(list.c_str());
  if (names.HasParseError() || !names.IsArray()) {
    worker.Note("the map list is no list: " + list.substr(0, 200));
    return {};
  }
  for (const auto& name : names.GetArray()) {
    if (name.IsString() && std::string(name.GetString()).find('\\') == std::string::npos) {
      return name.GetString();
    }
  }
  return {};
}

// The system's map from the hello's answer. Maps that another thread opens meanwhile are
// announced to the client too, with the same tag, and may come first.
std::string HelloSystemMap(Worker& worker, hosttest::RawWebClient& socket) {
  constexpr int kMostLists = 100;
  std::string last;
  for (int list = 0; list < kMostLists; ++list) {
    const std::optional<std::string> maps = WaitFor(socket, kMapsAdded);
    if (!maps) break;
    const std::string map = SystemMap(worker, *maps);
    if (!map.empty()) return map;
    last = *maps;
  }
  worker.Note(last.empty() ? "no map list came"
                           : "the map lists lack the system's map: " + last.substr(0, 200));
  return {};
}

void Open(Worker& worker, SharedSystem& system, SharedDigitizer& digitizer) {
  published =
      worker.Do("QsysControl", [&] { QsysControl(system.id, kFeatureBrowser, kOpen); }) == 0;
  if (published && worker.Chance(50)) {
    worker.Do("QdigControl", [&] { QdigControl(digitizer.id, kFeatureBrowser, kOpen); });
  }
}

void Close(Worker& worker, SharedSystem& system) {
  const QINT64 value = worker.PickOf(kCloseValues);
  worker.Do("QsysControl", [&] { QsysControl(system.id, kFeatureBrowser, value); });
  published = false;
}

// The page, then the maps and a feature through the WebSocket; the client stays connected.
void Visit(Worker& worker, hosttest::RawWebClient& socket) {
  const uint16_t port = worker.world().BrowserPort();
  const std::string host = "localhost:" + std::to_string(port);
  int status = 0;
  worker.Watch("browser: GET /", [&] { status = hosttest::RawWebClient(port).Get("/", host); });
  if (status != 200) worker.Note("the page answered " + std::to_string(status));
  worker.Watch("browser: upgrade", [&] { status = socket.Upgrade(host); });
  if (status != 101) {
    worker.Note("the WebSocket upgrade answered " + std::to_string(status));
    return;
  }
  std::string map;
  worker.Watch("browser: hello", [&] {
    if (socket.SendText(Message(kHello, ""))) {
      map = HelloSystemMap(worker, socket);
    } else {
      worker.Note("the hello could not be sent");
    }
  });
  if (map.empty()) return;
  if (worker.Chance(30))
    socket.SendText(Message(kPolling, worker.Chance(50) ? "poll:true" : "poll:false"));
  std::optional<std::string> answer;
  worker.Watch("browser: get", [&] {
    if (socket.SendText(Message(kGet, map + ":Q_NUMBER"))) answer = WaitFor(socket, kGet);
  });
  if (!answer || answer->find("Q_NUMBER") == std::string::npos) {
    worker.Note("no feature came from the system's map: " + answer.value_or("(nothing)"));
  }
}

}  // namespace

void Browse(Worker& worker) {
  SharedSystem& system = worker.world().Systems().front();
  SharedDigitizer& digitizer = worker.world().Digitizers().front();
  if (!published) return Open(worker, system, digitizer);
  if (worker.Chance(15)) return Close(worker, system);
  hosttest::RawWebClient socket(worker.world().BrowserPort());
  Visit(worker, socket);
  // Now and then the maps go while the client is still connected.
  if (worker.Chance(20)) Close(worker, system);
}

}  // namespace torture
