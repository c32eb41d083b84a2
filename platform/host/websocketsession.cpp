#include "platform/host/websocketsession.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/post.hpp>
#include <mutex>

namespace zorhost {
namespace {

namespace beast = boost::beast;
namespace net = boost::asio;

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

// False for anything but {"tag": integer, "body": text}. The parser keeps its own stack, so
// that deep nesting costs memory within the message's size instead of the thread's stack.
bool DecodeFrame(const std::string& frame, QINT64* tag, std::string* body) {
  rapidjson::Document document;
  document.Parse<rapidjson::kParseIterativeFlag>(frame.data(), frame.size());
  if (document.HasParseError() || !document.IsObject()) return false;
  auto tagValue = document.FindMember("tag");
  auto bodyValue = document.FindMember("body");
  if (tagValue == document.MemberEnd() || !tagValue->value.IsInt64()) return false;
  if (bodyValue == document.MemberEnd() || !bodyValue->value.IsString()) return false;
  *tag = tagValue->value.GetInt64();
  body->assign(bodyValue->value.GetString(), bodyValue->value.GetStringLength());
  return true;
}

}  // namespace

// Frames the servers write, counted where they are written: a client that leaves its replies
// unread is closed before they pile up. Reaches the session only while it lives.
class WebSocketSession::Outbox {
 public:
  Outbox(std::weak_ptr<WebSocketSession> session, net::io_context::executor_type network,
         size_t limit)
      : session_(std::move(session)), network_(network), limit_(limit) {}

  // On the thread of the server that wrote.
  void Put(std::string frame) {
    std::lock_guard lock(mutex_);
    if (ended_) return;
    if (bytes_ != 0 && bytes_ + frame.size() > limit_) {
      ended_ = true;
      net::post(network_, [session = session_] {
        if (auto self = session.lock()) self->Close();
      });
      return;
    }
    bytes_ += frame.size();
    net::post(network_, [session = session_, frame = std::move(frame)]() mutable {
      if (auto self = session.lock()) self->Queue(std::move(frame));
    });
  }
  void Sent(size_t bytes) {
    std::lock_guard lock(mutex_);
    bytes_ -= bytes;
  }
  void End() {
    std::lock_guard lock(mutex_);
    ended_ = true;
  }

 private:
  std::mutex mutex_;
  const std::weak_ptr<WebSocketSession> session_;
  const net::io_context::executor_type network_;
  const size_t limit_;
  size_t bytes_ = 0;
  bool ended_ = false;
};

WebSocketSession::WebSocketSession(net::ip::tcp::socket socket,
                                   std::shared_ptr<WebServerContext> context)
    : context_(std::move(context)),
      ws_(std::move(socket)),
      client_(net::make_strand(context_->workers)) {}

WebSocketSession::~WebSocketSession() {
  context_->connections.Remove(connection_);
  if (outbox_ != nullptr) outbox_->End();
  OnWorkers([bridge = std::move(bridge_)]() mutable { bridge.reset(); });
}

template <class Work>
void WebSocketSession::OnWorkers(Work work) {
  net::post(client_, [work = std::move(work),
                      busy = net::make_work_guard(context_->network)]() mutable { work(); });
}

void WebSocketSession::Accept(beast::http::request<beast::http::string_body> request) {
  std::weak_ptr<WebSocketSession> weak = weak_from_this();
  connection_ = context_->connections.Add([weak] {
    if (auto self = weak.lock()) self->Close();
  });
  outbox_ = std::make_shared<Outbox>(weak, context_->network, context_->limits.unreadReplyBytes);
  ws_.read_message_max(context_->limits.messageBytes);
  ws_.set_option(beast::websocket::stream_base::timeout::suggested(beast::role_type::server));
  ws_.async_accept(request, [self = shared_from_this()](beast::error_code error) {
    if (error) return self->Close();
    self->OnWorkers([self] {
      self->bridge_ =
          BrowserClientBridge::Connect([outbox = self->outbox_](QINT64 tag, std::string body) {
            outbox->Put(EncodeFrame(tag, body));
          });
    });
    self->Read();
  });
}

void WebSocketSession::Read() {
  reading_ = true;
  ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code error, size_t) {
    self->OnRead(error);
  });
}

void WebSocketSession::OnRead(beast::error_code error) {
  reading_ = false;
  if (error) return Close();
  const std::string frame = beast::buffers_to_string(buffer_.data());
  buffer_.consume(buffer_.size());
  QINT64 tag = 0;
  std::string body;
  if (DecodeFrame(frame, &tag, &body)) {
    ++handing_;
    OnWorkers([self = shared_from_this(), tag, body = std::move(body)]() mutable {
      if (self->bridge_ != nullptr) self->bridge_->Send(tag, body);
      auto network = self->context_->network;
      net::post(network, [self = std::move(self)] { self->OnHandedOver(); });
    });
  }
  if (handing_ < context_->limits.pendingRequests) Read();
}

void WebSocketSession::OnHandedOver() {
  --handing_;
  if (open_ && !reading_ && handing_ < context_->limits.pendingRequests) Read();
}

void WebSocketSession::Queue(std::string frame) {
  if (!open_) return;
  outgoing_.push_back(std::move(frame));
  if (outgoing_.size() == 1) Write();
}

void WebSocketSession::Write() {
  ws_.text(true);
  ws_.async_write(net::buffer(outgoing_.front()),
                  [self = shared_from_this()](beast::error_code error, size_t) {
                    self->outbox_->Sent(self->outgoing_.front().size());
                    self->outgoing_.pop_front();
                    if (error) return self->Close();
                    if (self->open_ && !self->outgoing_.empty()) self->Write();
                  });
}

void WebSocketSession::Close() {
  if (!open_) return;
  open_ = false;
  outbox_->End();
  beast::error_code ignored;
  beast::get_lowest_layer(ws_).socket().close(ignored);
}

}  // namespace zorhost
