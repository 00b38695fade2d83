#pragma once
// One HTTP/1.x request as the widget host's server reads it: the request line,
// the header fields (names in lower case) and the body. parseHead() checks
// the head (everything before the blank line) strictly, since the server
// listens where any web page can make a browser send it requests: a malformed
// line, a folded or repeated security-relevant field, or a transfer coding
// is refused with the status that says why. Used by HttpServer.

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace zor::host {

class HttpRequest {
 public:
  std::string method;  // "GET", "POST", ...
  std::string path;    // percent-decoded, without the query
  std::map<std::string, std::string> headers;
  std::string body;

  // The field's value, or "" when the request has none.
  std::string header(const std::string& lowerCaseName) const;
  bool hasHeader(const std::string& lowerCaseName) const {
    return headers.count(lowerCaseName) != 0;
  }
  // The body's length as the head gives it; 0 without a Content-Length.
  std::size_t contentLength() const { return contentLength_; }

  // Parses `head` (without the blank line that ends it). 0 when it is
  // sound, else the status to answer with: 400 malformed, 413 a body longer
  // than `maxBody`, 501 a transfer coding, 505 another HTTP version.
  static int parseHead(std::string_view head, std::size_t maxBody, HttpRequest* request);

  // "%2e%2e" -> ".."; nothing for a broken escape or an escaped NUL.
  static std::optional<std::string> percentDecoded(std::string_view text);

 private:
  std::size_t contentLength_ = 0;
};

}  // namespace zor::host
