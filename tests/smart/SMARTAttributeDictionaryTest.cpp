#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry/ZORIORegistryEntry.h"
#include "tests/smart/SMARTTestMachine.h"

namespace zor::testing {
namespace {

std::int64_t number(const PlistDictionary& dictionary, const std::string& key) {
  auto it = dictionary.find(key);
  return it == dictionary.end() ? -999 : it->second.integerValue().value_or(-998);
}

const PlistDictionary& dictionaryAt(const PlistDictionary& dictionary, const std::string& key) {
  static const PlistDictionary none;
  auto it = dictionary.find(key);
  if (it == dictionary.end() || !it->second.isDictionary()) {
    ADD_FAILURE() << "no dictionary under " << key;
    return none;
  }
  return *it->second.asDictionary();
}

class AttributeDictionaryTest : public SMARTTest {
 protected:
  std::shared_ptr<ZORSMARTStorageDevice> installDevice(DiskSpec spec, PlistDictionary files = {}) {
    PlistDictionary profile = profileWithEntries({diskEntry(spec)});
    if (!files.empty()) profile["Files"] = PlistValue(files);
    install(profile);
    return deviceNamed(spec.name);
  }
};

TEST(SMARTAttributeRecordTest, DictionaryOfOneAttribute) {
  ZORSMARTVendorAttribute attribute;
  attribute.attributeID = 194;
  attribute.flags = 0x0022;
  attribute.currentValue = 110;
  attribute.worstValue = 95;
  attribute.rawValue = {0x2d, 0x00, 0x14, 0x00, 0x37, 0x00};
  auto dictionary = ZORSMARTStorageDevice::dictionaryForVendorSpecificSMARTAttribute(&attribute);
  ASSERT_TRUE(dictionary.has_value());
  PlistDictionary expected{{"ZORSMARTAttributeID", PlistValue::unsignedInteger(194)},
                           {"ZORSMARTAttributeFlags", PlistValue::unsignedInteger(0x22)},
                           {"ZORSMARTAttributeWorstValue", PlistValue::unsignedInteger(95)},
                           {"ZORSMARTAttributeCurrentValue", PlistValue::unsignedInteger(110)},
                           {"ZORSMARTAttribute64BitRawValue", PlistValue::integer(236224512045)},
                           {"ZORSMARTAttributeRawValue", PlistValue("2d0014003700")}};
  EXPECT_EQ(*dictionary, expected);
  EXPECT_FALSE(ZORSMARTStorageDevice::dictionaryForVendorSpecificSMARTAttribute(nullptr));
}

struct StatusCase {
  std::uint8_t current;
  std::uint8_t threshold;
  std::uint16_t flags;
  std::int32_t status;
};

class AttributeStatusTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P(AttributeStatusTest, ComparesAsUnsignedAndLooksAtThePreFailureBit) {
  EXPECT_EQ(ZORSMARTStorageDevice::attributeStatus(GetParam().current, GetParam().threshold,
                                                   GetParam().flags),
            GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(Cases, AttributeStatusTest,
                         ::testing::Values(StatusCase{100, 100, 0x0032, 1},
                                           StatusCase{100, 100, 0x0033, 2},
                                           StatusCase{200, 100, 0x0033, 0},
                                           StatusCase{99, 200, 0x0001, 2}));

TEST_F(AttributeDictionaryTest, AllByIDStopAtTheFirstEmptySlotAndPairThresholdsByPosition) {
  DiskSpec spec;
  spec.attributes = {{1, 0x0b, 100, 100, 0, 62},
                     {5, 0x33, 100, 100, 3, 36},
                     {0, 0, 0, 0, 0, 0},
                     {194, 0x22, 60, 50, 40, 0}};
  auto device = installDevice(spec);
  ZORSMARTStorageDevice::AttributesByID attributes{{99, {}}};
  ZORSMARTStorageDevice::ThresholdsByID byID{{99, 1}};
  auto before = disk("disk").counters();
  ASSERT_TRUE(device->getByIDAllSMARTAttributes(&attributes, &byID));
  EXPECT_EQ(disk("disk").counters().opens, before.opens + 1);  // both pages in one opening
  ASSERT_EQ(attributes.size(), 2u);
  EXPECT_EQ(number(attributes.at(5), "ZORSMARTAttribute64BitRawValue"), 3);
  EXPECT_EQ(byID, (ZORSMARTStorageDevice::ThresholdsByID{{1, 62}, {5, 36}}));
  disk("disk").setFails("ReadThresholds", true);
  EXPECT_FALSE(device->getByIDAllSMARTAttributes(&attributes, &byID));
  EXPECT_TRUE(attributes.empty());
  EXPECT_EQ(disk("disk").counters().opens, disk("disk").counters().closes);
}

std::vector<std::string> keys(const PlistDictionary& dictionary) {
  std::vector<std::string> names;
  for (const auto& [name, value] : dictionary) names.push_back(name);
  return names;
}

TEST_F(AttributeDictionaryTest, ByNameTheUnnamedShareOneEntryAndValuesCarryThresholdAndStatus) {
  DiskSpec spec;
  spec.attributes = {{1, 0x000b, 100, 100, 0, 62},
                     {77, 0x0000, 10, 10, 1, 50},
                     {5, 0x0033, 36, 36, 900, 36},
                     {194, 0x0022, 60, 50, 40, 0},
                     {78, 0x0000, 20, 20, 2, 50}};
  auto device = installDevice(spec);
  auto attributes = device->availableSMARTAttributes();
  ASSERT_TRUE(attributes.has_value());
  EXPECT_EQ(keys(*attributes),
            (std::vector<std::string>{"Raw Read Error Rate", "Reallocated Sectors Count",
                                      "Temperature", "Unknown Attribute"}));
  // The last unnamed attribute wins.
  EXPECT_EQ(number(dictionaryAt(*attributes, "Unknown Attribute"), "ZORSMARTAttributeID"), 78);

  PlistDictionary values = device->availableSMARTValues();
  EXPECT_EQ(keys(values), (std::vector<std::string>{"Raw Read Error Rate",
                                                    "Reallocated Sectors Count", "Temperature"}));
  const PlistDictionary& reallocated = dictionaryAt(values, "Reallocated Sectors Count");
  EXPECT_EQ(reallocated.at("ZORSMARTThresholdValue"), PlistValue::unsignedInteger(36));
  EXPECT_EQ(reallocated.at("ZORSMARTAttributeStatus"), PlistValue::integer(2));
  EXPECT_EQ(number(dictionaryAt(values, "Raw Read Error Rate"), "ZORSMARTAttributeStatus"), 0);

  // An attribute whose threshold cannot be read is left out.
  disk("disk").setFails("ReadThresholds", true);
  EXPECT_TRUE(device->availableSMARTValues().empty());
  disk("disk").setFails("ReadData", true);
  auto empty = device->availableSMARTAttributes();
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(empty->empty());
  disk("disk").setFails("QueryInterface", true);
  EXPECT_FALSE(device->availableSMARTAttributes().has_value());
  EXPECT_EQ(disk("disk").counters().opens, disk("disk").counters().closes);
}

TEST_F(AttributeDictionaryTest, ANameWithANulByteInABinaryTableIsReadWithoutAborting) {
  // A damaged binary table once aborted the process inside the property-list reader.
  const char bytes[] =
      "\x62\x70\x6c\x69\x73\x74\x30\x30\xd1\x01\x02\x53\x31\x39\x34\x55\x54\x65\x00\x6d"
      "\x70\x08\x0b\x0f\x00\x00\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x03"
      "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x15";
  install(profileWithEntries({}), kTestDiskTable, std::string(bytes, sizeof bytes - 1));
  auto name = ZORSMARTStorageDevice::vendorAttributeNameForSMARTIdentifier(194);
  ASSERT_TRUE(name.has_value());
  EXPECT_EQ(name->rfind("Te", 0), 0u);
}

TEST(ShippedAttributeNamesTest, NameTheCommonAttributes) {
  Bundle::setPluginBundle(nullptr);
  ZORSMARTStorageDevice::forgetLoadedTables();
  for (std::int32_t id : {1, 5, 9, 12, 190, 194, 197, 198, 199}) {
    EXPECT_TRUE(ZORSMARTStorageDevice::vendorAttributeNameForSMARTIdentifier(id).has_value()) << id;
  }
  ZORSMARTStorageDevice::forgetLoadedTables();
}

// --- The hardware monitor's configuration --------------------------------------------

PlistValue drive(const std::string& manufacturer, PlistArray smart) {
  return PlistValue(PlistDictionary{{"manufacturerID", PlistValue(manufacturer)},
                                    {"SMART", PlistValue(std::move(smart))}});
}

PlistValue pair(PlistValue id, const std::string& label) {
  return PlistValue(PlistArray{std::move(id), PlistValue(label)});
}

DiskSpec monitoredDisk() {
  DiskSpec spec;
  spec.model = "MONITORED 1";
  spec.attributes = {
      {1, 0x000b, 100, 100, 0, 62}, {5, 0x0033, 36, 36, 900, 36}, {194, 0x0022, 60, 50, 40, 0}};
  return spec;
}

TEST_F(AttributeDictionaryTest, MonitoredValuesUnderTheConfiguredLabels) {
  PlistValue configuration(PlistDictionary{
      {"Drives",
       PlistValue(PlistArray{
           drive("OTHER", {pair(PlistValue::integer(1), "Wrong drive")}),
           drive("MONITORED 1",
                 {pair(PlistValue::integer(194), "Drive Temperature"),
                  pair(PlistValue::integer(5), "Reallocated"), pair(PlistValue("1"), "Text ID"),
                  pair(PlistValue::integer(9), "Not on the disk"),
                  PlistValue(PlistArray{PlistValue::integer(1)}), PlistValue("not a pair")}),
           drive("MONITORED 1", {pair(PlistValue::integer(1), "Second entry")})})}});
  auto device = installDevice(monitoredDisk(), {{"/etc/hwmond.SMART", configuration}});
  EXPECT_TRUE(ZORSMARTStorageDevice::systemDoesMonitorSMARTAttributes());
  auto values = device->systemMonitoredSMARTValues();
  ASSERT_TRUE(values.has_value());
  EXPECT_EQ(keys(*values), (std::vector<std::string>{"Drive Temperature", "Reallocated"}));
  EXPECT_EQ(number(dictionaryAt(*values, "Reallocated"), "ZORSMARTAttributeStatus"), 2);
  EXPECT_EQ(number(dictionaryAt(*values, "Drive Temperature"), "ZORSMARTAttributeID"), 194);
}

struct ConfigurationCase {
  std::optional<PlistValue> file;
  bool monitors;
  std::optional<std::size_t> entries;  // nothing: no dictionary at all
};

class MonitorConfigurationTest : public AttributeDictionaryTest,
                                 public ::testing::WithParamInterface<ConfigurationCase> {};

TEST_P(MonitorConfigurationTest, NoneOrEmptyAsTheFileAllows) {
  PlistDictionary files;
  if (GetParam().file) files["/etc/hwmond.SMART"] = *GetParam().file;
  auto device = installDevice(monitoredDisk(), files);
  EXPECT_EQ(ZORSMARTStorageDevice::systemDoesMonitorSMARTAttributes(), GetParam().monitors);
  auto values = device->systemMonitoredSMARTValues();
  ASSERT_EQ(values.has_value(), GetParam().entries.has_value());
  if (values) {
    EXPECT_EQ(values->size(), *GetParam().entries);
  }
}

PlistValue drives(PlistArray list) {
  return PlistValue(PlistDictionary{{"Drives", PlistValue(std::move(list))}});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MonitorConfigurationTest,
    ::testing::Values(ConfigurationCase{std::nullopt, false, std::nullopt},
                      ConfigurationCase{PlistValue(PlistArray{}), false, std::nullopt},
                      ConfigurationCase{PlistValue(PlistDictionary{}), true, std::nullopt},
                      ConfigurationCase{
                          drives({drive("MONITORED", {pair(PlistValue::integer(1), "x")})}), true,
                          0}));

}  // namespace
}  // namespace zor::testing
