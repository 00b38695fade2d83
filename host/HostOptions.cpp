#include "host/HostOptions.h"

#include <charconv>

namespace zor::host {

namespace {

bool parsePort(const std::string& text, uint16_t* port) {
  unsigned value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty() || value > 65535) return false;
  *port = static_cast<uint16_t>(value);
  return true;
}

}  // namespace

std::optional<HostOptions> HostOptions::parse(const std::vector<std::string>& arguments,
                                              std::string* errorLine) {
  HostOptions options;
  auto fail = [errorLine](const std::string& line) -> std::optional<HostOptions> {
    if (errorLine) *errorLine = line;
    return std::nullopt;
  };
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    bool takesValue = argument == "--machine" || argument == "--root" || argument == "--prefs" ||
                      argument == "--port" || argument == "--metrics-listen";
    if (takesValue && i + 1 >= arguments.size()) return fail(argument + " needs a value");
    if (argument == "--machine") {
      options.machine = arguments[++i];
      if (options.machine->empty()) return fail("--machine needs a value");
    } else if (argument == "--root") {
      options.root = arguments[++i];
      if (options.root->empty()) return fail("--root needs a value");
    } else if (argument == "--prefs") {
      options.preferencesDirectory = arguments[++i];
      if (options.preferencesDirectory->empty()) return fail("--prefs needs a value");
    } else if (argument == "--port") {
      if (!parsePort(arguments[++i], &options.port)) {
        return fail("--port needs a number from 0 to 65535, not \"" + arguments[i] + "\"");
      }
    } else if (argument == "--metrics-listen") {
      std::string problem;
      options.metricsListen = ListenAddress::parse(arguments[++i], &problem);
      if (!options.metricsListen) return fail("--metrics-listen: " + problem);
    } else if (argument == "--stdio") {
      options.stdio = true;
    } else if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if (argument.size() > 1 && argument[0] == '-' && argument[1] != '-') {
      // "-Key value": a user default for this run, read by the user defaults.
      if (i + 1 >= arguments.size()) return fail("user default " + argument + " needs a value");
      ++i;
    } else {
      return fail("unknown argument \"" + argument + "\"");
    }
  }
  if (options.stdio && options.metricsListen) {
    return fail("--metrics-listen needs the HTTP server, not --stdio");
  }
  return options;
}

const char* HostOptions::usage() {
  return "usage: zor-widget-host [--machine this|demo|PROFILE.plist] [--root DIR] [--prefs DIR] "
         "[--port N] [--stdio]\n"
         "       [--metrics-listen ADDRESS:PORT]\n"
         "  --machine  this computer, the built-in demo machine or a machine profile (default: "
         "this computer when it shows a sensor, else the demo machine)\n"
         "  --root     with --machine this: read a recorded Linux tree (DIR/sys, DIR/proc, "
         "DIR/etc) instead of /\n"
         "  --prefs    folder of the stored preferences (default: the user's configuration "
         "folder)\n"
         "  --port     serve the widget on http://127.0.0.1:N/ (default 8941, or a free port)\n"
         "  --stdio    answer one JSON request per line of standard input instead\n"
         "  --metrics-listen ADDRESS:PORT  also serve the metrics (and nothing else) there,\n"
         "             e.g. 0.0.0.0:9101; the widget's server has them at /metrics too\n"
         "  -Key value set a user default for this run (e.g. -TraceSMARTTemperatures 1)\n";
}

}  // namespace zor::host
