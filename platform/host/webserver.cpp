#include "platform/host/webserver.h"

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <optional>
#include <thread>

#include "platform/host/requestfaults.h"
#include "platform/host/websocketsession.h"

namespace zorhost {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;

// Threads that run the clients' calls into the servers, whatever the number of clients.
constexpr unsigned kWorkerThreads = 4;
// A reply that the client does not take within this ends its connection.
constexpr std::chrono::seconds kReplyTime{30};
// Only GET and HEAD are served: a body is read past, and only a small one.
constexpr uint64_t kRequestBodyBytes = 16384;
// After a refusal, what the client still sends is read (up to this much, for this long) before
// the connection closes, so that the reset of unread data does not overtake the answer.
constexpr size_t kLingerBytes = 65536;
constexpr std::chrono::seconds kLingerTime{2};
// Waits between failed accepts (no descriptor left, for one), doubled up to the longest.
constexpr std::chrono::milliseconds kFirstRetry{10};
constexpr std::chrono::milliseconds kLongestRetry{1000};

const char* MimeType(const std::filesystem::path& path) {
  const std::string ext = path.extension().string();
  if (ext == ".html" || ext == ".htm") return "text/html; charset=utf-8";
  if (ext == ".css") return "text/css; charset=utf-8";
  if (ext == ".js") return "text/javascript; charset=utf-8";
  if (ext == ".json") return "application/json";
  if (ext == ".svg") return "image/svg+xml";
  if (ext == ".png") return "image/png";
  if (ext == ".ico") return "image/x-icon";
  return "application/octet-stream";
}

// The file a request names, or empty when it names none or leaves the root.
std::filesystem::path ResolveTarget(const std::filesystem::path& root, std::string_view target) {
  target = target.substr(0, target.find_first_of("?#"));
  if (target.empty() || target.front() != '/' || target.find('\0') != std::string_view::npos) {
    return {};
  }
  std::string relative(target.substr(1));
  if (relative.empty() || relative.back() == '/') relative += "index.html";
  std::error_code error;
  const auto base = std::filesystem::canonical(root, error);
  if (error) return {};
  const auto full = std::filesystem::weakly_canonical(base / relative, error);
  if (error) return {};
  const auto inside = std::mismatch(base.begin(), base.end(), full.begin(), full.end());
  if (inside.first != base.end()) return {};
  if (!std::filesystem::is_regular_file(full, error)) return {};
  return full;
}

std::string_view Text(beast::string_view text) { return {text.data(), text.size()}; }

class HttpSession : public std::enable_shared_from_this<HttpSession> {
 public:
  HttpSession(tcp::socket socket, std::shared_ptr<WebServerContext> context)
      : stream_(std::move(socket)), context_(std::move(context)) {}

  ~HttpSession() {
    context_->places.Give(place_);
    context_->connections.Remove(connection_);
  }

  void Start() {
    std::weak_ptr<HttpSession> weak = weak_from_this();
    const auto close = [weak] {
      if (auto self = weak.lock()) self->stream_.close();
    };
    place_ = context_->places.Take(close);
    connection_ = context_->connections.Add(close);
    Read();
  }

 private:
  // The whole request, head and body, within the request time.
  void Read() {
    request_ = {};
    parser_.emplace();
    parser_->body_limit(kRequestBodyBytes);
    context_->places.Restart(place_);
    stream_.expires_after(context_->limits.requestTime);
    http::async_read(stream_, buffer_, *parser_,
                     [self = shared_from_this()](beast::error_code error, size_t) {
                       if (!error) {
                         self->request_ = self->parser_->release();
                         return self->Serve();
                       }
                       if (const auto fault = FaultOf(error)) {
                         self->Reply(fault->status, fault->text, false);
                       }
                     });
  }

