#include <gtest/gtest.h>

#include <tuple>

#include "host/HostOptions.h"

namespace zor::host {
namespace {

// Nothing set without options; each option's value where it belongs.
TEST(HostOptionsTest, ReadsEveryOption) {
  auto fields = [](const std::vector<std::string>& arguments) {
    std::string error;
    const auto o = HostOptions::parse(arguments, &error).value_or(HostOptions{});
    const auto metrics = o.metricsListen.value_or(ListenAddress{"none", 1});
    return std::tuple(o.machine.value_or("-"), o.root.value_or("-"),
                      o.preferencesDirectory.value_or("-"), o.port, o.stdio, metrics.address,
                      metrics.port, error);
  };
  EXPECT_EQ(fields({}), std::tuple("-", "-", "-", 0, false, "none", 1, ""));
  EXPECT_EQ(fields({"--machine", "this", "--root", "/tmp/t", "--prefs", "/tmp/p", "--port", "9000",
                    "-TraceSMARTTemperatures", "1", "--stdio"}),
            std::tuple("this", "/tmp/t", "/tmp/p", 9000, true, "none", 1, ""));
  EXPECT_EQ(fields({"--metrics-listen", "0.0.0.0:9101"}),
            std::tuple("-", "-", "-", 0, false, "0.0.0.0", 9101, ""));
  EXPECT_EQ(fields({"--metrics-listen", "[::]:0"}),
            std::tuple("-", "-", "-", 0, false, "::", 0, ""));
}

TEST(HostOptionsTest, BadCommandLinesAreRefusedWithAReason) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"--port"}, "--port needs a value"},
      {{"--port", "65536"}, "65536"},
      {{"--port", "-1"}, "-1"},
      {{"--port", "80x"}, "80x"},
      {{"--port", ""}, "--port"},
      {{"--machine", ""}, "--machine needs a value"},
      {{"--root", ""}, "--root needs a value"},
      {{"--verbose"}, "unknown argument \"--verbose\""},
      {{"-DebugSMARTAccess"}, "needs a value"},
      {{"--metrics-listen", "9101"}, "ADDRESS:PORT"},
      {{"--metrics-listen", ":9101"}, "no address"},
      {{"--metrics-listen", "::1:9101"}, "brackets"},
      {{"--metrics-listen", "h:65536"}, "port"},
      {{"--metrics-listen", "h:1", "--stdio"}, "not --stdio"},
  };
  for (const auto& [arguments, reason] : cases) {
    std::string error;
    EXPECT_FALSE(HostOptions::parse(arguments, &error).has_value()) << reason;
    EXPECT_NE(error.find(reason), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace zor::host
