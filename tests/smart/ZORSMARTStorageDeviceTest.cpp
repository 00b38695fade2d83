#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry/ZORIORegistryEntry.h"
#include "tests/smart/SMARTTestMachine.h"

namespace zor::testing {
namespace {

class StorageDeviceTest : public SMARTTest {
 protected:
  static std::vector<std::string> productNames(const ZORSMARTStorageDeviceList& devices) {
    std::vector<std::string> names;
    for (const auto& device : devices) names.push_back(device->productName());
    return names;
  }
};

// --- Support test -------------------------------------------------------------

struct SupportCase {
  const char* what;
  std::optional<PlistValue> smartCapable;
  std::optional<PlistValue> deviceCharacteristics;
  bool supported;
  std::string debugLine;  // after the entry's description; "" for none
};

std::ostream& operator<<(std::ostream& out, const SupportCase& c) {
  return out << c.what;
}

class SupportTest : public StorageDeviceTest, public ::testing::WithParamInterface<SupportCase> {};

TEST_P(SupportTest, DecidesAndExplainsInDebugMode) {
  DiskSpec spec;
  spec.smartCapable = GetParam().smartCapable;
  spec.deviceCharacteristics = GetParam().deviceCharacteristics;
  installDisks({spec});
  auto entry = entryNamed("disk");
  EXPECT_EQ(ZORSMARTStorageDevice::storageDeviceEntryIndicatesSMARTSupport(entry.get(), false),
            GetParam().supported);
  EXPECT_TRUE(log_.lines().empty());
  EXPECT_EQ(ZORSMARTStorageDevice::storageDeviceEntryIndicatesSMARTSupport(entry.get(), true),
            GetParam().supported);
  if (GetParam().debugLine.empty()) {
    EXPECT_TRUE(log_.lines().empty());
  } else {
    ASSERT_EQ(log_.lines().size(), 1u);
    EXPECT_EQ(log_.lines()[0], "   Device entry " + entry->description() + GetParam().debugLine);
  }
}

PlistValue characteristics(PlistValue features) {
  return PlistValue(PlistDictionary{{"ATA Features", std::move(features)}});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SupportTest,
    ::testing::Values(
        SupportCase{"capable true", PlistValue::boolean(true), std::nullopt, true, ""},
        SupportCase{"capable 0 is refused silently", PlistValue::integer(0), std::nullopt, false,
                    ""},
        SupportCase{"capable as text", PlistValue("yes"), std::nullopt, false,
                    " not accepted because S.M.A.R.T. feature flag not accessible\n"},
        SupportCase{"capable wins over the features", PlistValue::boolean(false),
                    characteristics(PlistValue::integer(0x21)), false, ""},
        SupportCase{"features 0x21", std::nullopt, characteristics(PlistValue::integer(0x21)), true,
                    ""},
        SupportCase{"features 0x1f", std::nullopt, characteristics(PlistValue::integer(0x1f)),
                    false,
                    " not accepted because it doesn't seem to support S.M.A.R.T. The feature "
                    "code is 1f.\n"},
        SupportCase{"features as text", std::nullopt, characteristics(PlistValue("0x21")), false,
                    " not accepted because ATA features could not be processed\n"},
        SupportCase{"characteristics without features", std::nullopt,
                    PlistValue(PlistDictionary{{"Product Name", PlistValue("x")}}), false,
                    " not accepted because ATA features not accessible\n"},
        SupportCase{"characteristics not a dictionary", std::nullopt, PlistValue("x"), false,
                    " not accepted because ATA features not accessible\n"},
        SupportCase{"nothing to go by", std::nullopt, std::nullopt, false,
                    " not accepted because device description not accessible\n"}));

TEST_F(StorageDeviceTest, NoEntryIsNeitherSupportedNorSATA) {
  EXPECT_FALSE(ZORSMARTStorageDevice::storageDeviceEntryIndicatesSMARTSupport(nullptr, true));
  EXPECT_FALSE(ZORSMARTStorageDevice::storageDeviceEntryIndicatesSATAConnect(nullptr, true));
  EXPECT_TRUE(log_.lines().empty());
}

struct SATACase {
  std::optional<PlistValue> protocol;
  bool sata;
  const char* debugLine;
};

class SATATest : public StorageDeviceTest, public ::testing::WithParamInterface<SATACase> {};

TEST_P(SATATest, ReadsThePhysicalInterconnect) {
  PlistValue entry = diskEntry(DiskSpec{});
  entry.asDictionary()->erase("Protocol Characteristics");
  if (GetParam().protocol)
    (*entry.asDictionary())["Protocol Characteristics"] = *GetParam().protocol;
  install(profileWithEntries({entry}));
  auto registryEntry = entryNamed("disk");
  EXPECT_EQ(
      ZORSMARTStorageDevice::storageDeviceEntryIndicatesSATAConnect(registryEntry.get(), true),
      GetParam().sata);
  if (*GetParam().debugLine == '\0') {
    EXPECT_TRUE(log_.lines().empty());
  } else {
    ASSERT_EQ(log_.lines().size(), 1u);
    EXPECT_EQ(log_.lines()[0],
              "   Device entry " + registryEntry->description() + GetParam().debugLine);
  }
}

PlistValue protocol(PlistValue interconnect) {
  return PlistValue(PlistDictionary{{"Physical Interconnect", std::move(interconnect)}});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SATATest,
    ::testing::Values(
        SATACase{protocol(PlistValue("SATA")), true, ""},
        SATACase{protocol(PlistValue("ATA")), false, ""},
        SATACase{protocol(PlistValue("sata")), false, ""},
        SATACase{protocol(PlistValue::integer(1)), false,
                 " has no or an unexpected interconnect specifier\n"},
        SATACase{PlistValue(PlistDictionary{}), false,
                 " has no or an unexpected interconnect specifier\n"},
        SATACase{PlistValue("SATA"), false, " does not specify protocol characteristics\n"},
        SATACase{std::nullopt, false, " does not specify protocol characteristics\n"}));

// --- Creation, names and the open/close discipline ------------------------------

TEST_F(StorageDeviceTest, CreationReadsTheNamesAndSendsTheEnableRequestOnce) {
  DiskSpec spec;
  spec.model = "WDC WD3200BEVT-22ZCT0";
  spec.serial = "WD-WXE908VF0470";
  installDisks({spec});
  auto device = deviceNamed("disk");
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->productName(), "WDC WD3200BEVT-22ZCT0");
  EXPECT_EQ(device->serialNumber(), "WD-WXE908VF0470");
  EXPECT_EQ(device->temperatureAttributeID(), 194);
  EXPECT_TRUE(device->enableRequestWasSent());
  EXPECT_FALSE(device->isOpen());
  const auto& counters = disk("disk").counters();
  EXPECT_EQ(counters.opens, 2u);  // the access test, then the identification
  EXPECT_EQ(counters.closes, 2u);
  EXPECT_EQ(counters.enableRequests, 1u);
  EXPECT_EQ(device->temperature(), 40);
  EXPECT_EQ(counters.enableRequests, 1u);
  EXPECT_EQ(counters.opens, counters.closes);
  device.reset();
  EXPECT_EQ(outstanding(), 0);
}

TEST_F(StorageDeviceTest, FailedIdentificationLeavesTheUnknownNames) {
  DiskSpec spec;
  spec.fail = {"Identify"};
  installDisks({spec});
  auto device = deviceNamed("disk");
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->productName(), "UNKNOWN SMART DISK");
  EXPECT_EQ(device->serialNumber(), " ");
}

