#include <gtest/gtest.h>

#include <tuple>

#include "host/HostOptions.h"

namespace zor::host {
namespace {

TEST(HostOptionsTest, LeavesTheMachineToTheStartUpOnTheDefaultPort) {
  std::string error;
  auto options = HostOptions::parse({}, &error);
  ASSERT_TRUE(options.has_value()) << error;
  EXPECT_FALSE(options->machine.has_value());
  EXPECT_FALSE(options->root.has_value());
  EXPECT_FALSE(options->preferencesDirectory.has_value());
  EXPECT_EQ(options->port, 0);
  EXPECT_FALSE(options->stdio);
}

TEST(HostOptionsTest, ReadsEveryOption) {
  std::string error;
  auto options = HostOptions::parse(
      {"--machine", "this", "--root", "/tmp/t", "--prefs", "/tmp/p", "--port", "9000", "--stdio"},
      &error);
  ASSERT_TRUE(options.has_value()) << error;
  EXPECT_EQ(options->machine.value_or(""), "this");
  EXPECT_EQ(options->root.value_or(""), "/tmp/t");
  EXPECT_EQ(options->preferencesDirectory.value_or(""), "/tmp/p");
  EXPECT_EQ(options->port, 9000);
  EXPECT_TRUE(options->stdio);
}

TEST(HostOptionsTest, MetricsListenTakesAnAddressAndAPort) {
  const std::tuple<const char*, const char*, uint16_t> cases[] = {
      {"0.0.0.0:9101", "0.0.0.0", 9101},
      {"[::]:9101", "::", 9101},
      {"localhost:0", "localhost", 0},
  };
  for (const auto& [text, address, port] : cases) {
    std::string error;
    auto options = HostOptions::parse({"--metrics-listen", text}, &error);
    ASSERT_TRUE(options.has_value()) << text << ": " << error;
    ASSERT_TRUE(options->metricsListen.has_value()) << text;
    EXPECT_EQ(options->metricsListen->address, address) << text;
    EXPECT_EQ(options->metricsListen->port, port) << text;
  }
}

TEST(HostOptionsTest, UserDefaultArgumentsTakeTheirValueAlong) {
  std::string error;
  auto options = HostOptions::parse({"-TraceSMARTTemperatures", "1", "--stdio"}, &error);
  ASSERT_TRUE(options.has_value()) << error;
  EXPECT_TRUE(options->stdio);
}

struct BadCase {
  std::vector<std::string> arguments;
  const char* errorFragment;
};

class BadCommandLineTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadCommandLineTest, IsRefusedWithAReason) {
  std::string error;
  EXPECT_FALSE(HostOptions::parse(GetParam().arguments, &error).has_value());
  EXPECT_NE(error.find(GetParam().errorFragment), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, BadCommandLineTest,
    ::testing::Values(BadCase{{"--port"}, "--port needs a value"},
                      BadCase{{"--port", "65536"}, "65536"}, BadCase{{"--port", "-1"}, "-1"},
                      BadCase{{"--port", "80x"}, "80x"}, BadCase{{"--port", ""}, "--port"},
                      BadCase{{"--machine"}, "--machine needs a value"},
                      BadCase{{"--machine", ""}, "--machine needs a value"},
                      BadCase{{"--prefs"}, "--prefs needs a value"},
                      BadCase{{"--root", ""}, "--root needs a value"},
                      BadCase{{"--verbose"}, "unknown argument \"--verbose\""},
                      BadCase{{"demo"}, "unknown argument \"demo\""},
                      BadCase{{"-DebugSMARTAccess"}, "needs a value"},
                      BadCase{{"--metrics-listen"}, "needs a value"},
                      BadCase{{"--metrics-listen", "9101"}, "ADDRESS:PORT"},
                      BadCase{{"--metrics-listen", ":9101"}, "no address"},
                      BadCase{{"--metrics-listen", "::1:9101"}, "brackets"},
                      BadCase{{"--metrics-listen", "[::1]:"}, "port"},
                      BadCase{{"--metrics-listen", "h:65536"}, "port"},
                      BadCase{{"--metrics-listen", "h:1", "--stdio"}, "not --stdio"}));

}  // namespace
}  // namespace zor::host
