#pragma once
// The bridge between widget scripts and their controllers: takes one JSON
// request, sends it to the controller of the named widget instance through
// the script-name table, and makes the JSON answer. Both transports of the
// widget host (HTTP and stdio) and the benchmarks use it.
//
// Requests and answers:
//   {"id": 1, "instance": "A", "call": "numberOfAvailableSensors", "args": []}
//     -> {"id": 1, "result": 7}
//   {"id": 2, "instance": "A", "drop": true} -> {"id": 2, "result": true}
//   anything wrong -> {"id": ..., "error": "..."}, and nothing changes.
// The answer that created an instance's controller carries "newInstance": true,
// so a script whose controller was dropped for silence knows to set itself up again.
// A widget identifier with control characters is refused (a NUL would cut the
// stored key short, onto another instance's); a choice that was taken but could
// not be stored is answered with an error, so the script can say so.
//
// Not thread-safe: the controllers run on one thread at a time, as the
// plug-in expects; the HTTP server serialises its calls.

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "host/InstanceWindow.h"

namespace zor::host {

class BridgeDispatcher {
 public:
  struct Limits {
    // When every place is taken, a new instance takes the place of the least
    // recently used one silent for quietSeconds (a visible widget calls every
    // 3 s; a hidden tab is silent and sets itself up again when shown); only
    // when none is that quiet is it refused.
    size_t maxInstances = 64;
    double quietSeconds = 10.0;
    double silenceSeconds = 300.0;  // an instance silent this long loses its controller
    size_t maxInstanceLength = 128;
    size_t maxRequestBytes = 64 * 1024;
  };

  BridgeDispatcher() = default;
  explicit BridgeDispatcher(const Limits& limits) : limits_(limits) {}

  nlohmann::json handle(const nlohmann::json& request);
  // Parses `requestText`, handles it, and returns the answer as one line of JSON.
  std::string handleText(std::string_view requestText);

  // Releases the controllers of instances silent for longer than the limit
  // (measured with zor::Clock). Runs before every request as well.
  void dropSilentInstances();

  size_t instanceCount() const { return instances_.size(); }
  bool hasInstance(const std::string& instance) const { return instances_.count(instance) != 0; }
  const Limits& limits() const { return limits_; }

  // The answer as one line; text that is not valid UTF-8 is replaced, never thrown on.
  static std::string serialize(const nlohmann::json& answer);

 private:
  struct Instance {
    InstanceWindow window;
    double lastUsed = 0;
  };

  // Frees the place of the least recently used instance silent for the quiet time.
  bool dropQuietestInstance();

  Limits limits_;
  std::map<std::string, std::unique_ptr<Instance>> instances_;
};

}  // namespace zor::host
