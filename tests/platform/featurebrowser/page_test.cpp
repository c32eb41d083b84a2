// The page, loaded by headless Chromium from the host's HTTP server: it lists the published
// maps, shows a feature's value, and follows a change that the application makes. The test
// reads the rendered page through Chromium's DevTools protocol.
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <boost/asio.hpp>
#include <boost/beast.hpp>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tests/driver/frameworkuser/genicam/publisherfixture.h"

extern char** environ;

namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;

std::string Chromium() {
  for (const char* path : {"/usr/bin/chromium", "/usr/bin/chromium-browser"}) {
    if (access(path, X_OK) == 0) return path;
  }
  return "";
}

// Headless Chromium on one page, ended with the test.
class Browser {
 public:
  Browser(const std::string& program, int port, const std::string& profile,
          const std::string& url) {
    std::vector<std::string> args = {program,
                                     "--headless",
                                     "--no-sandbox",
                                     "--disable-gpu",
                                     "--no-first-run",
                                     "--window-size=1280,800",
                                     "--remote-allow-origins=*",
                                     "--remote-debugging-port=" + std::to_string(port),
                                     "--user-data-dir=" + profile,
                                     url};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
      pid_ = 0;
    }
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Browser() {
    if (pid_ == 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  bool Started() const { return pid_ != 0; }

 private:
  pid_t pid_ = 0;
};

// The DevTools connection to the page.
class PageInspector {
 public:
  // Waits until Chromium lists its page.
  bool Connect(int port) {
    for (int attempt = 0; attempt < 300; ++attempt) {
      const std::string target = PageTarget(port);
      if (!target.empty()) {
        ws_.next_layer().connect(
            tcp::endpoint(net::ip::make_address("127.0.0.1"), static_cast<uint16_t>(port)));
        ws_.handshake("127.0.0.1:" + std::to_string(port), target);
        return true;
      }
      usleep(50000);
    }
    return false;
  }

  // The value of a JavaScript expression that gives a text.
  std::string Evaluate(const std::string& expression) {
    rapidjson::Document reply = Call(
        "Runtime.evaluate", "{\"expression\":" + Quote(expression) + ",\"returnByValue\":true}");
    const auto& result = reply["result"]["result"];
    return result.HasMember("value") && result["value"].IsString() ? result["value"].GetString()
                                                                   : "";
  }

  // Polls the expression until it gives a nonempty text, or gives up after about 15 s.
  std::string WaitFor(const std::string& expression) {
    for (int attempt = 0; attempt < 300; ++attempt) {
      std::string value = Evaluate(expression);
      if (!value.empty()) return value;
      usleep(50000);
    }
    return "";
  }

  // The page as a PNG image, base64-encoded.
  std::string Screenshot() {
    rapidjson::Document reply = Call("Page.captureScreenshot", "{\"format\":\"png\"}");
    return reply["result"]["data"].GetString();
  }

 private:
  static std::string Quote(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
      if (c == '"' || c == '\\') quoted += '\\';
      quoted += c;
    }
    return quoted + "\"";
  }

  static std::string PageTarget(int port) {
    try {
      net::io_context io;
      beast::tcp_stream stream(io);
      stream.connect(
          tcp::endpoint(net::ip::make_address("127.0.0.1"), static_cast<uint16_t>(port)));
      http::request<http::empty_body> request{http::verb::get, "/json/list", 11};
      request.set(http::field::host, "127.0.0.1");
      http::write(stream, request);
      beast::flat_buffer buffer;
      http::response<http::string_body> response;
      http::read(stream, buffer, response);
      rapidjson::Document list;
      list.Parse(response.body().c_str());
      if (!list.IsArray()) return "";
      for (const auto& entry : list.GetArray()) {
        if (std::string(entry["type"].GetString()) != "page") continue;
        const std::string url = entry["webSocketDebuggerUrl"].GetString();
        return url.substr(url.find("/devtools/"));
      }
    } catch (const std::exception&) {
    }
    return "";
  }

  rapidjson::Document Call(const std::string& method, const std::string& params) {
    const int id = ++nextId_;
    ws_.write(net::buffer("{\"id\":" + std::to_string(id) + ",\"method\":\"" + method +
                          "\",\"params\":" + params + "}"));
    for (;;) {
      beast::flat_buffer buffer;
      ws_.read(buffer);
      rapidjson::Document reply;
      reply.Parse(beast::buffers_to_string(buffer.data()).c_str());
      if (reply.IsObject() && reply.HasMember("id") && reply["id"].GetInt() == id) return reply;
    }
  }

  net::io_context io_;
  websocket::stream<tcp::socket> ws_{io_};
  int nextId_ = 0;
};

std::string DecodeBase64(const std::string& text) {
  std::string bytes;
  int bits = 0;
  uint32_t buffer = 0;
  for (char c : text) {
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const char* at = std::strchr(alphabet, c);
    if (c == '=' || at == nullptr) continue;
    buffer = (buffer << 6) | static_cast<uint32_t>(at - alphabet);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes.push_back(static_cast<char>((buffer >> bits) & 0xFF));
    }
  }
  return bytes;
}

