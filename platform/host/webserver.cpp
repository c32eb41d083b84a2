#include "platform/host/webserver.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <boost/asio.hpp>
#include <boost/beast.hpp>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/host/browserclientbridge.h"

namespace zorhost {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;

std::string EncodeFrame(QINT64 tag, const std::string& body) {
  rapidjson::StringBuffer text;
  rapidjson::Writer<rapidjson::StringBuffer> writer(text);
  writer.StartObject();
  writer.Key("tag");
  writer.Int64(tag);
  writer.Key("body");
  writer.String(body.data(), static_cast<rapidjson::SizeType>(body.size()));
  writer.EndObject();
  return std::string(text.GetString(), text.GetSize());
}

// False for anything but {"tag": integer, "body": text}.
bool DecodeFrame(const std::string& frame, QINT64* tag, std::string* body) {
  rapidjson::Document document;
  document.Parse(frame.data(), frame.size());
  if (document.HasParseError() || !document.IsObject()) return false;
  auto tagValue = document.FindMember("tag");
  auto bodyValue = document.FindMember("body");
  if (tagValue == document.MemberEnd() || !tagValue->value.IsInt64()) return false;
  if (bodyValue == document.MemberEnd() || !bodyValue->value.IsString()) return false;
  *tag = tagValue->value.GetInt64();
  body->assign(bodyValue->value.GetString(), bodyValue->value.GetStringLength());
  return true;
}

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

// Frames written by servers reach the socket only while the session lives.
struct Outbox {
  std::mutex mutex;
  std::function<void(std::string)> deliver;
};

class WebSocketSession : public std::enable_shared_from_this<WebSocketSession> {
 public:
  explicit WebSocketSession(tcp::socket socket)
      : ws_(std::move(socket)), outbox_(std::make_shared<Outbox>()) {}

  ~WebSocketSession() {
    {
      std::lock_guard lock(outbox_->mutex);
      outbox_->deliver = nullptr;
    }
    {
      std::lock_guard lock(mutex_);
      closing_ = true;
    }
    wake_.notify_all();
    if (forwarder_.joinable()) forwarder_.join();
  }

  void Accept(http::request<http::string_body> request) {
    std::weak_ptr<WebSocketSession> weak = weak_from_this();
    auto executor = ws_.get_executor();
    outbox_->deliver = [weak, executor](std::string frame) {
      net::post(executor, [weak, frame = std::move(frame)]() mutable {
        if (auto self = weak.lock()) self->Queue(std::move(frame));
      });
    };
    forwarder_ = std::thread([this, outbox = outbox_] { Forward(outbox); });
    ws_.async_accept(request, [self = shared_from_this()](beast::error_code error) {
      if (!error) self->Read();
    });
  }

 private:
  void Read() {
    ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code error, size_t) {
      if (error) return;
      std::string frame = beast::buffers_to_string(self->buffer_.data());
      self->buffer_.consume(self->buffer_.size());
      QINT64 tag = 0;
      std::string body;
      if (DecodeFrame(frame, &tag, &body)) {
        std::lock_guard lock(self->mutex_);
        self->incoming_.emplace_back(tag, std::move(body));
        self->wake_.notify_all();
      }
      self->Read();
    });
  }

  void Queue(std::string frame) {
    outgoing_.push_back(std::move(frame));
    if (outgoing_.size() == 1) Write();
  }

  void Write() {
    ws_.text(true);
    ws_.async_write(net::buffer(outgoing_.front()),
                    [self = shared_from_this()](beast::error_code error, size_t) {
                      if (error) return;
                      self->outgoing_.pop_front();
                      if (!self->outgoing_.empty()) self->Write();
                    });
  }

  // The client's connect, requests and end run here, off the network thread, as the servers'
  // hooks may wait for their locks and for snapshots.
  void Forward(std::shared_ptr<Outbox> outbox) {
    auto bridge = BrowserClientBridge::Connect([outbox](QINT64 tag, std::string body) {
      std::lock_guard lock(outbox->mutex);
      if (outbox->deliver) outbox->deliver(EncodeFrame(tag, body));
    });
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return closing_ || !incoming_.empty(); });
      if (closing_) break;
      auto [tag, body] = std::move(incoming_.front());
      incoming_.pop_front();
      lock.unlock();
      bridge->Send(tag, body);
      lock.lock();
    }
  }

  websocket::stream<beast::tcp_stream> ws_;
  beast::flat_buffer buffer_;
  std::deque<std::string> outgoing_;
  std::shared_ptr<Outbox> outbox_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::pair<QINT64, std::string>> incoming_;
  bool closing_ = false;
  std::thread forwarder_;
};

