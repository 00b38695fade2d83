// The disk device over simulated disks: which registry entries are accepted
// and why (said only in debug mode), creation with the open/close discipline,
// the records read field by field and the temperature taken from them.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "registry/ZORIORegistryEntry.h"
#include "tests/smart/SMARTTestMachine.h"

namespace zor::testing {
namespace {

PlistValue features(PlistValue value) {
  return PlistValue(PlistDictionary{{"ATA Features", std::move(value)}});
}
PlistValue protocol(PlistValue interconnect) {
  return PlistValue(PlistDictionary{{"Physical Interconnect", std::move(interconnect)}});
}

TEST_F(SMARTTest, AcceptanceIsDecidedAlikeAndExplainedOnlyInDebugMode) {
  struct Case {
    bool sataTest;  // else the support test
    std::optional<PlistValue> smartCapable, characteristics, protocol;
    bool accepted;
    std::string debugLine;  // after the entry's description; "" for none
  };
  const PlistValue yes = PlistValue::boolean(true);
  const auto none = std::nullopt;
  const Case cases[] = {
      {false, yes, none, none, true, ""},
      {false, PlistValue("yes"), none, none, false,
       " not accepted because S.M.A.R.T. feature flag not accessible\n"},
      {false, none, features(PlistValue::integer(0x21)), none, true, ""},
      {false, none, features(PlistValue::integer(0x1f)), none, false,
       " not accepted because it doesn't seem to support S.M.A.R.T. The feature code is 1f.\n"},
      {false, none, features(PlistValue("0x21")), none, false,
       " not accepted because ATA features could not be processed\n"},
      {false, none, PlistValue(PlistDictionary{}), none, false,
       " not accepted because ATA features not accessible\n"},
      {false, none, none, none, false, " not accepted because device description not accessible\n"},
      {true, yes, none, protocol(PlistValue("SATA")), true, ""},
      {true, yes, none, protocol(PlistValue("ATA")), false, ""},
      {true, yes, none, protocol(PlistValue::integer(1)), false,
       " has no or an unexpected interconnect specifier\n"},
      {true, yes, none, none, false, " does not specify protocol characteristics\n"}};
  for (const Case& c : cases) {
    PlistValue entry = diskEntry({.smartCapable = c.smartCapable,
                                  .deviceCharacteristics = c.characteristics,
                                  .interconnect = std::nullopt});
    if (c.protocol) (*entry.asDictionary())["Protocol Characteristics"] = *c.protocol;
    install(profileWithEntries({entry}));
    log_.clear();
    auto found = entryNamed("disk");
    auto decide = [&](bool debug) {
      return c.sataTest
                 ? ZORSMARTStorageDevice::storageDeviceEntryIndicatesSATAConnect(found.get(), debug)
                 : ZORSMARTStorageDevice::storageDeviceEntryIndicatesSMARTSupport(found.get(),
                                                                                  debug);
    };
    EXPECT_EQ(decide(false), c.accepted) << c.debugLine;
    EXPECT_TRUE(log_.lines().empty());
    EXPECT_EQ(decide(true), c.accepted) << c.debugLine;
    std::vector<std::string> expected;
    if (!c.debugLine.empty()) {
      expected.push_back("   Device entry " + found->description() + c.debugLine);
    }
    EXPECT_EQ(log_.lines(), expected);
  }
}

DiskSpec legacyDisk(const std::string& name, const std::string& model, const char* interconnect) {
  return DiskSpec{.name = name,
                  .className = "IOATABlockStorageDevice",
                  .model = model,
                  .serial = name + "-SN",
                  .interconnect = std::string(interconnect)};
}

std::vector<std::string> productNames(const ZORSMARTStorageDeviceList& devices) {
  std::vector<std::string> names;
  for (const auto& device : devices) names.push_back(device->productName());
  return names;
}

// Legacy disks are accepted by the known-disk table, then by a SATA link,
// then only when temperature support is not required; the table is not
// asked for new-era disks. Debug mode explains every decision.
TEST_F(SMARTTest, DiscoveryAcceptsByTableThenSATAThenRestrictionAndExplainsInDebugMode) {
  DiskSpec unsupported = legacyDisk("unsupported", "UNSUPPORTED", "ATA");
  unsupported.smartCapable = PlistValue::boolean(false);
  DiskSpec broken = legacyDisk("broken", "BROKEN", "SATA");
  broken.fail = {"QueryInterface"};
  installDisks(
      {legacyDisk("known", "KNOWN190 DISK", "ATA"), legacyDisk("notemp", "NOTEMP DISK", "ATA"),
       legacyDisk("sata", "UNLISTED SATA", "SATA"), legacyDisk("pata", "UNLISTED PATA", "ATA"),
       unsupported, broken, DiskSpec{.name = "new", .model = "KNOWN190 NEW ERA"},
       DiskSpec{.name = "brokennew", .openError = 0xe00002c0}});
  auto restricted = ZORSMARTStorageDevice::allSMARTDevicesRestrictToTemperatureSupport(true);
  EXPECT_EQ(productNames(restricted),
            (std::vector<std::string>{"KNOWN190 DISK", "NOTEMP DISK", "UNLISTED SATA",
                                      "KNOWN190 NEW ERA"}));
  ASSERT_EQ(restricted.size(), 4u);
  EXPECT_EQ(restricted[0]->temperatureAttributeID(), 190);
  EXPECT_EQ(restricted[1]->temperatureAttributeID(), 0);
  EXPECT_EQ(restricted[3]->temperatureAttributeID(), 194);
  EXPECT_TRUE(log_.lines().empty());  // silent without debug mode
  EXPECT_EQ(productNames(ZORSMARTStorageDevice::allSMARTDevicesRestrictToTemperatureSupport(false)),
            (std::vector<std::string>{"KNOWN190 DISK", "NOTEMP DISK", "UNLISTED SATA",
                                      "UNLISTED PATA", "KNOWN190 NEW ERA"}));

  ZORSMARTStorageDevice::setDebugMode(true);
  ZORSMARTStorageDevice::allSMARTDevicesRestrictToTemperatureSupport(true);
  auto processing = [&](const std::string& name) {
    return "    Processing entry " + entryNamed(name)->description() + "\n";
  };
  auto refused = [&](const std::string& name, const std::string& why) {
    return "   Device entry " + entryNamed(name)->description() + " not accepted" + why + ".\n";
  };
  const std::string accessFailed = " because access to its S.M.A.R.T. interface failed";
  std::vector<std::string> expected = {
      "*** Scanning for S.M.A.R.T. capable devices, feature code 4096. (Found 6 legacy ATA and 2 "
      "new era block storage devices.)\n",
      processing("known"),
      processing("notemp"),
      processing("sata"),
      "   Device with product name 'UNLISTED SATA' is unknown but connected via SATA. Accepted.\n",
      processing("pata"),
      refused("pata", " because temperature support could no be determined"),
      processing("unsupported"),
      processing("broken"),
      refused("broken", accessFailed),
      refused("broken", ""),
      processing("new"),
      processing("brokennew"),
      refused("brokennew", accessFailed),
      refused("brokennew", ""),
      "*** Scan of S.M.A.R.T. capable devices completed.\n"};
  EXPECT_EQ(log_.lines(), expected);
}

TEST_F(SMARTTest, CreationReadsTheNamesAndSendsTheEnableRequestOnce) {
  installDisks({DiskSpec{.model = "WDC WD3200BEVT-22ZCT0", .serial = "WD-WXE908VF0470"},
                DiskSpec{.name = "noid", .fail = {"Identify"}}});
  auto device = deviceNamed("disk");
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->productName(), "WDC WD3200BEVT-22ZCT0");
  EXPECT_EQ(device->serialNumber(), "WD-WXE908VF0470");
  const auto& counters = disk("disk").counters();
  EXPECT_EQ(counters.opens, 2u);  // the access test, then the identification
  EXPECT_EQ(device->temperature(), 40);
  EXPECT_EQ(counters.enableRequests, 1u);
  EXPECT_EQ(counters.opens, counters.closes);
  // A failed identification leaves the unknown names.
  auto unidentified = deviceNamed("noid");
  ASSERT_NE(unidentified, nullptr);
  EXPECT_EQ(unidentified->productName(), "UNKNOWN SMART DISK");
  EXPECT_EQ(unidentified->serialNumber(), " ");
}

TEST_F(SMARTTest, RefusedOrDestroyedWhileOpenDevicesGiveEverythingBack) {
  for (const DiskSpec& spec :
       {DiskSpec{.openError = 0xe00002c0}, DiskSpec{.fail = {"QueryInterface"}},
        DiskSpec{.fail = {"Enable"}}}) {
    installDisks({spec});
    EXPECT_EQ(ZORSMARTStorageDevice::deviceWithIORegistryEntry(entryNamed("disk"), false), nullptr);
    EXPECT_EQ(outstanding(), 0);
    EXPECT_EQ(disk("disk").counters().opens, disk("disk").counters().closes);
  }
  installDisks({DiskSpec{}});
  ASSERT_TRUE(deviceNamed("disk")->_openSMARTDevice());
  EXPECT_EQ(outstanding(), 0);
  EXPECT_EQ(disk("disk").counters().opens, disk("disk").counters().closes);
}

TEST(SMARTRecordTest, ATAStringsSwapEachWordKeepPrintablesAndTrim) {
  const std::pair<std::vector<std::uint8_t>, std::optional<std::string>> cases[] = {
      // "AB" stored as the word 0x4142: high byte first character, so bytes 42 41.
      {{0x42, 0x41, 0x44, 0x43}, "ABCD"},
      // A model name, blank padding and a control byte at the end.
      {{'T', 'S', ' ', '3', ' ', ' ', ' ', ' ', 0x01, ' '}, "ST3"},
      {{' ', ' ', 'B', 'A', 0x7f, 'C', 0x80, 0xff}, "ABC"},
      {{0x41}, std::nullopt}};
  for (const auto& [field, text] : cases) {
    EXPECT_EQ(ZORATADeviceIdentification::textOfATAString(field), text);
  }
  PlistData block = identifyBlock("MODEL NAME", "SERIAL");
  ASSERT_TRUE(ZORATADeviceIdentification::decode(block).has_value());
  block.resize(511);
  EXPECT_FALSE(ZORATADeviceIdentification::decode(block).has_value());
}

TEST(SMARTRecordTest, AttributesDecodedFieldByFieldInsideTheirPage) {
  std::vector<std::uint8_t> bytes = {0xc2, 0x33, 0x01, 0x64, 0x5a, 0x2d,
                                     0x00, 0x14, 0x00, 0x37, 0x00, 0x99};
  auto record = ZORSMARTVendorAttribute::decode(bytes);
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->attributeID, 194);
  EXPECT_EQ(record->flags, 0x0133);
  EXPECT_EQ(record->currentValue, 100);
  EXPECT_EQ(record->worstValue, 90);
  EXPECT_EQ(record->rawValue48(), 0x370014002DULL);
  EXPECT_EQ(record->reserved, 0x99);
  bytes.pop_back();
  EXPECT_FALSE(ZORSMARTVendorAttribute::decode(bytes).has_value());

