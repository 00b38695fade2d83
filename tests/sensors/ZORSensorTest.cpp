#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/SequentialArchiver.h"
#include "sensors/ScopedSensorClassRegistry.h"
#include "sensors/TestSensorFamily.h"
#include "sensors/ZORSensor.h"

namespace zor {
namespace {

using testing::TestFamily;
using testing::TestSensor;
using Sensors = std::vector<std::shared_ptr<ZORSensor>>;

// Quantity types compare as unsigned numbers, so -1 sorts last.
TEST(ZORSensorTest, SortsByQuantityTypeThenLocationText) {
  Sensors sensors = {TestSensor::make("1", "A", 13), TestSensor::make("2", "B", 1),
                     TestSensor::make("3", "A", 1), TestSensor::make("4", "A", -1),
                     TestSensor::make("5", "A", 0)};
  std::stable_sort(sensors.begin(), sensors.end(),
                   [](const auto& a, const auto& b) { return a->compare(*b) < 0; });
  std::vector<std::string> order;
  for (const auto& sensor : sensors) order.push_back(sensor->uniqueIdentifier());
  EXPECT_EQ(order, (std::vector<std::string>{"5", "3", "2", "1", "4"}));
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
  auto sensor = TestSensor::make("same", "A", 1, 5);
  auto moved = TestSensor::make("same", "B", 2);
  EXPECT_TRUE(sensor->isEqual(*moved));
  EXPECT_EQ(sensor->hash(), moved->hash());
  EXPECT_FALSE(sensor->isEqual(*TestSensor::make("other", "A", 1, 5)));
}

// The text form reads the sensor once; a copy is a plain sensor with every
// field but no hardware behind it (cadbbe3d is the substitute ID of "abc",
// 23590caf the one of "UNKNOWN LOCATION").
TEST(ZORSensorTest, DescriptionNamesTheClassAndReadsOnce) {
  auto sensor = TestSensor::make("t", "abc", 1, 42, "C", 1.0);
  auto copied = sensor->copy();
  ASSERT_NE(copied, nullptr);
  EXPECT_TRUE(copied->isEqual(*sensor));
  EXPECT_EQ(copied->unit(), " ");
  struct Case {
    ZORSensor* sensor;
    const char* text;
  };
  ZORSensor fresh;
  const Case cases[] = {
      {sensor.get(),
       "<ZORTestSensor>: ID: t Name: test t Location: abc type: 1 quantity: 1 precision: 1 "
       "accuracy: 0.5 (cadbbe3d: 42 --> 42.00)\n"},
      {copied.get(),
       "<ZORSensor>: ID: t Name: test t Location: abc type: 1 quantity: 1 precision: 1 "
       "accuracy: 0.5 (cadbbe3d: 0 -->  0.00)\n"},
      {&fresh,
       "<ZORSensor>: ID: nil Name: Unknown Location: UNKNOWN LOCATION type: 0 quantity: 0 "
       "precision: 0 accuracy: 0 (23590caf: 0 -->  0.00)\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.sensor->description(), c.text);
  EXPECT_EQ(sensor->reads, 1);
}

TEST(ZORSensorTest, ArchiveNarrowsPrecisionToAFloat) {
  auto sensor = TestSensor::make("smc.TC0D", "SMC CPU A DIODE", 1, 0, "C", 0.1);
  sensor->setPrecision(0.1, 0.3);
  SequentialArchiver out;
  out.encodeObject(sensor.get());
  SequentialArchiver in(out.bytes());
  ZORSensor back;
  ASSERT_TRUE(in.decodeObject(back));
  EXPECT_EQ(back.description(), sensor->copy()->description());
  EXPECT_EQ(back.precision(), static_cast<double>(0.1f));
  EXPECT_EQ(back.accuracy(), static_cast<double>(0.3f));
}

// Families are searched in registration order; the S.M.A.R.T. family can be
// left out, declared families and families without a search add nothing.
TEST(ZORSensorRegistryTest, AllSensorsFollowsRegistrationOrder) {
  ScopedSensorClassRegistry scope;
  TestFamily first("ZORFirstSensor"), smart("ZORSMARTTemperatureSensor"), last("ZORLastSensor"),
      declared("ZORVariant");
  ZORSensorClass silent{"ZORSilent", nullptr};
  first.sensors = {TestSensor::make("f1", "Z", 1), TestSensor::make("f2", "A", 1)};
  smart.sensors = {TestSensor::make("s1", "M", 1)};
  last.sensors = {TestSensor::make("l1", "B", 2)};
  declared.sensors = {TestSensor::make("d1", "D", 1)};
  ZORSensor::registerSensorClass(first.object);
  ZORSensor::registerSensorClass(smart.object);
  ZORSensor::registerSensorClass(silent);
  ZORSensor::registerSensorClass(ZORSensor::classObject());  // would search itself forever
  ZORSensor::registerSensorClass(last.object);
  ZORSensor::declareSensorClass(declared.object);

  auto ids = [](const Sensors& sensors) {
    std::vector<std::string> out;
    for (const auto& s : sensors) out.push_back(s->uniqueIdentifier());
    return out;
  };
  EXPECT_EQ(ids(ZORSensor::allSensors()), (std::vector<std::string>{"f1", "f2", "s1", "l1"}));
  EXPECT_EQ(ids(ZORSensor::allNonSMARTSensors()), (std::vector<std::string>{"f1", "f2", "l1"}));
  EXPECT_EQ(smart.searches, 1) << "the S.M.A.R.T. family is not even asked";
  EXPECT_EQ(ZORSensor::sensorClassNamed("ZORSMARTTemperatureSensor"), &smart.object);
  EXPECT_EQ(ZORSensor::sensorClassNamed("ZORVariant"), &declared.object);
  EXPECT_EQ(ZORSensor::sensorClassNamed("ZORSensor"), &ZORSensor::classObject());
  EXPECT_EQ(ZORSensor::sensorClassNamed("ZORMissing"), nullptr);
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

TEST(ZORSensorRegistryTest, RemoveUnknownEntriesKeepsOnlyReferencedKeys) {
  PlistDictionary entries{{"a", PlistValue("1")}, {"b", PlistValue("2")}, {"c", PlistValue("3")}};
  PlistDictionary reference{{"b", PlistValue::integer(0)}, {"z", PlistValue::integer(0)}};
  ZORSensor::removeUnknownSensorEntriesFromDictionary(&entries, &reference);
  EXPECT_EQ(entries, (PlistDictionary{{"b", PlistValue("2")}}));
  ZORSensor::removeUnknownSensorEntriesFromDictionary(&entries, nullptr);
  ZORSensor::removeUnknownSensorEntriesFromDictionary(nullptr, &reference);
  EXPECT_EQ(entries.size(), 1u) << "without a reference nothing is removed";
}

}  // namespace
}  // namespace zor
