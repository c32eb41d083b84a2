// The HTTP server object attacked from plain sockets: other sites' names and pages, frames
// built to crash or to fill memory, clients that never read, descriptors run out and hundreds of
// clients. A good client is served before, during and after each attack.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/host/hostservices.h"
#include "platform/host/zor.h"
#include "tests/platform/host/rawwebclient.h"
#include "tests/support/mailboxmessage.h"

namespace {

using hosttest::RawWebClient;

constexpr QINT64 kEcho = 1;
constexpr QINT64 kSized = 2;  // the reply holds as many bytes as the body says

// The servers' side, as the feature-browser servers do it: one pair of mailboxes per client,
// named for the client. Tag 1 comes back as sent; tag 2 asks for a reply of that many bytes.
class EchoServer {
 public:
  EchoServer() {
    HostAppHookFunction(Q_DEFAULT, Q_BROWSER_CLIENT_CONNECTED, &OnConnect, this);
    HostAppHookFunction(Q_DEFAULT, Q_BROWSER_CLIENT_DISCONNECTED, &OnDisconnect, this);
  }
  ~EchoServer() {
    HostAppHookFunction(Q_DEFAULT, Q_BROWSER_CLIENT_CONNECTED + Q_UNHOOK, &OnConnect, this);
    HostAppHookFunction(Q_DEFAULT, Q_BROWSER_CLIENT_DISCONNECTED + Q_UNHOOK, &OnDisconnect, this);
  }
  int Ended() const { return ended_.load(); }
  // Waits until `count` clients have ended; false after ten seconds.
  bool WaitEnded(int count) const {
    for (int i = 0; i < 1000 && Ended() < count; ++i) usleep(10000);
    return Ended() >= count;
  }

 private:
  static QID Mailbox(QINT64 client, const wchar_t* direction) {
    const QID mailbox = HostObjAlloc(Q_DEFAULT_HOST, Q_MAILBOX, Q_DEFAULT, nullptr);
    const std::wstring name = L"Echo:" + std::wstring(direction) + L":" + std::to_wstring(client);
    HostObjControl(mailbox, Q_OBJECT_NAME, reinterpret_cast<QINT64>(name.c_str()));
    return mailbox;
  }

  static QINT64 OnConnect(QINT64, QID event, void* user) {
    auto* self = static_cast<EchoServer*>(user);
    QINT64 client = 0;
    HostAppGetHookInfo(Q_DEFAULT, event, Q_BROWSER_CLIENT_ID, &client);
    const QID toServer = Mailbox(client, L"FBClientToServer");
    const QID toClient = Mailbox(client, L"FBServerToClient");
    HostObjHookFunction(toServer, Q_MAILBOX_MESSAGE, &OnMessage, reinterpret_cast<void*>(toClient));
    std::lock_guard lock(self->mutex_);
    self->pairs_[client] = {toServer, toClient};
    return 0;
  }

  static QINT64 OnMessage(QINT64, QID event, void* user) {
    QID mailbox = 0;
    HostObjGetHookInfo(event, Q_OBJECT_ID, &mailbox);
    const auto [tag, body] = testsupport::TakeMailboxMessage(mailbox);
    const std::string reply = tag == kSized ? std::string(std::stoul(body), 'x') : body;
    HostObjMessageWrite(reinterpret_cast<QID>(user), reply.data(),
                        static_cast<QINT64>(reply.size()), tag, Q_DEFAULT);
    return 0;
  }

  static QINT64 OnDisconnect(QINT64, QID event, void* user) {
    auto* self = static_cast<EchoServer*>(user);
    QINT64 client = 0;
    HostAppGetHookInfo(Q_DEFAULT, event, Q_BROWSER_CLIENT_ID, &client);
    std::pair<QID, QID> pair{0, 0};
    {
      std::lock_guard lock(self->mutex_);
      auto found = self->pairs_.find(client);
      if (found == self->pairs_.end()) return 0;
      pair = found->second;
      self->pairs_.erase(found);
    }
    HostObjFree(pair.first);
    HostObjFree(pair.second);
    ++self->ended_;
    return 0;
  }

  std::mutex mutex_;
  std::map<QINT64, std::pair<QID, QID>> pairs_;
  std::atomic<int> ended_{0};
};

// The served URL's port.
uint16_t PortOf(QID server) {
  const QINT64 length = HostObjInquire(server, Q_HTTP_URL + Q_STRING_SIZE, nullptr);
  std::wstring url(static_cast<size_t>(length), L'\0');
  HostObjInquire(server, Q_HTTP_URL, url.data());
  return static_cast<uint16_t>(std::stoul(url.substr(url.rfind(L':') + 1)));
}

size_t CountThreads() {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                           std::filesystem::directory_iterator()));
}

size_t CountDescriptors() {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                           std::filesystem::directory_iterator()));
}

size_t ResidentBytes() {
  std::ifstream status("/proc/self/status");
  std::string word;
  while (status >> word) {
    if (word == "VmRSS:") {
      size_t kilobytes = 0;
      status >> kilobytes;
      return kilobytes * 1024;
    }
  }
  return 0;
}

