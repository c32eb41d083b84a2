// A browser's session over the host's HTTP server: the web files, and the protocol in
// WebSocket frames on loopback.
#include <gtest/gtest.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <unistd.h>

#include <boost/asio.hpp>
#include <boost/beast.hpp>

#include "platform/host/hostservices.h"
#include "tests/driver/frameworkuser/genicam/jsoncheck.h"
#include "tests/driver/frameworkuser/genicam/publisherfixture.h"

namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using zor::genicam::NodeMapPublisher;

// A port of this process's own, so that parallel test runs do not meet.
int64_t TestPort() { return 20000 + getpid() % 20000; }

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