struct OpenFailureCase {
  const char* what;
  std::vector<std::string> fail;
  std::optional<std::int64_t> openError;
};

class OpenFailureTest : public StorageDeviceTest,
                        public ::testing::WithParamInterface<OpenFailureCase> {};

TEST_P(OpenFailureTest, RefusesTheDeviceAndGivesEverythingBack) {
  DiskSpec spec;
  spec.fail = GetParam().fail;
  spec.openError = GetParam().openError;
  installDisks({spec});
  auto entry = entryNamed("disk");
  EXPECT_EQ(ZORSMARTStorageDevice::deviceWithIORegistryEntry(entry, true), nullptr);
  ASSERT_EQ(log_.lines().size(), 1u);
  EXPECT_EQ(log_.lines()[0], "   Device entry " + entry->description() +
                                 " not accepted because access to its S.M.A.R.T. interface "
                                 "failed.\n");
  entry.reset();
  EXPECT_EQ(outstanding(), 0);
  EXPECT_EQ(disk("disk").counters().opens, disk("disk").counters().closes);
}

INSTANTIATE_TEST_SUITE_P(Cases, OpenFailureTest,
                         ::testing::Values(OpenFailureCase{"plug-in", {}, 0xe00002c0},
                                           OpenFailureCase{"interface", {"QueryInterface"}, {}},
                                           OpenFailureCase{"enable", {"Enable"}, {}}));

