#include "platform/host/requestfaults.h"

#include <algorithm>
#include <boost/beast/core/string.hpp>
#include <cctype>

namespace zorhost {

namespace http = boost::beast::http;

std::optional<RequestFault> FaultOf(const http::request_header<>& request) {
  const auto refuse = [](const char* text) {
    return RequestFault{http::status::bad_request, text};
  };
  // The first of two Host (or Origin) fields could pass the check and the second be served.
  if (request.count(http::field::host) > 1) return refuse("More than one Host header.\n");
  if (request.count(http::field::origin) > 1) return refuse("More than one Origin header.\n");
  if (request.count(http::field::content_length) > 1) {
    return refuse("More than one Content-Length header.\n");
  }
  const auto length = request.find(http::field::content_length);
  if (length != request.end()) {
    const auto value = length->value();
    if (value.empty() || !std::all_of(value.begin(), value.end(),
                                      [](char c) { return std::isdigit(c & 0xFF) != 0; })) {
      return refuse("Content-Length is not a number.\n");
    }
  }
  const auto codings = request.equal_range(http::field::transfer_encoding);
  if (codings.first != codings.second && request.version() < 11) {
    return refuse("Transfer-Encoding in an HTTP/1.0 request.\n");
  }
  for (auto coding = codings.first; coding != codings.second; ++coding) {
    if (!boost::beast::iequals(coding->value(), "chunked")) {
      return refuse("Transfer-Encoding other than chunked.\n");
    }
  }
  return std::nullopt;
}

std::optional<RequestFault> FaultOf(boost::beast::error_code parseError) {
  if (parseError.category() != http::make_error_code(http::error::end_of_stream).category() ||
      parseError == http::error::end_of_stream) {
    return std::nullopt;
  }
  if (parseError == http::error::header_limit) {
    return RequestFault{http::status::request_header_fields_too_large, "Headers too large.\n"};
  }
  if (parseError == http::error::body_limit) {
    return RequestFault{http::status::payload_too_large, "Body too large.\n"};
  }
  return RequestFault{http::status::bad_request,
                      "Malformed request: " + parseError.message() + ".\n"};
}

}  // namespace zorhost