class WebServerTest : public testing::Test {
 protected:
  void SetUp() override {
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    root_ = std::filesystem::temp_directory_path() / ("zor-webserver-" + std::to_string(getpid()));
    std::filesystem::create_directories(root_);
    std::ofstream(root_ / "index.html") << "<title>Page</title>\n";
    server_ = Start(L"http://localhost:0");
    port_ = PortOf(server_);
    host_ = "localhost:" + std::to_string(port_);
    good_ = std::make_unique<RawWebClient>(port_);
    ASSERT_EQ(good_->Upgrade(host_, "http://" + host_), 101);
    ExpectGoodClientServed();
  }

  void TearDown() override {
    ExpectGoodClientServed();
    good_.reset();
    HostObjFree(server_);
    std::filesystem::remove_all(root_);
  }

  QID Start(const std::wstring& url) {
    const QID server = HostObjAlloc(Q_DEFAULT_HOST, Q_HTTP_SERVER, Q_DEFAULT, nullptr);
    const std::wstring folder = root_.wstring();
    HostObjControl(server, Q_HTTP_ROOT_FOLDER, reinterpret_cast<QINT64>(folder.c_str()));
    HostObjControl(server, Q_HTTP_URL, reinterpret_cast<QINT64>(url.c_str()));
    HostObjControl(server, Q_HTTP_START, Q_DEFAULT);
    EXPECT_EQ(HostObjInquire(server, Q_HTTP_STATE, nullptr), Q_HTTP_START);
    return server;
  }

  void ExpectGoodClientServed() {
    const std::string word = "alive" + std::to_string(++greetings_);
    EXPECT_EQ(good_->Echo(word), word);
  }

  // Runs in a child process of its own, as the descriptor limit is the process's. Exits 0 when
  // the server served the good client while no descriptor was left and a new one after.
  [[noreturn]] void ExhaustDescriptorsThenConnect() {
    RawWebClient late(port_, false);
    const rlimit limit{CountDescriptors() + 4, RLIM_INFINITY};
    setrlimit(RLIMIT_NOFILE, &limit);
    std::vector<int> filler;
    for (int fd = open("/dev/null", O_RDONLY); fd >= 0; fd = open("/dev/null", O_RDONLY)) {
      filler.push_back(fd);
    }
    // The connection waits in the backlog while the server's accepts fail.
    if (!late.Connect()) _exit(2);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    if (good_->Echo("starved") != "starved") _exit(3);
    for (int fd : filler) close(fd);
    if (late.Get("/", host_) != 200) _exit(4);
    RawWebClient next(port_);
    if (next.Upgrade(host_) != 101 || next.Echo("back") != "back") _exit(5);
    _exit(0);
  }

  std::filesystem::path root_;
  EchoServer echo_;
  QID server_ = 0;
  uint16_t port_ = 0;
  std::string host_;
  std::unique_ptr<RawWebClient> good_;
  int greetings_ = 0;
};

TEST_F(WebServerTest, AnswersOnlyItsOwnNamesAndPage) {
  const std::string port = std::to_string(port_);
  // The page, by name and by address; other names (DNS rebinding), ports or none are refused.
  for (const std::string& host :
       std::vector<std::string>{"localhost:" + port, "LocalHost:" + port, "127.0.0.1:" + port}) {
    EXPECT_EQ(RawWebClient(port_).Get("/", host), 200) << host;
  }
  for (const std::string& host :
       std::vector<std::string>{"attacker.example:" + port, "localhost", "127.0.0.1",
                                "localhost:" + std::to_string(port_ + 1), "localhost:" + port + "x",
                                "localhost.:" + port, std::string()}) {
    EXPECT_EQ(RawWebClient(port_).Get("/", host), 403) << host;
  }
  ExpectGoodClientServed();
  // The WebSocket: a foreign name, or a page of another origin, gets no client.
  EXPECT_EQ(RawWebClient(port_).Upgrade("attacker.example:" + port), 403);
  EXPECT_EQ(
      RawWebClient(port_).Upgrade("attacker.example:" + port, "http://attacker.example:" + port),
      403);
  for (const std::string& origin : std::vector<std::string>{
           "http://attacker.example", "http://attacker.example:" + port, "null",
           "https://localhost:" + port, "http://localhost:" + std::to_string(port_ + 1),
           "http://localhost", "http://localhost:" + port + ".attacker.example"}) {
    EXPECT_EQ(RawWebClient(port_).Upgrade(host_, origin), 403) << origin;
  }
  EXPECT_EQ(echo_.Ended(), 0);
  // The page's own origin by either name, and a local program without one.
  for (const std::string& origin : std::vector<std::string>{
           "http://localhost:" + port, "http://127.0.0.1:" + port, std::string()}) {
    RawWebClient client(port_);
    ASSERT_EQ(client.Upgrade("127.0.0.1:" + port, origin), 101) << origin;
    EXPECT_EQ(client.Echo("mine"), "mine") << origin;
  }
}

