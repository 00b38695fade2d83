// The HTTP transport: the loopback and origin rules, the widget's files, the
// metrics; the small server's strict heads and the limits that keep slow or
// oversized requests from holding it, on the wire.

#include <httplib.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "host/HttpBridgeServer.h"
#include "host/HttpRequest.h"
#include "host/HttpServer.h"
#include "host/MetricsServer.h"
#include "platform/Bundle.h"
#include "tests/host/HostTestSupport.h"

namespace zor::host::testing {
namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

class HttpBridgeServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server_.start(0, &error)) << error;
    client_ = std::make_unique<httplib::Client>("127.0.0.1", server_.port());
  }
  std::string port() const { return std::to_string(server_.port()); }

  // The status of `request` ("GET /path", or "POST /path" with an own name
  // for sensor 0) sent with `origin` and `host` ("" for none, "PORT" for ours).
  int status(const std::string& request, std::string origin, std::string host,
             std::size_t size = 4) {
    httplib::Headers headers;
    for (auto [field, value] : {std::pair{"Origin", origin}, {"Host", host}}) {
      if (auto at = value.find("PORT"); at != std::string::npos) value.replace(at, 4, port());
      if (!value.empty()) headers.emplace(field, value);
    }
    const std::string path = request.substr(request.find(' ') + 1);
    const std::string call =
        R"({"id": 1, "instance": "A", "call": "setOwnSensorNameAtIndex", "args": [0, ")" +
        std::string(size, 'P') + "\"]}";
    auto response = request.starts_with("GET")
                        ? client_->Get(path, headers)
                        : client_->Post(path, headers, call, "application/json");
    return response ? response->status : -1;
  }

  HostEnvironment environment_;
  BridgeDispatcher dispatcher_;
  HttpBridgeServer server_{dispatcher_};
  std::unique_ptr<httplib::Client> client_;
};

// The widget's files come from the bundle with their type and policy. A
// browser keeps its connection alive and opens spare ones it may never use:
// the server still stops soon.
TEST_F(HttpBridgeServerTest, ServesTheWidgetsFilesAndStopsWhileTabsHoldConnections) {
  httplib::Client tab("127.0.0.1", server_.port());
  tab.set_keep_alive(true);
  for (const auto& [path, file, type] :
       {std::tuple{"/", "index.html", "text/html; charset=utf-8"},
        {"/widget.js", "widget.js", "text/javascript; charset=utf-8"}}) {
    auto response = tab.Get(path);
    ASSERT_TRUE(response);
    EXPECT_EQ(std::tuple(response->body, response->get_header_value("Content-Type")),
              std::tuple(Bundle::pluginBundle().fileContents(file).value_or("?"), type));
    EXPECT_NE(response->get_header_value("Content-Security-Policy").find("default-src 'self'"),
              std::string::npos);
  }
  const int spare = connectedSocket(server_.port());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // a worker has taken it
  const auto asked = std::chrono::steady_clock::now();
  server_.stop();
  server_.wait();
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(3));
  ::close(spare);
}

// One row per rule of the server: foreign host names get nothing, foreign
// pages cannot call the bridge (not even to rename a sensor), paths outside
// the widget's files are not found; our own origin and names, and programs
// that send no origin, are answered.
TEST_F(HttpBridgeServerTest, RequestsAreAnsweredByTheirHostOriginAndPath) {
  const std::tuple<const char*, const char*, const char*, int> cases[] = {
      {"GET /", "", "localhost:PORT", 200},
      {"GET /", "", "attacker.example:PORT", 403},
      {"GET /metrics", "", "127.0.0.1.nip.example:PORT", 403},
      {"POST /bridge", "", "attacker.example:PORT", 403},
      {"POST /bridge", "http://attacker.example", "", 403},
      {"POST /elsewhere", "", "", 404},
      {"GET /bridge", "", "", 404},
      {"GET /Images/TNope.png", "", "", 404},
      {"GET /Images/%2e%2e/%2e%2e/CMakeLists.txt", "", "", 404},
  };
  for (const auto& [request, origin, host, expected] : cases) {
    EXPECT_EQ(status(request, origin, host), expected) << request << " " << origin << host;
  }
  EXPECT_EQ(status("POST /bridge", "", "", HttpBridgeServer::kMaxRequestBytes + 10), 413);
  EXPECT_EQ(dispatcher_.instanceCount(), 0u);
  EXPECT_EQ(environment_.stored(), "");
  EXPECT_EQ(status("POST /bridge", "", ""), 200);
  EXPECT_EQ(status("POST /bridge", "http://127.0.0.1:PORT", ""), 200);
  EXPECT_EQ(call(dispatcher_, "A", "ownSensorNameAtIndex", {0})["result"], "PPPP");
}