class HttpSession : public std::enable_shared_from_this<HttpSession> {
 public:
  HttpSession(tcp::socket socket, std::filesystem::path root)
      : stream_(std::move(socket)), root_(std::move(root)) {}

  void Read() {
    request_ = {};
    http::async_read(stream_, buffer_, request_,
                     [self = shared_from_this()](beast::error_code error, size_t) {
                       if (!error) self->Serve();
                     });
  }

 private:
  void Serve() {
    if (websocket::is_upgrade(request_)) {
      if (request_.target() == "/ws") {
        std::make_shared<WebSocketSession>(stream_.release_socket())->Accept(std::move(request_));
      }
      return;
    }
    if (request_.method() != http::verb::get && request_.method() != http::verb::head) {
      return Reply(http::status::method_not_allowed, "Only GET and HEAD are served.\n");
    }
    const auto target = request_.target();
    const auto path = ResolveTarget(root_, std::string_view(target.data(), target.size()));
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
      return Send(std::make_shared<http::response<http::empty_body>>(std::move(head)));
    }
    Send(response);
  }

  void Reply(http::status status, const char* text) {
    auto response = std::make_shared<http::response<http::string_body>>(status, request_.version());
    response->set(http::field::content_type, "text/plain; charset=utf-8");
    response->body() = text;
    response->keep_alive(request_.keep_alive());
    response->prepare_payload();
    Send(response);
  }

  template <class Response>
  void Send(std::shared_ptr<Response> response) {
    http::async_write(stream_, *response,
                      [self = shared_from_this(), response](beast::error_code error, size_t) {
                        if (error || !response->keep_alive()) {
                          beast::error_code ignored;
                          self->stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
                          return;
                        }
                        self->Read();
                      });
  }

  beast::tcp_stream stream_;
  beast::flat_buffer buffer_;
  http::request<http::string_body> request_;
  std::filesystem::path root_;
};

}  // namespace

struct WebServer::Impl {
  net::io_context io{1};
  tcp::acceptor acceptor{io};
  std::filesystem::path root;
  std::thread thread;

  void Accept() {
    acceptor.async_accept([this](beast::error_code error, tcp::socket socket) {
      if (error) return;
      std::make_shared<HttpSession>(std::move(socket), root)->Read();
      Accept();
    });
  }
};

WebServer::WebServer(const std::string& host, uint16_t port, const std::filesystem::path& root)
    : impl_(std::make_unique<Impl>()) {
  impl_->root = root;
  beast::error_code error;
  tcp::resolver resolver(impl_->io);
  const auto endpoints = resolver.resolve(host, std::to_string(port), error);
  if (error || endpoints.empty()) throw std::runtime_error("Unknown host " + host + ".");
  const tcp::endpoint endpoint = *endpoints.begin();
  impl_->acceptor.open(endpoint.protocol(), error);
  if (!error) impl_->acceptor.set_option(net::socket_base::reuse_address(true), error);
  if (!error) impl_->acceptor.bind(endpoint, error);
  if (!error) impl_->acceptor.listen(net::socket_base::max_listen_connections, error);
  if (error)
    throw std::runtime_error("Cannot listen on " + host + ":" + std::to_string(port) + ": " +
                             error.message());
  impl_->Accept();
  impl_->thread = std::thread([impl = impl_.get()] { impl->io.run(); });
}

WebServer::~WebServer() {
  impl_->io.stop();
  impl_->thread.join();
}

uint16_t WebServer::Port() const { return impl_->acceptor.local_endpoint().port(); }

}  // namespace zorhost
