#include "host/RequestPolicy.h"

#include <array>
#include <cctype>
#include <charconv>
#include <utility>

namespace zor::host {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool isLoopbackName(std::string_view name) {
  return name == "127.0.0.1" || name == "[::1]" || equalsIgnoringCase(name, "localhost");
}

// Splits "name[:port]" (name may be a bracketed IPv6 address); false when the
// port part is not a plain decimal number.
bool splitHostAndPort(std::string_view text, std::string_view* name,
                      std::optional<uint16_t>* port) {
  size_t colon = std::string_view::npos;
  if (!text.empty() && text.front() == '[') {
    size_t close = text.find(']');
    if (close == std::string_view::npos) return false;
    if (close + 1 < text.size()) {
      if (text[close + 1] != ':') return false;
      colon = close + 1;
    }
  } else {
    colon = text.rfind(':');
  }
  *name = text.substr(0, colon);
  port->reset();
  if (colon == std::string_view::npos) return true;
  std::string_view digits = text.substr(colon + 1);
  unsigned value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() ||
      value > 65535) {
    return false;
  }
  *port = static_cast<uint16_t>(value);
  return true;
}

constexpr std::array<std::pair<std::string_view, const char*>, 7> kContentTypes{{
    {".html", "text/html; charset=utf-8"},
    {".js", "text/javascript; charset=utf-8"},
    {".css", "text/css; charset=utf-8"},
    {".png", "image/png"},
    {".svg", "image/svg+xml"},
    {".ico", "image/x-icon"},
    {".json", "application/json"},
}};

}  // namespace

bool RequestPolicy::isLoopbackHost(std::string_view host, uint16_t port) {
  std::string_view name;
  std::optional<uint16_t> givenPort;
  if (!splitHostAndPort(host, &name, &givenPort)) return false;
  if (!isLoopbackName(name)) return false;
  // Without a port the browser means port 80, which only matters when we serve there.
  return givenPort ? *givenPort == port : port == 80;
}

bool RequestPolicy::isOwnOrigin(std::string_view origin, uint16_t port) {
  constexpr std::string_view kScheme = "http://";
  if (origin.substr(0, kScheme.size()) != kScheme) return false;
  return isLoopbackHost(origin.substr(kScheme.size()), port);
}

std::optional<std::string> RequestPolicy::widgetFilePath(std::string_view requestPath) {
  if (requestPath.empty() || requestPath.front() != '/') return std::nullopt;
  std::string_view rest = requestPath.substr(1);
  if (rest.empty()) return std::string("index.html");
  if (rest.size() > 256) return std::nullopt;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t slash = rest.find('/', start);
    std::string_view segment = rest.substr(
        start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
    // "." and ".." are covered by the hidden-file rule; an empty segment is "//" or a trailing "/".
    if (segment.empty() || segment.front() == '.') return std::nullopt;
    for (char c : segment) {
      auto u = static_cast<unsigned char>(c);
      if (u < 0x20 || u == 0x7f || c == '\\' || c == ':') return std::nullopt;
    }
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  if (!contentTypeForPath(rest)) return std::nullopt;
  return std::string(rest);
}

const char* RequestPolicy::contentTypeForPath(std::string_view path) {
  for (const auto& [extension, type] : kContentTypes) {
    if (path.size() > extension.size() &&
        path.substr(path.size() - extension.size()) == extension) {
      return type;
    }
  }
  return nullptr;
}

}  // namespace zor::host
