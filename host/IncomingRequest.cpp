#include "host/IncomingRequest.h"

#include <algorithm>

namespace zor::host {

IncomingRequest::State IncomingRequest::refuse(int status) {
  status_ = status;
  state_ = State::Refused;
  head_.clear();
  request_.body.clear();
  return state_;
}

IncomingRequest::State IncomingRequest::feed(std::string_view bytes) {
  if (state_ != State::Reading) return state_;
  if (!headRead_) {
    // The blank line may straddle two pieces: search from just before the new ones.
    const std::size_t from = head_.size() < 3 ? 0 : head_.size() - 3;
    head_.append(bytes);
    const std::size_t headEnd = head_.find("\r\n\r\n", from);
    if (headEnd == std::string::npos) {
      return head_.size() > maxHead_ ? refuse(431) : state_;
    }
    if (headEnd > maxHead_) return refuse(431);
    const int status =
        HttpRequest::parseHead(std::string_view(head_).substr(0, headEnd), maxBody_, &request_);
    if (status != 0) return refuse(status);
    if (request_.method == "POST" && !request_.hasHeader("content-length")) return refuse(411);
    headRead_ = true;
    bytes = std::string_view(head_).substr(headEnd + 4);
  }
  // Anything past the body would be a second request on this connection.
  const std::size_t wanted = request_.contentLength() - request_.body.size();
  request_.body.append(bytes.substr(0, std::min(wanted, bytes.size())));
  if (headRead_ && !head_.empty()) head_.clear();
  if (request_.body.size() == request_.contentLength()) state_ = State::Complete;
  return state_;
}

IncomingRequest::State IncomingRequest::end() {
  if (state_ != State::Reading) return state_;
  return refuse(head_.empty() && !headRead_ ? 0 : 408);
}

}  // namespace zor::host
