// The stdio and HTTP transports: line handling, the loopback and origin
// rules, the widget's files, the metrics and the size limits.

#include <httplib.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "host/HttpBridgeServer.h"
#include "host/MetricsServer.h"
#include "host/StdioBridge.h"
#include "platform/Bundle.h"
#include "tests/host/HostTestSupport.h"

namespace zor::host::testing {
namespace {

int status(const httplib::Result& response) {
  return response ? response->status : -1;
}

// Blank lines are skipped, a line that is no request or too long is answered
// with an error, and reading goes on to the last line even without its newline.
TEST(StdioBridgeTest, AnswersEveryRequestLineInOrder) {
  HostEnvironment environment;
  BridgeDispatcher dispatcher;
  std::istringstream in(
      R"({"id": 1, "instance": "A", "call": "setWidgetIdentifier", "args": ["A"]})"
      "\n\n   \n"
      R"({"id": 2, "instance": "A", "call": "preferredSensorIndexAtDisplayIndex", "args": [0]})"
      "\r\n" +
      std::string(2 * dispatcher.limits().maxRequestBytes, 'x') +
      "\nthis is not json\n"
      R"({"id": 4, "instance": "A", "call": "nope", "args": []})"
      "\n"
      R"({"id": 5, "instance": "A", "drop": true})");
  std::ostringstream out;
  EXPECT_EQ(StdioBridge(dispatcher).run(in, out), 6u);
  std::vector<json> answers;
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) answers.push_back(json::parse(line));
  ASSERT_EQ(answers.size(), 6u) << out.str();
  EXPECT_EQ(answers[0], (json{{"id", 1}, {"result", nullptr}, {"newInstance", true}}));
  EXPECT_EQ(answers[1], (json{{"id", 2}, {"result", 0}}));  // the default choice
  for (int i : {2, 3, 4}) EXPECT_TRUE(answers[i].contains("error")) << i;
  EXPECT_EQ(answers[4]["id"], 4);
  EXPECT_EQ(answers[5], (json{{"id", 5}, {"result", true}}));
}

class HttpBridgeServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server_.start(0, &error)) << error;
    client_ = std::make_unique<httplib::Client>("127.0.0.1", server_.port());
  }
  std::string port() const { return std::to_string(server_.port()); }
  std::string origin() const { return "http://127.0.0.1:" + port(); }

  // Asks for an own name "Pump" on sensor 0 with `origin` and `host` (none when empty).
  httplib::Result post(const std::string& origin, std::string host = "", std::size_t size = 4) {
    httplib::Headers headers;
    if (!origin.empty()) headers.emplace("Origin", origin);
    if (!host.empty()) headers.emplace("Host", host);
    const json call{{"id", 1},
                    {"instance", "A"},
                    {"call", "setOwnSensorNameAtIndex"},
                    {"args", {0, std::string(size, 'P')}}};
    return client_->Post("/bridge", headers, call.dump(), "application/json");
  }

  HostEnvironment environment_;
  BridgeDispatcher dispatcher_;
  HttpBridgeServer server_{dispatcher_};
  std::unique_ptr<httplib::Client> client_;
};

TEST_F(HttpBridgeServerTest, APortInUseIsNotShared) {
  // Two hosts on one port would split the widget's requests between them.
  HttpBridgeServer second(dispatcher_);
  std::string error;
  EXPECT_FALSE(second.start(server_.port(), &error));
  EXPECT_NE(error.find(port()), std::string::npos) << error;
}

// A browser keeps its connection alive and opens spare ones it may never use.
TEST_F(HttpBridgeServerTest, StopsSoonWhileTabsHoldConnectionsOpen) {
  httplib::Client tab("127.0.0.1", server_.port());
  tab.set_keep_alive(true);
  ASSERT_TRUE(tab.Get("/"));
  const int spare = connectedSocket(server_.port());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // a worker has taken it
  const auto asked = std::chrono::steady_clock::now();
  server_.stop();
  server_.wait();
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(3));
  ::close(spare);
}

TEST_F(HttpBridgeServerTest, ServesTheWidgetsFilesFromTheBundleOnly) {
  for (const auto& [path, file, type] : {std::tuple{"/", "index.html", "text/html; charset=utf-8"},
                                         {"/Images/TTemp.png", "Images/TTemp.png", "image/png"}}) {
    auto response = client_->Get(path);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 200);
    EXPECT_EQ(response->get_header_value("Content-Type"), type);
    EXPECT_EQ(response->body, Bundle::pluginBundle().fileContents(file).value_or("?"));
    EXPECT_NE(response->get_header_value("Content-Security-Policy").find("default-src 'self'"),
              std::string::npos);
  }
  EXPECT_EQ(status(client_->Get("/Images/TNope.png")), 404);
  for (const char* path : {"/%2e%2e/resources/Info.plist", "/..%2fInfo.plist", "/Info.plist"}) {
    auto response = client_->Get(path);
    ASSERT_TRUE(response) << path;
    EXPECT_GE(response->status, 400) << path;
    EXPECT_EQ(response->body.find("CFBundle"), std::string::npos) << path;
  }
}

// Foreign pages and host names can neither call the bridge (not even to
// rename a sensor) nor read the widget or the metrics.
TEST_F(HttpBridgeServerTest, ForeignOriginsAndHostNamesAreRefused) {
  for (const char* origin : {"http://attacker.example", "null"}) {
    auto response = post(origin);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 403) << origin;
    EXPECT_TRUE(json::parse(response->body).contains("error"));
  }
  for (const std::string& host : {"attacker.example:" + port(), std::string("127.0.0.1:1")}) {
    EXPECT_EQ(status(post("http://" + host, host)), 403) << host;
    for (const char* path : {"/", "/metrics"}) {
      auto page = client_->Get(path, httplib::Headers{{"Host", host}});
      ASSERT_TRUE(page);
      EXPECT_EQ(page->status, 403) << host;
      EXPECT_EQ(page->body.find("<html"), std::string::npos);
    }
  }
  EXPECT_EQ(dispatcher_.instanceCount(), 0u);
  EXPECT_EQ(post(origin(), "", HttpBridgeServer::kMaxRequestBytes + 10)->status, 413);
  EXPECT_EQ(status(client_->Get("/bridge")), 404);
  EXPECT_EQ(environment_.stored(), "");
  // Our own origin and names, and programs that send no origin, are answered.
  EXPECT_EQ(status(client_->Get("/", httplib::Headers{{"Host", "localhost:" + port()}})), 200);
  EXPECT_EQ(status(post("")), 200);
  auto own = post(origin());
  ASSERT_TRUE(own);
  EXPECT_EQ(own->get_header_value("Content-Type"), "application/json");
  EXPECT_EQ(json::parse(own->body), (json{{"id", 1}, {"result", ""}}));
}

// /metrics on the widget's server, and the metrics listener, which serves
// /metrics and nothing else.
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
    EXPECT_EQ(status(client.Get(path)), 404) << path;
    EXPECT_EQ(status(client.Post(path, call, "application/json")), 404) << path;
  }
  EXPECT_EQ(dispatcher_.instanceCount(), 0u) << "no bridge call got through";
  MetricsServer second([] { return std::string(); });
  EXPECT_FALSE(second.start(ListenAddress{"127.0.0.1", metrics.port()}, &error));
  EXPECT_NE(error.find("127.0.0.1:" + std::to_string(metrics.port())), std::string::npos) << error;
}

}  // namespace
}  // namespace zor::host::testing
