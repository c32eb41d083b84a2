#include "platform/host/websocketsession.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <atomic>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/post.hpp>
#include <chrono>
#include <string_view>

namespace zorhost {
namespace {

namespace beast = boost::beast;
namespace net = boost::asio;
namespace websocket = beast::websocket;

// A message is read in pieces of this size, each taken from the client's budget before it is
// read, so that memory runs short as a pause in reading, not as an allocation.
constexpr size_t kReadPiece = 16384;
// A client closed for its memory gets this long to take the close frame; then its connection
// ends anyway (one that reads nothing would never take it).
constexpr std::chrono::seconds kFailTime{5};

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
bool DecodeFrame(std::string_view frame, QINT64* tag, std::string* body) {
  rapidjson::Document document;
  document.Parse<rapidjson::kParseIterativeFlag>(frame.data(), frame.size());
  if (document.HasParseError() || !document.IsObject()) return false;
  // HasMember, not FindMember: comparing RapidJSON's member iterators is ambiguous to clang
  // in C++20.
  if (!document.HasMember("tag") || !document.HasMember("body")) return false;
  const rapidjson::Value& tagValue = document["tag"];
  const rapidjson::Value& bodyValue = document["body"];
  if (!tagValue.IsInt64() || !bodyValue.IsString()) return false;
  *tag = tagValue.GetInt64();
  body->assign(bodyValue.GetString(), bodyValue.GetStringLength());
  return true;
}

}  // namespace

// Frames the servers write, counted where they are written: a client whose unread replies pass
// its own bound, or would pass what the server has left for its clients, is the one closed,
// before the replies pile up. Reaches the session only while it lives.
class WebSocketSession::Outbox {
 public:
  Outbox(std::weak_ptr<WebSocketSession> session, net::io_context::executor_type network,
         std::shared_ptr<ClientBudget::Share> share)
      : session_(std::move(session)), network_(network), share_(std::move(share)) {}

  // On the thread of the server that wrote.
  void Put(std::string frame) {
    if (ended_.load()) return;
    const auto refusal = share_->TakeReply(frame.size());
    if (refusal == ClientBudget::Share::Refusal::kNone) {
      net::post(network_, [session = session_, frame = std::move(frame)]() mutable {
        if (auto self = session.lock()) self->Queue(std::move(frame));
      });
      return;
    }
    if (ended_.exchange(true)) return;
    net::post(network_, [session = session_, refusal] {
      auto self = session.lock();
      if (self == nullptr) return;
      if (refusal == ClientBudget::Share::Refusal::kUnreadReplies) {
        self->Fail(websocket::close_code::policy_error, "Replies left unread.");
      } else {
        self->Fail(websocket::close_code::try_again_later, "Server memory for clients is full.");
      }
    });
  }
  void End() { ended_ = true; }

 private:
  const std::weak_ptr<WebSocketSession> session_;
  const net::io_context::executor_type network_;
  const std::shared_ptr<ClientBudget::Share> share_;
  std::atomic<bool> ended_{false};
};

WebSocketSession::WebSocketSession(net::ip::tcp::socket socket,
                                   std::shared_ptr<WebServerContext> context,
                                   std::shared_ptr<ClientBudget::Share> share)
    : context_(std::move(context)),
      share_(std::move(share)),
      ws_(std::move(socket)),
      client_(net::make_strand(context_->workers)),
      failing_(context_->network) {}

WebSocketSession::~WebSocketSession() {
  context_->connections.Remove(connection_);
  if (outbox_ != nullptr) outbox_->End();
  share_->End();
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
  outbox_ = std::make_shared<Outbox>(weak, context_->network, share_);
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

// Reads while fewer than the most messages wait for the servers and the budget has room for a
// piece; otherwise the connection is left unread, and the client's sending stalls in TCP.
void WebSocketSession::Read() {
  if (!open_ || closing_ || reading_ || handing_ >= context_->limits.pendingRequests) return;
  const auto retry = [weak = weak_from_this(), network = context_->network] {
    net::post(network, [weak] {
      if (auto self = weak.lock()) self->Read();
    });
  };
  if (!share_->TakeRequest(kReadPiece, retry)) return;
  reading_ = true;
  ws_.async_read_some(buffer_, kReadPiece,
                      [self = shared_from_this()](beast::error_code error, size_t bytes) {
                        self->OnRead(error, bytes);
                      });
}

void WebSocketSession::OnRead(beast::error_code error, size_t bytes) {
  reading_ = false;
  share_->GiveRequest(kReadPiece - bytes);
  if (error) return Close();
  if (ws_.is_message_done()) HandOver();
  Read();
}

void WebSocketSession::HandOver() {
  const size_t size = buffer_.size();
  QINT64 tag = 0;
  std::string body;
  const bool decoded = DecodeFrame(
      std::string_view(static_cast<const char*>(buffer_.data().data()), size), &tag, &body);
  buffer_.consume(size);
  // A large message leaves no large buffer behind.
  if (buffer_.capacity() > kReadPiece) buffer_.shrink_to_fit();
  const size_t kept = decoded ? body.size() : 0;
  share_->GiveRequest(size - kept);
  if (!decoded) return;
  ++handing_;
  OnWorkers([self = shared_from_this(), tag, body = std::move(body)]() mutable {
    if (self->bridge_ != nullptr) self->bridge_->Send(tag, body);
    auto network = self->context_->network;
    const size_t bytes = body.size();
    body = {};
    net::post(network, [self = std::move(self), bytes] { self->OnHandedOver(bytes); });
  });
}

void WebSocketSession::OnHandedOver(size_t bytes) {
  --handing_;
  share_->GiveRequest(bytes);
  Read();
}

void WebSocketSession::Queue(std::string frame) {
  if (!open_ || closing_) return share_->GiveReply(frame.size());
  outgoing_.push_back(std::move(frame));
  if (outgoing_.size() == 1) Write();
}

void WebSocketSession::Write() {
  ws_.text(true);
  ws_.async_write(net::buffer(outgoing_.front()),
                  [self = shared_from_this()](beast::error_code error, size_t) {
                    self->share_->GiveReply(self->outgoing_.front().size());
                    self->outgoing_.pop_front();
                    if (error) return self->Close();
                    if (self->open_ && !self->closing_ && !self->outgoing_.empty()) self->Write();
                  });
}

void WebSocketSession::Fail(websocket::close_code code, const char* reason) {
  if (!open_ || closing_) return;
  closing_ = true;  // the outbox ended itself before it asked for this
  // Replies not yet begun are dropped; the one being written has to end before the close frame.
  while (outgoing_.size() > 1) {
    share_->GiveReply(outgoing_.back().size());
    outgoing_.pop_back();
  }
  // The client ends now, whether or not its connection takes the close frame.
  OnWorkers([self = shared_from_this()]() mutable {
    self->bridge_.reset();
    // The session ends on the network thread, as its connection's objects belong there.
    auto network = self->context_->network;
    net::post(network, [self = std::move(self)] {});
  });
  failing_.expires_after(kFailTime);
  failing_.async_wait([self = shared_from_this()](beast::error_code error) {
    if (!error) self->Close();
  });
  ws_.async_close(websocket::close_reason(code, reason),
                  [self = shared_from_this()](beast::error_code) { self->Close(); });
}

void WebSocketSession::Close() {
  if (!open_) return;
  open_ = false;
  outbox_->End();
  failing_.cancel();
  beast::error_code ignored;
  beast::get_lowest_layer(ws_).socket().close(ignored);
}

}  // namespace zorhost
