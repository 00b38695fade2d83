#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <memory>
#include <vector>

#include "platform/SequentialArchiver.h"
#include "sensors/ScopedSensorClassRegistry.h"
#include "sensors/TestSensorFamily.h"
#include "sensors/ZORSensor.h"
#include "sensors/ZORSensorDescription.h"

namespace zor {
namespace {

using testing::TestFamily;
using testing::TestSensor;

std::vector<std::string> locationsOf(std::vector<std::shared_ptr<ZORSensor>> sensors) {
  std::stable_sort(sensors.begin(), sensors.end(),
                   [](const auto& a, const auto& b) { return a->compare(*b) < 0; });
  std::vector<std::string> out;
  for (const auto& sensor : sensors) {
    out.push_back(std::to_string(sensor->quantityType()) + ":" + sensor->locationIdentifier());
  }
  return out;
}

TEST(ZORSensorTest, SortsByQuantityTypeThenLocationText) {
  std::vector<std::shared_ptr<ZORSensor>> sensors = {
      TestSensor::make("1", "A", 13), TestSensor::make("2", "B", 1), TestSensor::make("3", "A", 1)};
  EXPECT_EQ(locationsOf(sensors), (std::vector<std::string>{"1:A", "1:B", "13:A"}));
}

TEST(ZORSensorTest, QuantityTypeComparesAsUnsigned) {
  std::vector<std::shared_ptr<ZORSensor>> sensors = {TestSensor::make("1", "A", -1),
                                                     TestSensor::make("2", "A", 0),
                                                     TestSensor::make("3", "A", 13)};
  EXPECT_EQ(locationsOf(sensors), (std::vector<std::string>{"0:A", "13:A", "-1:A"}));
}

TEST(ZORSensorTest, LocationsCompareLiterallyByUtf16CodeUnit) {
  struct Case {
    const char* left;
    const char* right;
    int expected;
  };
  const Case cases[] = {
      {"Z", "a", -1},           // case-sensitive, by character value
      {"CPU", "CPU Core", -1},  // a prefix first
      {"abc", "abc", 0},
      {"\xC3\xA9", "z", 1},                      // U+00E9 after ASCII
      {"\xEF\xBC\x81", "\xF0\x9F\x98\x80", 1},   // U+FF01 after U+1F600 (surrogates sort first)
      {"\xF0\x9F\x98\x80", "\xEE\x80\x80", -1},  // U+1F600 before U+E000
      {"\xED\x9F\xBF", "\xF0\x9F\x98\x80", -1},  // U+D7FF before any surrogate
      {"a\xEF\xBC\x81", "a\xF0\x9F\x98\x80", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.left) + " vs " + c.right);
    EXPECT_EQ(compareLiteral(c.left, c.right), c.expected);
    EXPECT_EQ(compareLiteral(c.right, c.left), -c.expected);
  }
}

TEST(ZORSensorTest, EqualityAndHashGoByUniqueIdentifierAlone) {
  auto test = TestSensor::make("same", "A", 1, 5);
  ZORSensor base;
  base.setUniqueIdentifier("same");
  base.setLocationIdentifier("B");
  base.setQuantityType(2);
  EXPECT_TRUE(test->isEqual(base));
  EXPECT_TRUE(base.isEqual(*test));
  EXPECT_EQ(test->hash(), base.hash());
  base.setUniqueIdentifier("other");
  EXPECT_FALSE(test->isEqual(base));
}

TEST(ZORSensorTest, CopyIsABaseSensorWithoutHardware) {
  auto sensor = TestSensor::make("cpu", "CPU A", 1, 50, "C", 0.25);
  auto copied = sensor->copy();
  ASSERT_NE(copied, nullptr);
  EXPECT_EQ(copied->sensorClass().name, "ZORSensor");
  EXPECT_EQ(std::dynamic_pointer_cast<TestSensor>(copied), nullptr);
  EXPECT_TRUE(copied->isEqual(*sensor));
  EXPECT_EQ(copied->rawValue(), 0);
  EXPECT_EQ(copied->unit(), " ");
  EXPECT_EQ(copied->locationIdentifier(), "CPU A");
  EXPECT_EQ(copied->sensorName(), sensor->sensorName());
  EXPECT_EQ(copied->sensorType(), 1);
  EXPECT_EQ(copied->quantityType(), 1);
  EXPECT_EQ(copied->precision(), 0.25);
  EXPECT_EQ(copied->accuracy(), 0.5);
}

TEST(ZORSensorTest, ArchiveNarrowsPrecisionToAFloat) {
  auto sensor = TestSensor::make("smc.TC0D", "SMC CPU A DIODE", 1, 0, "C", 0.1);
  sensor->setPrecision(0.1, 0.3);
  SequentialArchiver out;
  out.encodeObject(sensor.get());
  SequentialArchiver in(out.bytes());
  ZORSensor back;
  ASSERT_TRUE(in.decodeObject(back));
  EXPECT_EQ(back.uniqueIdentifier(), "smc.TC0D");
  EXPECT_EQ(back.locationIdentifier(), "SMC CPU A DIODE");
  EXPECT_EQ(back.sensorName(), sensor->sensorName());
  EXPECT_EQ(back.sensorType(), 1);
  EXPECT_EQ(back.quantityType(), 1);
  EXPECT_EQ(back.precision(), static_cast<double>(0.1f));
  EXPECT_NE(back.precision(), 0.1);
  EXPECT_EQ(back.accuracy(), static_cast<double>(0.3f));
}

TEST(ZORSensorTest, SubstituteIdentifierIsTheUninvertedCrcRegister) {
  struct Case {
    const char* location;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {"abc", 0xCADBBE3Du},
      {"", 0xFFFFFFFFu},
      {"123456789", ~0xCBF43926u},  // the CRC-32 check value, complemented
  };
  for (const Case& c : cases) {
    ZORSensor sensor;
    sensor.setLocationIdentifier(c.location);
    EXPECT_EQ(sensor.substituteIDForLocationIdentifier(), c.expected) << c.location;
  }
}

TEST(ZORSensorTest, FreshBaseSensorDescribesItself) {
  // 23590caf is the complement of zlib's CRC-32 of "UNKNOWN LOCATION" (0xdca6f350).
  ZORSensor sensor;
  EXPECT_EQ(sensor.description(),
            "<ZORSensor>: ID: nil Name: Unknown Location: UNKNOWN LOCATION type: 0 quantity: 0 "
            "precision: 0 accuracy: 0 (23590caf: 0 -->  0.00)\n");
  EXPECT_EQ(sensor.value(), 0.0);
}

TEST(ZORSensorTest, DescriptionNamesTheSubclassAndReadsOnce) {
  auto sensor = TestSensor::make("t", "abc", 1, 42, "C", 1.0);
  std::string text = sensor->description();
  EXPECT_EQ(text,
            "<ZORTestSensor>: ID: t Name: test t Location: abc type: 1 quantity: 1 precision: 1 "
            "accuracy: "
            "0.5 (cadbbe3d: 42 --> 42.00)\n");
  EXPECT_EQ(sensor->reads, 1);
}

TEST(ZORSensorRegistryTest, AllSensorsFollowsRegistrationOrder) {
  ScopedSensorClassRegistry scope;
  TestFamily first("ZORFirstSensor"), smart("ZORSMARTTemperatureSensor"), last("ZORLastSensor");
  first.sensors = {TestSensor::make("f1", "Z", 1), TestSensor::make("f2", "A", 1)};
  smart.sensors = {TestSensor::make("s1", "M", 1)};
  last.sensors = {TestSensor::make("l1", "B", 2)};
  ZORSensor::registerSensorClass(first.object);
  ZORSensor::registerSensorClass(smart.object);
  ZORSensor::registerSensorClass(last.object);

  auto ids = [](const std::vector<std::shared_ptr<ZORSensor>>& sensors) {
    std::vector<std::string> out;
    for (const auto& s : sensors) out.push_back(s->uniqueIdentifier());
    return out;
  };
  EXPECT_EQ(ids(ZORSensor::allSensors()), (std::vector<std::string>{"f1", "f2", "s1", "l1"}));
  EXPECT_EQ(ids(ZORSensor::allNonSMARTSensors()), (std::vector<std::string>{"f1", "f2", "l1"}));
  EXPECT_EQ(smart.searches, 1) << "the S.M.A.R.T. family is not even asked";
  ASSERT_EQ(ZORSensor::knownSensorClasses().size(), 3u);
  EXPECT_EQ(ZORSensor::knownSensorClasses()[1], &smart.object);
}

TEST(ZORSensorRegistryTest, HardwareReadByTwoFamiliesIsListedOnceByTheFirst) {
  ScopedSensorClassRegistry scope;
  TestFamily smc("ZORSMCTemperatureSensor"), generic("ZORHwmonSensor");
  struct Row {
    TestFamily* family;
    const char* id;
    const char* hardware;
  };
  const Row rows[] = {
      {&smc, "smc.DF3", "SMC key TC0D"},
      {&smc, "smc.B", ""},
      {&generic, "hw.TC0D", "SMC key TC0D"},
      {&generic, "hw.TZ0P", "SMC key TZ0P"},
      {&generic, "hw.fan1", ""},
      {&generic, "hw.other", ""},
  };
  for (const Row& row : rows) {
    auto sensor = TestSensor::make(row.id, row.id, 1);
    sensor->hardware = row.hardware;
    row.family->sensors.push_back(sensor);
  }
  ZORSensor::registerSensorClass(smc.object);
  ZORSensor::registerSensorClass(generic.object);
  std::vector<std::string> listed;
  for (const auto& sensor : ZORSensor::allSensors()) listed.push_back(sensor->uniqueIdentifier());
  EXPECT_EQ(listed,
            (std::vector<std::string>{"smc.DF3", "smc.B", "hw.TZ0P", "hw.fan1", "hw.other"}));
}

TEST(ZORSensorRegistryTest, FamiliesAreFoundByName) {
  ScopedSensorClassRegistry scope;
  TestFamily registered("ZORRegistered"), declared("ZORVariant");
  ZORSensor::registerSensorClass(registered.object);
  ZORSensor::declareSensorClass(declared.object);
  EXPECT_EQ(ZORSensor::sensorClassNamed("ZORRegistered"), &registered.object);
  EXPECT_EQ(ZORSensor::sensorClassNamed("ZORVariant"), &declared.object);
  EXPECT_EQ(ZORSensor::sensorClassNamed("ZORSensor"), &ZORSensor::classObject());
  EXPECT_EQ(ZORSensor::sensorClassNamed("ZORMissing"), nullptr);
  EXPECT_EQ(ZORSensor::knownSensorClasses().size(), 1u) << "declared families are not searched";
}

TEST(ZORSensorRegistryTest, FamilyWithoutASearchContributesNothing) {
  ScopedSensorClassRegistry scope;
  ZORSensorClass silent{"ZORSilent", nullptr};
  TestFamily other("ZOROther");
  other.sensors = {TestSensor::make("o", "O", 1)};
  ZORSensor::registerSensorClass(silent);
  ZORSensor::registerSensorClass(ZORSensor::classObject());  // would search itself forever
  ZORSensor::registerSensorClass(other.object);
  EXPECT_EQ(ZORSensor::allSensors().size(), 1u);
}

TEST(ZORSensorRegistryTest, ScopedRegistryRestoresThePreviousOne) {
  ScopedSensorClassRegistry outer;
  TestFamily family("ZOROuter");
  ZORSensor::registerSensorClass(family.object);
  {
    ScopedSensorClassRegistry inner;
    EXPECT_TRUE(ZORSensor::knownSensorClasses().empty());
  }
  EXPECT_EQ(ZORSensor::knownSensorClasses().size(), 1u);
}

TEST(ZORSensorRegistryTest, RemoveUnknownEntriesKeepsOnlyReferencedKeys) {
  PlistDictionary entries{{"a", PlistValue("1")}, {"b", PlistValue("2")}, {"c", PlistValue("3")}};
  PlistDictionary reference{{"b", PlistValue::integer(0)}, {"z", PlistValue::integer(0)}};
  ZORSensor::removeUnknownSensorEntriesFromDictionary(&entries, &reference);
  EXPECT_EQ(entries, (PlistDictionary{{"b", PlistValue("2")}}));

  PlistDictionary untouched{{"a", PlistValue("1")}};
  ZORSensor::removeUnknownSensorEntriesFromDictionary(&untouched, nullptr);
  EXPECT_EQ(untouched.size(), 1u);
  ZORSensor::removeUnknownSensorEntriesFromDictionary(nullptr, &reference);
  PlistDictionary empty;
  ZORSensor::removeUnknownSensorEntriesFromDictionary(&untouched, &empty);
  EXPECT_TRUE(untouched.empty());
}

}  // namespace
}  // namespace zor
