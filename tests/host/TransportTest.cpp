// The stdio and HTTP transports: line handling, the loopback and origin
// rules, the widget's files and the size limits.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "platform/Bundle.h"
#include "tests/host/HostTestSupport.h"

namespace zor::host::testing {
namespace {

using nlohmann::json;

std::vector<json> answerLines(const std::string& text) {
  std::vector<json> answers;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) answers.push_back(json::parse(line));
  return answers;
}

class StdioBridgeTest : public ::testing::Test {
 protected:
  HostEnvironment environment_;
  BridgeDispatcher dispatcher_;
};

TEST_F(StdioBridgeTest, AnswersEveryRequestLineInOrder) {
  std::istringstream in(
      "{\"id\": 1, \"instance\": \"A\", \"call\": \"setWidgetIdentifier\", \"args\": [\"A\"]}\n"
      "\n"
      "   \n"
      "{\"id\": 2, \"instance\": \"A\", \"call\": \"preferredSensorIndexAtDisplayIndex\", "
      "\"args\": [0]}\r\n"
      "this is not json\n"
      "{\"id\": 4, \"instance\": \"A\", \"call\": \"nope\", \"args\": []}\n"
      "{\"id\": 5, \"instance\": \"A\", \"drop\": true}");  // no newline at the end
  std::ostringstream out;
  EXPECT_EQ(StdioBridge(dispatcher_).run(in, out), 5u);
  std::vector<json> answers = answerLines(out.str());
  ASSERT_EQ(answers.size(), 5u) << out.str();
  EXPECT_EQ(answers[0]["id"], 1);
  EXPECT_TRUE(answers[0]["result"].is_null());
  EXPECT_EQ(answers[1]["id"], 2);
  EXPECT_EQ(answers[1]["result"], 0);  // the default choice after the identifier
  EXPECT_TRUE(answers[2]["id"].is_null());
  EXPECT_TRUE(answers[2].contains("error"));
  EXPECT_EQ(answers[3]["id"], 4);
  EXPECT_TRUE(answers[3].contains("error"));
  EXPECT_EQ(answers[4], (json{{"id", 5}, {"result", true}}));
}

TEST_F(StdioBridgeTest, AnOverlongLineIsRefusedWholeAndReadingGoesOn) {
  std::string longLine =
      "{\"id\": 1, \"instance\": \"A\", \"call\": \"logDebugString\", \"args\": [\"" +
      std::string(dispatcher_.limits().maxRequestBytes * 2, 'x') + "\"]}";
  std::istringstream in(longLine +
                        "\n{\"id\": 2, \"instance\": \"A\", \"call\": "
                        "\"numberOfAvailableSensors\", \"args\": []}\n");
  std::ostringstream out;
  StdioBridge(dispatcher_).run(in, out);
  std::vector<json> answers = answerLines(out.str());
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_TRUE(answers[0].contains("error"));
  EXPECT_EQ(answers[1]["id"], 2);
  EXPECT_TRUE(answers[1]["result"].is_number_integer());
}

class HttpBridgeServerTest : public ::testing::Test {
 protected:
  HostEnvironment environment_;
  BridgeDispatcher dispatcher_;
  BridgeClient client_{dispatcher_, Transport::Http};

  std::string body(const std::string& call) {
    return json{{"id", 1}, {"instance", "A"}, {"call", call}, {"args", json::array()}}.dump();
  }
};

TEST_F(HttpBridgeServerTest, ListensOnLoopbackOnly) {
  ASSERT_NE(client_.server(), nullptr);
  EXPECT_NE(client_.server()->port(), 0);
  httplib::Client v4("127.0.0.1", client_.server()->port());
  auto response = v4.Get("/");
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 200);
}

TEST_F(HttpBridgeServerTest, APortInUseIsNotShared) {
  // Two hosts on one port would split the widget's requests between them.
  BridgeDispatcher other;
  HttpBridgeServer second(other);
  std::string error;
  EXPECT_FALSE(second.start(client_.server()->port(), &error));
  EXPECT_NE(error.find(std::to_string(client_.server()->port())), std::string::npos) << error;
}

TEST_F(HttpBridgeServerTest, StopsSoonWhileATabKeepsItsConnectionOpen) {
  httplib::Client tab("127.0.0.1", client_.server()->port());
  tab.set_keep_alive(true);
  ASSERT_TRUE(tab.Get("/"));
  const auto asked = std::chrono::steady_clock::now();
  client_.server()->stop();
  client_.server()->wait();
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(3));
}

TEST_F(HttpBridgeServerTest, StopsSoonWhileAConnectionSendsNothing) {
  // A browser opens spare connections it may never use.
  const int spare = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(client_.server()->port());
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(spare, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // a worker has taken it
  const auto asked = std::chrono::steady_clock::now();
  client_.server()->stop();
  client_.server()->wait();
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(3));
  ::close(spare);
}

