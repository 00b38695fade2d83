#pragma once
// What the widget host's HTTP server accepts. It listens on loopback only, but
// a web page can still make a browser reach loopback (directly, or through a
// name that resolves there), so every request must name a loopback host,
// bridge calls must come from the host's own origin, and file requests stay
// inside the widget's folder. Used by the HTTP server; kept apart so the
// rules can be tested without sockets.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zor::host {

class RequestPolicy {
 public:
  // A Host header of "127.0.0.1", "localhost" or "[::1]", with `port` if a port is given.
  static bool isLoopbackHost(std::string_view host, uint16_t port);

  // An Origin of "http://127.0.0.1:PORT", "http://localhost:PORT" or
  // "http://[::1]:PORT". Requests without an Origin header come from programs,
  // not from web pages (browsers send one with every POST), and are let through
  // by the server; "null" and every other origin are refused.
  static bool isOwnOrigin(std::string_view origin, uint16_t port);

  // The widget file a request path names, relative to the widget's folder
  // ("/" is "index.html"), or nothing for a path that could leave the folder
  // (".." or "." segments, empty segments, backslashes, control characters,
  // hidden files) or names a kind of file the widget does not serve.
  static std::optional<std::string> widgetFilePath(std::string_view requestPath);

  // The content type for a widget file path, or null for a kind of file not served.
  static const char* contentTypeForPath(std::string_view path);
};

}  // namespace zor::host
