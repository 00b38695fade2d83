#include <gtest/gtest.h>

#include "host/RequestPolicy.h"

namespace zor::host {
namespace {

struct HostCase {
  const char* host;
  uint16_t port;
  bool accepted;
};

class LoopbackHostTest : public ::testing::TestWithParam<HostCase> {};

TEST_P(LoopbackHostTest, AcceptsOnlyLoopbackNamesOnOurPort) {
  const HostCase& c = GetParam();
  EXPECT_EQ(RequestPolicy::isLoopbackHost(c.host, c.port), c.accepted) << c.host;
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, LoopbackHostTest,
    ::testing::Values(
        HostCase{"127.0.0.1:8941", 8941, true}, HostCase{"localhost:8941", 8941, true},
        HostCase{"LocalHost:8941", 8941, true}, HostCase{"[::1]:8941", 8941, true},
        HostCase{"127.0.0.1:8942", 8941, false}, HostCase{"127.0.0.1", 8941, false},
        HostCase{"127.0.0.1", 80, true}, HostCase{"attacker.example:8941", 8941, false},
        HostCase{"127.0.0.1.attacker.example:8941", 8941, false},
        HostCase{"localhost.attacker.example:8941", 8941, false},
        HostCase{"127.0.0.2:8941", 8941, false}, HostCase{"0.0.0.0:8941", 8941, false},
        HostCase{"[::1", 8941, false}, HostCase{"[::1]8941", 8941, false},
        HostCase{"127.0.0.1:", 8941, false}, HostCase{"127.0.0.1:99999", 8941, false},
        HostCase{"127.0.0.1:8941 ", 8941, false}, HostCase{"127.0.0.1:+8941", 8941, false},
        HostCase{"", 8941, false}));

struct OriginCase {
  const char* origin;
  bool accepted;
};

class OwnOriginTest : public ::testing::TestWithParam<OriginCase> {};

TEST_P(OwnOriginTest, AcceptsOnlyTheHostsOwnOrigin) {
  const OriginCase& c = GetParam();
  EXPECT_EQ(RequestPolicy::isOwnOrigin(c.origin, 8941), c.accepted) << c.origin;
}

INSTANTIATE_TEST_SUITE_P(Origins, OwnOriginTest,
                         ::testing::Values(OriginCase{"http://127.0.0.1:8941", true},
                                           OriginCase{"http://localhost:8941", true},
                                           OriginCase{"http://[::1]:8941", true},
                                           OriginCase{"https://127.0.0.1:8941", false},
                                           OriginCase{"http://127.0.0.1:8000", false},
                                           OriginCase{"http://127.0.0.1:8941/", false},
                                           OriginCase{"http://attacker.example", false},
                                           OriginCase{"http://attacker.example:8941", false},
                                           OriginCase{"null", false}, OriginCase{"", false},
                                           OriginCase{"file://", false}));

struct PathCase {
  const char* requestPath;
  const char* filePath;  // null: refused
};

class WidgetFilePathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(WidgetFilePathTest, StaysInsideTheWidgetFolder) {
  const PathCase& c = GetParam();
  auto path = RequestPolicy::widgetFilePath(c.requestPath);
  if (c.filePath) {
    ASSERT_TRUE(path.has_value()) << c.requestPath;
    EXPECT_EQ(*path, c.filePath);
  } else {
    EXPECT_FALSE(path.has_value()) << c.requestPath << " gave " << path.value_or("");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, WidgetFilePathTest,
    ::testing::Values(
        PathCase{"/", "index.html"}, PathCase{"/index.html", "index.html"},
        PathCase{"/widget.js", "widget.js"}, PathCase{"/widget.css", "widget.css"},
        PathCase{"/Images/TTemp.png", "Images/TTemp.png"}, PathCase{"/../Info.plist", nullptr},
        PathCase{"/..", nullptr}, PathCase{"/Images/../../machines/x.png", nullptr},
        PathCase{"/Images/../index.html", nullptr}, PathCase{"/./index.html", nullptr},
        PathCase{"//etc/passwd.html", nullptr}, PathCase{"/Images//TTemp.png", nullptr},
        PathCase{"/Images/", nullptr}, PathCase{"/.git/config.js", nullptr},
        PathCase{"/Images\\..\\..\\x.png", nullptr}, PathCase{"/C:/x.png", nullptr},
        PathCase{"/a\x01.png", nullptr}, PathCase{"index.html", nullptr}, PathCase{"", nullptr},
        PathCase{"/Info.plist", nullptr}, PathCase{"/en.lproj/Localizable.strings", nullptr},
        PathCase{"/widget", nullptr}));

TEST(RequestPolicyTest, ContentTypesFollowTheExtension) {
  EXPECT_STREQ(RequestPolicy::contentTypeForPath("index.html"), "text/html; charset=utf-8");
  EXPECT_STREQ(RequestPolicy::contentTypeForPath("widget.js"), "text/javascript; charset=utf-8");
  EXPECT_STREQ(RequestPolicy::contentTypeForPath("Images/TFan.png"), "image/png");
  EXPECT_EQ(RequestPolicy::contentTypeForPath("Info.plist"), nullptr);
  EXPECT_EQ(RequestPolicy::contentTypeForPath(".png"), nullptr);
}

TEST(RequestPolicyTest, OverlongPathsAreRefused) {
  std::string path = "/" + std::string(300, 'a') + ".png";
  EXPECT_FALSE(RequestPolicy::widgetFilePath(path).has_value());
}

}  // namespace
}  // namespace zor::host
