#include "smart/ZORSMARTStorageDevice.h"

#include <filesystem>

#include "platform/Bundle.h"
#include "platform/IOKit.h"
#include "platform/PropertyListSerialization.h"
#include "platform/StringFormat.h"
#include "platform/SystemLog.h"
#include "platform/SystemServices.h"
#include "registry/ZORIORegistryEntry.h"
#include "system/ZORMachineInfo.h"

namespace zor {

using namespace iokit;

namespace {

bool& debugFlag() {
  static bool flag = false;
  return flag;
}

struct LoadedTables {
  std::shared_ptr<const ZORKnownSMARTHardDiskTable> knownDisks;
  std::shared_ptr<const PlistDictionary> attributeNames;
};

LoadedTables& loadedTables() {
  static LoadedTables tables;
  return tables;
}

// The feature code the scan line reports: the running system's version code.
std::int32_t scanFeatureCode() {
  return ZORMachineInfo::sharedMachineInfo()->operatingSystemVersionCode();
}

// A plain file in the current directory, for when the plug-in lacks the resource.
std::optional<std::string> currentDirectoryFile(const std::string& name) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(name, error)) return std::nullopt;
  return readWholeFile(name);
}

const PlistValue* member(const PlistDictionary& dictionary, const char* key) {
  auto it = dictionary.find(key);
  return it == dictionary.end() ? nullptr : &it->second;
}

// The record of attribute `identifier` on a data or threshold page, if any.
template <typename Record, typename Page>
bool findRecordOnPage(const Page& page, std::int32_t identifier, Record* record) {
  for (std::size_t n = 0; n < Record::kEntriesPerPage; ++n) {
    auto entry = Record::entryOfPage(page, n);
    if (entry && entry->attributeID == identifier) {
      *record = *entry;
      return true;
    }
  }
  return false;
}

}  // namespace

ZORSMARTStorageDevice::~ZORSMARTStorageDevice() {
  if (smartInterface_ != nullptr) smartInterface_->Release();
  plugInInterface_.reset();
}

// --- Discovery ----------------------------------------------------------------

void ZORSMARTStorageDevice::setDebugMode(bool debugMode) {
  debugFlag() = debugMode;
}

bool ZORSMARTStorageDevice::debugMode() {
  return debugFlag();
}

bool ZORSMARTStorageDevice::storageDeviceEntryIndicatesSMARTSupport(const ZORIORegistryEntry* entry,
                                                                    bool debugOutput) {
  if (entry == nullptr) return false;
  std::optional<PlistDictionary> properties = entry->properties();
  auto say = [&](const char* format) {
    if (debugOutput) SystemLog::writeFormat(format, entry->description().c_str());
  };
  if (const PlistValue* capable = properties ? member(*properties, "SMART Capable") : nullptr) {
    if (capable->isNumber()) return capable->boolValue().value_or(false);
    say("   Device entry %s not accepted because S.M.A.R.T. feature flag not accessible\n");
    return false;
  }
  const PlistValue* characteristics =
      properties ? member(*properties, "Device Characteristics") : nullptr;
  if (characteristics == nullptr) {
    say("   Device entry %s not accepted because device description not accessible\n");
    return false;
  }
  const PlistValue* features = characteristics->find("ATA Features");
  if (features == nullptr) {
    say("   Device entry %s not accepted because ATA features not accessible\n");
    return false;
  }
  if (!features->isNumber()) {
    say("   Device entry %s not accepted because ATA features could not be processed\n");
    return false;
  }
  auto code = static_cast<std::uint32_t>(features->integerValue().value_or(0));
  if ((code & 0x20u) != 0) return true;
  if (debugOutput) {
    SystemLog::writeFormat(
        "   Device entry %s not accepted because it doesn't seem to support S.M.A.R.T. The "
        "feature code is %x.\n",
        entry->description().c_str(), code);
  }
  return false;
}

