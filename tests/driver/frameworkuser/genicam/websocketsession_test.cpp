// A browser's session over the host's HTTP server: the web files, and the protocol in
// WebSocket frames on loopback.
#include <gtest/gtest.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <boost/asio.hpp>
#include <boost/beast.hpp>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/host/hostservices.h"
#include "tests/driver/frameworkuser/genicam/jsoncheck.h"
#include "tests/driver/frameworkuser/genicam/publisherfixture.h"
#include "tests/platform/host/rawwebclient.h"
#include "tests/platform/host/slowclients.h"
#include "tests/support/processfacts.h"

namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using zor::genicam::NodeMapPublisher;
using zortest::CountDescriptors;

// A port of this process's own, so that parallel test runs do not meet, below the ephemeral range
// (from 32768) where another test's client connection could hold it.
int64_t TestPort() { return 20000 + getpid() % 12000; }

http::response<http::string_body> Get(int64_t port, const std::string& target) {
  net::io_context io;
  beast::tcp_stream stream(io);
  stream.connect(tcp::endpoint(net::ip::make_address("127.0.0.1"), static_cast<uint16_t>(port)));
  http::request<http::empty_body> request{http::verb::get, target, 11};
  request.set(http::field::host, "localhost:" + std::to_string(port));
  http::write(stream, request);
  beast::flat_buffer buffer;
  http::response<http::string_body> response;
  http::read(stream, buffer, response);
  return response;
}

struct Frame {
  int64_t tag = 0;
  std::string body;
};

class WebSocketClient {
 public:
  explicit WebSocketClient(int64_t port) : ws_(io_) {
    ws_.next_layer().connect(
        tcp::endpoint(net::ip::make_address("127.0.0.1"), static_cast<uint16_t>(port)));
    ws_.handshake("localhost:" + std::to_string(port), "/ws");
  }
  void Send(int64_t tag, const std::string& body) {
    rapidjson::StringBuffer text;
    rapidjson::Writer<rapidjson::StringBuffer> writer(text);
    writer.StartObject();
    writer.Key("tag");
    writer.Int64(tag);
    writer.Key("body");
    writer.String(body.c_str());
    writer.EndObject();
    ws_.write(net::buffer(std::string(text.GetString())));
  }
  void SendRaw(const std::string& text) { ws_.write(net::buffer(text)); }
  // The next frame of the tag, dropping others before it.
  Frame WaitFor(int64_t tag) {
    for (;;) {
      beast::flat_buffer buffer;
      ws_.read(buffer);
      rapidjson::Document document;
      const std::string text = beast::buffers_to_string(buffer.data());
      EXPECT_EQ(genicamtest::JsonError(text, document), "");
      Frame frame{document["tag"].GetInt64(), document["body"].GetString()};
      if (frame.tag == tag) return frame;
    }
  }
  void Close() { ws_.close(websocket::close_code::normal); }

 private:
  net::io_context io_;
  websocket::stream<tcp::socket> ws_;
};

// The page and the map list, as a polite browser asks for them; false on anything else.
bool PageAndMapList(uint16_t port, const std::string& mapList) {
  const std::string host = "localhost:" + std::to_string(port);
  if (hosttest::RawWebClient(port).Get("/", host) != 200) return false;
  hosttest::RawWebClient page(port);
  if (page.Upgrade(host) != 101) return false;
  if (!page.SendText(R"({"tag":9,"body":""})")) return false;
  const auto reply = page.ReadFrame();
  rapidjson::Document document;
  return reply.has_value() && genicamtest::JsonError(reply->payload, document).empty() &&
         document["tag"].GetInt64() == NodeMapPublisher::kMapsAdded &&
         document["body"].GetString() == mapList;
}

size_t MailboxCount() {
  return static_cast<size_t>(HostAppListObjects(Q_DEFAULT, 20, Q_MAILBOX, 0, nullptr));
}

class WebSession : public testing::Test {
 protected:
  void SetUp() override {
    publisher = genicamtest::MakePublisher("SysW", true, TestPort());
    map = genicamtest::MakePublishedMap("CamW");
    publisher->AddNodeMap("CamW", "device", genicamtest::DevicePrefixes("CamW"), 0, map, nullptr);
  }
  std::shared_ptr<GenApi::CNodeMapRef> map;
  std::unique_ptr<NodeMapPublisher> publisher;
};