  std::vector<std::uint8_t> page(512, 0);
  page[2 + 12 * 29] = 7;
  EXPECT_EQ(ZORSMARTVendorAttribute::entryOfPage(page, 29)->attributeID, 7);
  EXPECT_FALSE(ZORSMARTVendorAttribute::entryOfPage(page, 30).has_value());
  std::vector<std::uint8_t> shortPage(100, 0);
  EXPECT_TRUE(ZORSMARTVendorAttribute::entryOfPage(shortPage, 7).has_value());
  EXPECT_FALSE(ZORSMARTVendorAttribute::entryOfPage(shortPage, 8).has_value());
  EXPECT_FALSE(ZORATASMARTThresholdValue::entryOfPage(shortPage, 8).has_value());
}

TEST(SMARTRecordTest, TemperatureExtractionByAttributeID) {
  // {attribute ID, raw bytes, degrees}: 194 keeps its low byte, others the low 32 bits.
  const std::tuple<std::uint8_t, std::array<std::uint8_t, 6>, std::int32_t> cases[] = {
      {194, {0x2d, 0x00, 0x14, 0x00, 0x37, 0x00}, 45},
      {190, {0x2d, 0x00, 0x14, 0x00, 0x37, 0x00}, 1310765},
      {231, {0x1e, 0x00, 0x00, 0x00, 0xff, 0xff}, 30},
      {190, {0xff, 0xff, 0xff, 0xff, 0x00, 0x00}, -1},
      {190, {0x00, 0x00, 0x00, 0x80, 0x00, 0x00}, INT32_MIN}};
  for (const auto& [id, raw, degrees] : cases) {
    ZORSMARTVendorAttribute attribute;
    attribute.attributeID = id;
    attribute.rawValue = raw;
    EXPECT_EQ(ZORSMARTStorageDevice::_temperatureFromSMARTAttribute(attribute, id), degrees);
  }
}