bool ZORSMARTStorageDevice::storageDeviceEntryIndicatesSATAConnect(const ZORIORegistryEntry* entry,
                                                                   bool debugOutput) {
  if (entry == nullptr) return false;
  std::optional<PlistDictionary> properties = entry->properties();
  const PlistValue* protocol =
      properties ? member(*properties, "Protocol Characteristics") : nullptr;
  if (protocol == nullptr || !protocol->isDictionary()) {
    if (debugOutput) {
      SystemLog::writeFormat("   Device entry %s does not specify protocol characteristics\n",
                             entry->description().c_str());
    }
    return false;
  }
  const PlistValue* interconnect = protocol->find("Physical Interconnect");
  if (interconnect == nullptr || !interconnect->isString()) {
    if (debugOutput) {
      SystemLog::writeFormat("   Device entry %s has no or an unexpected interconnect specifier\n",
                             entry->description().c_str());
    }
    return false;
  }
  return *interconnect->asString() == "SATA";
}

ZORSMARTStorageDeviceList ZORSMARTStorageDevice::allSMARTDevicesRestrictToTemperatureSupport(
    bool restrictToTemperatureSupport) {
  bool debug = debugFlag();
  ZORIORegistryEntryList legacy;
  ZORIORegistryEntryList newEra;
  for (const char* name : {"IOATABlockStorageDevice", "SonnetSATABlockStorageDevice"}) {
    if (auto found = ZORIORegistryEntry::serviceObjectsMatchingName(std::string(name))) {
      legacy.insert(legacy.end(), found->begin(), found->end());
    }
  }
  for (const char* name : {"IOAHCIBlockStorageDevice", "IOBlockStorageServices"}) {
    if (auto found = ZORIORegistryEntry::serviceObjectsMatchingName(std::string(name))) {
      newEra.insert(newEra.end(), found->begin(), found->end());
    }
  }
  if (debug) {
    SystemLog::writeFormat(
        "*** Scanning for S.M.A.R.T. capable devices, feature code %d. (Found %u legacy ATA and "
        "%u new era block storage devices.)\n",
        scanFeatureCode(), static_cast<unsigned>(legacy.size()),
        static_cast<unsigned>(newEra.size()));
  }

  ZORSMARTStorageDeviceList accepted;
  for (const auto& entry : legacy) {
    if (debug) SystemLog::writeFormat("    Processing entry %s\n", entry->description().c_str());
    if (!storageDeviceEntryIndicatesSMARTSupport(entry.get(), debug)) continue;
    auto device = deviceWithIORegistryEntry(entry, debug);
    if (!device) {
      if (debug) {
        SystemLog::writeFormat("   Device entry %s not accepted.\n", entry->description().c_str());
      }
      continue;
    }
    if (auto known = diskDescriptionForProductName(device->productName())) {
      device->setSMARTTemperatureAttributeID(known->vendorTemperatureAttributeIdentifier());
    } else if (storageDeviceEntryIndicatesSATAConnect(entry.get(), debug)) {
      device->setSMARTTemperatureAttributeID(kDefaultTemperatureAttributeID);
      if (debug) {
        SystemLog::writeFormat(
            "   Device with product name '%s' is unknown but connected via SATA. Accepted.\n",
            device->productName().c_str());
      }
    } else if (restrictToTemperatureSupport) {
      if (debug) {
        SystemLog::writeFormat(
            "   Device entry %s not accepted because temperature support could no be "
            "determined.\n",
            entry->description().c_str());
      }
      continue;
    }
    accepted.push_back(std::move(device));
  }
  for (const auto& entry : newEra) {
    if (debug) SystemLog::writeFormat("    Processing entry %s\n", entry->description().c_str());
    if (!storageDeviceEntryIndicatesSMARTSupport(entry.get(), debug)) continue;
    auto device = deviceWithIORegistryEntry(entry, debug);
    if (!device) {
      if (debug) {
        SystemLog::writeFormat("   Device entry %s not accepted.\n", entry->description().c_str());
      }
      continue;
    }
    device->setSMARTTemperatureAttributeID(kDefaultTemperatureAttributeID);
    accepted.push_back(std::move(device));
  }
  if (debug) SystemLog::write("*** Scan of S.M.A.R.T. capable devices completed.\n");
  return accepted;
}

bool ZORSMARTStorageDevice::systemDoesMonitorSMARTAttributes() {
  return os::dictionaryWithContentsOfSystemFile(kHardwareMonitorFile).has_value();
}

