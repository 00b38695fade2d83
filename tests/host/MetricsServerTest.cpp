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
  HostEnvironment environment_;
  BridgeDispatcher dispatcher_;
  BridgeClient client_{dispatcher_, Transport::Http};
};

TEST_F(MetricsOverHttpTest, TheWidgetServerServesThemToLoopbackNamesOnly) {
  auto response = client_.http()->Get("/metrics");
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 200);
  EXPECT_EQ(response->get_header_value("Content-Type"), "text/plain; version=0.0.4");
  EXPECT_NE(response->body.find(kCoreSample), std::string::npos) << response->body;

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

  auto scraped = client.Get("/metrics");
  ASSERT_TRUE(scraped);
  EXPECT_EQ(scraped->status, 200);
  EXPECT_EQ(scraped->get_header_value("Content-Type"), "text/plain; version=0.0.4");
  EXPECT_NE(scraped->body.find(kCoreSample), std::string::npos) << scraped->body;

  const std::string bridgeCall = nlohmann::json{
      {"id", 1},
      {"instance", "A"},
      {"call", "setWidgetIdentifier"},
      {"args", {"A"}}}.dump();
  for (const char* path : {"/", "/index.html", "/widget.js", "/Images/TTemp.png", "/bridge",
                           "/metrics/", "/metrics.txt", "/../metrics"}) {
    SCOPED_TRACE(path);
    auto get = client.Get(path);
    ASSERT_TRUE(get);
    EXPECT_EQ(get->status, 404);
    auto post = client.Post(path, bridgeCall, "application/json");
    ASSERT_TRUE(post);
    EXPECT_EQ(post->status, 404);
  }
  EXPECT_EQ(dispatcher_.instanceCount(), 0u) << "no bridge call got through";

  MetricsServer second([] { return std::string(); });
  EXPECT_FALSE(second.start(ListenAddress{"127.0.0.1", metrics.port()}, &error));
  EXPECT_NE(error.find("127.0.0.1:" + std::to_string(metrics.port())), std::string::npos) << error;
}

}  // namespace
}  // namespace zor::host::testing