TEST_F(SMARTTest, TemperatureReadsTheConfiguredAttributeOnly) {
  installDisks({DiskSpec{.attributes = {{1, 0x0b, 100, 100, 0, 6},
                                        {190, 0x22, 62, 50, 0x0037'0014'002dULL, 0},
                                        {194, 0x22, 100, 100, 0x0037'0014'002dULL, 0}}}});
  auto device = deviceNamed("disk");
  ASSERT_NE(device, nullptr);
  for (auto [id, degrees] : {std::pair{194, 45}, {190, 1310765}, {9, -1}}) {
    device->setSMARTTemperatureAttributeID(static_cast<std::uint8_t>(id));
    EXPECT_EQ(device->temperature(), degrees) << id;
  }
  device->setSMARTTemperatureAttributeID(194);
  disk("disk").setFails("ReadData", true);
  EXPECT_EQ(device->temperature(), -1);
  EXPECT_EQ(disk("disk").counters().opens, disk("disk").counters().closes);
  // Attribute IDs outside 1..255 never touch the disk.
  auto before = disk("disk").counters();
  ZORSMARTVendorAttribute attribute;
  ZORATASMARTThresholdValue threshold;
  for (std::int32_t id : {0, 256, -1}) {
    EXPECT_FALSE(device->getVendorSpecificSMARTAttribute(&attribute, id)) << id;
    EXPECT_FALSE(device->getVendorSpecificSMARTThresholdValue(&threshold, id)) << id;
  }
  EXPECT_EQ(disk("disk").counters().opens, before.opens);
}

TEST_F(SMARTTest, CurrentStatus) {
  // {threshold exceeded, failing operation, status}
  const std::tuple<bool, const char*, std::int32_t> cases[] = {
      {false, "", 2}, {true, "", 1}, {false, "Status", 0}, {false, "QueryInterface", 0}};
  for (const auto& [exceeded, fail, status] : cases) {
    installDisks({DiskSpec{.thresholdExceeded = exceeded}});
    auto device = deviceNamed("disk");
    if (*fail != '\0') disk("disk").setFails(fail, true);
    EXPECT_EQ(device->currentSMARTStatus(), status) << fail << exceeded;
    EXPECT_EQ(disk("disk").counters().opens, disk("disk").counters().closes);
  }
}

}  // namespace
}  // namespace zor::testing
