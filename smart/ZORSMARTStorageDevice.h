#pragma once
// One ATA or SATA disk reached through the platform's ATA S.M.A.R.T.
// user-client library: finding such disks in the hardware registry and
// deciding which to accept, the model name and serial number from the
// identify-device block, opening and closing the S.M.A.R.T. interface around
// every single read, the raw reads (status, attribute page, threshold page,
// identification), the temperature, and the attribute dictionaries with
// their names. The disk temperature sensors own one device each; the
// attribute dictionaries are offered to the library's other users.
//
// Devices are made in two steps (make_shared, then initWithIORegistryEntry);
// deviceWithIORegistryEntry does both and gives null on failure. Diagnostic
// lines are written only in debug mode (setDebugMode) or where an argument
// asks for them, apart from the two lines about open/close misuse.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/IOATASMARTInterface.h"
#include "platform/IOCFPlugInInterface.h"
#include "platform/IOReference.h"
#include "platform/PropertyList.h"
#include "smart/ZORATADeviceIdentification.h"
#include "smart/ZORATASMARTThresholdValue.h"
#include "smart/ZORKnownSMARTHardDisk.h"
#include "smart/ZORSMARTVendorAttribute.h"

namespace zor {

class ZORIORegistryEntry;
class ZORSMARTStorageDevice;
using ZORSMARTStorageDeviceList = std::vector<std::shared_ptr<ZORSMARTStorageDevice>>;

class ZORSMARTStorageDevice {
 public:
  // The temperature attribute a device starts with.
  static constexpr std::uint8_t kDefaultTemperatureAttributeID = 194;
  static constexpr const char* kUnknownProductName = "UNKNOWN SMART DISK";
  static constexpr const char* kUnknownSerialNumber = " ";
  static constexpr const char* kHardwareMonitorFile = "/etc/hwmond.SMART";

  // Attribute dictionaries and thresholds keyed by attribute ID.
  using AttributesByID = std::map<std::int32_t, PlistDictionary>;
  using ThresholdsByID = std::map<std::int32_t, std::uint8_t>;

  // `init`: no entry, closed, temperature attribute 194, no enable request sent.
  ZORSMARTStorageDevice() = default;
  // Gives back the interfaces if the device is still open.
  ~ZORSMARTStorageDevice();
  ZORSMARTStorageDevice(const ZORSMARTStorageDevice&) = delete;
  ZORSMARTStorageDevice& operator=(const ZORSMARTStorageDevice&) = delete;

  // --- Discovery --------------------------------------------------------------
  // The accepted disks, legacy controllers' first, each with its temperature
  // attribute set. With `restrictToTemperatureSupport`, a legacy disk that is
  // neither in the known-disk table nor connected by SATA is refused.
  static ZORSMARTStorageDeviceList allSMARTDevicesRestrictToTemperatureSupport(
      bool restrictToTemperatureSupport);
  static bool storageDeviceEntryIndicatesSMARTSupport(const ZORIORegistryEntry* entry,
                                                      bool debugOutput);
  static bool storageDeviceEntryIndicatesSATAConnect(const ZORIORegistryEntry* entry,
                                                     bool debugOutput);
  // True when the hardware monitor's configuration file exists and is a dictionary.
  static bool systemDoesMonitorSMARTAttributes();
  static void setDebugMode(bool debugMode);
  static bool debugMode();

  // --- Tables -----------------------------------------------------------------
  // The known-disk table: the plug-in's resource "hddtemp.db", else
  // "hddtemp.db" in the current directory; loaded once and kept.
  static std::shared_ptr<const ZORKnownSMARTHardDiskTable> knownSMARTHardDisks();
  // The first row whose pattern matches the product name, or null.
  static std::shared_ptr<ZORKnownSMARTHardDisk> diskDescriptionForProductName(
      const std::optional<std::string>& productName);
  // The attribute-name table: the plug-in's resource "SMARTProperties.plist",
  // else that file in the current directory; loaded once and kept.
  static std::shared_ptr<const PlistDictionary> knownSMARTVendorAttributes();
  static std::optional<std::string> vendorAttributeNameForSMARTIdentifier(std::int32_t identifier);
  // Drops both loaded tables, so the next use loads them again (tests).
  static void forgetLoadedTables();

