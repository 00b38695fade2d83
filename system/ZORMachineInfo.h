#pragma once
// One shared, read-only description of the machine the system runs on:
// processor counts, type and clocks, bus clock, caches, vector unit, memory,
// operating-system version and kernel, model code, serial number, boot ROM,
// computer name and host UUID. Gathered once from the kernel variables, the
// host information, the hardware registry and the OS version record, then
// only read. The SMC sensors choose key names by the model code, the widget
// files its preferences under the serial number, and the disk access logs
// the OS version code. It archives itself (keyed and sequential) and travels
// to another process by copy.
//
// The shared instance is made on first use and kept; installing another
// machine (a new SystemBackend generation) makes the next sharedMachineInfo()
// gather afresh, and forgetSharedMachineInfo() does so explicitly (tests).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Archivable.h"

namespace zor {

class KeyedArchiver;

class ZORMachineInfo : public Archivable {
 public:
  static constexpr const char* kFallBackSerialNumberPrefix = "ZZZNOSERIAL";
  // How long creation waits for the host UUID.
  static constexpr double kHostUUIDWaitSeconds = 1.0;

  // An empty description (every number 0, every text ""); init() gathers.
  ZORMachineInfo() = default;

  // Looks up the host-UUID function of the platform (once per machine).
  static void initialize();
  static std::shared_ptr<ZORMachineInfo> sharedMachineInfo();
  static void forgetSharedMachineInfo();

  // The prefix of a made-up serial number; a subclass may choose another.
  virtual std::string fallBackSerialNumberPrefix() const { return kFallBackSerialNumberPrefix; }

  // Gathers every field from the running machine. Always succeeds.
  void init();

  void getNumberOfCPUs(std::uint32_t* numberOfCPUs, std::uint32_t* active,
                       std::uint32_t* physical) const;
  void getCPUType(std::int32_t* cpuType, std::int32_t* subType) const;
  std::int32_t cpuVersionCode() const { return cpuVersion_; }
  void getCPUFrequency(std::uint64_t* cpuFrequency, std::uint64_t* minimum,
                       std::uint64_t* maximum) const;
  void getFSBFrequency(std::uint64_t* fsbFrequency, std::uint64_t* minimum,
                       std::uint64_t* maximum) const;
  std::uint64_t nominalCPUFrequency() const { return cpuFreqNom_; }
  // Live readings of "hw.cpufrequency" and "hw.busfrequency" (0 on failure).
  static std::uint64_t currentCPUFrequency();
  static std::uint64_t currentFSBFrequency();
  // 0 none, 1 reduced processor speed, 2 dynamic power stepping.
  std::int32_t cpuFrequencyVariabilityFeature() const { return cpuSpeedFeature_; }
  // The data cache size goes to the first place, the instruction cache size to the second.
  void getL1CacheSizeData(std::uint32_t* data, std::uint32_t* instructions) const;
  std::uint32_t l2CacheSize() const { return l2CacheSize_; }
  std::uint32_t l3CacheSize() const { return l3CacheSize_; }
  bool supportsAltiVec() const { return opsAltiVec_; }
  std::uint64_t memorySize() const { return memorySize_; }
  std::int32_t operatingSystemVersionCode() const { return osVersionCode_; }
  std::string appleModelCode() const { return appleModelCode_; }
  // The platform serial number, else the prefix, a hyphen and the primary
  // network interface's address in 12 hexadecimal digits, else the prefix.
  std::string machineSerialNumber() const { return machineSerialNumber_; }
  std::string readableOperatingSystemVersion() const { return osReadableVersion_; }
  std::string readableOperatingSystemNumber() const { return osVersionNumber_; }
  std::string readableOperatingSystemBuild() const { return osReadableBuild_; }
  std::string readableKernelVersion() const { return osKernelVersion_; }
  std::string readableKernelVersionNumber() const { return osKernelVersionNumber_; }
  std::string bootROMVersion() const { return bootROMVersion_; }
  std::string computerName() const { return computerName_; }
  std::string machineUUID() const { return machineUUID_; }
  bool is64BitCapable() const { return is64BitCapable_; }
  bool isRunning64BitKernel() const { return isRunning64BitKernel_; }

  // The Monday of the production week the serial number tells, in the most
  // recent year that fits; nothing for a made-up or unreadable serial number.
  std::optional<double> estimatedProductionDate() const;

  // One line with every field.
  std::string description() const;

  // Sequential archive: the fields as typed values in field order.
  std::string archiveClassName() const override { return "ZORMachineInfo"; }
  void encodeWithCoder(SequentialArchiver& coder) const override;
  bool initWithCoder(SequentialArchiver& coder) override;
  // Keyed archive: every field under its own key. A missing key leaves the
  // field at its empty value; a key of the wrong kind fails the decoding.
  void encodeWithKeyedCoder(KeyedArchiver& coder) const;
  bool initWithKeyedCoder(const KeyedArchiver& coder);
  // By copy, unless the coder asks for a reference.
  std::shared_ptr<Archivable> replacementObjectForPortCoder(PortCoder& coder) override;

 private:
  void gatherProcessor();
  void gatherSpeedFeature();
  void gatherSerialNumber();
  void gatherBootROM();
  void gatherUUID();

  std::uint32_t numberOfCPUs_ = 0;
  std::uint32_t numberOfActiveCPUs_ = 0;
  std::uint32_t numberOfPhysicalCPUs_ = 0;
  std::int32_t cpuType_ = 0;
  std::int32_t cpuSubType_ = 0;
  std::int32_t cpuVersion_ = 0;
  std::uint64_t cpuFreq_ = 0;
  std::uint64_t cpuFreqMin_ = 0;
  std::uint64_t cpuFreqMax_ = 0;
  std::uint64_t cpuFreqNom_ = 0;
  std::int32_t cpuSpeedFeature_ = 0;
  std::uint64_t fsbFreq_ = 0;
  std::uint64_t fsbFreqMin_ = 0;
  std::uint64_t fsbFreqMax_ = 0;
  std::uint32_t l1InstructionCacheSize_ = 0;
  std::uint32_t l1DataCacheSize_ = 0;
  std::uint32_t l2CacheSize_ = 0;
  std::uint32_t l3CacheSize_ = 0;
  bool opsAltiVec_ = false;
  std::uint64_t memorySize_ = 0;
  std::int32_t osVersionCode_ = 0;
  std::string appleModelCode_;
  std::string machineSerialNumber_;
  std::string osReadableVersion_;
  std::string osVersionNumber_;
  std::string osReadableBuild_;
  std::string osKernelVersion_;
  std::string osKernelVersionNumber_;
  std::string bootROMVersion_;
  std::string computerName_;
  std::string machineUUID_;
  bool is64BitCapable_ = false;
  bool isRunning64BitKernel_ = false;
};

}  // namespace zor