// --- Tables -------------------------------------------------------------------

std::shared_ptr<const ZORKnownSMARTHardDiskTable> ZORSMARTStorageDevice::knownSMARTHardDisks() {
  LoadedTables& tables = loadedTables();
  if (tables.knownDisks) return tables.knownDisks;
  std::optional<std::string> contents = Bundle::pluginBundle().resourceContents("hddtemp", "db");
  if (!contents) contents = currentDirectoryFile("hddtemp.db");
  if (!contents) return nullptr;
  tables.knownDisks = std::make_shared<const ZORKnownSMARTHardDiskTable>(
      ZORKnownSMARTHardDisk::smartDiskTableWithContents(*contents));
  return tables.knownDisks;
}

std::shared_ptr<ZORKnownSMARTHardDisk> ZORSMARTStorageDevice::diskDescriptionForProductName(
    const std::optional<std::string>& productName) {
  auto table = knownSMARTHardDisks();
  if (!productName || !table) return nullptr;
  for (const auto& disk : *table) {
    if (disk->matchesProductName(*productName)) return disk;
  }
  return nullptr;
}

std::shared_ptr<const PlistDictionary> ZORSMARTStorageDevice::knownSMARTVendorAttributes() {
  LoadedTables& tables = loadedTables();
  if (tables.attributeNames) return tables.attributeNames;
  std::optional<std::string> contents =
      Bundle::pluginBundle().resourceContents("SMARTProperties", "plist");
  if (!contents) contents = currentDirectoryFile("SMARTProperties.plist");
  if (!contents) return nullptr;
  std::optional<PlistValue> parsed = parsePropertyList(*contents);
  if (!parsed || !parsed->isDictionary()) return nullptr;
  tables.attributeNames = std::make_shared<const PlistDictionary>(*parsed->asDictionary());
  return tables.attributeNames;
}

std::optional<std::string> ZORSMARTStorageDevice::vendorAttributeNameForSMARTIdentifier(
    std::int32_t identifier) {
  auto names = knownSMARTVendorAttributes();
  if (!names) return std::nullopt;
  const PlistValue* name = member(*names, formatString("%d", identifier).c_str());
  if (name == nullptr || !name->isString()) return std::nullopt;
  return *name->asString();
}

void ZORSMARTStorageDevice::forgetLoadedTables() {
  loadedTables() = LoadedTables();
}

// --- Creation -----------------------------------------------------------------

std::shared_ptr<ZORSMARTStorageDevice> ZORSMARTStorageDevice::deviceWithIORegistryEntry(
    std::shared_ptr<ZORIORegistryEntry> entry, bool debugOutput) {
  auto device = std::make_shared<ZORSMARTStorageDevice>();
  if (!device->initWithIORegistryEntry(std::move(entry), debugOutput)) return nullptr;
  return device;
}

bool ZORSMARTStorageDevice::initWithIORegistryEntry(std::shared_ptr<ZORIORegistryEntry> entry,
                                                    bool debugOutput) {
  if (!entry) return false;
  registryEntry_ = std::move(entry);
  if (!_openSMARTDevice()) {
    if (debugOutput) {
      SystemLog::writeFormat(
          "   Device entry %s not accepted because access to its S.M.A.R.T. interface failed.\n",
          registryEntry_->description().c_str());
    }
    registryEntry_.reset();
    return false;
  }
  _closeSMARTDevice();
  ZORATADeviceIdentification identification;
  if (getATAIdentificationData(&identification)) {
    productName_ =
        ZORATADeviceIdentification::textOfATAString(identification.modelNumberField).value_or("");
    serialNumber_ =
        ZORATADeviceIdentification::textOfATAString(identification.serialNumberField).value_or("");
  } else {
    productName_ = kUnknownProductName;
    serialNumber_ = kUnknownSerialNumber;
  }
  return true;
}

// --- Open and close -------------------------------------------------------------

