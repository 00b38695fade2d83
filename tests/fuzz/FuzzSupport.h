#pragma once
// Shared ground of the fuzz targets (tests/fuzz/targets/, one reader each):
// the input as text or bytes, cut into length-prefixed pieces for readers
// that take several records, the log kept in memory while an input runs,
// and a machine built from a profile and installed for the readers that find
// their data in the registry. A target defines LLVMFuzzerTestOneInput and
// refuses nothing itself: whatever the reader does with the input must end
// without a crash, a leak or undefined behaviour.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <string_view>

#include "platform/Machine.h"
#include "platform/PropertyListSerialization.h"
#include "platform/ScopedMachine.h"
#include "platform/SystemLog.h"
#include "plugin/PluginLoader.h"
#include "sensors/ZORSensor.h"

namespace zor::fuzz {

using Bytes = std::span<const std::uint8_t>;

inline std::string_view textOf(Bytes bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// An input as consecutive pieces: a two-byte length (most significant byte
// first), then that many bytes (fewer at the end of the input), as the
// seeds in tests/fuzz/corpus/ are written.
class Pieces {
 public:
  explicit Pieces(Bytes bytes) : rest_(bytes) {}
  bool empty() const { return rest_.empty(); }
  Bytes next() {
    if (rest_.size() < 2) return rest();
    const std::size_t length =
        std::min<std::size_t>(std::size_t{rest_[0]} << 8 | rest_[1], rest_.size() - 2);
    Bytes piece = rest_.subspan(2, length);
    rest_ = rest_.subspan(2 + length);
    return piece;
  }
  // What is left, as one piece.
  Bytes rest() {
    Bytes all = rest_;
    rest_ = {};
    return all;
  }

 private:
  Bytes rest_;
};

// The plug-in's families loaded once per process, after `before` when given.
inline void loadPluginOnce(void (*before)() = nullptr) {
  static const bool loaded = (before ? before() : void(), loadPlugin(), true);
  (void)loaded;
}

// A folder of the target's own under /tmp, made once per process.
inline const std::string& scratchFolder() {
  static char pattern[] = "/tmp/zor-fuzz-XXXXXX";
  static const std::string folder = mkdtemp(pattern) ? pattern : "/tmp";
  return folder;
}

inline void writeFile(const std::filesystem::path& path, Bytes bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// The machine of `profile`, installed while the result lives; none when the
// profile is refused.
inline std::unique_ptr<ScopedMachine> install(const PlistValue& profile) {
  std::string error;
  auto machine = Machine::fromProfile(profile, "fuzz", &error);
  return machine ? std::make_unique<ScopedMachine>(std::move(machine)) : nullptr;
}

// A profile of the checkout (ZOR_SOURCE_DIR), parsed once.
inline const PlistValue& checkoutProfile(const std::string& relativePath) {
  static std::map<std::string, PlistValue> profiles;
  auto found = profiles.find(relativePath);
  if (found == profiles.end()) {
    auto parsed = readPropertyListFile(std::string(ZOR_SOURCE_DIR) + "/" + relativePath);
    if (!parsed) std::abort();
    found = profiles.emplace(relativePath, std::move(*parsed)).first;
  }
  return found->second;
}

// Replaces the data of every dictionary member named in `keys`, in tree
// order, with the next piece of the input: the records a machine publishes
// become the fuzzer's, everything around them stays a real machine.
inline void replaceData(PlistValue& value, const std::set<std::string>& keys, Pieces& pieces) {
  if (PlistArray* array = value.asArray()) {
    for (PlistValue& member : *array) replaceData(member, keys, pieces);
  } else if (PlistDictionary* dictionary = value.asDictionary()) {
    for (auto& [key, member] : *dictionary) {
      if (member.isData() && keys.count(key) != 0) {
        const Bytes piece = pieces.next();
        member = PlistValue(PlistData(piece.begin(), piece.end()));
      } else {
        replaceData(member, keys, pieces);
      }
    }
  }
}

// Every sensor of the installed machine read once and described, as the
// widget's first update and the CLI's listing would.
inline void readEverySensor() {
  for (const auto& sensor : ZORSensor::allSensors()) {
    sensor->value();
    sensor->description();
  }
}

}  // namespace zor::fuzz
