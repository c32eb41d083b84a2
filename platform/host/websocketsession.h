// One WebSocket connection: one browser client of the feature-browser servers.
#pragma once

#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <deque>
#include <memory>
#include <string>

#include "platform/host/browserclientbridge.h"
#include "platform/host/webservercontext.h"

namespace zorhost {

class WebSocketSession : public std::enable_shared_from_this<WebSocketSession> {
 public:
  WebSocketSession(boost::asio::ip::tcp::socket socket, std::shared_ptr<WebServerContext> context);
  // Ends the client on the workers, after its requests.
  ~WebSocketSession();
  WebSocketSession(const WebSocketSession&) = delete;
  WebSocketSession& operator=(const WebSocketSession&) = delete;

  // Completes the upgrade, then connects the client and reads its frames.
  void Accept(boost::beast::http::request<boost::beast::http::string_body> request);

 private:
  class Outbox;
  using Workers = boost::asio::strand<boost::asio::thread_pool::executor_type>;

  // Runs on this client's strand of the workers, keeping the network loop alive till it ran.
  template <class Work>
  void OnWorkers(Work work);
  void Read();
  void OnRead(boost::beast::error_code error);
  void OnHandedOver();
  void Queue(std::string frame);
  void Write();
  void Close();

  const std::shared_ptr<WebServerContext> context_;
  boost::beast::websocket::stream<boost::beast::tcp_stream> ws_;
  // The client's connect, requests and end, in order and off the network thread, as the
  // servers' hooks may wait for their locks and for snapshots.
  Workers client_;
  std::shared_ptr<BrowserClientBridge> bridge_;  // used on client_ only
  std::shared_ptr<Outbox> outbox_;
  boost::beast::flat_buffer buffer_;
  std::deque<std::string> outgoing_;
  size_t handing_ = 0;  // messages given to the workers and not yet written to the servers
  bool reading_ = false;
  bool open_ = true;
  uint64_t connection_ = 0;
};

}  // namespace zorhost
