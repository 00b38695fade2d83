#include "host/HttpRequest.h"

#include <cctype>
#include <set>

namespace zor::host {
namespace {

// Fields whose repetition could let one value pass the checks and another be used.
const std::set<std::string, std::less<>> kSingleFields = {"host", "origin", "content-length",
                                                          "transfer-encoding"};

bool isTokenChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 ||
         std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string HttpRequest::header(const std::string& lowerCaseName) const {
  auto it = headers.find(lowerCaseName);
  return it == headers.end() ? std::string() : it->second;
}

std::optional<std::string> HttpRequest::percentDecoded(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      decoded += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = hexValue(text[i + 1]);
    const int low = hexValue(text[i + 2]);
    if (high < 0 || low < 0 || (high == 0 && low == 0)) return std::nullopt;
    decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return decoded;
}

int HttpRequest::parseHead(std::string_view head, std::size_t maxBody, HttpRequest* request) {
  *request = HttpRequest();
  std::size_t lineEnd = head.find("\r\n");
  const std::string_view requestLine = head.substr(0, lineEnd);

  // METHOD SP target SP HTTP/1.x
  const std::size_t firstSpace = requestLine.find(' ');
  const std::size_t lastSpace = requestLine.rfind(' ');
  if (firstSpace == std::string_view::npos || firstSpace == 0 || lastSpace == firstSpace)
    return 400;
  const std::string_view method = requestLine.substr(0, firstSpace);
  const std::string_view target = requestLine.substr(firstSpace + 1, lastSpace - firstSpace - 1);
  const std::string_view version = requestLine.substr(lastSpace + 1);
  for (char c : method) {
    if (!isTokenChar(c)) return 400;
  }
  if (target.empty() || target.front() != '/') return 400;
  for (char c : target) {
    if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F) return 400;
  }
  if (!version.starts_with("HTTP/1.")) return version.starts_with("HTTP/") ? 505 : 400;
  if (version != "HTTP/1.1" && version != "HTTP/1.0") return 505;
  auto path = percentDecoded(target.substr(0, target.find('?')));
  if (!path) return 400;
  request->method = std::string(method);
  request->path = std::move(*path);

  while (lineEnd != std::string_view::npos) {
    const std::size_t start = lineEnd + 2;
    lineEnd = head.find("\r\n", start);
    const std::string_view line = head.substr(start, lineEnd - start);
    if (line.empty()) continue;
    // A folded line continues the one before: an old form no client of ours sends.
    if (line.front() == ' ' || line.front() == '\t') return 400;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) return 400;
    std::string name;
    for (char c : line.substr(0, colon)) {
      if (!isTokenChar(c)) return 400;
      name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const std::string_view value = trimmed(line.substr(colon + 1));
    for (char c : value) {
      if ((static_cast<unsigned char>(c) < ' ' && c != '\t') || c == 0x7F) return 400;
    }
    auto [it, added] = request->headers.emplace(name, std::string(value));
    if (!added) {
      if (kSingleFields.count(name) != 0) return 400;
      it->second += ", " + std::string(value);
    }
  }

  if (request->hasHeader("transfer-encoding")) return 501;
  if (request->hasHeader("content-length")) {
    const std::string& text = request->headers["content-length"];
    if (text.empty() || text.size() > 18) return text.empty() ? 400 : 413;
    std::size_t length = 0;
    for (char c : text) {
      if (c < '0' || c > '9') return 400;
      length = length * 10 + static_cast<std::size_t>(c - '0');
    }
    if (length > maxBody) return 413;
    request->contentLength_ = length;
  }
  return 0;
}

}  // namespace zor::host
