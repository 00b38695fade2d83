// zor-widget-host: serves the sensor widget and publishes one controller per
// widget instance to the widget's script, over HTTP on loopback or over stdio.

#include <pthread.h>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/BridgeDispatcher.h"
#include "host/HostOptions.h"
#include "host/HttpBridgeServer.h"
#include "host/MetricsServer.h"
#include "host/StdioBridge.h"
#include "platform/UserDefaults.h"
#include "plugin/PluginLoader.h"
#include "startup/MachineStartup.h"

using zor::host::BridgeDispatcher;
using zor::host::HostOptions;
using zor::host::HttpBridgeServer;
using zor::host::MetricsServer;
using zor::host::StdioBridge;

namespace {

// The machine notice goes to standard error in stdio mode, where standard
// output carries answers only.
void describeMachine(std::FILE* out, const zor::MachineStartup::Outcome& started) {
  std::fprintf(out, "%s\n", zor::MachineStartup::describe(started).c_str());
}

int serveHttp(BridgeDispatcher& dispatcher, const HostOptions& options,
              const zor::MachineStartup::Outcome& machine) {
  // SIGINT and SIGTERM are taken by one waiting thread, which stops the server
  // cleanly; the server's own threads never see them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  HttpBridgeServer server(dispatcher);
  std::string errorLine;
  bool started = false;
  if (options.port == 0) {
    started = server.start(HostOptions::kDefaultPort, &errorLine) || server.start(0, &errorLine);
  } else {
    started = server.start(options.port, &errorLine);
  }
  if (!started) {
    std::fprintf(stderr, "zor-widget-host: %s\n", errorLine.c_str());
    return 1;
  }
  // Declared after the server, so it stops first.
  std::unique_ptr<MetricsServer> metrics;
  if (options.metricsListen) {
    metrics = std::make_unique<MetricsServer>([&server] { return server.metricsText(); });
    if (!metrics->start(*options.metricsListen, &errorLine)) {
      std::fprintf(stderr, "zor-widget-host: %s\n", errorLine.c_str());
      return 1;
    }
  }
  describeMachine(stdout, machine);
  std::printf("Open the widget at http://127.0.0.1:%u/\n", server.port());
  if (server.servesIPv6()) std::printf("(also at http://[::1]:%u/)\n", server.port());
  if (metrics) {
    std::printf("Metrics for scraping at http://%s/metrics\n",
                options.metricsListen->text(metrics->port()).c_str());
  }
  std::printf("Press Ctrl-C to stop.\n");
  std::fflush(stdout);

  std::thread waiter([&server, signals] {
    int received = 0;
    sigwait(&signals, &received);
    server.stop();
  });
  server.wait();
  if (metrics) metrics->stop();
  // Should the server end by itself, wake the waiter so it can be joined.
  pthread_kill(waiter.native_handle(), SIGTERM);
  waiter.join();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string errorLine;
  auto options = HostOptions::parse(std::vector<std::string>(argv + 1, argv + argc), &errorLine);
  if (!options) {
    std::fprintf(stderr, "zor-widget-host: %s\n%s", errorLine.c_str(), HostOptions::usage());
    return 2;
  }
  if (options->help) {
    std::fputs(HostOptions::usage(), stdout);
    return 0;
  }

  const auto started = zor::MachineStartup::start({options->machine, options->root});
  if (!started.machine) {
    std::fprintf(stderr, "zor-widget-host: %s\n", started.errorLine.c_str());
    return started.exitCode;
  }
  if (!started.notice.empty()) std::fprintf(stderr, "%s\n", started.notice.c_str());
  // After the install, which replaces the standard domain with the machine's.
  zor::UserDefaults::standard().setArgumentDomain(argc, argv);
  if (options->preferencesDirectory) {
    zor::UserDefaults::setPreferencesDirectory(*options->preferencesDirectory);
  }
  zor::loadPlugin();

  BridgeDispatcher dispatcher;
  if (options->stdio) {
    describeMachine(stderr, started);
    StdioBridge(dispatcher).run(std::cin, std::cout);
    return 0;
  }
  return serveHttp(dispatcher, *options, started);
}