TEST_F(StorageDeviceTest, NoEntryNoDevice) {
  installDisks({});
  EXPECT_EQ(ZORSMARTStorageDevice::deviceWithIORegistryEntry(nullptr, true), nullptr);
  EXPECT_TRUE(log_.lines().empty());
}

TEST_F(StorageDeviceTest, OpenAndCloseMisuseIsLoggedAndRefused) {
  installDisks({DiskSpec{}});
  auto device = deviceNamed("disk");
  ASSERT_NE(device, nullptr);
  log_.clear();
  device->_closeSMARTDevice();
  ASSERT_TRUE(device->_openSMARTDevice());
  EXPECT_FALSE(device->_openSMARTDevice());
  device->_closeSMARTDevice();
  EXPECT_EQ(log_.lines(),
            (std::vector<std::string>{
                "Internal error: ZORSMARTStorageDevice tried to close a device which is not "
                "open\n",
                "Internal error: ZORSMARTStorageDevice tried to open a device which is already "
                "open\n"}));
  EXPECT_FALSE(device->isOpen());
}

TEST_F(StorageDeviceTest, DeviceDestroyedWhileOpenGivesBackItsInterfaces) {
  installDisks({DiskSpec{}});
  auto device = deviceNamed("disk");
  ASSERT_TRUE(device->_openSMARTDevice());
  device.reset();
  EXPECT_EQ(outstanding(), 0);
  EXPECT_EQ(disk("disk").counters().opens, disk("disk").counters().closes);
}

// --- ATA strings ----------------------------------------------------------------

struct ATAStringCase {
  std::vector<std::uint8_t> field;
  std::optional<std::string> text;
};

class ATAStringTest : public ::testing::TestWithParam<ATAStringCase> {};

