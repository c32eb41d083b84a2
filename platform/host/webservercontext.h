// What the connections of one web server share: the files, the site's names, the limits, the
// network thread, the workers that run the clients' calls into the servers and the clients'
// memory.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/thread_pool.hpp>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/host/clientbudget.h"
#include "platform/host/connectionplaces.h"
#include "platform/host/ownsite.h"
#include "platform/host/webserver.h"

namespace zorhost {

// The connections still open, closed together (on the network thread) when the server stops.
class OpenConnections {
 public:
  // A connection added after CloseAll is closed at once.
  uint64_t Add(std::function<void()> close);
  void Remove(uint64_t id);
  void CloseAll();

 private:
  std::mutex mutex_;
  std::map<uint64_t, std::function<void()>> closers_;
  uint64_t next_ = 0;
  bool closed_ = false;
};

struct WebServerContext {
  // Spelled out: clang does not yet build aggregates from parentheses (make_shared).
  WebServerContext(std::filesystem::path rootFolder, OwnSite ownSite, WebServerLimits serverLimits,
                   boost::asio::io_context::executor_type networkExecutor,
                   boost::asio::thread_pool::executor_type workerExecutor,
                   std::shared_ptr<ClientBudget> clientBudget)
      : root(std::move(rootFolder)),
        site(std::move(ownSite)),
        limits(serverLimits),
        network(std::move(networkExecutor)),
        workers(std::move(workerExecutor)),
        budget(std::move(clientBudget)),
        places(serverLimits.connections) {}

  std::filesystem::path root;
  OwnSite site;
  WebServerLimits limits;
  boost::asio::io_context::executor_type network;
  boost::asio::thread_pool::executor_type workers;
  std::shared_ptr<ClientBudget> budget;
  OpenConnections connections;
  ConnectionPlaces places;  // the plain HTTP connections
};

}  // namespace zorhost
