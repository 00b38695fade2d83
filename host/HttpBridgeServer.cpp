#include "host/HttpBridgeServer.h"

#include "host/RequestPolicy.h"
#include "platform/Bundle.h"

namespace zor::host {

namespace {

HttpResponse refusal(int status, const std::string& message) {
  HttpResponse response;
  response.status = status;
  response.setHeader("Cache-Control", "no-store");
  response.setContent(
      BridgeDispatcher::serialize(nlohmann::json{{"id", nullptr}, {"error", message}}),
      "application/json");
  return response;
}

HttpResponse notFound() {
  HttpResponse response;
  response.status = 404;
  response.setContent("not found\n", "text/plain; charset=utf-8");
  return response;
}

}  // namespace

HttpBridgeServer::HttpBridgeServer(BridgeDispatcher& dispatcher) : dispatcher_(dispatcher) {}

HttpBridgeServer::~HttpBridgeServer() {
  stop();
  wait();
}

HttpResponse HttpBridgeServer::answer(const HttpRequest& request) {
  // A page on another site can make the browser send requests here through
  // a name that resolves to loopback; it cannot make it send our Host.
  if (!RequestPolicy::isLoopbackHost(request.header("host"), port_)) {
    return refusal(403, "this host serves loopback names only");
  }
  if (request.method == "POST") {
    if (request.path != "/bridge") return notFound();
    if (request.hasHeader("origin") &&
        !RequestPolicy::isOwnOrigin(request.header("origin"), port_)) {
      return refusal(403, "bridge calls are accepted from the widget's own pages only");
    }
    HttpResponse response;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      response.setContent(dispatcher_.handleText(request.body), "application/json");
    }
    response.setHeader("Cache-Control", "no-store");
    return response;
  }
  if (request.method != "GET") {
    HttpResponse response = refusal(405, "only GET and POST are answered");
    response.setHeader("Allow", "GET, POST");
    return response;
  }

  if (request.path == "/metrics") {
    HttpResponse response;
    response.setHeader("Cache-Control", "no-store");
    response.setHeader("X-Content-Type-Options", "nosniff");
    response.setContent(metricsText(), PrometheusExposition::kContentType);
    return response;
  }

  std::optional<std::string> path = RequestPolicy::widgetFilePath(request.path);
  std::optional<std::string> contents;
  if (path) {
    std::lock_guard<std::mutex> lock(mutex_);
    contents = Bundle::pluginBundle().fileContents(*path);
  }
  if (!contents) return notFound();
  HttpResponse response;
  response.setHeader("Cache-Control", "no-store");
  response.setHeader("X-Content-Type-Options", "nosniff");
  response.setHeader("X-Frame-Options", "DENY");
  response.setHeader("Content-Security-Policy",
                     "default-src 'self'; img-src 'self' data:; connect-src 'self'; "
                     "frame-ancestors 'none'; base-uri 'none'; form-action 'none'");
  response.setContent(std::move(*contents), RequestPolicy::contentTypeForPath(*path));
  return response;
}

std::string HttpBridgeServer::metricsText() {
  std::lock_guard<std::mutex> lock(mutex_);
  return metrics_.render();
}

bool HttpBridgeServer::start(uint16_t port, std::string* errorLine) {
  if (server_) {
    if (errorLine) *errorLine = "the server is already started";
    return false;
  }
  HttpServer::Limits limits;
  limits.maxBodyBytes = kMaxRequestBytes;
  limits.workers = kWorkerThreads;
  auto server = std::make_unique<HttpServer>(
      [this](const HttpRequest& request) { return answer(request); }, limits);
  std::string error;
  const uint16_t bound = server->bind("127.0.0.1", port, &error);
  if (bound == 0) {
    if (errorLine) *errorLine = "could not listen on 127.0.0.1:" + std::to_string(port);
    return false;
  }
  port_ = bound;
  // [::1] is served too when the machine has it, on the same port.
  server->bind("::1", port_, &error);
  server_ = std::move(server);
  server_->start();
  return true;
}

bool HttpBridgeServer::servesIPv6() const {
  return server_ && server_->listenerCount() > 1;
}

void HttpBridgeServer::stop() {
  if (server_) server_->stop();
}

void HttpBridgeServer::wait() {
  if (server_) server_->wait();
}

}  // namespace zor::host
