#pragma once
// Extra operations on the process-information object: which operating-system
// release runs (product name, version number, build, and the packed version
// code that other code compares against, 10.6.4 -> 0x1064) and which processes
// run under a command name. The version data come from the system version
// file, read once and kept for the process (a newly installed machine counts
// as a new process). Used by the machine description; the process queries
// are offered to users of the library.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zor {

class NSProcessInfoZORAdditions {
 public:
  // The file the version data come from.
  static constexpr const char* kSystemVersionPath =
      "/System/Library/CoreServices/SystemVersion.plist";
  // The code of a system whose version cannot be learnt: 10.0.0.
  static constexpr std::int32_t kUnknownVersionCode = 0x1000;

  // (Re)reads the version file into the process-wide record.
  static void updateVersionInfo();
  // The getters read the file first when there is no record yet.
  static std::int32_t operatingSystemVersionCode();
  static std::string operatingSystemProductName();
  static std::string operatingSystemVersionNumberString();
  static std::string operatingSystemBuildCode();

  // (major / 10) x 0x1000 + (major mod 10) x 0x100 + minor x 0x10 + update,
  // the parts scanned from a dotted version text; a missing part is 10, 0, 0.
  static std::int32_t versionCodeForVersionString(const std::string& version);

  // Process IDs of the running processes whose command name is `name`
  // (compared over at most 16 bytes); nothing for an empty name or when the
  // process table cannot be read.
  static std::optional<std::vector<std::int32_t>> identifiersForRunningProcessesNamed(
      const std::string& name);
  static bool isProcessRunningWithName(const std::string& name);
  // The command name of process `pid`, storing its effective user ID in
  // `getEffectiveUserID` when given; nothing when no such process runs.
  static std::optional<std::string> processNameForProcessID(
      std::int32_t pid, std::uint32_t* getEffectiveUserID = nullptr);
};

}  // namespace zor