  void Serve() {
    if (const auto fault = FaultOf(request_)) return Reply(fault->status, fault->text, false);
    // A name of another site made to point at this address (DNS rebinding) is refused.
    if (!context_->site.IsOwnHost(Text(request_[http::field::host]))) {
      return Reply(http::status::forbidden, "Not this server's name.\n", false);
    }
    if (websocket::is_upgrade(request_)) return Upgrade();
    if (request_.method() != http::verb::get && request_.method() != http::verb::head) {
      return Reply(http::status::method_not_allowed, "Only GET and HEAD are served.\n");
    }
    const auto target = request_.target();
    const auto path = ResolveTarget(context_->root, Text(target));
    if (path.empty()) return Reply(http::status::not_found, "Not found.\n");
    http::file_body::value_type file;
    beast::error_code error;
    file.open(path.c_str(), beast::file_mode::scan, error);
    if (error) return Reply(http::status::not_found, "Not found.\n");
    auto response = std::make_shared<http::response<http::file_body>>(
        std::piecewise_construct, std::make_tuple(std::move(file)),
        std::make_tuple(http::status::ok, request_.version()));
    response->set(http::field::content_type, MimeType(path));
    response->set(http::field::cache_control, "no-cache");
    response->keep_alive(request_.keep_alive());
    response->prepare_payload();
    if (request_.method() == http::verb::head) {
      http::response<http::empty_body> head{http::status::ok, request_.version()};
      head.set(http::field::content_type, MimeType(path));
      head.content_length(response->body().size());
      head.keep_alive(request_.keep_alive());
      return Send(std::make_shared<http::response<http::empty_body>>(std::move(head)));
    }
    Send(response);
  }

  void Upgrade() {
    if (request_.target() != "/ws") return Reply(http::status::not_found, "Not found.\n", false);
    // A browser names the page that opens the connection; a local program names none.
    const auto origin = request_.find(http::field::origin);
    if (origin != request_.end() && !context_->site.IsOwnOrigin(Text(origin->value()))) {
      return Reply(http::status::forbidden, "Not this server's page.\n", false);
    }
    auto share = context_->budget->Join();
    if (share == nullptr) {
      return Reply(http::status::service_unavailable,
                   "The server serves " + std::to_string(context_->limits.clients) +
                       " clients at most; try again later.\n",
                   false);
    }
    stream_.expires_never();
    // The connection leaves the plain ones: the clients' count holds it from here.
    context_->places.Give(std::exchange(place_, 0));
    std::make_shared<WebSocketSession>(stream_.release_socket(), context_, std::move(share))
        ->Accept(std::move(request_));
  }

  void Reply(http::status status, std::string text, bool keepAlive = true) {
    auto response = std::make_shared<http::response<http::string_body>>(status, request_.version());
    response->set(http::field::content_type, "text/plain; charset=utf-8");
    response->body() = std::move(text);
    response->keep_alive(keepAlive && request_.keep_alive());
    response->prepare_payload();
    Send(response);
  }

  template <class Response>
  void Send(std::shared_ptr<Response> response) {
    context_->places.Restart(place_);
    stream_.expires_after(kReplyTime);
    http::async_write(stream_, *response,
                      [self = shared_from_this(), response](beast::error_code error, size_t) {
                        if (error) return;
                        if (!response->keep_alive()) {
                          beast::error_code ignored;
                          self->stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
                          self->stream_.expires_after(kLingerTime);
                          return self->Linger(0);
                        }
                        self->Read();
                      });
  }

  void Linger(size_t read) {
    if (read >= kLingerBytes) return;
    stream_.async_read_some(net::buffer(scratch_),
                            [self = shared_from_this(), read](beast::error_code error, size_t n) {
                              if (!error) self->Linger(read + n);
                            });
  }

