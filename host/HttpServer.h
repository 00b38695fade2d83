#pragma once
// A small HTTP/1.1 server: it accepts on one or more bound sockets, reads
// one request per connection (head and body within their limits and a read
// timeout), hands it to one handler and writes the
// answer, then closes the connection. Nothing wakes while no request comes:
// accepting threads block in accept(), workers wait on a condition. Used by
// HttpBridgeServer (loopback) and MetricsServer; it knows nothing of either.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "host/HttpRequest.h"
#include "host/HttpResponse.h"

namespace zor::host {

class HttpServer {
 public:
  using Handler = std::function<HttpResponse(const HttpRequest&)>;

  struct Limits {
    std::size_t maxHeadBytes = 8 * 1024;
    std::size_t maxBodyBytes = 64 * 1024;
    int timeoutSeconds = 5;  // for reading a request and for writing its answer
    std::size_t workers = 3;
  };

  HttpServer(Handler handler, Limits limits);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds and listens on `address` (an IPv4 or IPv6 address or a host name:
  // "127.0.0.1", "::1", "localhost", "0.0.0.0"); port 0 lets the system
  // choose. The bound port, or 0 with `errorLine` when it fails.
  uint16_t bind(const std::string& address, uint16_t port, std::string* errorLine);
  std::size_t listenerCount() const { return listeners_.size(); }

  // Starts accepting on every bound socket, in the background.
  void start();
  // Stops accepting, ends the connections being served (a request under
  // way is cut short), and returns at once.
  void stop();
  // Blocks until stop() has been called and every thread has ended.
  void wait();

 private:
  void acceptOn(int listener);
  void work();
  void serve(int connection);
  bool readRequest(int connection, HttpRequest* request, int* status);

  Handler handler_;
  Limits limits_;
  std::vector<int> listeners_;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable connectionWaiting_;  // wakes a worker
  std::condition_variable stopped_;            // wakes wait()
  std::deque<int> waiting_;                    // accepted connections not yet served
  std::set<int> serving_;                      // connections a worker is serving
  bool started_ = false;
  bool stopping_ = false;
};

}  // namespace zor::host
