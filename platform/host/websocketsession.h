// One WebSocket connection: one browser client of the feature-browser servers.
#pragma once

#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <deque>
#include <memory>
#include <string>

#include "platform/host/browserclientbridge.h"
#include "platform/host/clientbudget.h"
#include "platform/host/webservercontext.h"

namespace zorhost {

class WebSocketSession : public std::enable_shared_from_this<WebSocketSession> {
 public:
  // `share` is the client's slot and part of the server's memory, held until the session ends.
  WebSocketSession(boost::asio::ip::tcp::socket socket, std::shared_ptr<WebServerContext> context,
                   std::shared_ptr<ClientBudget::Share> share);
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
  void OnRead(boost::beast::error_code error, size_t bytes);
  void HandOver();
  void OnHandedOver(size_t bytes);
  void Queue(std::string frame);
  void Write();
  // Tells the client why it is closed (after the frame being written) and ends it at once.
  void Fail(boost::beast::websocket::close_code code, const char* reason);
  void Close();

  const std::shared_ptr<WebServerContext> context_;
  const std::shared_ptr<ClientBudget::Share> share_;
  boost::beast::websocket::stream<boost::beast::tcp_stream> ws_;
  // The client's connect, requests and end, in order and off the network thread, as the
  // servers' hooks may wait for their locks and for snapshots.
  Workers client_;
  std::shared_ptr<BrowserClientBridge> bridge_;  // used on client_ only
  std::shared_ptr<Outbox> outbox_;
  boost::asio::steady_timer failing_;
  boost::beast::flat_buffer buffer_;  // the message being read, all of it taken from share_
  std::deque<std::string> outgoing_;  // the first one is being written
  size_t handing_ = 0;  // messages given to the workers and not yet written to the servers
  bool reading_ = false;
  bool open_ = true;
  bool closing_ = false;
  uint64_t connection_ = 0;
};

}  // namespace zorhost