TEST_F(WebServerTest, RefusesFramesBuiltToCrashOrToFillMemory) {
  RawWebClient client(port_);
  ASSERT_EQ(client.Upgrade(host_), 101);
  // Nesting that a recursive parser would follow off the end of its thread's stack: dropped as
  // malformed, or served when the frame has its form, and the connection goes on.
  ASSERT_TRUE(client.SendText(std::string(200000, '[')));
  ASSERT_TRUE(client.SendText(std::string(100000, '[') + std::string(100000, ']')));
  EXPECT_EQ(client.Echo("after").value_or(""), "after");
  const std::string nested = std::string(100000, '[') + std::string(100000, ']');
  ASSERT_TRUE(client.SendText(R"({"tag":1,"body":"deep","more":)" + nested + "}"));
  const auto deep = client.ReadFrame();
  ASSERT_TRUE(deep.has_value());
  EXPECT_EQ(deep->payload, R"({"tag":1,"body":"deep"})");
  ExpectGoodClientServed();
  // One byte over the default megabyte: refused at the frame's header. The close (1009) may
  // come back, or the reset of the rest of the frame left unread may overtake it.
  {
    RawWebClient big(port_);
    ASSERT_EQ(big.Upgrade(host_), 101);
    big.SendText(R"({"tag":1,"body":")" + std::string(size_t{1} << 20, 'b') + "\"}");
    if (const auto closing = big.ReadFrame()) {
      EXPECT_EQ(closing->opcode, 8);
      ASSERT_GE(closing->payload.size(), 2u);
      EXPECT_EQ((static_cast<unsigned char>(closing->payload[0]) << 8) |
                    static_cast<unsigned char>(closing->payload[1]),
                1009);
    }
  }
  EXPECT_TRUE(echo_.WaitEnded(1));
  ExpectGoodClientServed();
  // Just under it passes.
  RawWebClient large(port_);
  ASSERT_EQ(large.Upgrade(host_), 101);
  const std::string fits((size_t{1} << 20) - 20, 'f');
  EXPECT_EQ(large.Echo(fits), fits);
}

TEST_F(WebServerTest, MessageLimitIsSettable) {
  setenv("ZOR_BROWSER_MESSAGE_BYTES", "100", 1);
  const QID small = Start(L"http://localhost:0");
  unsetenv("ZOR_BROWSER_MESSAGE_BYTES");
  const uint16_t port = PortOf(small);
  const std::string host = "localhost:" + std::to_string(port);
  RawWebClient client(port);
  ASSERT_EQ(client.Upgrade(host), 101);
  const std::string fits(100 - 19, 'f');  // with {"tag":1,"body":""}
  EXPECT_EQ(client.Echo(fits), fits);
  EXPECT_FALSE(client.Echo(fits + "f").has_value());
  HostObjFree(small);
}

TEST_F(WebServerTest, ClosesAClientThatLeavesItsRepliesUnread) {
  const size_t before = ResidentBytes();
  RawWebClient reader(port_);
  ASSERT_EQ(reader.Upgrade(host_), 101);
  // 20,000 requests for 64 KB each: 1.3 GB if the server kept them all.
  const std::string request = R"({"tag":2,"body":"65536"})";
  for (int sent = 0; sent < 20000 && reader.SendText(request); ++sent) {
  }
  // Nothing read yet: the server ends the client on its own.
  EXPECT_TRUE(echo_.WaitEnded(1));
  ExpectGoodClientServed();
  const auto received = reader.DrainUntilClosed();
  ASSERT_TRUE(received.has_value()) << "the server kept the connection";
  // What reached the client and what the process grew by stay near the server's bound (16 MB),
  // the sanitizers' own keeping of freed memory included.
  const size_t grown = ResidentBytes() - std::min(before, ResidentBytes());
  std::printf("unread replies: %zu bytes reached the client, the process grew by %zu bytes\n",
              *received, grown);
  EXPECT_LT(*received, size_t{64} << 20);
  EXPECT_LT(grown, size_t{512} << 20);
}

TEST_F(WebServerTest, AcceptsAgainAfterDescriptorsRanOut) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(ExhaustDescriptorsThenConnect(), testing::ExitedWithCode(0), "");
}

TEST_F(WebServerTest, ServesHundredsOfClientsOnAFixedSetOfThreads) {
  const size_t threads = CountThreads();
  std::vector<std::unique_ptr<RawWebClient>> clients;
  for (int i = 0; i < 200; ++i) {
    clients.push_back(std::make_unique<RawWebClient>(port_));
    ASSERT_EQ(clients.back()->Upgrade(host_), 101) << i;
  }
  for (size_t i = 0; i < clients.size(); ++i) {
    EXPECT_EQ(clients[i]->Echo(std::to_string(i)), std::to_string(i));
  }
  EXPECT_LE(CountThreads(), threads + 2);
  ExpectGoodClientServed();
  clients.clear();
  EXPECT_TRUE(echo_.WaitEnded(200));
}

}  // namespace
