// An HTTP server object (Q_HTTP_SERVER): a root folder and a URL, served while started.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/host/hostobject.h"
#include "platform/host/webserver.h"

namespace zorhost {

// Inquiries of the server's accounting of its clients' memory: the bytes they hold now
// (replies queued, requests read), and the most they held at once since the start.
inline constexpr QINT64 kHttpClientBytes = 115;
inline constexpr QINT64 kHttpMostClientBytes = 116;

class HttpServerObject : public HostObject {
 public:
  explicit HttpServerObject(QID owner) : HostObject(Q_HTTP_SERVER, owner) {}

  void SetRootFolder(std::wstring folder);
  void SetUrl(std::wstring url);
  // Records a host error and stays stopped when the URL or the folder is unusable or the
  // address is taken.
  void Start();
  void Stop();
  QINT64 State() const;
  // 0 while stopped.
  size_t ClientBytes(bool most) const;
  // The URL as served: port 0 becomes the port the system chose.
  std::wstring Url() const;
  std::wstring RootFolder() const;

 private:
  mutable std::mutex mutex_;
  std::wstring rootFolder_;
  std::wstring url_;
  std::unique_ptr<WebServer> server_;
};

}  // namespace zorhost