TEST_F(WebSession, ServesTheWebFilesOnLoopbackOnly) {
  EXPECT_EQ(publisher->Url(), L"http://localhost:" + std::to_wstring(TestPort()));
  const auto page = Get(TestPort(), "/");
  EXPECT_EQ(page.result(), http::status::ok);
  EXPECT_NE(page.body().find("Feature browser"), std::string::npos);
  EXPECT_EQ(page[http::field::content_type], "text/html; charset=utf-8");
  EXPECT_EQ(Get(TestPort(), "/../featurebrowser.exe").result(), http::status::not_found);
  EXPECT_EQ(Get(TestPort(), "/%2e%2e/featurebrowser.exe").result(), http::status::not_found);
  EXPECT_EQ(Get(TestPort(), "/missing.js").result(), http::status::not_found);
}

TEST_F(WebSession, ProtocolTravelsInFrames) {
  const size_t before = MailboxCount();
  {
    WebSocketClient client(TestPort());
    client.SendRaw("not json");
    client.SendRaw(R"({"tag":"9"})");
    client.Send(NodeMapPublisher::kHello, "");
    EXPECT_EQ(client.WaitFor(NodeMapPublisher::kMapsAdded).body, R"(["CamW"])");
    EXPECT_EQ(MailboxCount(), before + 2);
    client.Send(NodeMapPublisher::kSnapshot, "CamW");
    rapidjson::Document snapshot;
    EXPECT_EQ(genicamtest::JsonError(client.WaitFor(NodeMapPublisher::kSnapshot).body, snapshot),
              "");
    EXPECT_TRUE(snapshot.HasMember("Data"));
    client.Send(NodeMapPublisher::kSubscribe, "CamW");
    client.Send(NodeMapPublisher::kSet, "CamW:Width:720");
    EXPECT_NE(client.WaitFor(NodeMapPublisher::kNodesChanged).body.find("720"), std::string::npos);
    client.Send(NodeMapPublisher::kExampleCode, "CamW:Width");
    EXPECT_NE(client.WaitFor(NodeMapPublisher::kExampleCode).body.find("CamW:Width"),
              std::string::npos);
    client.Close();
  }
  // The client's end frees its mailboxes, once the server has seen the close.
  for (int i = 0; i < 200 && MailboxCount() != before; ++i) usleep(10000);
  EXPECT_EQ(MailboxCount(), before);
  EXPECT_EQ(GenApi::CIntegerPtr(map->_GetNode("Width"))->GetValue(), 720);
}

TEST_F(WebSession, WithdrawingTheLastMapEndsOpenPages) {
  WebSocketClient client(TestPort());
  client.Send(NodeMapPublisher::kHello, "");
  client.WaitFor(NodeMapPublisher::kMapsAdded);
  const size_t before = MailboxCount();
  publisher->RemoveDevice("CamW");
  EXPECT_EQ(publisher->PublishedCount(), 0u);
  EXPECT_EQ(MailboxCount(), before - 2);
  EXPECT_THROW(client.WaitFor(-1), std::exception);
}