TEST_P(ATAStringTest, SwapsKeepsPrintableAndTrims) {
  EXPECT_EQ(ZORATADeviceIdentification::textOfATAString(GetParam().field), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ATAStringTest,
    ::testing::Values(
        // "AB" stored as the word 0x4142: high byte first character, so bytes 42 41.
        ATAStringCase{{0x42, 0x41, 0x44, 0x43}, "ABCD"},
        // A model name, blank padding and a control byte at the end.
        ATAStringCase{{'T', 'S', ' ', '3', ' ', ' ', ' ', ' ', 0x01, ' '}, "ST3"},
        ATAStringCase{{' ', ' ', 'B', 'A', 0x7f, 'C', 0x80, 0xff}, "ABC"},
        ATAStringCase{{' ', ' ', ' ', ' '}, ""}, ATAStringCase{{0x41}, std::nullopt},
        ATAStringCase{{}, ""}));

TEST(ATADeviceIdentificationTest, FieldsAtTheirOffsets) {
  PlistData block = identifyBlock("MODEL NAME", "SERIAL");
  auto decoded = ZORATADeviceIdentification::decode(block);
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(ZORATADeviceIdentification::textOfATAString(decoded->modelNumberField), "MODEL NAME");
  EXPECT_EQ(ZORATADeviceIdentification::textOfATAString(decoded->serialNumberField), "SERIAL");
  EXPECT_EQ(ZORATADeviceIdentification::textOfATAString(decoded->firmwareRevisionField), "FW01");
  block.resize(511);
  EXPECT_FALSE(ZORATADeviceIdentification::decode(block).has_value());
}

// --- Records and temperature ------------------------------------------------------

TEST(SMARTRecordTest, VendorAttributeDecodedFieldByField) {
  std::vector<std::uint8_t> bytes = {0xc2, 0x33, 0x01, 0x64, 0x5a, 0x2d,
                                     0x00, 0x14, 0x00, 0x37, 0x00, 0x99};
  auto record = ZORSMARTVendorAttribute::decode(bytes);
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->attributeID, 194);
  EXPECT_EQ(record->flags, 0x0133);
  EXPECT_TRUE(record->isPreFailure());
  EXPECT_EQ(record->currentValue, 100);
  EXPECT_EQ(record->worstValue, 90);
  EXPECT_EQ(record->rawValue48(), 0x370014002DULL);
  EXPECT_EQ(record->reserved, 0x99);
  bytes.pop_back();
  EXPECT_FALSE(ZORSMARTVendorAttribute::decode(bytes).has_value());
}

TEST(SMARTRecordTest, PageEntriesStayInsideThePage) {
  std::vector<std::uint8_t> page(512, 0);
  page[2 + 12 * 29] = 7;
  EXPECT_EQ(ZORSMARTVendorAttribute::entryOfPage(page, 29)->attributeID, 7);
  EXPECT_FALSE(ZORSMARTVendorAttribute::entryOfPage(page, 30).has_value());
  std::vector<std::uint8_t> shortPage(100, 0);
  EXPECT_TRUE(ZORSMARTVendorAttribute::entryOfPage(shortPage, 7).has_value());
  EXPECT_FALSE(ZORSMARTVendorAttribute::entryOfPage(shortPage, 8).has_value());
  EXPECT_FALSE(ZORATASMARTThresholdValue::entryOfPage(shortPage, 8).has_value());
}

struct ExtractionCase {
  std::uint8_t id;
  std::array<std::uint8_t, 6> raw;
  std::int32_t degrees;
};

class TemperatureExtractionTest : public ::testing::TestWithParam<ExtractionCase> {};

TEST_P(TemperatureExtractionTest, ByAttributeID) {
  ZORSMARTVendorAttribute attribute;
  attribute.attributeID = GetParam().id;
  attribute.rawValue = GetParam().raw;
  EXPECT_EQ(ZORSMARTStorageDevice::_temperatureFromSMARTAttribute(attribute, GetParam().id),
            GetParam().degrees);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TemperatureExtractionTest,
    ::testing::Values(ExtractionCase{194, {0x2d, 0x00, 0x14, 0x00, 0x37, 0x00}, 45},
                      ExtractionCase{194, {0x2d, 0x01, 0x14, 0x00, 0x37, 0x00}, 301},
                      ExtractionCase{190, {0x2d, 0x00, 0x14, 0x00, 0x37, 0x00}, 1310765},
                      ExtractionCase{231, {0x1e, 0x00, 0x00, 0x00, 0xff, 0xff}, 30},
                      ExtractionCase{190, {0xff, 0xff, 0xff, 0xff, 0x00, 0x00}, -1},
                      ExtractionCase{190, {0x00, 0x00, 0x00, 0x80, 0x00, 0x00}, INT32_MIN}));

