#include "tests/platform/featurebrowser/headlesschromium.h"

#include <fcntl.h>
#include <rapidjson/document.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>  // ahead of asio, whose awaitable.hpp uses std::exchange unincluded
#include <boost/asio.hpp>
#include <boost/beast.hpp>
#include <boost/beast/core/detail/base64.hpp>
#include <fstream>
#include <vector>

extern char** environ;

namespace featurebrowsertest {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;

std::string PageTarget(int port) {
  try {
    net::io_context io;
    beast::tcp_stream stream(io);
    stream.connect(tcp::endpoint(net::ip::make_address("127.0.0.1"), static_cast<uint16_t>(port)));
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

}  // namespace

std::string Chromium() {
  for (const char* path : {"/usr/bin/chromium", "/usr/bin/chromium-browser"}) {
    if (access(path, X_OK) == 0) return path;
  }
  return "";
}

std::string Quote(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\' || c == '\n') quoted += '\\';
    quoted += c == '\n' ? 'n' : c;
  }
  return quoted + "\"";
}

int FreePort() {
  net::io_context io;
  tcp::acceptor acceptor(io, tcp::endpoint(net::ip::make_address("127.0.0.1"), 0));
  return acceptor.local_endpoint().port();
}

struct PageInspector::Connection {
  net::io_context io;
  beast::websocket::stream<tcp::socket> ws{io};
};

PageInspector::PageInspector(const std::string& program, const std::string& profile,
                             const std::string& url)
    : connection_(std::make_unique<Connection>()) {
  const int devtoolsPort = FreePort();
  std::vector<std::string> args = {program,
                                   "--headless",
                                   "--no-sandbox",
                                   "--disable-gpu",
                                   "--no-first-run",
                                   "--hide-scrollbars=false",
                                   "--window-size=1280,900",
                                   "--remote-allow-origins=*",
                                   "--remote-debugging-port=" + std::to_string(devtoolsPort),
                                   "--user-data-dir=" + Output() + "/" + profile,
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
  shown_ = pid_ != 0 && Connect(devtoolsPort);
}

PageInspector::~PageInspector() {
  connection_.reset();
  if (pid_ == 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
}

bool PageInspector::Connect(int devtoolsPort) {
  for (int attempt = 0; attempt < 300; ++attempt) {
    const std::string target = PageTarget(devtoolsPort);
    if (!target.empty()) {
      connection_->ws.next_layer().connect(
          tcp::endpoint(net::ip::make_address("127.0.0.1"), static_cast<uint16_t>(devtoolsPort)));
      connection_->ws.handshake("127.0.0.1:" + std::to_string(devtoolsPort), target);
      Call("Emulation.setDeviceMetricsOverride",
           "{\"width\":1280,\"height\":900,\"deviceScaleFactor\":1,\"mobile\":false}");
      return true;
    }
    usleep(50000);
  }
  return false;
}

std::string PageInspector::Evaluate(const std::string& expression) {
  rapidjson::Document reply;
  reply.Parse(
      Call("Runtime.evaluate", "{\"expression\":" + Quote(expression) + ",\"returnByValue\":true}")
          .c_str());
  if (!reply.IsObject() || !reply.HasMember("result")) return "";
  const auto& result = reply["result"]["result"];
  return result.HasMember("value") && result["value"].IsString() ? result["value"].GetString() : "";
}

std::string PageInspector::WaitFor(const std::string& expression) {
  for (int attempt = 0; attempt < 300; ++attempt) {
    std::string value = Evaluate(expression);
    if (!value.empty()) return value;
    usleep(50000);
  }
  return "";
}

void PageInspector::SaveScreenshot(const std::string& path) {
  rapidjson::Document reply;
  reply.Parse(Call("Page.captureScreenshot", "{\"format\":\"png\"}").c_str());
  if (!reply.IsObject() || !reply.HasMember("result")) return;
  const std::string text = reply["result"]["data"].GetString();
  std::string bytes(beast::detail::base64::decoded_size(text.size()), '\0');
  bytes.resize(beast::detail::base64::decode(bytes.data(), text.data(), text.size()).first);
  std::ofstream(path, std::ios::binary) << bytes;
}

void InstallPage(const std::filesystem::path& dist) {
  for (const char* file : {"index.html", "style.css", "values.js", "app.js"}) {
    std::filesystem::copy_file(std::filesystem::path(ZOR_PAGE_SOURCE_DIR) / file, dist / file,
                               std::filesystem::copy_options::overwrite_existing);
  }
  std::filesystem::create_directories(Output());
}

std::string PageInspector::Call(const std::string& method, const std::string& params) {
  const int id = ++nextId_;
  connection_->ws.write(net::buffer("{\"id\":" + std::to_string(id) + ",\"method\":\"" + method +
                                    "\",\"params\":" + params + "}"));
  for (;;) {
    beast::flat_buffer buffer;
    connection_->ws.read(buffer);
    std::string text = beast::buffers_to_string(buffer.data());
    rapidjson::Document reply;
    reply.Parse(text.c_str());
    if (reply.IsObject() && reply.HasMember("id") && reply["id"].GetInt() == id) return text;
  }
}

}  // namespace featurebrowsertest