// A thousand connections that dribble their request head and five hundred that hold one without
// its end, opened again each second once the server closed them: a polite browser still gets the
// page and the map list at every look, the server keeps its connections within their bound, and its
// descriptors come back once the slow clients go. The request time is shortened to a second.
TEST_F(WebSession, SlowClientsLeaveRoomForThePageAndTheMapList) {
  constexpr size_t kDribbling = 1000;
  constexpr size_t kHolding = 500;
  constexpr size_t kKept = 256;  // the server's connections by default
  rlimit descriptors{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &descriptors), 0);
  const rlim_t needed = CountDescriptors() + kDribbling + kHolding + 2 * kKept;
  if (descriptors.rlim_cur < needed) {
    ASSERT_GE(descriptors.rlim_max, needed) << "the test needs this many descriptors";
    descriptors.rlim_cur = needed;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &descriptors), 0);
  }
  publisher.reset();
  setenv("ZOR_BROWSER_REQUEST_MS", "1000", 1);
  publisher = genicamtest::MakePublisher("SysW", true, TestPort());
  publisher->AddNodeMap("CamW", "device", genicamtest::DevicePrefixes("CamW"), 0, map, nullptr);
  unsetenv("ZOR_BROWSER_REQUEST_MS");
  const auto port = static_cast<uint16_t>(TestPort());
  ASSERT_TRUE(PageAndMapList(port, R"(["CamW"])"));
  const size_t before = CountDescriptors();
  std::atomic<bool> attacking{true};
  size_t closed = 0;
  std::thread attack([&] {
    hosttest::SlowClients slow(port, kDribbling, kHolding);
    // A byte every tenth of the request time, a closed connection opened again every request
    // time.
    for (int tick = 0; attacking; ++tick) {
      slow.Tick(tick % 10 == 0);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    closed = slow.ClosedByServer();
  });
  std::chrono::steady_clock::duration longest{};
  for (int look = 0; look < 15; ++look) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(PageAndMapList(port, R"(["CamW"])")) << "look " << look;
    longest = std::max(longest, std::chrono::steady_clock::now() - start);
    // The slow clients' descriptors, the server's kept connections, the page's client.
    EXPECT_LE(CountDescriptors(), before + kDribbling + kHolding + kKept + 8) << "look " << look;
  }
  attacking = false;
  attack.join();
  std::printf("slow clients: %zu closed by the server; the longest look took %lld ms\n", closed,
              static_cast<long long>(
                  std::chrono::duration_cast<std::chrono::milliseconds>(longest).count()));
  EXPECT_LT(longest, std::chrono::seconds(10));
  // Every slow client was closed once at least, by its time or for a newer connection.
  EXPECT_GE(closed, kDribbling + kHolding);
  for (int i = 0; i < 500 && CountDescriptors() > before; ++i) usleep(10000);
  EXPECT_LE(CountDescriptors(), before);
  EXPECT_TRUE(PageAndMapList(port, R"(["CamW"])"));
}

TEST(HttpServerObject, RefusesBadUrlsAndMissingFolders) {
  const QID server = HostObjAlloc(genicamtest::kTestSystem, Q_HTTP_SERVER, Q_DEFAULT, nullptr);
  ASSERT_NE(server, 0);
  HostAppControl(Q_DEFAULT, 0x41000000, 0);  // no error printing
  const std::wstring folder = genicamtest::TestInstallFolder().wstring();
  HostObjControl(server, Q_HTTP_ROOT_FOLDER, reinterpret_cast<QINT64>(folder.c_str()));
  for (const wchar_t* url : {L"ftp://localhost:1", L"http://localhost", L"http://localhost:99999",
                             L"http://localhost:x"}) {
    HostObjControl(server, Q_HTTP_URL, reinterpret_cast<QINT64>(url));
    HostObjControl(server, Q_HTTP_START, Q_DEFAULT);
    EXPECT_EQ(HostObjInquire(server, Q_HTTP_STATE, nullptr), Q_HTTP_STOP) << url;
  }
  const std::wstring missing = folder + L"/none";
  const std::wstring url = L"http://localhost:0";
  HostObjControl(server, Q_HTTP_URL, reinterpret_cast<QINT64>(url.c_str()));
  HostObjControl(server, Q_HTTP_ROOT_FOLDER, reinterpret_cast<QINT64>(missing.c_str()));
  HostObjControl(server, Q_HTTP_START, Q_DEFAULT);
  EXPECT_EQ(HostObjInquire(server, Q_HTTP_STATE, nullptr), Q_HTTP_STOP);
  HostObjControl(server, Q_HTTP_ROOT_FOLDER, reinterpret_cast<QINT64>(folder.c_str()));
  HostObjControl(server, Q_HTTP_START, Q_DEFAULT);
  EXPECT_EQ(HostObjInquire(server, Q_HTTP_STATE, nullptr), Q_HTTP_START);
  HostObjControl(server, Q_HTTP_STOP, Q_DEFAULT);
  EXPECT_EQ(HostObjInquire(server, Q_HTTP_STATE, nullptr), Q_HTTP_STOP);
  HostObjFree(server);
  HostAppControl(Q_DEFAULT, 0x41000000, 1);
}

}  // namespace