// /metrics on the widget's server, and the metrics listener, which serves
// /metrics and nothing else; neither shares its port.
TEST_F(HttpBridgeServerTest, MetricsListenerServesTheMetricsOnly) {
  MetricsServer metrics([this] { return server_.metricsText(); });
  std::string error;
  ASSERT_TRUE(metrics.start(ListenAddress{"127.0.0.1", 0}, &error)) << error;
  httplib::Client client("127.0.0.1", metrics.port());
  for (httplib::Client* scraper : {client_.get(), &client}) {
    auto response = scraper->Get("/metrics");
    ASSERT_TRUE(response);
    EXPECT_EQ(response->get_header_value("Content-Type"), "text/plain; version=0.0.4");
    EXPECT_NE(response->body.find("\nzorsensors_temperature_celsius{sensor=\"talvero.dts.0\""),
              std::string::npos)
        << response->body;
  }
  const std::string call =
      json{{"id", 1}, {"instance", "A"}, {"call", "setWidgetIdentifier"}, {"args", {"A"}}}.dump();
  for (const char* path : {"/", "/bridge", "/metrics/"}) {
    EXPECT_EQ(client.Get(path)->status, 404) << path;
    EXPECT_EQ(client.Post(path, call, "application/json")->status, 404) << path;
  }
  EXPECT_EQ(dispatcher_.instanceCount(), 0u) << "no bridge call got through";
  // Two hosts on one port would split the requests between them.
  MetricsServer second([] { return std::string(); });
  EXPECT_FALSE(second.start(ListenAddress{"127.0.0.1", metrics.port()}, &error));
  EXPECT_NE(error.find("127.0.0.1:" + std::to_string(metrics.port())), std::string::npos) << error;
  EXPECT_FALSE(HttpBridgeServer(dispatcher_).start(server_.port(), &error));
  EXPECT_NE(error.find("127.0.0.1:" + port()), std::string::npos) << error;
}

// One row per rule: a head and the status it gets (0: accepted).
TEST(HttpRequestTest, HeadsAreCheckedStrictly) {
  const std::string host = "\r\nHost: 127.0.0.1:1";
  const std::tuple<const char*, std::string, int> cases[] = {
      {"HTTP/1.0", "GET / HTTP/1.0", 0},
      {"no version", "GET /", 400},
      {"a target that is no path", "GET http://a/ HTTP/1.1" + host, 400},
      {"another HTTP version", "GET / HTTP/2.0" + host, 505},
      {"not HTTP", "GET / SPDY/3", 400},
      {"a broken escape", "GET /%2 HTTP/1.1" + host, 400},
      {"an escaped NUL", "GET /a%00b HTTP/1.1" + host, 400},
      {"a folded line", "GET / HTTP/1.1" + host + "\r\n more", 400},
      {"a line without a colon", "GET / HTTP/1.1" + host + "\r\nHost 127.0.0.1", 400},
      {"a space before the colon", "GET / HTTP/1.1\r\nHost : 127.0.0.1:1", 400},
      {"a control character in a value", "GET / HTTP/1.1" + host + "\r\nX-A: a\x01", 400},
      {"a second Host", "GET / HTTP/1.1" + host + "\r\nhost: attacker.example", 400},
      {"a repeated ordinary field", "GET / HTTP/1.1\r\nAccept: a\r\nAccept: b", 0},
      {"a transfer coding", "POST /bridge HTTP/1.1\r\nTransfer-Encoding: chunked", 501},
      {"a negative length", "POST /bridge HTTP/1.1\r\nContent-Length: -1", 400},
      {"a body over the limit", "POST /bridge HTTP/1.1\r\nContent-Length: 101", 413},
      {"a length past 64 bits", "POST / HTTP/1.1\r\nContent-Length: 99999999999999999999", 413},
      {"a body at the limit", "POST /bridge HTTP/1.1\r\nContent-Length: 100", 0},
  };
  for (const auto& [what, head, status] : cases) {
    HttpRequest request;
    EXPECT_EQ(HttpRequest::parseHead(head, 100, &request), status) << what;
  }
  HttpRequest request;
  ASSERT_EQ(HttpRequest::parseHead("POST /Images/%2e%2e/a%20b.png?x=%zz HTTP/1.1\r\n"
                                   "HOST:  localhost:80 \r\nAccept: a\r\naccept: b\r\n"
                                   "Content-Length: 12",
                                   100, &request),
            0);
  EXPECT_EQ(std::tuple(request.method, request.path, request.header("host"),
                       request.header("accept"), request.contentLength()),
            std::tuple("POST", "/Images/../a b.png", "localhost:80", "a, b", 12u));
  EXPECT_FALSE(request.hasHeader("origin"));
}