bool ZORSMARTStorageDevice::_openSMARTDevice() {
  if (isOpen()) {
    SystemLog::write(
        "Internal error: ZORSMARTStorageDevice tried to open a device which is already open\n");
    return false;
  }
  if (!registryEntry_) return false;
  std::int32_t score = 0;
  IOCFPlugInInterface* created = nullptr;
  kern_return_t result =
      IOCreatePlugInInterfaceForService(registryEntry_->ioKitHandle(), kIOATASMARTUserClientTypeID,
                                        kIOCFPlugInInterfaceID, &created, &score);
  if (result != kIOReturnSuccess || created == nullptr) {
    return false;
  }
  plugInInterface_ = IOReference::adoptPlugIn(created);
  IOUnknown* smart = nullptr;
  result = plugInInterface_.plugIn()->QueryInterface(kIOATASMARTInterfaceID, &smart);
  if (result != kIOReturnSuccess || smart == nullptr) {
    // An interface handed out with a failure code is still a reference to give back.
    if (smart != nullptr) smart->Release();
    plugInInterface_.reset();
    smartInterface_ = nullptr;
    return false;
  }
  // The object QueryInterface returns for this identifier is the ATA S.M.A.R.T. interface.
  smartInterface_ = static_cast<IOATASMARTInterface*>(smart);
  if (enableRequestWasSent_) return true;
  if (smartInterface_->SMARTEnableDisableOperations(true) == kIOReturnSuccess) {
    enableRequestWasSent_ = true;
    return true;
  }
  _closeSMARTDevice();
  return false;
}

void ZORSMARTStorageDevice::_closeSMARTDevice() {
  if (!plugInInterface_ || smartInterface_ == nullptr) {
    SystemLog::write(
        "Internal error: ZORSMARTStorageDevice tried to close a device which is not open\n");
    return;
  }
  smartInterface_->Release();
  smartInterface_ = nullptr;
  plugInInterface_.reset();
}

// --- Reads --------------------------------------------------------------------

bool ZORSMARTStorageDevice::readDataPage(ATASMARTData* page) {
  return smartInterface_->SMARTReadData(page) == kIOReturnSuccess;
}

std::int32_t ZORSMARTStorageDevice::currentSMARTStatus() {
  if (!_openSMARTDevice()) return 0;
  bool exceeded = false;
  kern_return_t result = smartInterface_->SMARTReturnStatus(&exceeded);
  _closeSMARTDevice();
  if (result != kIOReturnSuccess) return 0;
  return exceeded ? 1 : 2;
}

bool ZORSMARTStorageDevice::getVendorSpecificSMARTAttribute(ZORSMARTVendorAttribute* attribute,
                                                            std::int32_t forIdentifier) {
  if (attribute == nullptr || forIdentifier < 1 || forIdentifier > 255) return false;
  if (!_openSMARTDevice()) return false;
  ATASMARTData page{};
  bool read = readDataPage(&page);
  _closeSMARTDevice();
  return read && findRecordOnPage(page, forIdentifier, attribute);
}

bool ZORSMARTStorageDevice::getVendorSpecificSMARTThresholdValue(
    ZORATASMARTThresholdValue* threshold, std::int32_t forIdentifier) {
  if (threshold == nullptr || forIdentifier < 1 || forIdentifier > 255) return false;
  if (!_openSMARTDevice()) return false;
  ATASMARTDataThresholds page{};
  bool read = smartInterface_->SMARTReadDataThresholds(&page) == kIOReturnSuccess;
  _closeSMARTDevice();
  return read && findRecordOnPage(page, forIdentifier, threshold);
}

bool ZORSMARTStorageDevice::getATAIdentificationData(ZORATADeviceIdentification* identification) {
  if (identification == nullptr) return false;
  if (!_openSMARTDevice()) return false;
  std::array<std::uint8_t, ZORATADeviceIdentification::kSize> block{};
  bool read = smartInterface_->GetATAIdentifyData(block.data(), kATADefaultSectorSize, nullptr) ==
              kIOReturnSuccess;
  _closeSMARTDevice();
  if (!read) return false;
  auto decoded = ZORATADeviceIdentification::decode(block);
  if (!decoded) return false;
  *identification = std::move(*decoded);
  return true;
}

