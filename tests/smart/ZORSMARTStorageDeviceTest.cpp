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

// --- Acceptance: the support and SATA tests ----------------------------------

struct AcceptanceCase {
  bool sataTest;  // else the support test
  std::optional<PlistValue> smartCapable;
  std::optional<PlistValue> characteristics;
  std::optional<PlistValue> protocol;
  bool accepted;
  std::string debugLine;  // after the entry's description; "" for none
};

class AcceptanceTest : public StorageDeviceTest,
                       public ::testing::WithParamInterface<AcceptanceCase> {};

TEST_P(AcceptanceTest, DecidesAndExplainsOnlyInDebugMode) {
  const AcceptanceCase& c = GetParam();
  DiskSpec spec;
  spec.smartCapable = c.smartCapable;
  spec.deviceCharacteristics = c.characteristics;
  PlistValue entry = diskEntry(spec);
  entry.asDictionary()->erase("Protocol Characteristics");
  if (c.protocol) (*entry.asDictionary())["Protocol Characteristics"] = *c.protocol;
  install(profileWithEntries({entry}));
  auto found = entryNamed("disk");
  auto decide = [&](bool debug) {
    return c.sataTest
               ? ZORSMARTStorageDevice::storageDeviceEntryIndicatesSATAConnect(found.get(), debug)
               : ZORSMARTStorageDevice::storageDeviceEntryIndicatesSMARTSupport(found.get(), debug);
  };
  EXPECT_EQ(decide(false), c.accepted);
  EXPECT_TRUE(log_.lines().empty());
  EXPECT_EQ(decide(true), c.accepted);
  std::vector<std::string> expected;
  if (!c.debugLine.empty())
    expected.push_back("   Device entry " + found->description() + c.debugLine);
  EXPECT_EQ(log_.lines(), expected);
}

PlistValue features(PlistValue value) {
  return PlistValue(PlistDictionary{{"ATA Features", std::move(value)}});
}
PlistValue protocol(PlistValue interconnect) {
  return PlistValue(PlistDictionary{{"Physical Interconnect", std::move(interconnect)}});
}
const PlistValue kYes = PlistValue::boolean(true);
const std::nullopt_t kNone = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Cases, AcceptanceTest,
    ::testing::Values(
        AcceptanceCase{false, kYes, kNone, kNone, true, ""},
        AcceptanceCase{false, PlistValue("yes"), kNone, kNone, false,
                       " not accepted because S.M.A.R.T. feature flag not accessible\n"},
        AcceptanceCase{false, kNone, features(PlistValue::integer(0x21)), kNone, true, ""},
        AcceptanceCase{false, kNone, features(PlistValue::integer(0x1f)), kNone, false,
                       " not accepted because it doesn't seem to support S.M.A.R.T. The feature "
                       "code is 1f.\n"},
        AcceptanceCase{false, kNone, features(PlistValue("0x21")), kNone, false,
                       " not accepted because ATA features could not be processed\n"},
        AcceptanceCase{false, kNone, PlistValue(PlistDictionary{}), kNone, false,
                       " not accepted because ATA features not accessible\n"},
        AcceptanceCase{false, kNone, kNone, kNone, false,
                       " not accepted because device description not accessible\n"},
        AcceptanceCase{true, kYes, kNone, protocol(PlistValue("SATA")), true, ""},
        AcceptanceCase{true, kYes, kNone, protocol(PlistValue("ATA")), false, ""},
        AcceptanceCase{true, kYes, kNone, protocol(PlistValue::integer(1)), false,
                       " has no or an unexpected interconnect specifier\n"},
        AcceptanceCase{true, kYes, kNone, kNone, false,
                       " does not specify protocol characteristics\n"}));

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
  const auto& counters = disk("disk").counters();
  EXPECT_EQ(counters.opens, 2u);  // the access test, then the identification
  EXPECT_EQ(counters.closes, 2u);
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

TEST_F(StorageDeviceTest, RefusedDevicesGiveEverythingBack) {
  DiskSpec plugIn, query, enable;
  plugIn.openError = 0xe00002c0;
  query.fail = {"QueryInterface"};
  enable.fail = {"Enable"};
  for (const DiskSpec& spec : {plugIn, query, enable}) {
    installDisks({spec});
    EXPECT_EQ(ZORSMARTStorageDevice::deviceWithIORegistryEntry(entryNamed("disk"), false), nullptr);
    EXPECT_EQ(outstanding(), 0);
    EXPECT_EQ(disk("disk").counters().opens, disk("disk").counters().closes);
  }
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
        ATAStringCase{{0x41}, std::nullopt}));

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
  device->setSMARTTemperatureAttributeID(194);
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
  for (std::int32_t id : {0, 256, -1}) {
    EXPECT_FALSE(device->getVendorSpecificSMARTAttribute(&attribute, id)) << id;
    EXPECT_FALSE(device->getVendorSpecificSMARTThresholdValue(&threshold, id)) << id;
  }
  EXPECT_EQ(disk("disk").counters().opens, before.opens);
  EXPECT_TRUE(device->getVendorSpecificSMARTAttribute(&attribute, 194));
  EXPECT_EQ(disk("disk").counters().dataReads, before.dataReads + 1);
}

TEST_F(StorageDeviceTest, CurrentStatus) {
  struct {
    bool exceeded;
    const char* fail;
    std::int32_t status;
  } cases[] = {{false, "", 2}, {true, "", 1}, {false, "Status", 0}, {false, "QueryInterface", 0}};
  for (const auto& c : cases) {
    DiskSpec spec;
    spec.thresholdExceeded = c.exceeded;
    installDisks({spec});
    auto device = deviceNamed("disk");
    if (*c.fail != '\0') disk("disk").setFails(c.fail, true);
    EXPECT_EQ(device->currentSMARTStatus(), c.status) << c.fail << c.exceeded;
    EXPECT_EQ(disk("disk").counters().opens, disk("disk").counters().closes);
  }
}

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
  EXPECT_TRUE(log_.lines().empty());  // silent without debug mode

  auto all = ZORSMARTStorageDevice::allSMARTDevicesRestrictToTemperatureSupport(false);
  EXPECT_EQ(productNames(all),
            (std::vector<std::string>{"KNOWN190 DISK", "NOTEMP DISK", "UNLISTED SATA",
                                      "UNLISTED PATA", "KNOWN190 NEW ERA"}));
  restricted.clear();
  all.clear();
  EXPECT_EQ(outstanding(), 0);
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

}  // namespace
}  // namespace zor::testing