  beast::tcp_stream stream_;
  const std::shared_ptr<WebServerContext> context_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  http::request<http::string_body> request_;
  std::array<char, 4096> scratch_;
  uint64_t connection_ = 0;
  uint64_t place_ = 0;
};

// Connections and clients each within a quarter of the process's descriptor limit, so that the
// process keeps descriptors for its files and a new client finds one to be accepted with.
WebServerLimits WithinDescriptors(WebServerLimits limits) {
  rlimit descriptors{};
  if (getrlimit(RLIMIT_NOFILE, &descriptors) != 0 || descriptors.rlim_cur == RLIM_INFINITY) {
    return limits;
  }
  const auto quarter = std::max<size_t>(static_cast<size_t>(descriptors.rlim_cur / 4), 1);
  limits.connections = std::min(limits.connections, quarter);
  limits.clients = std::min(limits.clients, quarter);
  return limits;
}

tcp::endpoint Resolve(const std::string& host, uint16_t port) {
  net::io_context io;
  tcp::resolver resolver(io);
  beast::error_code error;
  // One address for "localhost", so that the page and the server agree on it.
  const auto endpoints =
      resolver.resolve(host == "localhost" ? "127.0.0.1" : host, std::to_string(port), error);
  if (error || endpoints.empty()) throw std::runtime_error("Unknown host " + host + ".");
  return *endpoints.begin();
}

}  // namespace

struct WebServer::Impl {
  net::io_context io{1};
  net::thread_pool workers{kWorkerThreads};
  tcp::acceptor acceptor{io};
  net::steady_timer retry{io};
  std::chrono::milliseconds wait{0};
  uint16_t port = 0;
  std::shared_ptr<WebServerContext> context;
  std::thread thread;

  void Accept() {
    acceptor.async_accept([this](beast::error_code error, tcp::socket socket) {
      if (!acceptor.is_open()) return;
      if (error) return Retry();
      wait = std::chrono::milliseconds(0);
      std::make_shared<HttpSession>(std::move(socket), context)->Start();
      Accept();
    });
  }

  // Every accept error passes: descriptors come back as connections close.
  void Retry() {
    wait = std::clamp(wait * 2, kFirstRetry, kLongestRetry);
    retry.expires_after(wait);
    retry.async_wait([this](beast::error_code error) {
      if (!error && acceptor.is_open()) Accept();
    });
  }
};

WebServer::WebServer(const std::string& host, uint16_t port, const std::filesystem::path& root,
                     WebServerLimits wanted)
    : impl_(std::make_unique<Impl>()) {
  const WebServerLimits limits = WithinDescriptors(wanted);
  const tcp::endpoint endpoint = Resolve(host, port);
  beast::error_code error;
  impl_->acceptor.open(endpoint.protocol(), error);
  if (!error) impl_->acceptor.set_option(net::socket_base::reuse_address(true), error);
  if (!error) impl_->acceptor.bind(endpoint, error);
  if (!error) impl_->acceptor.listen(net::socket_base::max_listen_connections, error);
  if (error) {
    throw std::runtime_error("Cannot listen on " + host + ":" + std::to_string(port) + ": " +
                             error.message());
  }
  const auto bound = impl_->acceptor.local_endpoint();
  impl_->port = bound.port();
  impl_->context = std::make_shared<WebServerContext>(
      root, OwnSite(host, bound.address().to_string(), bound.address().is_loopback(), bound.port()),
      limits, impl_->io.get_executor(), impl_->workers.get_executor(),
      std::make_shared<ClientBudget>(limits.clientBytes, limits.clients, limits.unreadReplyBytes));
  impl_->Accept();
  impl_->thread = std::thread([impl = impl_.get()] { impl->io.run(); });
}

WebServer::~WebServer() {
  net::post(impl_->io, [impl = impl_.get()] {
    beast::error_code ignored;
    impl->acceptor.close(ignored);
    impl->retry.cancel();
    impl->context->connections.CloseAll();
  });
  // The loop ends once every connection ended and the workers ended their clients.
  impl_->thread.join();
  impl_->workers.join();
}

uint16_t WebServer::Port() const { return impl_->port; }

size_t WebServer::ClientBytes() const { return impl_->context->budget->HeldBytes(); }

size_t WebServer::MostClientBytes() const { return impl_->context->budget->MostHeldBytes(); }

}  // namespace zorhost
