#include "host/HttpServer.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace zor::host {
namespace {

constexpr int kBacklog = 16;
// After its answer a connection is read until the client closes it (at most
// this long), so that a request body left unread does not turn the close
// into a reset that could discard the answer before the client reads it.
constexpr int kLingerMilliseconds = 1000;

void setTimeouts(int fd, int seconds) {
  timeval timeout{};
  timeout.tv_sec = seconds;
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

bool writeAll(int fd, const std::string& text) {
  std::size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

void linger(int fd) {
  ::shutdown(fd, SHUT_WR);
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kLingerMilliseconds);
  char discard[4096];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) break;
    pollfd readable{fd, POLLIN, 0};
    if (::poll(&readable, 1, static_cast<int>(left)) <= 0) break;
    if (::recv(fd, discard, sizeof discard, 0) <= 0) break;
  }
}

HttpResponse plainError(int status) {
  HttpResponse response;
  response.status = status;
  response.setContent(std::string(HttpResponse::reasonPhrase(status)) + "\n",
                      "text/plain; charset=utf-8");
  return response;
}

}  // namespace

HttpServer::HttpServer(Handler handler, Limits limits)
    : handler_(std::move(handler)), limits_(limits) {}

HttpServer::~HttpServer() {
  stop();
  wait();
  for (int fd : listeners_) ::close(fd);
}

uint16_t HttpServer::bind(const std::string& address, uint16_t port, std::string* errorLine) {
  auto fail = [&](const std::string& why) -> uint16_t {
    if (errorLine)
      *errorLine = "could not listen on " + address + ":" + std::to_string(port) + ": " + why;
    return 0;
  };
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const int resolved = ::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (resolved != 0) return fail(gai_strerror(resolved));
  std::string why = "no address";
  int fd = -1;
  for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
    fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) {
      why = std::strerror(errno);
      continue;
    }
    // SO_REUSEADDR only: SO_REUSEPORT would let a second process bind our
    // port and take a share of our connections; a busy port must fail instead.
    int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (::bind(fd, a->ai_addr, a->ai_addrlen) != 0 || ::listen(fd, kBacklog) != 0) {
      why = std::strerror(errno);
      ::close(fd);
      fd = -1;
    }
  }
  ::freeaddrinfo(found);
  if (fd < 0) return fail(why);
  sockaddr_storage bound{};
  socklen_t boundLength = sizeof bound;
  getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &boundLength);
  listeners_.push_back(fd);
  return ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                           : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
}

void HttpServer::start() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (started_) return;
  started_ = true;
  for (int fd : listeners_) threads_.emplace_back([this, fd] { acceptOn(fd); });
  for (std::size_t i = 0; i < limits_.workers; ++i) threads_.emplace_back([this] { work(); });
}

void HttpServer::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
  }
  // Wakes the threads blocked in accept().
  for (int fd : listeners_) ::shutdown(fd, SHUT_RDWR);
  // A connection that sends nothing (a browser's spare one) must not keep a
  // worker, and so the stop, waiting for its read timeout.
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int fd : serving_) ::shutdown(fd, SHUT_RDWR);
  }
  connectionWaiting_.notify_all();
  stopped_.notify_all();
}

void HttpServer::wait() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    stopped_.wait(lock, [this] { return stopping_; });
  }
  for (auto& thread : threads_) {
    if (thread.joinable()) thread.join();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  for (int fd : waiting_) ::close(fd);
  waiting_.clear();
}

void HttpServer::acceptOn(int listener) {
  for (;;) {
    const int connection = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) {
      if (connection >= 0) ::close(connection);
      return;
    }
    if (connection < 0) continue;  // a client that gave up before being accepted
    waiting_.push_back(connection);
    connectionWaiting_.notify_one();
  }
}

void HttpServer::work() {
  for (;;) {
    int connection = -1;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      connectionWaiting_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
      if (stopping_) return;
      connection = waiting_.front();
      waiting_.pop_front();
      serving_.insert(connection);
    }
    serve(connection);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      serving_.erase(connection);
    }
    ::close(connection);
  }
}

bool HttpServer::readRequest(int connection, HttpRequest* request, int* status) {
  std::string received;
  std::size_t headEnd = std::string::npos;
  char buffer[4096];
  while (headEnd == std::string::npos) {
    const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // Closed or timed out: a partial request is answered, silence is not.
      *status = received.empty() ? 0 : 408;
      return false;
    }
    received.append(buffer, static_cast<std::size_t>(n));
    headEnd = received.find("\r\n\r\n");
    if (headEnd == std::string::npos && received.size() > limits_.maxHeadBytes) {
      *status = 431;
      return false;
    }
  }
  if (headEnd > limits_.maxHeadBytes) {
    *status = 431;
    return false;
  }
  *status = HttpRequest::parseHead(std::string_view(received).substr(0, headEnd),
                                   limits_.maxBodyBytes, request);
  if (*status != 0) return false;
  if (request->method == "POST" && !request->hasHeader("content-length")) {
    *status = 411;
    return false;
  }
  request->body = received.substr(headEnd + 4);
  while (request->body.size() < request->contentLength()) {
    const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *status = 408;
      return false;
    }
    request->body.append(buffer, static_cast<std::size_t>(n));
  }
  // Anything after the body would be a second request on this connection.
  request->body.resize(request->contentLength());
  return true;
}

void HttpServer::serve(int connection) {
  setTimeouts(connection, limits_.timeoutSeconds);
  int yes = 1;
  // Answers go out in one write; without this the last piece would wait for
  // the client's delayed acknowledgement.
  setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  HttpRequest request;
  int status = 0;
  HttpResponse response;
  if (readRequest(connection, &request, &status)) {
    try {
      response = handler_(request);
    } catch (...) {
      response = plainError(500);
    }
  } else if (status != 0) {
    response = plainError(status);
  } else {
    return;
  }
  writeAll(connection, response.serialized());
  linger(connection);
}

}  // namespace zor::host
