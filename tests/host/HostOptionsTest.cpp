#include <gtest/gtest.h>

#include <tuple>

#include "host/HostOptions.h"

namespace zor::host {
namespace {

TEST(HostOptionsTest, ReadsEveryOption) {
  std::string error;
  auto none = HostOptions::parse({}, &error);
  ASSERT_TRUE(none.has_value()) << error;
  EXPECT_EQ(
      std::tie(none->machine, none->root, none->preferencesDirectory, none->port, none->stdio),
      std::tuple(std::nullopt, std::nullopt, std::nullopt, 0, false));
  auto all = HostOptions::parse({"--machine", "this", "--root", "/tmp/t", "--prefs", "/tmp/p",
                                 "--port", "9000", "-TraceSMARTTemperatures", "1", "--stdio"},
                                &error);
  ASSERT_TRUE(all.has_value()) << error;
  EXPECT_EQ(std::tie(all->machine, all->root, all->preferencesDirectory, all->port, all->stdio),
            std::tuple("this", "/tmp/t", "/tmp/p", 9000, true));
  for (const auto& [text, address, port] : {std::tuple{"0.0.0.0:9101", "0.0.0.0", 9101},
                                            {"[::]:9101", "::", 9101},
                                            {"localhost:0", "localhost", 0}}) {
    auto options = HostOptions::parse({"--metrics-listen", text}, &error);
    ASSERT_TRUE(options && options->metricsListen) << text << ": " << error;
    EXPECT_EQ(options->metricsListen->address, address);
    EXPECT_EQ(options->metricsListen->port, port);
  }
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
