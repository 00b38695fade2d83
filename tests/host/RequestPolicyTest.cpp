#include <gtest/gtest.h>

#include <string>

#include "host/RequestPolicy.h"

namespace zor::host {
namespace {

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

}  // namespace
}  // namespace zor::host
