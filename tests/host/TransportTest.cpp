// The HTTP transport: the loopback and origin
// rules, the widget's files, the metrics and the size limits.

#include <httplib.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "host/HttpBridgeServer.h"
#include "host/MetricsServer.h"
#include "platform/Bundle.h"
#include "tests/host/HostTestSupport.h"

namespace zor::host::testing {
namespace {

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
    const json call{{"id", 1},
                    {"instance", "A"},
                    {"call", "setOwnSensorNameAtIndex"},
                    {"args", {0, std::string(size, 'P')}}};
    auto response = request.starts_with("GET")
                        ? client_->Get(path, headers)
                        : client_->Post(path, headers, call.dump(), "application/json");
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
  const std::tuple<const char*, const char*, const char*, int> refused[] = {
      {"GET /", "", "attacker.example:PORT", 403},
      {"GET /metrics", "", "127.0.0.1.nip.example:PORT", 403},
      {"POST /bridge", "", "attacker.example:PORT", 403},
      {"POST /bridge", "http://attacker.example", "", 403},
      {"POST /elsewhere", "", "", 404},
      {"GET /bridge", "", "", 404},
      {"GET /Images/TNope.png", "", "", 404},
      {"GET /..%2fInfo.plist", "", "", 404},
      {"GET /Images/%2e%2e/%2e%2e/CMakeLists.txt", "", "", 404},
  };
  for (const auto& [request, origin, host, expected] : refused) {
    EXPECT_EQ(status(request, origin, host), expected) << request << " " << origin << host;
  }
  EXPECT_EQ(status("POST /bridge", "", "", HttpBridgeServer::kMaxRequestBytes + 10), 413);
  EXPECT_EQ(dispatcher_.instanceCount(), 0u);
  EXPECT_EQ(environment_.stored(), "");
  EXPECT_EQ(status("GET /", "", "localhost:PORT"), 200);
  EXPECT_EQ(status("POST /bridge", "", ""), 200);
  EXPECT_EQ(status("POST /bridge", "http://127.0.0.1:PORT", ""), 200);
  EXPECT_EQ(dispatcher_.handle({{"id", 2},
                                {"instance", "A"},
                                {"call", "ownSensorNameAtIndex"},
                                {"args", {0}}})["result"],
            "PPPP");
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
    EXPECT_EQ(response->status, 200);
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

}  // namespace
}  // namespace zor::host::testing
