// The disk device over simulated disks: which registry entries are accepted
// and why (said only in debug mode), creation with the open/close discipline,
// the records read field by field, the temperature taken from them and the
// attribute dictionaries with their status.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "registry/ZORIORegistryEntry.h"
#include "tests/smart/SMARTTestMachine.h"

namespace zor::testing {
namespace {

// The support test looks at the S.M.A.R.T. flag, else the ATA features; the
// SATA test at the interconnect. Debug mode says why an entry is refused.
TEST_F(SMARTTest, AcceptanceIsExplainedInDebugMode) {
  auto features = [](PlistValue value) { return PlistDictionary{{"ATA Features", value}}; };
  auto link = [](PlistValue value) { return PlistDictionary{{"Physical Interconnect", value}}; };
  const std::string capable = "SMART Capable", device = "Device Characteristics",
                    protocol = "Protocol Characteristics", refused = " not accepted because ";
  const std::tuple<std::string, std::optional<PlistValue>, bool, std::string> cases[] = {
      {capable, PlistValue::boolean(true), true, ""},
      {capable, PlistValue("yes"), false, refused + "S.M.A.R.T. feature flag not accessible"},
      {device, features(PlistValue::integer(0x21)), true, ""},
      {device, features(PlistValue::integer(0x1f)), false,
       refused + "it doesn't seem to support S.M.A.R.T. The feature code is 1f."},
      {device, features(PlistValue("0x21")), false,
       refused + "ATA features could not be processed"},
      {device, PlistDictionary{}, false, refused + "ATA features not accessible"},
      {capable, std::nullopt, false, refused + "device description not accessible"},
      {protocol, link(PlistValue("SATA")), true, ""},
      {protocol, link(PlistValue("ATA")), false, ""},
      {protocol, link(PlistValue::integer(1)), false,
       " has no or an unexpected interconnect specifier"},
      {protocol, std::nullopt, false, " does not specify protocol characteristics"}};
  for (const auto& [property, value, accepted, line] : cases) {
    PlistValue entry = diskEntry({.smartCapable = std::nullopt, .interconnect = std::nullopt});
    if (value) (*entry.asDictionary())[property] = *value;
    install(profileWithEntries({entry}));
    auto found = entryNamed("disk");
    log_.clear();
    EXPECT_EQ(
        property == protocol
            ? ZORSMARTStorageDevice::storageDeviceEntryIndicatesSATAConnect(found.get(), true)
            : ZORSMARTStorageDevice::storageDeviceEntryIndicatesSMARTSupport(found.get(), true),
        accepted)
        << line;
    EXPECT_EQ(log_.lines(), line.empty()
                                ? std::vector<std::string>{}
                                : std::vector<std::string>{"   Device entry " +
                                                           found->description() + line + "\n"});
  }
}

// Legacy disks are accepted by the known-disk table, then by a SATA link,
// then only when temperature support is not required; the table is not
// asked for new-era disks. Debug mode explains every decision.
TEST_F(SMARTTest, DiscoveryAcceptsByTableThenSATAThenRestrictionAndExplainsInDebugMode) {
  auto legacy = [](const std::string& name, const std::string& model, const char* link) {
    return DiskSpec{
        .name = name, .className = "IOATABlockStorageDevice", .model = model, .interconnect = link};
  };
  DiskSpec broken = legacy("broken", "BROKEN", "SATA");
  broken.fail = {"QueryInterface"};
  installDisks({legacy("known", "KNOWN190 DISK", "ATA"), legacy("notemp", "NOTEMP DISK", "ATA"),
                legacy("sata", "UNLISTED SATA", "SATA"), legacy("pata", "UNLISTED PATA", "ATA"),
                broken, DiskSpec{.name = "new", .model = "KNOWN190 NEW ERA"},
                DiskSpec{.name = "brokennew", .openError = 0xe00002c0}});
  auto listing = [](bool restricted) {
    std::string names;
    for (const auto& device :
         ZORSMARTStorageDevice::allSMARTDevicesRestrictToTemperatureSupport(restricted)) {
      names += device->productName() + " " + std::to_string(device->temperatureAttributeID()) + ";";
    }
    return names;
  };
  EXPECT_EQ(listing(true),
            "KNOWN190 DISK 190;NOTEMP DISK 0;UNLISTED SATA 194;KNOWN190 NEW ERA 194;");
  EXPECT_TRUE(log_.lines().empty());  // silent without debug mode
  EXPECT_EQ(listing(false),
            "KNOWN190 DISK 190;NOTEMP DISK 0;UNLISTED SATA 194;UNLISTED PATA 194;KNOWN190 NEW ERA "
            "194;");

  ZORSMARTStorageDevice::setDebugMode(true);
  ZORSMARTStorageDevice::allSMARTDevicesRestrictToTemperatureSupport(true);
  auto refused = [&](const std::string& name, const std::string& why) {
    return "   Device entry " + entryNamed(name)->description() + " not accepted" + why + ".\n";
  };
  const auto& lines = log_.lines();
  ASSERT_EQ(lines.size(), 15u);  // a line per entry processed and the lines below
  EXPECT_EQ(lines.front(),
            "*** Scanning for S.M.A.R.T. capable devices, feature code 4096. (Found 5 legacy ATA "
            "and 2 new era block storage devices.)\n");
  EXPECT_EQ(lines[4],
            "   Device with product name 'UNLISTED SATA' is unknown but connected via SATA. "
            "Accepted.\n");
  EXPECT_EQ(lines[6], refused("pata", " because temperature support could no be determined"));
  EXPECT_EQ(lines[8] + lines[9],
            refused("broken", " because access to its S.M.A.R.T. interface failed") +
                refused("broken", ""));
  EXPECT_EQ(lines.back(), "*** Scan of S.M.A.R.T. capable devices completed.\n");
}

// A device is opened to test access, then to read the names, and sends the
// enable request once; a refused one gives every reference back. An
// attribute the disk lacks reads as no temperature; attribute IDs outside
// 1..255 never touch the disk.
TEST_F(SMARTTest, CreationOpensAndClosesInPairs) {
  installDisks({DiskSpec{.model = "WDC WD3200BEVT-22ZCT0"},
                DiskSpec{.name = "noid", .fail = {"Identify"}},
                DiskSpec{.name = "noenable", .fail = {"Enable"}}});
  auto device = deviceNamed();
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->productName() + "/" + device->serialNumber(), "WDC WD3200BEVT-22ZCT0/disk-SN");
  EXPECT_EQ(disk().counters().opens, 2u);
  EXPECT_EQ(device->temperature(), 40);
  EXPECT_EQ(disk().counters().enableRequests, 1u);
  auto unidentified = deviceNamed("noid");
  ASSERT_NE(unidentified, nullptr);
  EXPECT_EQ(unidentified->productName() + "/" + unidentified->serialNumber(),
            "UNKNOWN SMART DISK/ ");
  EXPECT_EQ(deviceNamed("noenable"), nullptr);
  EXPECT_EQ(disk("noenable").counters().opens, disk("noenable").counters().closes);
  device->setSMARTTemperatureAttributeID(9);
  EXPECT_EQ(device->temperature(), -1);
  auto opens = disk().counters().opens;
  ZORSMARTVendorAttribute attribute;
  EXPECT_FALSE(device->getVendorSpecificSMARTAttribute(&attribute, 0));
  EXPECT_FALSE(device->getVendorSpecificSMARTAttribute(&attribute, 256));
  EXPECT_EQ(disk().counters().opens, opens);
  EXPECT_EQ(opens, disk().counters().closes);
}

TEST(SMARTRecordTest, ATAStringsAndAttributesDecodedFieldByFieldInsideTheirBlocks) {
  const std::pair<std::vector<std::uint8_t>, std::optional<std::string>> cases[] = {
      // Blank padding, control bytes and bytes beyond ASCII are dropped.
      {{' ', ' ', 'B', 'A', 0x7f, 'C', 0x80, 0x01}, "ABC"},
      {{0x41}, std::nullopt}};
  for (const auto& [field, text] : cases) {
    EXPECT_EQ(ZORATADeviceIdentification::textOfATAString(field), text);
  }
  EXPECT_FALSE(ZORATADeviceIdentification::decode(PlistData(511)).has_value());

  std::vector<std::uint8_t> bytes = {0xc2, 0x33, 0x01, 0x64, 0x5a, 0x2d,
                                     0x00, 0x14, 0x00, 0x37, 0x00, 0x99};
  auto record = ZORSMARTVendorAttribute::decode(bytes);
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(std::tuple(record->attributeID, record->flags, record->currentValue, record->worstValue,
                       record->rawValue48(), record->reserved),
            std::tuple(194, 0x0133, 100, 90, 0x370014002DULL, 0x99));
  EXPECT_FALSE(ZORSMARTVendorAttribute::decode(std::span(bytes).first(11)).has_value());
  // A page holds 30 entries; a short one only those that fit.
  const std::vector<std::uint8_t> page(512), shortPage(100);
  EXPECT_TRUE(ZORSMARTVendorAttribute::entryOfPage(page, 29) &&
              !ZORSMARTVendorAttribute::entryOfPage(page, 30) &&
              ZORSMARTVendorAttribute::entryOfPage(shortPage, 7) &&
              !ZORATASMARTThresholdValue::entryOfPage(shortPage, 8));
}

// Status: 0 above the threshold; at or below it (compared unsigned) 2 for a
// pre-failure attribute, else 1. By name the unnamed share one
// entry, the last one winning; only the named get values. The system's
// hardware monitor file lists per drive model the [ID, label] pairs it
// watches: only integer IDs from 1 to 255 of attributes on the page count.
// The drive's own verdict is 2 (healthy) or 0 when it cannot be read.
TEST_F(SMARTTest, AttributesByNameWithThresholdAndStatus) {
  const std::tuple<std::uint8_t, std::uint8_t, std::uint16_t, std::int32_t> cases[] = {
      {100, 100, 0x0032, 1}, {100, 100, 0x0033, 2}, {101, 100, 0x0033, 0}, {99, 200, 0x0001, 2}};
  for (const auto& [current, threshold, flags, status] : cases) {
    EXPECT_EQ(ZORSMARTStorageDevice::attributeStatus(current, threshold, flags), status) << flags;
  }
  auto pair = [](PlistValue id, const char* label) { return PlistValue(PlistArray{id, label}); };
  PlistDictionary other{{"manufacturerID", "OTHER"}}, ours{{"manufacturerID", "TEST MODEL 1000"}};
  ours["SMART"] = PlistArray{pair(PlistValue::integer(5), "Sectors"), pair("194", "Text"),
                             pair(PlistValue::integer(0), "Zero"),
                             pair(PlistValue::integer(9), "Absent"), PlistArray{"One"}};
  PlistDictionary profile = profileWithEntries(
      {diskEntry(DiskSpec{.attributes = {{77, 0x0000, 10, 10, 1, 50},
                                         {5, 0x0033, 36, 35, 900, 36},
                                         {194, 0x0022, 110, 95, 0x0037'0014'002dULL, 0},
                                         {78, 0x0000, 20, 20, 2, 50}}})});
  profile["Files"] =
      PlistDictionary{{"/etc/hwmond.SMART", PlistDictionary{{"Drives", PlistArray{other, ours}}}}};
  install(profile);
  auto device = deviceNamed();
  ASSERT_NE(device, nullptr);
  auto field = [](const std::optional<PlistDictionary>& named, const char* name, const char* key) {
    return named->at(name).find(std::string("ZORSMART") + key)->integerValue().value_or(-1);
  };
  auto attributes = device->availableSMARTAttributes();
  ASSERT_TRUE(attributes.has_value());
  EXPECT_EQ(attributes->size(), 3u);
  EXPECT_EQ(field(attributes, "Unknown Attribute", "AttributeID"), 78);
  EXPECT_EQ(*attributes->at("Temperature").find("ZORSMARTAttributeRawValue"),
            PlistValue("2d0014003700"));
  auto values = std::optional(device->availableSMARTValues());
  EXPECT_EQ(values->size(), 2u);
  EXPECT_EQ(field(values, "Reallocated Sectors Count", "ThresholdValue"), 36);
  EXPECT_EQ(field(values, "Reallocated Sectors Count", "AttributeStatus"), 2);
  EXPECT_EQ(field(values, "Temperature", "AttributeStatus"), 0);
  auto monitored = device->systemMonitoredSMARTValues();
  EXPECT_TRUE(ZORSMARTStorageDevice::systemDoesMonitorSMARTAttributes() && monitored->size() == 1);
  EXPECT_EQ(field(monitored, "Sectors", "AttributeStatus"), 2) << "at its threshold of 36";
  EXPECT_EQ(device->currentSMARTStatus(), 2);
  disk().setFails("Status", true);
  EXPECT_EQ(device->currentSMARTStatus(), 0);
}

// A damaged binary name table with a NUL inside a name once aborted the
// process inside the property-list reader.
TEST_F(SMARTTest, ADamagedNameTableIsReadWithoutAborting) {
  const char bytes[] =
      "\x62\x70\x6c\x69\x73\x74\x30\x30\xd1\x01\x02\x53\x31\x39\x34\x55\x54\x65\x00\x6d"
      "\x70\x08\x0b\x0f\x00\x00\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x03"
      "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x15";
  install(profileWithEntries({}), std::string(bytes, sizeof bytes - 1));
  auto name = ZORSMARTStorageDevice::vendorAttributeNameForSMARTIdentifier(194);
  ASSERT_TRUE(name.has_value());
  EXPECT_EQ(name->rfind("Te", 0), 0u);
}

}  // namespace
}  // namespace zor::testing
