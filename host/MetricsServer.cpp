#include "host/MetricsServer.h"

#include <httplib.h>

#include "widget/PrometheusExposition.h"

namespace zor::host {

namespace {

constexpr const char* kMetricsPath = "/metrics";

void notFound(httplib::Response& response) {
  response.status = 404;
  response.set_content("not found\n", "text/plain; charset=utf-8");
}

}  // namespace

MetricsServer::MetricsServer(std::function<std::string()> scrape) : scrape_(std::move(scrape)) {}

MetricsServer::~MetricsServer() {
  stop();
  wait();
}

bool MetricsServer::start(const ListenAddress& address, std::string* errorLine) {
  if (server_) {
    if (errorLine) *errorLine = "the metrics server is already started";
    return false;
  }
  auto server = std::make_unique<httplib::Server>();
  // No SO_REUSEPORT (the library's default): a second process must not share our port.
  server->set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
  });
  server->set_tcp_nodelay(true);
  server->set_payload_max_length(4096);
  server->set_read_timeout(5, 0);
  server->set_write_timeout(5, 0);
  server->set_pre_routing_handler([](const httplib::Request& request, httplib::Response& response) {
    if (request.path == kMetricsPath) return httplib::Server::HandlerResponse::Unhandled;
    notFound(response);
    return httplib::Server::HandlerResponse::Handled;
  });
  server->Get(kMetricsPath, [this](const httplib::Request&, httplib::Response& response) {
    response.set_header("Cache-Control", "no-store");
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_content(scrape_(), PrometheusExposition::kContentType);
  });
  server->set_exception_handler(
      [](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
        response.status = 500;
        response.set_content("internal error\n", "text/plain; charset=utf-8");
      });

  int bound = -1;
  if (address.port == 0) {
    bound = server->bind_to_any_port(address.address);
  } else if (server->bind_to_port(address.address, address.port)) {
    bound = address.port;
  }
  if (bound <= 0) {
    if (errorLine) *errorLine = "could not listen for metrics on " + address.text(address.port);
    return false;
  }
  port_ = static_cast<uint16_t>(bound);
  server_ = std::move(server);
  thread_ = std::thread([this] {
    server_->listen_after_bind();
    finished_ = true;
  });
  return true;
}

void MetricsServer::stop() {
  if (!server_) return;
  // The server only notices stop() once its accept loop runs; wait for that.
  while (!finished_ && !server_->is_running()) std::this_thread::yield();
  server_->stop();
}

void MetricsServer::wait() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace zor::host