  // --- Creation ---------------------------------------------------------------
  static std::shared_ptr<ZORSMARTStorageDevice> deviceWithIORegistryEntry(
      std::shared_ptr<ZORIORegistryEntry> entry, bool debugOutput);
  // Keeps the entry, proves that the S.M.A.R.T. interface opens (sending the
  // enable request) and reads the names; false when there is no entry or it
  // does not open.
  bool initWithIORegistryEntry(std::shared_ptr<ZORIORegistryEntry> entry, bool debugOutput);

  const std::shared_ptr<ZORIORegistryEntry>& registryEntry() const { return registryEntry_; }
  std::string productName() const { return productName_; }
  std::string serialNumber() const { return serialNumber_; }

  // --- Reads (each opens and closes the device) --------------------------------
  // 2: no threshold exceeded, 1: a threshold is exceeded, 0: the status could not be read.
  std::int32_t currentSMARTStatus();
  void setSMARTTemperatureAttributeID(std::uint8_t attributeID) {
    temperatureAttributeID_ = attributeID;
  }
  std::uint8_t temperatureAttributeID() const { return temperatureAttributeID_; }
  bool enableRequestWasSent() const { return enableRequestWasSent_; }
  // The first data-page entry with this ID (1 to 255); false otherwise.
  bool getVendorSpecificSMARTAttribute(ZORSMARTVendorAttribute* attribute,
                                       std::int32_t forIdentifier);
  // The first threshold-page entry with this ID (1 to 255); false otherwise.
  bool getVendorSpecificSMARTThresholdValue(ZORATASMARTThresholdValue* threshold,
                                            std::int32_t forIdentifier);
  bool getATAIdentificationData(ZORATADeviceIdentification* identification);
  // Both pages in one opening: the attributes up to the first empty slot,
  // each with the threshold at the same position.
  bool getByIDAllSMARTAttributes(AttributesByID* attributes, ThresholdsByID* andThresholds);
  // Attribute name -> attribute dictionary; unnamed attributes share the
  // entry "Unknown Attribute" (the last one wins). Nothing when the device
  // does not open.
  std::optional<PlistDictionary> availableSMARTAttributes();
  // Hardware-monitor label -> value dictionary for this disk's model; nothing
  // without a usable configuration.
  std::optional<PlistDictionary> systemMonitoredSMARTValues();
  // Attribute name -> value dictionary for every named attribute with a threshold.
  PlistDictionary availableSMARTValues();
  // "ZORSMARTAttributeID", "...Flags", "...WorstValue", "...CurrentValue",
  // "...64BitRawValue", "...RawValue"; nothing without a record.
  static std::optional<PlistDictionary> dictionaryForVendorSpecificSMARTAttribute(
      const ZORSMARTVendorAttribute* attribute);
  // 0: current value above the threshold; at or below it: 2 for a
  // pre-failure attribute (flags bit 0), else 1.
  static std::int32_t attributeStatus(std::uint8_t currentValue, std::uint8_t threshold,
                                      std::uint16_t flags);
  // Degrees Celsius from the temperature attribute; -1 when unavailable.
  std::int32_t temperature();

  // --- Internal -----------------------------------------------------------------
  bool _openSMARTDevice();
  void _closeSMARTDevice();
  bool isOpen() const { return static_cast<bool>(plugInInterface_) || smartInterface_ != nullptr; }
  // ID 194: raw bytes 0 and 1 (little endian); any other ID: the low 32 bits
  // of the 48-bit raw value, as a signed number.
  static std::int32_t _temperatureFromSMARTAttribute(const ZORSMARTVendorAttribute& attribute,
                                                     std::uint8_t attributeID);

 private:
  // One data-page read within an opening the caller holds.
  bool readDataPage(iokit::ATASMARTData* page);

  std::shared_ptr<ZORIORegistryEntry> registryEntry_;
  // Given back to the machine that created it, whichever is installed.
  iokit::IOReference plugInInterface_;
  iokit::IOATASMARTInterface* smartInterface_ = nullptr;
  std::string productName_ = kUnknownProductName;
  std::string serialNumber_ = kUnknownSerialNumber;
  std::uint8_t temperatureAttributeID_ = kDefaultTemperatureAttributeID;
  bool enableRequestWasSent_ = false;
};

}  // namespace zor
