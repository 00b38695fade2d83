// What the host takes from outside and must refuse when it is unsound: its
// command line, a request's Host, Origin and path, and a script's values.

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "host/HostOptions.h"
#include "host/RequestPolicy.h"
#include "host/ScriptValueJson.h"

namespace zor::host {
namespace {

using nlohmann::json;

// Each option's value where it belongs, nothing set for the others.
TEST(HostOptionsTest, ReadsEveryOption) {
  auto fields = [](const std::vector<std::string>& arguments) {
    std::string error;
    const auto o = HostOptions::parse(arguments, &error).value_or(HostOptions{});
    const auto metrics = o.metricsListen.value_or(ListenAddress{"none", 1});
    return std::tuple(o.machine.value_or("-"), o.root.value_or("-"),
                      o.preferencesDirectory.value_or("-"), o.port, o.stdio, metrics.address,
                      metrics.port, error);
  };
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

// A Host field without a port stands for port 80 only.
TEST(RequestPolicyTest, AcceptsOnlyLoopbackHostNamesOnOurPort) {
  for (const char* host : {"127.0.0.1:8941", "localhost:8941", "LocalHost:8941", "[::1]:8941"}) {
    EXPECT_TRUE(RequestPolicy::isLoopbackHost(host, 8941)) << host;
  }
  EXPECT_TRUE(RequestPolicy::isLoopbackHost("127.0.0.1", 80));
  for (const char* host :
       {"127.0.0.1", "127.0.0.1:8942", "attacker.example:8941", "127.0.0.1.attacker.example:8941",
        "localhost.attacker.example:8941", "127.0.0.2:8941", "0.0.0.0:8941", "[::1", "[::1]8941",
        "127.0.0.1:", "127.0.0.1:99999", "127.0.0.1:8941 ", "127.0.0.1:+8941", ""}) {
    EXPECT_FALSE(RequestPolicy::isLoopbackHost(host, 8941)) << host;
  }
}

TEST(RequestPolicyTest, AcceptsOnlyTheHostsOwnOrigin) {
  for (const char* origin :
       {"http://127.0.0.1:8941", "http://localhost:8941", "http://[::1]:8941"}) {
    EXPECT_TRUE(RequestPolicy::isOwnOrigin(origin, 8941)) << origin;
  }
  for (const char* origin :
       {"https://127.0.0.1:8941", "http://127.0.0.1:8000", "http://127.0.0.1:8941/",
        "http://attacker.example", "http://attacker.example:8941", "null", "", "file://"}) {
    EXPECT_FALSE(RequestPolicy::isOwnOrigin(origin, 8941)) << origin;
  }
}

// Paths leaving the folder, hidden files, odd spellings and the bundle's other
// files are refused.
TEST(RequestPolicyTest, WidgetFilesStayInsideTheWidgetFolder) {
  EXPECT_EQ(RequestPolicy::widgetFilePath("/"), "index.html");
  for (const std::string file : {"index.html", "widget.js", "widget.css", "Images/TTemp.png"}) {
    EXPECT_EQ(RequestPolicy::widgetFilePath("/" + file), file);
  }
  for (const std::string request :
       {"/../Info.plist", "/..", "/Images/../../machines/x.png", "/Images/../index.html",
        "/./index.html", "//etc/passwd.html", "/Images//TTemp.png", "/Images/", "/.git/config.js",
        "/Images\\..\\..\\x.png", "/C:/x.png", "/a\x01.png", "index.html", "", "/Info.plist",
        "/en.lproj/Localizable.strings", "/widget"}) {
    EXPECT_EQ(RequestPolicy::widgetFilePath(request), std::nullopt) << request;
  }
  EXPECT_EQ(RequestPolicy::widgetFilePath("/" + std::string(300, 'a') + ".png"), std::nullopt);
}

// Whole numbers must fit 32 bits exactly (4294967295 must not wrap to -1),
// floats must be finite as floats, strings must be strings.
TEST(ScriptValueJsonTest, ArgumentsConvertAsTheSignatureSays) {
  using Int32 = int32_t;
  const std::tuple<const char*, ScriptType, std::optional<ScriptValue>> cases[] = {
      {"2147483647", ScriptType::Int32, Int32{2147483647}},
      {"-2147483648", ScriptType::Int32, Int32{-2147483647 - 1}},
      {"2.0", ScriptType::Int32, Int32{2}},
      {"1.5", ScriptType::Float, 1.5f},
      {"-3", ScriptType::Float, -3.0f},
      {"\"\\u00e4\"", ScriptType::String, std::string("\xc3\xa4")},
      {"2147483648", ScriptType::Int32, {}},
      {"-2147483649", ScriptType::Int32, {}},
      {"4294967295", ScriptType::Int32, {}},
      {"2.5", ScriptType::Int32, {}},
      {"1e10", ScriptType::Int32, {}},
      {"\"5\"", ScriptType::Int32, {}},
      {"1e39", ScriptType::Float, {}},
      {"\"1.5\"", ScriptType::Float, {}},
      {"1", ScriptType::String, {}},
      {"1", ScriptType::None, {}},
  };
  for (const auto& [text, type, expected] : cases) {
    ScriptValue value;
    std::string error;
    const bool converted = ScriptValueJson::fromJson(json::parse(text), type, &value, &error);
    EXPECT_EQ(converted ? std::optional(value) : std::nullopt, expected) << text;
    EXPECT_EQ(error.empty(), converted) << text;
  }
}

}  // namespace
}  // namespace zor::host
