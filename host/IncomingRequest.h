#pragma once
// One request arriving on a connection, fed with its bytes as they come:
// the head up to its blank line (at most `maxHead` bytes), then a body of
// exactly the length the head gives (at most `maxBody`; a transfer coding
// is refused before any of its body is read). What is held never grows past
// the limits, whatever the client sends. Used by HttpServer's reading loop,
// which feeds many connections at once and keeps their deadlines.

#include <cstddef>
#include <string>
#include <string_view>

#include "host/HttpRequest.h"

namespace zor::host {

class IncomingRequest {
 public:
  enum class State { Reading, Complete, Refused };

  IncomingRequest(std::size_t maxHead, std::size_t maxBody)
      : maxHead_(maxHead), maxBody_(maxBody) {}

  // Takes the next bytes; once complete or refused, more bytes change nothing.
  State feed(std::string_view bytes);
  // The client closed its side or ran out of time: a partial request is
  // refused with 408, a connection that sent nothing with status 0 (no answer).
  State end();

  State state() const { return state_; }
  bool headRead() const { return headRead_; }
  // The status to answer a refused request with; 0 for none.
  int status() const { return status_; }
  HttpRequest& request() { return request_; }

 private:
  State refuse(int status);

  std::size_t maxHead_;
  std::size_t maxBody_;
  State state_ = State::Reading;
  bool headRead_ = false;
  int status_ = 0;
  std::string head_;
  HttpRequest request_;
};

}  // namespace zor::host
