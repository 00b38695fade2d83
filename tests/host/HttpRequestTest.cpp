#include "host/HttpRequest.h"

#include <gtest/gtest.h>

#include <string>

namespace zor::host {
namespace {

constexpr std::size_t kMaxBody = 100;

// One row per rule: a head and the status it gets (0: accepted).
TEST(HttpRequestTest, HeadsAreCheckedStrictly) {
  struct Case {
    const char* what;
    std::string head;
    int status;
  };
  const std::string host = "\r\nHost: 127.0.0.1:1";
  const Case cases[] = {
      {"a plain GET", "GET / HTTP/1.1" + host, 0},
      {"HTTP/1.0", "GET / HTTP/1.0", 0},
      {"no version", "GET /", 400},
      {"a target that is no path", "GET http://a/ HTTP/1.1" + host, 400},
      {"a space in the method", "G T / HTTP/1.1", 400},
      {"another HTTP version", "GET / HTTP/2.0" + host, 505},
      {"not HTTP", "GET / SPDY/3", 400},
      {"a broken escape", "GET /%2 HTTP/1.1" + host, 400},
      {"an escaped NUL", "GET /a%00b HTTP/1.1" + host, 400},
      {"a folded line", "GET / HTTP/1.1" + host + "\r\n more", 400},
      {"a line without a colon", "GET / HTTP/1.1" + host + "\r\nHost 127.0.0.1", 400},
      {"a space before the colon", "GET / HTTP/1.1\r\nHost : 127.0.0.1:1", 400},
      {"a control character in a value", "GET / HTTP/1.1" + host + "\r\nX-A: a\x01", 400},
      {"a second Host", "GET / HTTP/1.1" + host + "\r\nhost: attacker.example", 400},
      {"a second Origin", "POST /bridge HTTP/1.1\r\nOrigin: a\r\nOrigin: b", 400},
      {"a repeated ordinary field", "GET / HTTP/1.1\r\nAccept: a\r\nAccept: b", 0},
      {"a transfer coding", "POST /bridge HTTP/1.1\r\nTransfer-Encoding: chunked", 501},
      {"a length that is no number", "POST /bridge HTTP/1.1\r\nContent-Length: 1x", 400},
      {"a negative length", "POST /bridge HTTP/1.1\r\nContent-Length: -1", 400},
      {"two lengths", "POST /bridge HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 1", 400},
      {"a body over the limit", "POST /bridge HTTP/1.1\r\nContent-Length: 101", 413},
      {"a length past 64 bits", "POST /bridge HTTP/1.1\r\nContent-Length: 99999999999999999999",
       413},
      {"a body at the limit", "POST /bridge HTTP/1.1\r\nContent-Length: 100", 0},
  };
  for (const Case& c : cases) {
    HttpRequest request;
    EXPECT_EQ(HttpRequest::parseHead(c.head, kMaxBody, &request), c.status) << c.what;
  }
}

TEST(HttpRequestTest, FieldsAndPathAreReadAsTheServerUsesThem) {
  HttpRequest request;
  ASSERT_EQ(HttpRequest::parseHead("POST /Images/%2e%2e/a%20b.png?x=%zz HTTP/1.1\r\n"
                                   "HOST:  localhost:80 \r\nAccept: a\r\naccept: b\r\n"
                                   "Content-Length: 12",
                                   kMaxBody, &request),
            0);
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.path, "/Images/../a b.png");  // the query is not the path's
  EXPECT_EQ(request.header("host"), "localhost:80");
  EXPECT_EQ(request.header("accept"), "a, b");
  EXPECT_EQ(request.contentLength(), 12u);
  EXPECT_FALSE(request.hasHeader("origin"));
}

}  // namespace
}  // namespace zor::host
