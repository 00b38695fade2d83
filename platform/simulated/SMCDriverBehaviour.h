#pragma once
// The driver of a simulated "AppleSMC" service: an entry is one when its
// "ZORSimulation" has "SMCKeys". It opens user clients (type 0) that answer
// the SMC's method-2 structure call on the 80-byte key-data record with the
// commands "read key information" (9), "read bytes" (5) and "key at index"
// (8), served from the profile's key list. "SMCFailIndices" and
// "SMCFailKeys" make chosen calls fail; "Wave" gives keys live values in
// their own encoding. The driver counts structure calls per command so
// tests can prove what a read cost.

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/DriverBehaviour.h"

namespace zor {

class SMCDriverBehaviour final : public DriverBehaviour {
 public:
  // One key of the SMC as the profile lists it.
  struct Key {
    std::uint32_t code = 0;
    std::uint32_t type = 0;
    std::string name;
    std::vector<std::uint8_t> bytes;  // at most 32
  };
  // What the driver and its open user clients share; outlives either.
  struct State {
    std::vector<Key> keys;  // index order
    std::set<std::uint32_t> failIndices;
    std::set<std::uint32_t> failKeys;
    SimulatedWave wave;
    std::map<std::uint8_t, std::uint64_t> callsByCommand;
    std::uint64_t calls = 0;
  };

  // The table's factory: null and a reason when "SMCKeys", "SMCFailIndices"
  // or "SMCFailKeys" are malformed.
  static std::unique_ptr<DriverBehaviour> make(const DriverSettings& settings, std::string* error);
  // The SMC driver behind an entry, or null when the entry has another driver.
  static SMCDriverBehaviour* of(MachineEntry& entry);

  SMCDriverBehaviour(DriverSettings settings, std::shared_ptr<State> state);

  iokit::kern_return_t openUserClient(MachineEntry& entry, std::uint32_t type,
                                      std::unique_ptr<UserClientConnection>* connection) override;

  // Structure calls made with `command` (counted whether they succeeded or not).
  std::uint64_t callCount(std::uint8_t command) const;
  std::uint64_t totalCallCount() const { return state_->calls; }
  void resetCallCounts();
  // Replaces a listed key's value bytes (at most 32), as the SMC's own
  // readings change; false for a key the driver does not list.
  bool setKeyBytes(const std::string& key, std::vector<std::uint8_t> bytes);

 private:
  std::shared_ptr<State> state_;
};

}  // namespace zor
