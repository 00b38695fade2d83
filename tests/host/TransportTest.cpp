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

int status(const httplib::Result& response) {
  return response ? response->status : -1;
}

class TransportTest : public ::testing::Test {
 protected:
  HostEnvironment environment_;
  BridgeDispatcher dispatcher_;
};

// Blank lines are skipped, a line that is no request or too long is answered
// with an error, and reading goes on to the last line even without its newline.
TEST_F(TransportTest, StdioAnswersEveryRequestLineInOrder) {
  const std::string overlong(2 * dispatcher_.limits().maxRequestBytes, 'x');
  std::istringstream in(
      "{\"id\": 1, \"instance\": \"A\", \"call\": \"setWidgetIdentifier\", \"args\": [\"A\"]}\n"
      "\n   \n"
      "{\"id\": 2, \"instance\": \"A\", \"call\": \"preferredSensorIndexAtDisplayIndex\", "
      "\"args\": [0]}\r\n" +
      overlong +
      "\nthis is not json\n"
      "{\"id\": 4, \"instance\": \"A\", \"call\": \"nope\", \"args\": []}\n"
      "{\"id\": 5, \"instance\": \"A\", \"drop\": true}");
  std::ostringstream out;
  EXPECT_EQ(StdioBridge(dispatcher_).run(in, out), 6u);
  std::vector<json> answers;
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) answers.push_back(json::parse(line));
  ASSERT_EQ(answers.size(), 6u) << out.str();
  EXPECT_TRUE(answers[0]["id"] == 1 && answers[0]["result"].is_null()) << answers[0];
  EXPECT_EQ(answers[1], (json{{"id", 2}, {"result", 0}}));  // the default choice
  for (int i : {2, 3, 4}) EXPECT_TRUE(answers[i].contains("error")) << i;
  EXPECT_EQ(answers[4]["id"], 4);
  EXPECT_EQ(answers[5], (json{{"id", 5}, {"result", true}}));
}

class HttpBridgeServerTest : public TransportTest {
 protected:
  BridgeClient client_{dispatcher_, Transport::Http};

  httplib::Result post(const std::string& origin, std::string host = "", std::size_t size = 1) {
    httplib::Headers headers;
    if (!origin.empty()) headers.emplace("Origin", origin);
    if (!host.empty()) headers.emplace("Host", host);
    const std::string body =
        R"({"id": 1, "instance": "A", "call": "localizedStringForElementWithName", "args": [")" +
        std::string(size, 'x') + "\"]}";
    return client_.http()->Post("/bridge", headers, body, "application/json");
  }
  std::string port() { return std::to_string(client_.server()->port()); }
};

TEST_F(HttpBridgeServerTest, APortInUseIsNotShared) {
  // Two hosts on one port would split the widget's requests between them.
  HttpBridgeServer second(dispatcher_);
  std::string error;
  EXPECT_FALSE(second.start(client_.server()->port(), &error));
  EXPECT_NE(error.find(port()), std::string::npos) << error;
}

// A browser keeps its connection alive and opens spare ones it may never use.
TEST_F(HttpBridgeServerTest, StopsSoonWhileTabsHoldConnectionsOpen) {
  httplib::Client tab("127.0.0.1", client_.server()->port());
  tab.set_keep_alive(true);
  ASSERT_TRUE(tab.Get("/"));
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
  for (const auto& [path, file, type] : {std::tuple{"/", "index.html", "text/html; charset=utf-8"},
                                         {"/Images/TTemp.png", "Images/TTemp.png", "image/png"}}) {
    auto response = client_.http()->Get(path);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 200);
    EXPECT_EQ(response->get_header_value("Content-Type"), type);
    EXPECT_EQ(response->body, Bundle::pluginBundle().fileContents(file).value_or("?"));
    EXPECT_NE(response->get_header_value("Content-Security-Policy").find("default-src 'self'"),
              std::string::npos);
  }
  EXPECT_EQ(status(client_.http()->Get("/Images/TNope.png")), 404);
}

TEST_F(HttpBridgeServerTest, PathsLeavingTheWidgetFolderAreRefused) {
  for (const char* path : {"/../resources/Info.plist", "/%2e%2e/resources/index.html",
                           "/Images/%2e%2e/%2e%2e/CMakeLists.txt", "/Info.plist",
                           "/..%2fInfo.plist", "/Images/..%5c..%5cInfo.plist", "//etc/passwd"}) {
    auto response = client_.http()->Get(path);
    ASSERT_TRUE(response) << path;
    EXPECT_GE(response->status, 400) << path;
    EXPECT_EQ(response->body.find("CFBundle"), std::string::npos) << path;
  }
}

TEST_F(HttpBridgeServerTest, ForeignOriginsAndHostNamesCannotCallTheBridge) {
  for (const char* origin :
       {"http://attacker.example", "null", "https://127.0.0.1", "http://127.0.0.1:1"}) {
    auto response = post(origin);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 403) << origin;
    EXPECT_TRUE(json::parse(response->body).contains("error"));
  }
  for (const std::string& host : {"attacker.example:" + port(), "127.0.0.1.nip.example:" + port(),
                                  "127.0.0.1:" + std::to_string(client_.server()->port() + 1)}) {
    EXPECT_EQ(status(post("http://" + host, host)), 403) << host;
    auto page = client_.http()->Get("/", httplib::Headers{{"Host", host}});
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 403) << host;
    EXPECT_EQ(page->body.find("<html"), std::string::npos);
  }
  EXPECT_EQ(dispatcher_.instanceCount(), 0u);
  // Our own origin and names, and programs that send no origin, are answered.
  EXPECT_EQ(status(client_.http()->Get("/", httplib::Headers{{"Host", "localhost:" + port()}})),
            200);
  EXPECT_EQ(status(post("")), 200);
  EXPECT_EQ(status(post(client_.origin())), 200);
}

TEST_F(HttpBridgeServerTest, BridgeTakesOnlyPostsWithinTheSizeLimit) {
  EXPECT_EQ(status(post(client_.origin(), "", HttpBridgeServer::kMaxRequestBytes + 10)), 413);
  EXPECT_EQ(status(client_.http()->Get("/bridge")), 404);
  EXPECT_EQ(dispatcher_.instanceCount(), 0u);
}

}  // namespace
}  // namespace zor::host::testing
