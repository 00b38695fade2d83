#include "host/ListenAddress.h"

#include <charconv>

namespace zor::host {

std::optional<ListenAddress> ListenAddress::parse(std::string_view text, std::string* errorLine) {
  auto fail = [&](const char* why) -> std::optional<ListenAddress> {
    if (errorLine) *errorLine = "\"" + std::string(text) + "\" " + why;
    return std::nullopt;
  };
  size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) return fail("is not ADDRESS:PORT");
  std::string_view address = text.substr(0, colon);
  if (address.size() >= 2 && address.front() == '[' && address.back() == ']') {
    address = address.substr(1, address.size() - 2);
  } else if (address.find(':') != std::string_view::npos) {
    return fail("needs its IPv6 address in brackets, as in [::]:9101");
  }
  if (address.empty()) return fail("names no address (0.0.0.0 is every IPv4 address)");
  std::string_view digits = text.substr(colon + 1);
  unsigned port = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || port > 65535) {
    return fail("needs a port from 0 to 65535");
  }
  return ListenAddress{std::string(address), static_cast<uint16_t>(port)};
}

std::string ListenAddress::text(uint16_t boundPort) const {
  bool ipv6 = address.find(':') != std::string::npos;
  return (ipv6 ? "[" + address + "]" : address) + ":" + std::to_string(boundPort);
}

}  // namespace zor::host
