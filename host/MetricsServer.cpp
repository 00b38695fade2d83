#include "host/MetricsServer.h"

#include "widget/PrometheusExposition.h"

namespace zor::host {

namespace {

constexpr const char* kMetricsPath = "/metrics";
// A scrape is a GET without a body.
constexpr std::size_t kMaxRequestBytes = 4096;

}  // namespace

MetricsServer::MetricsServer(std::function<std::string()> scrape) : scrape_(std::move(scrape)) {}

MetricsServer::~MetricsServer() {
  stop();
  wait();
}

HttpResponse MetricsServer::answer(const HttpRequest& request) {
  HttpResponse response;
  if (request.method != "GET" || request.path != kMetricsPath) {
    response.status = 404;
    response.setContent("not found\n", "text/plain; charset=utf-8");
    return response;
  }
  response.setHeader("Cache-Control", "no-store");
  response.setHeader("X-Content-Type-Options", "nosniff");
  response.setContent(scrape_(), PrometheusExposition::kContentType);
  return response;
}

bool MetricsServer::start(const ListenAddress& address, std::string* errorLine) {
  if (server_) {
    if (errorLine) *errorLine = "the metrics server is already started";
    return false;
  }
  HttpServer::Limits limits;
  limits.maxBodyBytes = kMaxRequestBytes;
  limits.workers = 1;  // scrapes come one at a time and take the host's lock anyway
  auto server = std::make_unique<HttpServer>(
      [this](const HttpRequest& request) { return answer(request); }, limits);
  std::string error;
  const uint16_t bound = server->bind(address.address, address.port, &error);
  if (bound == 0) {
    if (errorLine) *errorLine = "could not listen for metrics on " + address.text(address.port);
    return false;
  }
  port_ = bound;
  server_ = std::move(server);
  server_->start();
  return true;
}

void MetricsServer::stop() {
  if (server_) server_->stop();
}

void MetricsServer::wait() {
  if (server_) server_->wait();
}

}  // namespace zor::host
