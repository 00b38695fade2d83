#include "host/HttpBridgeServer.h"

#include <httplib.h>

#include "host/RequestPolicy.h"
#include "platform/Bundle.h"

namespace zor::host {

namespace {

void refuse(httplib::Response& response, int status, const std::string& message) {
  response.status = status;
  response.set_header("Cache-Control", "no-store");
  response.set_content(
      BridgeDispatcher::serialize(nlohmann::json{{"id", nullptr}, {"error", message}}),
      "application/json");
}

}  // namespace

HttpBridgeServer::HttpBridgeServer(BridgeDispatcher& dispatcher) : dispatcher_(dispatcher) {}

HttpBridgeServer::~HttpBridgeServer() {
  stop();
  wait();
}

void HttpBridgeServer::configure(httplib::Server& server) {
  // The library's default also sets SO_REUSEPORT, which lets a second
  // process bind our port and take a share of our connections; a busy port
  // must fail instead.
  server.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
  });
  // Answers are small and written in pieces; without this each waits for the
  // client's delayed acknowledgement.
  server.set_tcp_nodelay(true);
  server.set_payload_max_length(kMaxRequestBytes);
  server.set_read_timeout(5, 0);
  server.set_write_timeout(5, 0);
  // A connection answers one request and is closed. The library waits for a
  // kept-alive connection's next request by waking every 10 ms, so a widget
  // polling every few seconds over one connection would keep the host busy
  // all the time; a new loopback connection per call costs far less.
  server.set_keep_alive_max_count(1);
  // Every bridge call and file read runs under one lock, so more workers
  // would only wait; a few let a page's files be asked for side by side.
  server.new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };

  server.set_pre_routing_handler(
      [this](const httplib::Request& request, httplib::Response& response) {
        // A page on another site can make the browser send requests here through
        // a name that resolves to loopback; it cannot make it send our Host.
        if (!RequestPolicy::isLoopbackHost(request.get_header_value("Host"), port_)) {
          refuse(response, 403, "this host serves loopback names only");
          return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
      });

  server.Post("/bridge", [this](const httplib::Request& request, httplib::Response& response) {
    if (request.has_header("Origin") &&
        !RequestPolicy::isOwnOrigin(request.get_header_value("Origin"), port_)) {
      refuse(response, 403, "bridge calls are accepted from the widget's own pages only");
      return;
    }
    std::string answer;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      answer = dispatcher_.handleText(request.body);
    }
    response.set_header("Cache-Control", "no-store");
    response.set_content(answer, "application/json");
  });

  server.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
    std::optional<std::string> path = RequestPolicy::widgetFilePath(request.path);
    std::optional<std::string> contents;
    if (path) {
      std::lock_guard<std::mutex> lock(mutex_);
      contents = Bundle::pluginBundle().fileContents(*path);
    }
    if (!contents) {
      response.status = 404;
      response.set_content("not found\n", "text/plain; charset=utf-8");
      return;
    }
    response.set_header("Cache-Control", "no-store");
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_header("X-Frame-Options", "DENY");
    response.set_header("Content-Security-Policy",
                        "default-src 'self'; img-src 'self' data:; connect-src 'self'; "
                        "frame-ancestors 'none'; base-uri 'none'; form-action 'none'");
    response.set_content(*contents, RequestPolicy::contentTypeForPath(*path));
  });

  server.set_exception_handler([](const httplib::Request&, httplib::Response& response,
                                  std::exception_ptr) { refuse(response, 500, "internal error"); });
}

bool HttpBridgeServer::start(uint16_t port, std::string* errorLine) {
  if (!listeners_.empty()) {
    if (errorLine) *errorLine = "the server is already started";
    return false;
  }
  auto v4 = std::make_unique<httplib::Server>();
  configure(*v4);
  int bound = -1;
  if (port == 0) {
    bound = v4->bind_to_any_port("127.0.0.1");
  } else if (v4->bind_to_port("127.0.0.1", port)) {
    bound = port;
  }
  if (bound <= 0) {
    if (errorLine) *errorLine = "could not listen on 127.0.0.1:" + std::to_string(port);
    return false;
  }
  port_ = static_cast<uint16_t>(bound);
  std::vector<std::unique_ptr<httplib::Server>> servers;
  servers.push_back(std::move(v4));
  auto v6 = std::make_unique<httplib::Server>();
  configure(*v6);
  if (v6->bind_to_port("::1", port_)) servers.push_back(std::move(v6));

  for (auto& server : servers) {
    auto listener = std::make_unique<Listener>();
    listener->server = std::move(server);
    Listener* l = listener.get();
    listeners_.push_back(std::move(listener));
    l->thread = std::thread([l] {
      l->server->listen_after_bind();
      l->finished = true;
    });
  }
  return true;
}

void HttpBridgeServer::stop() {
  for (auto& listener : listeners_) {
    // A server only notices stop() once its accept loop runs; wait for that.
    while (!listener->finished && !listener->server->is_running()) std::this_thread::yield();
    listener->server->stop();
  }
}

void HttpBridgeServer::wait() {
  for (auto& listener : listeners_) {
    if (listener->thread.joinable()) listener->thread.join();
  }
}

}  // namespace zor::host
