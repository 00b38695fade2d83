#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "host/HttpServer.h"
#include "tests/host/HostTestSupport.h"

namespace zor::host {
namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

// A server answering "ok" to whatever arrives in whole, with short limits.
class HttpServerLimitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HttpServer::Limits limits;
    limits.maxBodyBytes = 1024;
    limits.headTimeout = 500ms;
    limits.bodyTimeout = 500ms;
    server_ = std::make_unique<HttpServer>(
        [](const HttpRequest&) {
          HttpResponse response;
          response.setContent("ok", "text/plain");
          return response;
        },
        limits);
    port_ = server_->bind("127.0.0.1", 0, nullptr);
    ASSERT_NE(port_, 0);
    server_->start();
  }

  // The answer's status line, read within `within` (empty when none came).
  static std::string statusLine(int fd, std::chrono::milliseconds within) {
    std::string answer;
    const auto deadline = SteadyClock::now() + within;
    char buffer[4096];
    while (answer.find("\r\n") == std::string::npos) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
      pollfd readable{fd, POLLIN, 0};
      if (left <= 0ms || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0) break;
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      answer.append(buffer, static_cast<std::size_t>(n));
    }
    return answer.substr(0, answer.find("\r\n"));
  }

  std::string exchange(const std::string& request) const {
    const int fd = testing::connectedSocket(port_);
    EXPECT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(request.size()));
    std::string line = statusLine(fd, 3s);
    ::close(fd);
    return line;
  }

  std::unique_ptr<HttpServer> server_;
  uint16_t port_ = 0;
};

// Eight clients sending a byte every 50 ms are cut off when their head (or
// body) has taken its time, and a whole request meanwhile is answered at once.
TEST_F(HttpServerLimitsTest, TrickledRequestsAreCutOffWhileOthersAreAnswered) {
  struct Case {
    const char* what;
    std::string opening;  // sent at once, then one byte at a time
  };
  const Case cases[] = {
      {"a head that never ends", "GET / HTTP/1.1\r\nX-Slow: "},
      {"a body that never ends", "POST / HTTP/1.1\r\nContent-Length: 1000\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::thread> slow;
    std::vector<std::string> answers(8);
    std::vector<SteadyClock::duration> took(8);
    for (std::size_t i = 0; i < answers.size(); ++i) {
      slow.emplace_back([&, i] {
        const int fd = testing::connectedSocket(port_);
        const auto began = SteadyClock::now();
        ::send(fd, c.opening.data(), c.opening.size(), MSG_NOSIGNAL);
        while (answers[i].empty() && SteadyClock::now() - began < 3s) {
          ::send(fd, "a", 1, MSG_NOSIGNAL);
          answers[i] = statusLine(fd, 50ms);
        }
        took[i] = SteadyClock::now() - began;
        ::close(fd);
      });
    }
    std::this_thread::sleep_for(100ms);
    const auto asked = SteadyClock::now();
    EXPECT_EQ(exchange("GET / HTTP/1.1\r\n\r\n"), "HTTP/1.1 200 OK");
    EXPECT_LT(SteadyClock::now() - asked, 400ms);
    for (auto& thread : slow) thread.join();
    for (std::size_t i = 0; i < answers.size(); ++i) {
      EXPECT_EQ(answers[i], "HTTP/1.1 408 Request Timeout");
      EXPECT_LT(took[i], 1500ms);
    }
  }
}

// Requests whose head or body could pass the limits are refused whole, on the wire.
TEST_F(HttpServerLimitsTest, RequestsOutsideTheLimitsAreRefused) {
  struct Case {
    const char* what;
    std::string request;
    std::string status;
  };
  const std::string chunk = "400\r\n" + std::string(0x400, 'x') + "\r\n";
  std::string chunked = "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (int i = 0; i < 64; ++i) chunked += chunk;  // 64 KB, over the body limit
  const Case cases[] = {
      {"a chunked body", chunked, "HTTP/1.1 501 Not Implemented"},
      {"two Host fields", "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nHost: a.example\r\n\r\n",
       "HTTP/1.1 400 Bad Request"},
      {"a length that is no number", "POST / HTTP/1.1\r\nContent-Length: abc\r\n\r\n",
       "HTTP/1.1 400 Bad Request"},
      {"a head over the limit", "GET / HTTP/1.1\r\nX-Long: " + std::string(9000, 'a'),
       "HTTP/1.1 431 Request Header Fields Too Large"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(exchange(c.request), c.status) << c.what;
  }
}

}  // namespace
}  // namespace zor::host
