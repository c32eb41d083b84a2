// Requests that are refused before anything reads them: repeated header fields that the site
// checks rely on, and message framing that HTTP/1.1 (RFC 9112) tells a server to refuse, as two
// parsers could read it differently and hide one request inside another.
#pragma once

#include <boost/beast/http.hpp>
#include <optional>
#include <string>

namespace zorhost {

struct RequestFault {
  boost::beast::http::status status;
  std::string text;
};

// A request that parsed but must not be served: more than one Host or Origin, a Content-Length
// that is repeated or not a plain number, or a transfer coding other than chunked.
std::optional<RequestFault> FaultOf(const boost::beast::http::request_header<>& request);
// The answer to a request that did not parse (the end of the stream has none).
std::optional<RequestFault> FaultOf(boost::beast::error_code parseError);

}  // namespace zorhost
