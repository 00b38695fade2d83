#include "host/HttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "host/IncomingRequest.h"

namespace zor::host {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr int kBacklog = 16;
// After its answer a connection is read until the client closes it (at most
// this long), so that a request body left unread does not turn the close
// into a reset that could discard the answer before the client reads it.
constexpr std::chrono::milliseconds kLinger{1000};

int millisecondsUntil(SteadyClock::time_point deadline) {
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, 24 * 3600 * 1000));
}

// Writes all of `text` before the deadline: a client that reads slowly (or
// not at all) cannot keep a worker longer than that.
bool writeAll(int fd, const std::string& text, SteadyClock::time_point deadline) {
  std::size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t n =
        ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return false;
    pollfd writable{fd, POLLOUT, 0};
    const int left = millisecondsUntil(deadline);
    if (left == 0 || ::poll(&writable, 1, left) <= 0) return false;
  }
  return true;
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
  if (wakeRead_ >= 0) ::close(wakeRead_);
  if (wakeWrite_ >= 0) ::close(wakeWrite_);
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
  int wake[2];
  if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) == 0) {
    wakeRead_ = wake[0];
    wakeWrite_ = wake[1];
  }
  for (int fd : listeners_) threads_.emplace_back([this, fd] { acceptOn(fd); });
  threads_.emplace_back([this] { readConnections(); });
  for (std::size_t i = 0; i < limits_.workers; ++i) threads_.emplace_back([this] { work(); });
}

void HttpServer::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
    // An answer being written to a client that does not read is cut short.
    for (int fd : serving_) ::shutdown(fd, SHUT_RDWR);
  }
  // Wakes the threads blocked in accept() and the reading thread.
  for (int fd : listeners_) ::shutdown(fd, SHUT_RDWR);
  wakeReader();
  requestWaiting_.notify_all();
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
  for (const Handover& connection : toRead_) ::close(connection.fd);
  toRead_.clear();
  for (const Handover& connection : waiting_) ::close(connection.fd);
  waiting_.clear();
}

void HttpServer::wakeReader() {
  if (wakeWrite_ < 0) return;
  const char wake = 1;
  // A full pipe already wakes the reader.
  [[maybe_unused]] const ssize_t written = ::write(wakeWrite_, &wake, 1);
}

void HttpServer::toReader(int fd, bool answered) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) {
      ::close(fd);
      return;
    }
    Handover connection;
    connection.fd = fd;
    connection.answered = answered;
    toRead_.push_back(std::move(connection));
  }
  wakeReader();
}

void HttpServer::acceptOn(int listener) {
  for (;;) {
    const int connection = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) {
        if (connection >= 0) ::close(connection);
        return;
      }
    }
    if (connection < 0) continue;  // a client that gave up before being accepted
    toReader(connection, false);
  }
}

void HttpServer::readConnections() {
  struct Connection {
    IncomingRequest incoming;
    SteadyClock::time_point deadline;
    std::uint64_t arrival;
    bool answered;  // only drained until the client closes
  };
  std::map<int, Connection> connections;
  std::uint64_t arrivals = 0;
  std::vector<pollfd> polled;
  std::vector<Handover> read;
  char buffer[16384];

  // A request read or refused goes to a worker; silence is not answered.
  auto finish = [&](int fd) {
    Connection& connection = connections.at(fd);
    Handover handover;
    handover.fd = fd;
    if (connection.incoming.state() == IncomingRequest::State::Complete) {
      handover.request = std::move(connection.incoming.request());
    } else {
      handover.status = connection.incoming.status();
    }
    connections.erase(fd);
    if (handover.status == 0 && handover.request.method.empty()) {
      ::close(fd);
    } else {
      read.push_back(std::move(handover));
    }
  };
  auto drop = [&](int fd) {
    ::close(fd);
    connections.erase(fd);
  };

  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) break;
      for (Handover& handover : read) waiting_.push_back(std::move(handover));
      for (std::size_t i = 0; i < read.size(); ++i) requestWaiting_.notify_one();
      read.clear();
      for (const Handover& handover : toRead_) {
        if (connections.size() >= std::max<std::size_t>(limits_.maxConnections, 1)) {
          auto oldest = std::min_element(
              connections.begin(), connections.end(),
              [](const auto& a, const auto& b) { return a.second.arrival < b.second.arrival; });
          drop(oldest->first);
        }
        const auto now = SteadyClock::now();
        connections.emplace(handover.fd,
                            Connection{IncomingRequest(limits_.maxHeadBytes, limits_.maxBodyBytes),
                                       now + (handover.answered ? kLinger : limits_.headTimeout),
                                       arrivals++, handover.answered});
      }
      toRead_.clear();
    }

    polled.assign(1, pollfd{wakeRead_, POLLIN, 0});
    auto nearest = SteadyClock::time_point::max();
    for (const auto& [fd, connection] : connections) {
      polled.push_back(pollfd{fd, POLLIN, 0});
      nearest = std::min(nearest, connection.deadline);
    }
    // Without connections nothing is due: sleep until one is handed over.
    const int timeout = connections.empty() ? -1 : millisecondsUntil(nearest);
    if (::poll(polled.data(), polled.size(), timeout) < 0 && errno != EINTR) break;
    if (polled[0].revents != 0) {
      while (::read(wakeRead_, buffer, sizeof buffer) > 0) {
      }
    }

    for (std::size_t i = 1; i < polled.size(); ++i) {
      if (polled[i].revents == 0) continue;
      const int fd = polled[i].fd;
      Connection& connection = connections.at(fd);
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
      if (connection.answered) {
        if (n <= 0) drop(fd);  // what came after the request is read and let go
        continue;
      }
      const bool headWasRead = connection.incoming.headRead();
      const auto state =
          n > 0 ? connection.incoming.feed(std::string_view(buffer, static_cast<std::size_t>(n)))
                : connection.incoming.end();
      if (state != IncomingRequest::State::Reading) {
        finish(fd);
      } else if (!headWasRead && connection.incoming.headRead()) {
        connection.deadline = SteadyClock::now() + limits_.bodyTimeout;
      }
    }

    // Out of time: a request that has not arrived in whole is refused.
    const auto now = SteadyClock::now();
    std::vector<int> late;
    for (const auto& [fd, connection] : connections) {
      if (connection.deadline <= now) late.push_back(fd);
    }
    for (int fd : late) {
      if (connections.at(fd).answered) {
        drop(fd);
      } else {
        connections.at(fd).incoming.end();
        finish(fd);
      }
    }
  }
  for (const auto& [fd, connection] : connections) ::close(fd);
  for (const Handover& handover : read) ::close(handover.fd);
}

void HttpServer::work() {
  for (;;) {
    Handover connection;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      requestWaiting_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
      if (stopping_) return;
      connection = std::move(waiting_.front());
      waiting_.pop_front();
      serving_.insert(connection.fd);
    }
    serve(connection);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      serving_.erase(connection.fd);
    }
    ::shutdown(connection.fd, SHUT_WR);
    toReader(connection.fd, true);
  }
}

void HttpServer::serve(Handover& connection) {
  int yes = 1;
  // Answers go out in one write; without this the last piece would wait for
  // the client's delayed acknowledgement.
  setsockopt(connection.fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  HttpResponse response;
  if (connection.status != 0) {
    response = plainError(connection.status);
  } else {
    try {
      response = handler_(connection.request);
    } catch (...) {
      response = plainError(500);
    }
  }
  writeAll(connection.fd, response.serialized(),
           SteadyClock::now() + std::chrono::seconds(limits_.writeTimeoutSeconds));
}

}  // namespace zor::host
