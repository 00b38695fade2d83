#pragma once
// One answer of the widget host's HTTP server: status, header fields and
// body, written as HTTP/1.1 with its length and "Connection: close" (every
// connection carries one request). Made by HttpBridgeServer, written by
// HttpServer.

#include <string>
#include <utility>
#include <vector>

namespace zor::host {

class HttpResponse {
 public:
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  void setHeader(std::string name, std::string value) {
    headers.emplace_back(std::move(name), std::move(value));
  }
  void setContent(std::string content, std::string contentType) {
    body = std::move(content);
    setHeader("Content-Type", std::move(contentType));
  }

  // The status line, the fields, Content-Length and Connection, and the body.
  std::string serialized() const;
  static const char* reasonPhrase(int status);
};

}  // namespace zor::host