// A server answering "ok" to whatever arrives in whole, with short limits.
class HttpServerLimitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HttpServer::Limits limits;
    limits.maxBodyBytes = 1024;
    limits.headTimeout = limits.bodyTimeout = 500ms;
    server_ = std::make_unique<HttpServer>(
        [](const HttpRequest&) {
          HttpResponse response;
          response.setContent("ok", "text/plain");
          return response;
        },
        limits);
    port_ = server_->bind("127.0.0.1", 0, nullptr);
    ASSERT_NE(port_, 0);
    server_->start();
  }

  // Sends `text` on `fd`; the answer's status line read within `within` (empty when none came).
  static std::string statusLine(int fd, const std::string& text, std::chrono::milliseconds within) {
    ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
    std::string answer;
    const auto deadline = SteadyClock::now() + within;
    char buffer[4096];
    while (answer.find("\r\n") == std::string::npos) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
      pollfd readable{fd, POLLIN, 0};
      if (left <= 0ms || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0) break;
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      answer.append(buffer, static_cast<std::size_t>(n));
    }
    return answer.substr(0, answer.find("\r\n"));
  }

  std::string exchange(const std::string& request) const {
    const int fd = testing::connectedSocket(port_);
    std::string line = statusLine(fd, request, 3s);
    ::close(fd);
    return line;
  }

  std::unique_ptr<HttpServer> server_;
  uint16_t port_ = 0;
};

// Eight clients sending a byte every 50 ms are cut off when their head (or
// body) has taken its time, and a whole request meanwhile is answered at once.
TEST_F(HttpServerLimitsTest, TrickledRequestsAreCutOffWhileOthersAreAnswered) {
  for (const std::string opening :  // sent at once, then one byte at a time
       {"GET / HTTP/1.1\r\nX-Slow: ", "POST / HTTP/1.1\r\nContent-Length: 1000\r\n\r\n"}) {
    SCOPED_TRACE(opening);
    std::vector<std::thread> slow;
    std::vector<std::string> answers(8);
    for (std::size_t i = 0; i < answers.size(); ++i) {
      slow.emplace_back([&, i] {
        const int fd = testing::connectedSocket(port_);
        const auto began = SteadyClock::now();
        answers[i] = statusLine(fd, opening, 50ms);
        while (answers[i].empty() && SteadyClock::now() - began < 3s)
          answers[i] = statusLine(fd, "a", 50ms);
        if (SteadyClock::now() - began > 1500ms) answers[i] += " too late";
        ::close(fd);
      });
    }
    std::this_thread::sleep_for(100ms);
    const auto asked = SteadyClock::now();
    EXPECT_EQ(exchange("GET / HTTP/1.1\r\n\r\n"), "HTTP/1.1 200 OK");
    EXPECT_LT(SteadyClock::now() - asked, 400ms);
    for (auto& thread : slow) thread.join();
    EXPECT_EQ(answers, std::vector<std::string>(8, "HTTP/1.1 408 Request Timeout"));
  }
}

// Requests whose head or body could pass the limits are refused whole, on the
// wire; a head the parser refuses is answered with its status.
TEST_F(HttpServerLimitsTest, RequestsOutsideTheLimitsAreRefused) {
  std::string chunked = "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (int i = 0; i < 64; ++i) chunked += "400\r\n" + std::string(0x400, 'x') + "\r\n";  // 64 KB
  const std::pair<std::string, const char*> cases[] = {
      {chunked, "501 Not Implemented"},
      {"POST / HTTP/1.1\r\nContent-Length: abc\r\n\r\n", "400 Bad Request"},
      {"GET / HTTP/1.1\r\nX-Long: " + std::string(9000, 'a'),
       "431 Request Header Fields Too Large"},
  };
  for (const auto& [request, status] : cases) {
    EXPECT_EQ(exchange(request), std::string("HTTP/1.1 ") + status) << request.substr(0, 40);
  }
}

}  // namespace
}  // namespace zor::host::testing
