#pragma once
// The widget host's stdio transport, for scripts and tests: one JSON request
// per input line, one JSON answer line per request, in order, until the end
// of the input. Blank lines are skipped; a line longer than the dispatcher's
// request limit is answered with an error and skipped whole.

#include <iosfwd>

#include "host/BridgeDispatcher.h"

namespace zor::host {

class StdioBridge {
 public:
  explicit StdioBridge(BridgeDispatcher& dispatcher) : dispatcher_(dispatcher) {}

  // Returns the number of requests answered.
  size_t run(std::istream& input, std::ostream& output);

 private:
  BridgeDispatcher& dispatcher_;
};

}  // namespace zor::host