TEST_F(HttpBridgeServerTest, ServesTheWidgetsFilesFromTheBundle) {
  auto page = client_.http()->Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_EQ(page->body, Bundle::pluginBundle().fileContents("index.html").value_or("?"));
  EXPECT_NE(page->get_header_value("Content-Security-Policy").find("default-src 'self'"),
            std::string::npos);

  auto icon = client_.http()->Get("/Images/TTemp.png");
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->status, 200);
  EXPECT_EQ(icon->get_header_value("Content-Type"), "image/png");
  EXPECT_EQ(icon->body, Bundle::pluginBundle().fileContents("Images/TTemp.png").value_or("?"));
  EXPECT_EQ(icon->body.substr(0, 4), "\x89PNG");

  auto missing = client_.http()->Get("/Images/TNope.png");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404);
}

TEST_F(HttpBridgeServerTest, PathsLeavingTheWidgetFolderAreRefused) {
  const std::string plist = Bundle::pluginBundle().fileContents("Info.plist").value_or("");
  for (const char* path :
       {"/../resources/Info.plist", "/Images/../../machines/intel-notebook.plist",
        "/%2e%2e/resources/index.html", "/Images/%2e%2e/%2e%2e/CMakeLists.txt", "/Info.plist",
        "/..%2fInfo.plist", "/Images/..%5c..%5cInfo.plist", "//etc/passwd",
        "/en.lproj/Localizable.strings"}) {
    SCOPED_TRACE(path);
    auto response = client_.http()->Get(path);
    ASSERT_TRUE(response);
    EXPECT_GE(response->status, 400);
    EXPECT_EQ(response->body.find("<plist"), std::string::npos);
    EXPECT_EQ(response->body.find("CFBundle"), std::string::npos);
  }
  EXPECT_NE(plist.find("CFBundleIdentifier"), std::string::npos) << "the probe file exists";
}

TEST_F(HttpBridgeServerTest, ForeignOriginsCannotCallTheBridge) {
  for (const char* origin :
       {"http://attacker.example", "null", "https://127.0.0.1", "http://127.0.0.1:1"}) {
    SCOPED_TRACE(origin);
    httplib::Headers headers{{"Origin", origin}};
    auto response = client_.http()->Post("/bridge", headers, body("numberOfAvailableSensors"),
                                         "application/json");
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 403);
    EXPECT_TRUE(json::parse(response->body).contains("error"));
  }
  EXPECT_EQ(dispatcher_.instanceCount(), 0u);

  // Our own origin, and programs that send none, are answered.
  httplib::Headers own{{"Origin", client_.origin()}};
  auto ownResponse =
      client_.http()->Post("/bridge", own, body("numberOfAvailableSensors"), "application/json");
  ASSERT_TRUE(ownResponse);
  EXPECT_EQ(ownResponse->status, 200);
  auto programResponse =
      client_.http()->Post("/bridge", body("numberOfAvailableSensors"), "application/json");
  ASSERT_TRUE(programResponse);
  EXPECT_EQ(programResponse->status, 200);
  EXPECT_EQ(json::parse(programResponse->body)["result"], json::parse(ownResponse->body)["result"]);
}

TEST_F(HttpBridgeServerTest, NonLoopbackHostNamesAreRefused) {
  const std::string port = std::to_string(client_.server()->port());
  for (const std::string& host : {"attacker.example:" + port, "127.0.0.1.nip.example:" + port,
                                  "127.0.0.1:" + std::to_string(client_.server()->port() + 1)}) {
    SCOPED_TRACE(host);
    httplib::Headers headers{{"Host", host}};
    auto page = client_.http()->Get("/", headers);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 403);
    EXPECT_EQ(page->body.find("<html"), std::string::npos);
    headers.emplace("Origin", "http://" + host);
    auto bridge = client_.http()->Post("/bridge", headers, body("numberOfAvailableSensors"),
                                       "application/json");
    ASSERT_TRUE(bridge);
    EXPECT_EQ(bridge->status, 403);
  }
  EXPECT_EQ(dispatcher_.instanceCount(), 0u);
  httplib::Headers named{{"Host", "localhost:" + port}};
  auto page = client_.http()->Get("/", named);
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
}

TEST_F(HttpBridgeServerTest, OversizedBodiesAreRefused) {
  std::string huge = json{{"id", 1},
                          {"instance", "A"},
                          {"call", "logDebugString"},
                          {"args", {std::string(HttpBridgeServer::kMaxRequestBytes + 10, 'x')}}}
                         .dump();
  httplib::Headers own{{"Origin", client_.origin()}};
  auto response = client_.http()->Post("/bridge", own, huge, "application/json");
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 413);
  EXPECT_EQ(dispatcher_.instanceCount(), 0u);
}

TEST_F(HttpBridgeServerTest, OnlyPostReachesTheBridge) {
  auto response = client_.http()->Get("/bridge");
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 404);
  EXPECT_EQ(dispatcher_.instanceCount(), 0u);
}

}  // namespace
}  // namespace zor::host::testing
