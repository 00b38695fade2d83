#pragma once
// The widget host's second listener, for scraping over the network
// (--metrics-listen): serves GET /metrics and answers 404 to every other
// path, so exposing metrics exposes no widget files, no bridge and no
// preferences. The text comes from a function the host gives, which takes
// the host's lock; this server touches nothing of the library itself.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "host/HttpServer.h"
#include "host/ListenAddress.h"

namespace zor::host {

class MetricsServer {
 public:
  // `scrape` makes the metrics text; called on the server's threads.
  explicit MetricsServer(std::function<std::string()> scrape);
  ~MetricsServer();
  MetricsServer(const MetricsServer&) = delete;
  MetricsServer& operator=(const MetricsServer&) = delete;

  // Binds `address` and starts serving in the background. False, with
  // `errorLine`, when it cannot be bound.
  bool start(const ListenAddress& address, std::string* errorLine);
  // The bound port (the chosen one when port 0 was asked for).
  uint16_t port() const { return port_; }

  void stop();
  // Blocks until stop() has been called (from another thread).
  void wait();

 private:
  HttpResponse answer(const HttpRequest& request);

  std::function<std::string()> scrape_;
  std::unique_ptr<HttpServer> server_;
  uint16_t port_ = 0;
};

}  // namespace zor::host