TEST(FeatureBrowserPage, ShowsMapsValuesAndChanges) {
  const std::string chromium = Chromium();
  if (chromium.empty())
    GTEST_SKIP() << "Debian's chromium is not installed; the page is not tested.";
  // The real page in place of the stand-in file of the fixture.
  const auto dist =
      genicamtest::TestInstallFolder() / "tools" / "featurebrowser" / "resources" / "app" / "dist";
  for (const char* file : {"index.html", "style.css", "app.js"}) {
    std::filesystem::copy_file(std::filesystem::path(ZOR_PAGE_SOURCE_DIR) / file, dist / file,
                               std::filesystem::copy_options::overwrite_existing);
  }
  const int port = 30000 + getpid() % 15000;
  auto publisher = genicamtest::MakePublisher("SysPage", true, port);
  auto map = genicamtest::MakePublishedMap("PageCam");
  publisher->AddNodeMap("PageCam", "device", genicamtest::DevicePrefixes("PageCam"), 0, map,
                        nullptr);
  publisher->AddNodeMap("OtherCam", "device", genicamtest::DevicePrefixes("OtherCam"), 0,
                        genicamtest::MakePublishedMap("OtherCam"), nullptr);

  const std::string output = ZOR_TEST_OUTPUT_DIR;
  std::filesystem::create_directories(output);
  const int devtools = port + 15000;
  Browser browser(chromium, devtools, output + "/profile",
                  "http://localhost:" + std::to_string(port) + "/?map=PageCam");
  ASSERT_TRUE(browser.Started());
  PageInspector page;
  ASSERT_TRUE(page.Connect(devtools));

  const std::string widthValue =
      "(document.querySelector('[data-feature=\"Width\"]') || {dataset: {}}).dataset.value || ''";
  EXPECT_EQ(page.WaitFor(widthValue), "640");
  EXPECT_EQ(page.Evaluate("[...document.querySelectorAll('#maps li')].map(e => e.textContent)"
                          ".join(',')"),
            "OtherCam,PageCam");
  EXPECT_EQ(page.Evaluate("document.querySelector('#maps li.selected').textContent"), "PageCam");
  EXPECT_EQ(page.Evaluate("document.getElementById('status').textContent"), "connected");
  const std::string rowText =
      page.Evaluate("document.querySelector('[data-feature=\"Width\"]').innerText");
  EXPECT_NE(rowText.find("[16 .. 1024]"), std::string::npos) << rowText;

  // A change the application makes reaches the page through the subscription.
  GenApi::CIntegerPtr(map->_GetNode("Width"))->SetValue(777);
  EXPECT_EQ(page.WaitFor("(" + widthValue + ") === '777' ? 'yes' : ''"), "yes");
  EXPECT_EQ(page.Evaluate("document.querySelector('[data-feature=\"Width\"] .value').value"),
            "777");
  std::ofstream(output + "/page.png", std::ios::binary) << DecodeBase64(page.Screenshot());
  EXPECT_GT(std::filesystem::file_size(output + "/page.png"), 1000u);
}

}  // namespace