TEST_F(StorageDeviceTest, TemperatureReadsTheConfiguredAttribute) {
  DiskSpec spec;
  spec.attributes = {{1, 0x0b, 100, 100, 0, 6},
                     {190, 0x22, 62, 50, 0x0037'0014'002dULL, 0},
                     {194, 0x22, 100, 100, 0x0037'0014'002dULL, 0}};
  installDisks({spec});
  auto device = deviceNamed("disk");
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->temperature(), 45);
  device->setSMARTTemperatureAttributeID(190);
  EXPECT_EQ(device->temperature(), 1310765);
  device->setSMARTTemperatureAttributeID(9);
  EXPECT_EQ(device->temperature(), -1);
  device->setSMARTTemperatureAttributeID(0);
  EXPECT_EQ(device->temperature(), -1);
}

TEST_F(StorageDeviceTest, TemperatureIsMinusOneWhenTheDiskDoesNotAnswer) {
  installDisks({DiskSpec{}});
  auto device = deviceNamed("disk");
  disk("disk").setFails("ReadData", true);
  EXPECT_EQ(device->temperature(), -1);
  EXPECT_EQ(disk("disk").counters().opens, disk("disk").counters().closes);
}

TEST_F(StorageDeviceTest, AttributeIDsOutsideOneTo255NeverTouchTheDisk) {
  installDisks({DiskSpec{}});
  auto device = deviceNamed("disk");
  auto before = disk("disk").counters();
  ZORSMARTVendorAttribute attribute;
  ZORATASMARTThresholdValue threshold;
  for (std::int32_t id : {0, 256, -1, -194}) {
    EXPECT_FALSE(device->getVendorSpecificSMARTAttribute(&attribute, id)) << id;
    EXPECT_FALSE(device->getVendorSpecificSMARTThresholdValue(&threshold, id)) << id;
  }
  EXPECT_FALSE(device->getVendorSpecificSMARTAttribute(nullptr, 194));
  EXPECT_FALSE(device->getVendorSpecificSMARTThresholdValue(nullptr, 194));
  EXPECT_FALSE(device->getATAIdentificationData(nullptr));
  EXPECT_EQ(disk("disk").counters().opens, before.opens);
  EXPECT_TRUE(device->getVendorSpecificSMARTAttribute(&attribute, 194));
  EXPECT_EQ(disk("disk").counters().opens, before.opens + 1);
  EXPECT_EQ(disk("disk").counters().dataReads, before.dataReads + 1);
}

TEST_F(StorageDeviceTest, FirstMatchingEntryWinsAndEmptySlotsAreSearchedToo) {
  DiskSpec spec;
  spec.attributes = {
      {1, 0, 100, 100, 0, 0}, {0, 0, 0, 0, 0, 0}, {194, 0, 1, 1, 50, 11}, {194, 0, 2, 2, 60, 22}};
  installDisks({spec});
  auto device = deviceNamed("disk");
  ZORSMARTVendorAttribute attribute;
  ASSERT_TRUE(device->getVendorSpecificSMARTAttribute(&attribute, 194));
  EXPECT_EQ(attribute.currentValue, 1);
  ZORATASMARTThresholdValue threshold;
  ASSERT_TRUE(device->getVendorSpecificSMARTThresholdValue(&threshold, 194));
  EXPECT_EQ(threshold.thresholdValue, 11);
  EXPECT_FALSE(device->getVendorSpecificSMARTThresholdValue(&threshold, 77));
}

struct StatusCase {
  bool exceeded;
  bool fails;
  std::int32_t status;
};

