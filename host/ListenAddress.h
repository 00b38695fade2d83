#pragma once
// An address and port to listen on, as the command line gives it:
// "ADDRESS:PORT", the address an IPv4 address, a host name or a bracketed
// IPv6 address ("0.0.0.0:9101", "[::]:9101", "localhost:9101"). Port 0 lets
// the system choose. Parsed by the host options for --metrics-listen.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zor::host {

struct ListenAddress {
  std::string address;  // without brackets
  uint16_t port = 0;

  // Nothing, with `errorLine` saying why, for text that is not "ADDRESS:PORT".
  static std::optional<ListenAddress> parse(std::string_view text, std::string* errorLine);
  // "ADDRESS:PORT" again, the IPv6 address in brackets, with `port` for the port.
  std::string text(uint16_t port) const;
};

}  // namespace zor::host
