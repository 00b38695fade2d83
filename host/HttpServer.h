#pragma once
// A small HTTP/1.1 server: it accepts on one or more bound sockets, reads
// one request per connection, hands it to one handler and writes the
// answer, then closes the connection. One thread reads every connection at
// once (poll), each within a time limit for its head and one for its body,
// so clients that send a byte now and then hold no worker and are cut off
// in time; only complete requests reach the workers. Nothing wakes while no
// request comes: accepting threads block in accept(), the reading thread in
// poll() without a timeout, workers on a condition. Used by HttpBridgeServer
// (loopback) and MetricsServer; it knows nothing of either.

#include <chrono>
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
    // How long a request's head may take to arrive in all, and then its body.
    std::chrono::milliseconds headTimeout{5000};
    std::chrono::milliseconds bodyTimeout{5000};
    int writeTimeoutSeconds = 5;  // for writing an answer
    std::size_t workers = 3;
    // Connections being read (or closed) at once; a new one beyond them
    // makes room by dropping the one that has been there longest.
    std::size_t maxConnections = 64;
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
  // A connection handed from one thread to another: to the reading thread
  // to be read (or, once answered, drained until the client closes), to a
  // worker with its request read or refused.
  struct Handover {
    int fd = -1;
    bool answered = false;
    HttpRequest request;
    int status = 0;  // refused with this status when not 0
  };

  void acceptOn(int listener);
  void readConnections();
  void work();
  void serve(Handover& connection);
  void toReader(int fd, bool answered);
  void wakeReader();

  Handler handler_;
  Limits limits_;
  std::vector<int> listeners_;
  int wakeRead_ = -1;  // a pipe that wakes the reading thread's poll()
  int wakeWrite_ = -1;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable requestWaiting_;  // wakes a worker
  std::condition_variable stopped_;         // wakes wait()
  std::vector<Handover> toRead_;            // for the reading thread
  std::deque<Handover> waiting_;            // read, not yet served
  std::set<int> serving_;                   // connections a worker is serving
  bool started_ = false;
  bool stopping_ = false;
};

}  // namespace zor::host
