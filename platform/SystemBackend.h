#pragma once
// What stands behind the operating-system services of SystemServices.h and
// ProcessInfo.h: kernel variables, the process table, host information, the
// host UUID, the computer name, the readable OS version and the system's own
// files. One backend is installed for the process (the simulated machine or,
// later, the running machine); while none is installed every query fails.
//
// Each installation counts as a new machine: generation() changes, and the
// process-wide descriptions built from these services (the machine
// description, the OS version record) are made afresh on their next use.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/PropertyList.h"

namespace zor {

class SystemBackend {
 public:
  virtual ~SystemBackend() = default;

  static SystemBackend* current();
  // Installs a backend for the whole process (null removes it) and starts a
  // new generation.
  static void setCurrent(std::shared_ptr<SystemBackend> backend);
  // Changes on every setCurrent(); 0 before the first.
  static std::uint64_t generation();

  // A kernel variable by its name ("hw.model"): an integer or a string.
  virtual std::optional<PlistValue> kernelVariable(const std::string& name) const = 0;
  // The whole process table as consecutive 492-byte records (see
  // SystemServices.h for their layout). The table may change between calls.
  virtual std::string processTable() = 0;
  // The twelve words of the host's basic information; nothing when unknown.
  virtual std::optional<std::array<std::int32_t, 12>> hostBasicInfo() const = 0;
  // Whether the platform offers a host-UUID function at all.
  virtual bool hasHostUUID() const = 0;
  // The host UUID, waiting at most `waitSeconds`; false (errno set) on failure.
  virtual bool hostUUID(std::array<std::uint8_t, 16>& uuid, double waitSeconds) = 0;
  virtual std::optional<std::string> computerName() const = 0;
  virtual std::optional<std::string> operatingSystemVersionString() const = 0;
  // The bytes of a file of the system (an absolute path); nothing when absent.
  virtual std::optional<std::string> fileContents(const std::string& path) const = 0;
};

}  // namespace zor
