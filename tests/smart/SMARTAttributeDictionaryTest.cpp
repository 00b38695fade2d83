// The attribute dictionaries of a disk: by ID, by name with thresholds and
// status, the attribute-name table and the hardware monitor's configuration.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
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
  return it != dictionary.end() && it->second.isDictionary() ? *it->second.asDictionary() : none;
}

std::vector<std::string> keys(const PlistDictionary& dictionary) {
  std::vector<std::string> names;
  for (const auto& [name, value] : dictionary) names.push_back(name);
  return names;
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

TEST(SMARTAttributeRecordTest, StatusComparesAsUnsignedAndLooksAtThePreFailureBit) {
  // {current, threshold, flags, status}: 2 good, 1 failing a pre-failure attribute, 0 healthy.
  const std::tuple<std::uint8_t, std::uint8_t, std::uint16_t, std::int32_t> cases[] = {
      {100, 100, 0x0032, 1}, {100, 100, 0x0033, 2}, {200, 100, 0x0033, 0}, {99, 200, 0x0001, 2}};
  for (const auto& [current, threshold, flags, status] : cases) {
    EXPECT_EQ(ZORSMARTStorageDevice::attributeStatus(current, threshold, flags), status)
        << int{current} << " " << int{threshold} << " " << flags;
  }
}

TEST_F(AttributeDictionaryTest, AllByIDStopAtTheFirstEmptySlotAndPairThresholdsByPosition) {
  auto device = installDevice({.attributes = {{1, 0x0b, 100, 100, 0, 62},
                                              {5, 0x33, 100, 100, 3, 36},
                                              {0, 0, 0, 0, 0, 0},
                                              {194, 0x22, 60, 50, 40, 0}}});
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

TEST_F(AttributeDictionaryTest, ByNameTheUnnamedShareOneEntryAndValuesCarryThresholdAndStatus) {
  auto device = installDevice({.attributes = {{1, 0x000b, 100, 100, 0, 62},
                                              {77, 0x0000, 10, 10, 1, 50},
                                              {5, 0x0033, 36, 36, 900, 36},
                                              {194, 0x0022, 110, 95, 0x0037'0014'002dULL, 0},
                                              {78, 0x0000, 20, 20, 2, 50}}});
  auto attributes = device->availableSMARTAttributes();
  ASSERT_TRUE(attributes.has_value());
  EXPECT_EQ(keys(*attributes),
            (std::vector<std::string>{"Raw Read Error Rate", "Reallocated Sectors Count",
                                      "Temperature", "Unknown Attribute"}));
  auto u = [](std::uint64_t value) { return PlistValue::unsignedInteger(value); };
  PlistDictionary temperature{{"ZORSMARTAttributeID", u(194)},
                              {"ZORSMARTAttributeFlags", u(0x22)},
                              {"ZORSMARTAttributeWorstValue", u(95)},
                              {"ZORSMARTAttributeCurrentValue", u(110)},
                              {"ZORSMARTAttribute64BitRawValue", PlistValue::integer(236224512045)},
                              {"ZORSMARTAttributeRawValue", PlistValue("2d0014003700")}};
  EXPECT_EQ(dictionaryAt(*attributes, "Temperature"), temperature);
  // The last unnamed attribute wins.
  EXPECT_EQ(number(dictionaryAt(*attributes, "Unknown Attribute"), "ZORSMARTAttributeID"), 78);

  PlistDictionary values = device->availableSMARTValues();
  EXPECT_EQ(keys(values), (std::vector<std::string>{"Raw Read Error Rate",
                                                    "Reallocated Sectors Count", "Temperature"}));
  const PlistDictionary& reallocated = dictionaryAt(values, "Reallocated Sectors Count");
  EXPECT_EQ(number(reallocated, "ZORSMARTThresholdValue"), 36);
  EXPECT_EQ(number(reallocated, "ZORSMARTAttributeStatus"), 2);
  EXPECT_EQ(number(dictionaryAt(values, "Raw Read Error Rate"), "ZORSMARTAttributeStatus"), 0);

  // An attribute whose threshold cannot be read is left out.
  disk("disk").setFails("ReadThresholds", true);
  EXPECT_TRUE(device->availableSMARTValues().empty());
  disk("disk").setFails("ReadData", true);
  EXPECT_EQ(device->availableSMARTAttributes(), PlistDictionary{});
  disk("disk").setFails("QueryInterface", true);
  EXPECT_FALSE(device->availableSMARTAttributes().has_value());
  EXPECT_EQ(disk("disk").counters().opens, disk("disk").counters().closes);
}

TEST_F(AttributeDictionaryTest, NamesFromTheShippedTableAndFromADamagedOne) {
  Bundle::setPluginBundle(nullptr);
  ZORSMARTStorageDevice::forgetLoadedTables();
  for (std::int32_t id : {1, 5, 9, 12, 190, 194, 197, 198, 199}) {
    EXPECT_TRUE(ZORSMARTStorageDevice::vendorAttributeNameForSMARTIdentifier(id).has_value()) << id;
  }
  // A damaged binary table with a NUL inside a name once aborted the process
  // inside the property-list reader.
  const char bytes[] =
      "\x62\x70\x6c\x69\x73\x74\x30\x30\xd1\x01\x02\x53\x31\x39\x34\x55\x54\x65\x00\x6d"
      "\x70\x08\x0b\x0f\x00\x00\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x03"
      "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x15";
  install(profileWithEntries({}), kTestDiskTable, std::string(bytes, sizeof bytes - 1));
  auto name = ZORSMARTStorageDevice::vendorAttributeNameForSMARTIdentifier(194);
  ASSERT_TRUE(name.has_value());
  EXPECT_EQ(name->rfind("Te", 0), 0u);
}

// --- The hardware monitor's configuration --------------------------------------------

PlistValue drive(const std::string& manufacturer, PlistArray smart) {
  return PlistValue(PlistDictionary{{"manufacturerID", PlistValue(manufacturer)},
                                    {"SMART", PlistValue(std::move(smart))}});
}

PlistValue pair(PlistValue id, const std::string& label) {
  return PlistValue(PlistArray{std::move(id), PlistValue(label)});
}

PlistValue drives(PlistArray list) {
  return PlistValue(PlistDictionary{{"Drives", PlistValue(std::move(list))}});
}

// Only the first configured drive whose manufacturer ID is the model counts,
// and only its well-formed pairs of a numeric ID the disk has and a label.
TEST_F(AttributeDictionaryTest, MonitoredValuesUnderTheConfiguredLabels) {
  const PlistValue configured =
      drives({drive("OTHER", {pair(PlistValue::integer(1), "Wrong drive")}),
              drive("MONITORED 1",
                    {pair(PlistValue::integer(194), "Drive Temperature"),
                     pair(PlistValue::integer(5), "Reallocated"), pair(PlistValue("1"), "Text ID"),
                     pair(PlistValue::integer(9), "Not on the disk"),
                     PlistValue(PlistArray{PlistValue::integer(1)}), PlistValue("not a pair")}),
              drive("MONITORED 1", {pair(PlistValue::integer(1), "Second entry")})});
  // {the file, monitors, labels (nothing: no dictionary at all)}
  using Labels = std::optional<std::vector<std::string>>;
  const std::tuple<std::optional<PlistValue>, bool, Labels> cases[] = {
      {std::nullopt, false, std::nullopt},
      {PlistValue(PlistArray{}), false, std::nullopt},
      {PlistValue(PlistDictionary{}), true, std::nullopt},
      {drives({drive("MONITORED", {pair(PlistValue::integer(1), "x")})}), true,
       Labels(std::vector<std::string>{})},
      {configured, true, Labels({"Drive Temperature", "Reallocated"})}};
  for (const auto& [file, monitors, labels] : cases) {
    PlistDictionary files;
    if (file) files["/etc/hwmond.SMART"] = *file;
    auto device = installDevice({.model = "MONITORED 1",
                                 .attributes = {{1, 0x000b, 100, 100, 0, 62},
                                                {5, 0x0033, 36, 36, 900, 36},
                                                {194, 0x0022, 60, 50, 40, 0}}},
                                files);
    EXPECT_EQ(ZORSMARTStorageDevice::systemDoesMonitorSMARTAttributes(), monitors);
    auto values = device->systemMonitoredSMARTValues();
    EXPECT_EQ(values ? Labels(keys(*values)) : std::nullopt, labels);
    if (!values || values->empty()) continue;
    EXPECT_EQ(number(dictionaryAt(*values, "Reallocated"), "ZORSMARTAttributeStatus"), 2);
    EXPECT_EQ(number(dictionaryAt(*values, "Drive Temperature"), "ZORSMARTAttributeID"), 194);
  }
}

}  // namespace
}  // namespace zor::testing
