#pragma once
// The widget host's command line:
//   zor-widget-host [--machine this|demo|PROFILE.plist] [--root DIR] [--prefs DIR] [--port N]
//                   [--stdio] [--metrics-listen ADDRESS:PORT]
// Parsed by main() and by the tests; a bad command line yields one error line.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/ListenAddress.h"

namespace zor::host {

class HostOptions {
 public:
  // The port tried first when none (or 0) is given; when it is taken, the
  // system picks a free one.
  static constexpr uint16_t kDefaultPort = 8941;

  // None: chosen at start-up (MachineStartup).
  std::optional<std::string> machine;
  std::optional<std::string> root;
  std::optional<std::string> preferencesDirectory;
  uint16_t port = 0;  // 0: the default port, or any free one
  bool stdio = false;
  // A second listener that serves /metrics only, for scraping from the network.
  std::optional<ListenAddress> metricsListen;
  bool help = false;

  // `arguments` excludes the program name. Nothing on a bad command line,
  // with `errorLine` saying what is wrong.
  static std::optional<HostOptions> parse(const std::vector<std::string>& arguments,
                                          std::string* errorLine);
  static const char* usage();
};

}  // namespace zor::host
