#pragma once
// The operating-system services of a machine, served from its description
// in profile form: "Sysctl" (kernel variables), "HostInfo" (CPU type and subtype),
// "HostUUID" (16 bytes; without it the platform has no host-UUID function),
// "HostUUIDDelay" (seconds the UUID takes to arrive; a shorter wait times
// out), "ComputerName", "OperatingSystemVersionString", "Files" (absolute
// path -> data, text or a property list stored in XML form) and "Processes"
// (the process table). Built and installed by Machine; a live backend subclasses it for what
// changes while it runs (the process table); tests change
// files and processes through it while it runs.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/PropertyList.h"
#include "platform/SystemBackend.h"

namespace zor {

class MachineSystem : public SystemBackend {
 public:
  struct Process {
    std::int32_t pid = 0;
    std::string command;
    std::uint32_t effectiveUID = 0;
  };

  // Services with nothing loaded yet.
  static std::shared_ptr<MachineSystem> make();
  // Null and the reason when one of the keys has the wrong form.
  static std::shared_ptr<MachineSystem> build(const PlistDictionary& profile, std::string* reason);
  // Takes the profile's keys; false and the reason when one has the wrong
  // form. A live subclass loads its description the same way.
  bool load(const PlistDictionary& profile, std::string* reason);

  std::optional<PlistValue> kernelVariable(const std::string& name) const override;
  std::string processTable() override;
  std::optional<std::array<std::int32_t, 12>> hostBasicInfo() const override;
  bool hasHostUUID() const override { return hostUUID_.has_value(); }
  bool hostUUID(std::array<std::uint8_t, 16>& uuid, double waitSeconds) override;
  std::optional<std::string> computerName() const override { return computerName_; }
  std::optional<std::string> operatingSystemVersionString() const override {
    return osVersionString_;
  }
  std::optional<std::string> fileContents(const std::string& path) const override;

  // A running machine changes: files come and go, processes start.
  void setFile(const std::string& path, const PlistValue& contents);
  void removeFile(const std::string& path);
  void addProcess(const Process& process) { processes_.push_back(process); }
  // Runs after each process-table query (tests: the table grows in between).
  void setProcessTableQueryHook(std::function<void(MachineSystem&)> hook) {
    processTableHook_ = std::move(hook);
  }

 protected:
  MachineSystem() = default;

 private:
  PlistDictionary variables_;
  std::optional<std::int32_t> cpuType_;
  std::optional<std::int32_t> cpuSubType_;
  std::optional<std::array<std::uint8_t, 16>> hostUUID_;
  double hostUUIDDelay_ = 0.0;
  std::optional<std::string> computerName_;
  std::optional<std::string> osVersionString_;
  PlistDictionary files_;
  std::vector<Process> processes_;
  std::function<void(MachineSystem&)> processTableHook_;
};

}  // namespace zor
