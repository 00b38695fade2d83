#pragma once
// The widget host's HTTP transport: serves the widget's files from the plug-in
// bundle, answers bridge requests POSTed to /bridge and serves the sensors'
// metrics at GET /metrics, on 127.0.0.1 and, when the machine has it, on
// [::1], on the same port. Requests are checked with RequestPolicy; bridge
// calls and scrapes are handed to the library one at a time.
// Used by zor-widget-host, the host tests and the benchmarks.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "host/BridgeDispatcher.h"
#include "host/HttpServer.h"
#include "widget/PrometheusExposition.h"

namespace zor::host {

class HttpBridgeServer {
 public:
  explicit HttpBridgeServer(BridgeDispatcher& dispatcher);
  ~HttpBridgeServer();
  HttpBridgeServer(const HttpBridgeServer&) = delete;
  HttpBridgeServer& operator=(const HttpBridgeServer&) = delete;

  // Binds the loopback addresses and starts serving in the background.
  // Port 0 lets the system choose. False, with `errorLine`, when 127.0.0.1
  // cannot be bound; [::1] is served only when it can be bound as well.
  bool start(uint16_t port, std::string* errorLine);
  uint16_t port() const { return port_; }
  bool servesIPv6() const;

  // Blocks until stop() has been called (from another thread).
  void wait();
  void stop();

  // The dispatcher and the bundle are not thread-safe; everything that
  // touches them holds this lock. Exposed for callers that share the dispatcher.
  std::mutex& dispatchMutex() { return mutex_; }

  // The metrics text, read now under that lock; also for the metrics listener.
  std::string metricsText();

  static constexpr size_t kMaxRequestBytes = 64 * 1024;
  // Every bridge call and file read runs under one lock, so more workers
  // would only wait; a few let a page's files be asked for side by side.
  static constexpr size_t kWorkerThreads = 3;

 private:
  HttpResponse answer(const HttpRequest& request);

  BridgeDispatcher& dispatcher_;
  std::mutex mutex_;
  PrometheusExposition metrics_;  // held by mutex_
  uint16_t port_ = 0;
  std::unique_ptr<HttpServer> server_;
};

}  // namespace zor::host