std::int32_t ZORSMARTStorageDevice::temperature() {
  if (!_openSMARTDevice()) return -1;
  ATASMARTData page{};
  bool read = readDataPage(&page);
  _closeSMARTDevice();
  if (!read) return -1;
  ZORSMARTVendorAttribute attribute;
  if (!getVendorSpecificSMARTAttribute(&attribute, temperatureAttributeID_)) return -1;
  return _temperatureFromSMARTAttribute(attribute, temperatureAttributeID_);
}

std::int32_t ZORSMARTStorageDevice::_temperatureFromSMARTAttribute(
    const ZORSMARTVendorAttribute& attribute, std::uint8_t attributeID) {
  if (attributeID == 194) {
    return static_cast<std::int32_t>(attribute.rawValue[0] | (attribute.rawValue[1] << 8));
  }
  // The low 32 bits, taken as a signed number (two's complement).
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(attribute.rawValue48()));
}

// --- Attribute dictionaries ------------------------------------------------------

std::optional<PlistDictionary> ZORSMARTStorageDevice::dictionaryForVendorSpecificSMARTAttribute(
    const ZORSMARTVendorAttribute* attribute) {
  if (attribute == nullptr) return std::nullopt;
  const auto& raw = attribute->rawValue;
  return PlistDictionary{
      {"ZORSMARTAttributeID", PlistValue::unsignedInteger(attribute->attributeID)},
      {"ZORSMARTAttributeFlags", PlistValue::unsignedInteger(attribute->flags)},
      {"ZORSMARTAttributeWorstValue", PlistValue::unsignedInteger(attribute->worstValue)},
      {"ZORSMARTAttributeCurrentValue", PlistValue::unsignedInteger(attribute->currentValue)},
      {"ZORSMARTAttribute64BitRawValue",
       PlistValue::integer(static_cast<std::int64_t>(attribute->rawValue48()))},
      {"ZORSMARTAttributeRawValue",
       PlistValue(formatString("%02x%02x%02x%02x%02x%02x", raw[0], raw[1], raw[2], raw[3], raw[4],
                               raw[5]))},
  };
}

std::int32_t ZORSMARTStorageDevice::attributeStatus(std::uint8_t currentValue,
                                                    std::uint8_t threshold, std::uint16_t flags) {
  if (currentValue > threshold) return 0;
  return (flags & 0x0001u) != 0 ? 2 : 1;
}

bool ZORSMARTStorageDevice::getByIDAllSMARTAttributes(AttributesByID* attributes,
                                                      ThresholdsByID* andThresholds) {
  if (attributes == nullptr || andThresholds == nullptr) return false;
  attributes->clear();
  andThresholds->clear();
  if (!_openSMARTDevice()) return false;
  ATASMARTData data{};
  ATASMARTDataThresholds thresholds{};
  bool read = readDataPage(&data) &&
              smartInterface_->SMARTReadDataThresholds(&thresholds) == kIOReturnSuccess;
  _closeSMARTDevice();
  if (!read) return false;
  for (std::size_t n = 0; n < ZORSMARTVendorAttribute::kEntriesPerPage; ++n) {
    auto attribute = ZORSMARTVendorAttribute::entryOfPage(data, n);
    auto threshold = ZORATASMARTThresholdValue::entryOfPage(thresholds, n);
    if (!attribute || !threshold || attribute->attributeID == 0) break;
    // Thresholds belong to attributes by position, whatever ID the threshold entry carries.
    (*attributes)[attribute->attributeID] = *dictionaryForVendorSpecificSMARTAttribute(&*attribute);
    (*andThresholds)[attribute->attributeID] = threshold->thresholdValue;
  }
  return true;
}

std::optional<PlistDictionary> ZORSMARTStorageDevice::availableSMARTAttributes() {
  PlistDictionary result;
  if (!_openSMARTDevice()) return std::nullopt;
  ATASMARTData page{};
  bool read = readDataPage(&page);
  _closeSMARTDevice();
  if (!read) return result;
  for (std::size_t n = 0; n < ZORSMARTVendorAttribute::kEntriesPerPage; ++n) {
    auto attribute = ZORSMARTVendorAttribute::entryOfPage(page, n);
    if (!attribute || attribute->attributeID == 0) break;
    std::optional<std::string> name = vendorAttributeNameForSMARTIdentifier(attribute->attributeID);
    if (!name) name = Bundle::mainBundle().localizedString("Unknown Attribute", "");
    result[*name] = PlistValue(*dictionaryForVendorSpecificSMARTAttribute(&*attribute));
  }
  return result;
}

