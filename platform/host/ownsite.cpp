#include "platform/host/ownsite.h"

#include <algorithm>
#include <charconv>

namespace zorhost {
namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  });
  return lower;
}

}  // namespace

OwnSite::OwnSite(std::string name, const std::string& address, bool loopback, uint16_t port)
    : port_(port) {
  names_.push_back(Lower(name));
  names_.push_back(address.find(':') != std::string::npos ? "[" + address + "]" : address);
  if (loopback) names_.push_back("localhost");
}

bool OwnSite::IsOwnHost(std::string_view host) const {
  // The port follows the last colon after an IPv6 address's closing bracket.
  const size_t bracket = host.rfind(']');
  const size_t colon = host.rfind(':');
  uint16_t port = 80;
  std::string_view name = host;
  if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
    name = host.substr(0, colon);
    const std::string_view digits = host.substr(colon + 1);
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, port, 10);
    if (digits.empty() || error != std::errc() || stop != end) return false;
  }
  if (port != port_) return false;
  return std::find(names_.begin(), names_.end(), Lower(name)) != names_.end();
}

bool OwnSite::IsOwnOrigin(std::string_view origin) const {
  constexpr std::string_view kScheme = "http://";
  if (origin.size() <= kScheme.size() || Lower(origin.substr(0, kScheme.size())) != kScheme) {
    return false;
  }
  return IsOwnHost(origin.substr(kScheme.size()));
}

}  // namespace zorhost
