#include "platform/host/httpserverobject.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/host/hosterror.h"

namespace zorhost {
namespace {

struct Address {
  std::string host;
  uint16_t port = 0;
};

// "http://host:port" with an optional path; false for anything else.
bool ParseUrl(const std::wstring& url, Address* address) {
  const std::wstring scheme = L"http://";
  if (url.compare(0, scheme.size(), scheme) != 0) return false;
  std::wstring rest = url.substr(scheme.size());
  rest = rest.substr(0, rest.find(L'/'));
  const size_t colon = rest.rfind(L':');
  if (colon == std::wstring::npos || colon == 0 || colon + 1 >= rest.size()) return false;
  const std::wstring port = rest.substr(colon + 1);
  if (port.size() > 5 || port.find_first_not_of(L"0123456789") != std::wstring::npos) return false;
  const unsigned long number = std::stoul(port);
  if (number > 65535) return false;
  for (wchar_t c : rest.substr(0, colon)) {
    if (c > 0x7F) return false;
    address->host.push_back(static_cast<char>(c));
  }
  address->port = static_cast<uint16_t>(number);
  return true;
}

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// An environment variable that holds a positive decimal number; else `value` stays.
void ReadSetting(const char* name, size_t* value) {
  const char* text = std::getenv(name);
  if (text == nullptr) return;
  size_t number = 0;
  const char* end = text + std::strlen(text);
  const auto [stop, error] = std::from_chars(text, end, number, 10);
  if (error == std::errc() && stop == end && number > 0) *value = number;
}

// The server's own limits, where the environment does not set them.
WebServerLimits LimitsFromEnvironment() {
  WebServerLimits limits;
  ReadSetting("ZOR_BROWSER_MESSAGE_BYTES", &limits.messageBytes);
  ReadSetting("ZOR_BROWSER_MEMORY_BYTES", &limits.clientBytes);
  ReadSetting("ZOR_BROWSER_CLIENTS", &limits.clients);
  ReadSetting("ZOR_BROWSER_CONNECTIONS", &limits.connections);
  size_t requestMs = static_cast<size_t>(limits.requestTime.count());
  ReadSetting("ZOR_BROWSER_REQUEST_MS", &requestMs);
  // Held within what the clock's arithmetic takes (24 days).
  limits.requestTime = std::chrono::milliseconds(std::min<size_t>(requestMs, INT32_MAX));
  return limits;
}

}  // namespace

void HttpServerObject::SetRootFolder(std::wstring folder) {
  std::lock_guard lock(mutex_);
  rootFolder_ = std::move(folder);
}

void HttpServerObject::SetUrl(std::wstring url) {
  std::lock_guard lock(mutex_);
  url_ = std::move(url);
}

void HttpServerObject::Start() {
  std::lock_guard lock(mutex_);
  if (server_ != nullptr) return;
  Address address;
  if (!ParseUrl(url_, &address)) {
    RecordError(Q_ERR_INVALID_PARAMETER, L"The URL is not of the form http://host:port.", url_);
    return;
  }
  const std::filesystem::path root(rootFolder_);
  std::error_code error;
  if (rootFolder_.empty() || !std::filesystem::is_directory(root, error)) {
    RecordError(Q_ERR_FILE, L"The root folder does not exist.", rootFolder_);
    return;
  }
  try {
    server_ =
        std::make_unique<WebServer>(address.host, address.port, root, LimitsFromEnvironment());
  } catch (const std::exception& e) {
    RecordError(Q_ERR_INVALID_PARAMETER, L"The HTTP server cannot listen.", Widen(e.what()));
    return;
  }
  const size_t colon = url_.rfind(L':');
  url_ = url_.substr(0, colon + 1) + std::to_wstring(server_->Port());
}

void HttpServerObject::Stop() {
  std::unique_ptr<WebServer> server;
  {
    std::lock_guard lock(mutex_);
    server = std::move(server_);
  }
  // Closing the connections ends their clients, whose servers may call back into the host.
}

size_t HttpServerObject::ClientBytes(bool most) const {
  std::lock_guard lock(mutex_);
  if (server_ == nullptr) return 0;
  return most ? server_->MostClientBytes() : server_->ClientBytes();
}

QINT64 HttpServerObject::State() const {
  std::lock_guard lock(mutex_);
  return server_ != nullptr ? Q_HTTP_START : Q_HTTP_STOP;
}

std::wstring HttpServerObject::Url() const {
  std::lock_guard lock(mutex_);
  return url_;
}

std::wstring HttpServerObject::RootFolder() const {
  std::lock_guard lock(mutex_);
  return rootFolder_;
}

}  // namespace zorhost
