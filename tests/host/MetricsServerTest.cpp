// The metrics over HTTP: /metrics on the widget's loopback server under its
// rules, and the metrics listener, which serves /metrics and nothing else.

#include "host/MetricsServer.h"
#include "tests/host/HostTestSupport.h"

namespace zor::host::testing {
namespace {

constexpr const char* kCoreSample =
    "zorsensors_temperature_celsius{sensor=\"HostTest:CPU Core 1\",location=\"CPU Core "
    "1\",name=\"CPU Core 1\"} 52\n";

class MetricsOverHttpTest : public ::testing::Test {
 protected:
  // Scrapes `client`, expecting the exposition with the first core's sample.
  static void expectMetrics(httplib::Client& client) {
    auto response = client.Get("/metrics");
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 200);
    EXPECT_EQ(response->get_header_value("Content-Type"), "text/plain; version=0.0.4");
    EXPECT_NE(response->body.find(kCoreSample), std::string::npos) << response->body;
  }

  HostEnvironment environment_;
  BridgeDispatcher dispatcher_;
  BridgeClient client_{dispatcher_, Transport::Http};
};

TEST_F(MetricsOverHttpTest, TheWidgetServerServesThemToLoopbackNamesOnly) {
  expectMetrics(*client_.http());
  httplib::Headers foreign{
      {"Host", "attacker.example:" + std::to_string(client_.server()->port())}};
  auto refused = client_.http()->Get("/metrics", foreign);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 403);
}

TEST_F(MetricsOverHttpTest, TheMetricsListenerServesNothingElse) {
  HttpBridgeServer& widgetServer = *client_.server();
  MetricsServer metrics([&widgetServer] { return widgetServer.metricsText(); });
  std::string error;
  ASSERT_TRUE(metrics.start(ListenAddress{"127.0.0.1", 0}, &error)) << error;
  httplib::Client client("127.0.0.1", metrics.port());
  expectMetrics(client);
  const std::string call = nlohmann::json{
      {"id", 1},
      {"instance", "A"},
      {"call", "setWidgetIdentifier"},
      {"args", {"A"}}}.dump();
  for (const char* path : {"/", "/index.html", "/widget.js", "/Images/TTemp.png", "/bridge",
                           "/metrics/", "/metrics.txt", "/../metrics"}) {
    auto get = client.Get(path);
    auto post = client.Post(path, call, "application/json");
    ASSERT_TRUE(get && post) << path;
    EXPECT_EQ(get->status, 404) << path;
    EXPECT_EQ(post->status, 404) << path;
  }
  EXPECT_EQ(dispatcher_.instanceCount(), 0u) << "no bridge call got through";
  MetricsServer second([] { return std::string(); });
  EXPECT_FALSE(second.start(ListenAddress{"127.0.0.1", metrics.port()}, &error));
  EXPECT_NE(error.find("127.0.0.1:" + std::to_string(metrics.port())), std::string::npos) << error;
}

}  // namespace
}  // namespace zor::host::testing
