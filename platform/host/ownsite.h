// The names under which the server's page is reached, for the checks that keep other web sites
// out: a page of another site that the user opens may connect to loopback (its Origin tells),
// and a name of another site may be made to point at loopback (its Host tells).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zorhost {

class OwnSite {
 public:
  // `name` as the URL gives it, `address` the bound address in text ("127.0.0.1", "::1").
  OwnSite(std::string name, const std::string& address, bool loopback, uint16_t port);

  // A Host header naming this server: one of its names with its port (no port means 80).
  bool IsOwnHost(std::string_view host) const;
  // An Origin header of a page this server served: "http://" and an own host.
  bool IsOwnOrigin(std::string_view origin) const;

 private:
  std::vector<std::string> names_;
  uint16_t port_;
};

}  // namespace zorhost