class StatusTest : public StorageDeviceTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(StatusTest, CurrentStatus) {
  DiskSpec spec;
  spec.thresholdExceeded = GetParam().exceeded;
  installDisks({spec});
  auto device = deviceNamed("disk");
  disk("disk").setFails("Status", GetParam().fails);
  EXPECT_EQ(device->currentSMARTStatus(), GetParam().status);
  EXPECT_EQ(disk("disk").counters().opens, disk("disk").counters().closes);
  disk("disk").setFails("QueryInterface", true);
  EXPECT_EQ(device->currentSMARTStatus(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, StatusTest,
                         ::testing::Values(StatusCase{false, false, 2}, StatusCase{true, false, 1},
                                           StatusCase{false, true, 0}));

// --- Discovery ------------------------------------------------------------------

DiskSpec legacyDisk(const std::string& name, const std::string& model, const char* interconnect) {
  DiskSpec spec;
  spec.name = name;
  spec.className = "IOATABlockStorageDevice";
  spec.model = model;
  spec.serial = name + "-SN";
  spec.interconnect = std::string(interconnect);
  return spec;
}

TEST_F(StorageDeviceTest, LegacyDisksAcceptedByTableThenSATAThenRestriction) {
  DiskSpec newEra;
  newEra.name = "new";
  newEra.model = "KNOWN190 NEW ERA";  // the table is not asked for new-era disks
  installDisks({legacyDisk("known", "KNOWN190 DISK", "ATA"),
                legacyDisk("notemp", "NOTEMP DISK", "ATA"),
                legacyDisk("sata", "UNLISTED SATA", "SATA"),
                legacyDisk("pata", "UNLISTED PATA", "ATA"), newEra});
  auto restricted = ZORSMARTStorageDevice::allSMARTDevicesRestrictToTemperatureSupport(true);
  EXPECT_EQ(productNames(restricted),
            (std::vector<std::string>{"KNOWN190 DISK", "NOTEMP DISK", "UNLISTED SATA",
                                      "KNOWN190 NEW ERA"}));
  ASSERT_EQ(restricted.size(), 4u);
  EXPECT_EQ(restricted[0]->temperatureAttributeID(), 190);
  EXPECT_EQ(restricted[1]->temperatureAttributeID(), 0);
  EXPECT_EQ(restricted[2]->temperatureAttributeID(), 194);
  EXPECT_EQ(restricted[3]->temperatureAttributeID(), 194);
  EXPECT_TRUE(log_.lines().empty());  // silent without debug mode

  auto all = ZORSMARTStorageDevice::allSMARTDevicesRestrictToTemperatureSupport(false);
  EXPECT_EQ(productNames(all),
            (std::vector<std::string>{"KNOWN190 DISK", "NOTEMP DISK", "UNLISTED SATA",
                                      "UNLISTED PATA", "KNOWN190 NEW ERA"}));
  EXPECT_EQ(all[3]->temperatureAttributeID(), 194);
  restricted.clear();
  all.clear();
  EXPECT_EQ(outstanding(), 0);
}

TEST_F(StorageDeviceTest, SearchOrderAndEntriesUnderTwoClassNames) {
  DiskSpec sonnet = legacyDisk("sonnet", "SONNET DISK", "SATA");
  sonnet.className = "SonnetSATABlockStorageDevice";
  DiskSpec services;
  services.name = "services";
  services.model = "SERVICES DISK";
  services.className = "IOBlockStorageServices";
  DiskSpec both;
  both.name = "both";
  both.model = "AHCI DISK";
  PlistValue bothEntry = diskEntry(both);
  (*bothEntry.asDictionary())["IOSuperclasses"] =
      PlistValue(PlistArray{PlistValue("IOBlockStorageServices")});
  installDisks({services, sonnet, legacyDisk("ata", "ATA DISK", "SATA")}, {bothEntry});
  auto devices = ZORSMARTStorageDevice::allSMARTDevicesRestrictToTemperatureSupport(true);
  // Legacy classes first, each class in registry order; no duplicate check.
  EXPECT_EQ(productNames(devices), (std::vector<std::string>{"ATA DISK", "SONNET DISK", "AHCI DISK",
                                                             "SERVICES DISK", "AHCI DISK"}));
}

TEST_F(StorageDeviceTest, DebugModeExplainsEveryDecision) {
  DiskSpec unsupported = legacyDisk("unsupported", "UNSUPPORTED", "ATA");
  unsupported.smartCapable = PlistValue::boolean(false);
  DiskSpec broken = legacyDisk("broken", "BROKEN", "SATA");
  broken.fail = {"QueryInterface"};
  DiskSpec brokenNew;
  brokenNew.name = "brokennew";
  brokenNew.openError = 0xe00002c0;
  installDisks({legacyDisk("sata", "UNLISTED SATA", "SATA"),
                legacyDisk("pata", "UNLISTED PATA", "ATA"), unsupported, broken, brokenNew});
  ZORSMARTStorageDevice::setDebugMode(true);
  auto devices = ZORSMARTStorageDevice::allSMARTDevicesRestrictToTemperatureSupport(true);
  EXPECT_EQ(productNames(devices), std::vector<std::string>{"UNLISTED SATA"});
  auto describe = [&](const std::string& name) { return entryNamed(name)->description(); };
  std::vector<std::string> expected = {
      "*** Scanning for S.M.A.R.T. capable devices, feature code 4096. (Found 4 legacy ATA and 1 "
      "new era block storage devices.)\n",
      "    Processing entry " + describe("sata") + "\n",
      "   Device with product name 'UNLISTED SATA' is unknown but connected via SATA. Accepted.\n",
      "    Processing entry " + describe("pata") + "\n",
      "   Device entry " + describe("pata") +
          " not accepted because temperature support could no be determined.\n",
      "    Processing entry " + describe("unsupported") + "\n",
      "    Processing entry " + describe("broken") + "\n",
      "   Device entry " + describe("broken") +
          " not accepted because access to its S.M.A.R.T. interface failed.\n",
      "   Device entry " + describe("broken") + " not accepted.\n",
      "    Processing entry " + describe("brokennew") + "\n",
      "   Device entry " + describe("brokennew") +
          " not accepted because access to its S.M.A.R.T. interface failed.\n",
      "   Device entry " + describe("brokennew") + " not accepted.\n",
      "*** Scan of S.M.A.R.T. capable devices completed.\n"};
  EXPECT_EQ(log_.lines(), expected);
}

TEST_F(StorageDeviceTest, WithoutATableEveryLegacyDiskIsUnknown) {
  PlistArray children{diskEntry(legacyDisk("known", "KNOWN190 DISK", "ATA"))};
  install(profileWithEntries(children), "", kTestAttributeNames);
  EXPECT_EQ(ZORSMARTStorageDevice::knownSMARTHardDisks(), nullptr);
  EXPECT_TRUE(ZORSMARTStorageDevice::allSMARTDevicesRestrictToTemperatureSupport(true).empty());
  EXPECT_EQ(ZORSMARTStorageDevice::diskDescriptionForProductName("KNOWN190 DISK"), nullptr);
}

TEST_F(StorageDeviceTest, TableLookupTakesTheFirstMatchAnywhereInTheName) {
  install(profileWithEntries({}),
          "\"DISK\" 5 C \"first\"\n\"^KNOWN\" 6 C \"second\"\n\"^KNOWN\" 7 C \"third\"\n");
  auto first = ZORSMARTStorageDevice::diskDescriptionForProductName("KNOWN DISK");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->productName(), std::optional<std::string>("first"));
  auto second = ZORSMARTStorageDevice::diskDescriptionForProductName("KNOWN DRIVE");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->productName(), std::optional<std::string>("second"));
  EXPECT_EQ(ZORSMARTStorageDevice::diskDescriptionForProductName("OTHER"), nullptr);
  EXPECT_EQ(ZORSMARTStorageDevice::diskDescriptionForProductName(std::nullopt), nullptr);
  // Loaded once: the same table object on every call.
  EXPECT_EQ(ZORSMARTStorageDevice::knownSMARTHardDisks(),
            ZORSMARTStorageDevice::knownSMARTHardDisks());
}

}  // namespace
}  // namespace zor::testing