PlistDictionary ZORSMARTStorageDevice::availableSMARTValues() {
  PlistDictionary result;
  std::optional<PlistDictionary> attributes = availableSMARTAttributes();
  if (!attributes) return result;
  for (const auto& [ignoredName, value] : *attributes) {
    const PlistValue* idValue = value.find("ZORSMARTAttributeID");
    if (idValue == nullptr) continue;
    auto id = static_cast<std::int32_t>(idValue->integerValue().value_or(0));
    std::optional<std::string> name = vendorAttributeNameForSMARTIdentifier(id);
    if (!name) continue;
    ZORATASMARTThresholdValue threshold;
    if (!getVendorSpecificSMARTThresholdValue(&threshold, id)) continue;
    PlistDictionary values = *value.asDictionary();
    auto current = static_cast<std::uint8_t>(
        values["ZORSMARTAttributeCurrentValue"].integerValue().value_or(0));
    auto flags =
        static_cast<std::uint16_t>(values["ZORSMARTAttributeFlags"].integerValue().value_or(0));
    values["ZORSMARTThresholdValue"] = PlistValue::unsignedInteger(threshold.thresholdValue);
    values["ZORSMARTAttributeStatus"] =
        PlistValue::integer(attributeStatus(current, threshold.thresholdValue, flags));
    result[*name] = PlistValue(std::move(values));
  }
  return result;
}

std::optional<PlistDictionary> ZORSMARTStorageDevice::systemMonitoredSMARTValues() {
  std::optional<PlistDictionary> configuration =
      os::dictionaryWithContentsOfSystemFile(kHardwareMonitorFile);
  if (!configuration) return std::nullopt;
  const PlistValue* drives = member(*configuration, "Drives");
  if (drives == nullptr) return std::nullopt;
  const PlistValue* drive = nullptr;
  if (const PlistArray* list = drives->asArray()) {
    for (const PlistValue& candidate : *list) {
      const PlistValue* manufacturer = candidate.find("manufacturerID");
      if (manufacturer != nullptr && manufacturer->isString() &&
          *manufacturer->asString() == productName_) {
        drive = &candidate;
        break;
      }
    }
  }
  if (drive == nullptr) return PlistDictionary();
  const PlistValue* monitored = drive->find("SMART");
  if (monitored == nullptr) return std::nullopt;
  AttributesByID attributes;
  ThresholdsByID thresholds;
  if (!getByIDAllSMARTAttributes(&attributes, &thresholds)) return PlistDictionary();
  PlistDictionary result;
  const PlistArray* elements = monitored->asArray();
  if (elements == nullptr) return result;
  for (const PlistValue& element : *elements) {
    const PlistArray* pair = element.asArray();
    if (pair == nullptr || pair->size() < 2) continue;
    const PlistValue& idValue = (*pair)[0];
    const PlistValue& label = (*pair)[1];
    // The ID must be an integer: the text "194" names no attribute.
    if (!idValue.isInteger() || !label.isString()) continue;
    std::int64_t id = *idValue.integerValue();
    if (id < 1 || id > 255) continue;
    auto attribute = attributes.find(static_cast<std::int32_t>(id));
    auto threshold = thresholds.find(static_cast<std::int32_t>(id));
    if (attribute == attributes.end() || threshold == thresholds.end()) continue;
    PlistDictionary values = attribute->second;
    auto current = static_cast<std::uint8_t>(
        values["ZORSMARTAttributeCurrentValue"].integerValue().value_or(0));
    auto flags =
        static_cast<std::uint16_t>(values["ZORSMARTAttributeFlags"].integerValue().value_or(0));
    values["ZORSMARTThresholdValue"] = PlistValue::unsignedInteger(threshold->second);
    values["ZORSMARTAttributeStatus"] =
        PlistValue::integer(attributeStatus(current, threshold->second, flags));
    result[*label.asString()] = PlistValue(std::move(values));
  }
  return result;
}

}  // namespace zor
