#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <tuple>
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
using Sensors = std::vector<std::shared_ptr<ZORSensor>>;

std::vector<std::string> identifiers(const Sensors& sensors) {
  std::vector<std::string> out;
  for (const auto& sensor : sensors) out.push_back(sensor->uniqueIdentifier());
  return out;
}

// Quantity types compare as unsigned numbers, so -1 sorts last.
TEST(ZORSensorTest, SortsByQuantityTypeThenLocationText) {
  Sensors sensors = {TestSensor::make("1", "A", 13), TestSensor::make("2", "B", 1),
                     TestSensor::make("3", "A", 1), TestSensor::make("4", "A", -1),
                     TestSensor::make("5", "A", 0)};
  std::stable_sort(sensors.begin(), sensors.end(),
                   [](const auto& a, const auto& b) { return a->compare(*b) < 0; });
  EXPECT_EQ(identifiers(sensors), (std::vector<std::string>{"5", "3", "2", "1", "4"}));
}

// By character value, case-sensitive, a prefix first; surrogates (U+D800..)
// sort before U+E000..U+FFFF.
TEST(ZORSensorTest, LocationsCompareLiterallyByUtf16CodeUnit) {
  const std::tuple<const char*, const char*, int> cases[] = {
      {"Z", "a", -1},
      {"CPU", "CPU Core", -1},
      {"abc", "abc", 0},
      {"\xEF\xBC\x81", "\xF0\x9F\x98\x80", 1},   // U+FF01, U+1F600
      {"\xF0\x9F\x98\x80", "\xEE\x80\x80", -1},  // U+1F600, U+E000
      {"\xED\x9F\xBF", "\xF0\x9F\x98\x80", -1},  // U+D7FF, U+1F600
  };
  for (const auto& [left, right, expected] : cases) {
    EXPECT_EQ(compareLiteral(left, right), expected) << left << " vs " << right;
    EXPECT_EQ(compareLiteral(right, left), -expected) << left << " vs " << right;
  }
}

// The text form reads the sensor once (cadbbe3d is the substitute ID of
// "abc", 23590caf the one of "UNKNOWN LOCATION"); an archive narrows the
// precision and accuracy to floats.
TEST(ZORSensorTest, DescriptionAndArchiveKeepEveryField) {
  auto sensor = TestSensor::make("t", "abc", 1, 42, "C", 0.1);
  sensor->setPrecision(0.1, 0.3);
  ZORSensor fresh;
  EXPECT_EQ(sensor->description(),
            "<ZORTestSensor>: ID: t Name: test t Location: abc type: 1 quantity: 1 precision: 0.1 "
            "accuracy: 0.3 (cadbbe3d: 42 --> 42.00)\n");
  EXPECT_EQ(fresh.description(),
            "<ZORSensor>: ID: nil Name: Unknown Location: UNKNOWN LOCATION type: 0 quantity: 0 "
            "precision: 0 accuracy: 0 (23590caf: 0 -->  0.00)\n");
  EXPECT_EQ(sensor->reads, 1);
  SequentialArchiver out;
  out.encodeObject(sensor.get());
  SequentialArchiver in(out.bytes());
  ASSERT_TRUE(in.decodeObject(fresh));
  EXPECT_EQ(fresh.description(), sensor->copy()->description());
  EXPECT_EQ(fresh.precision(), static_cast<double>(0.1f));
  EXPECT_EQ(fresh.accuracy(), static_cast<double>(0.3f));
  // The detached configuration keeps all of it, the unit too, in its own archive
  // (3403398717 is cadbbe3d).
  SequentialArchiver configOut;
  sensor->configurationDescription()->encodeWithCoder(configOut);
  SequentialArchiver configIn(configOut.bytes());
  ZORSensorDescription config;
  ASSERT_TRUE(config.initWithCoder(configIn));
  EXPECT_EQ(config.copy()->description(),
            "local identifier: 't' location identifier: 'abc' sensor name: 'test t' unit: 'C' "
            "type: 1 quantity: 1 precision: 0.1 accuracy: 0.3 substitute ID: 3403398717");
  EXPECT_EQ(ZORSensorDescription::descriptionForSensor(nullptr), nullptr);
}

// Families are searched in registration order; families without a search add
// nothing, and the base class registered by mistake does not search itself.
// A family only declared is found by name but never searched.
TEST(ZORSensorRegistryTest, AllSensorsFollowsRegistrationOrder) {
  ScopedSensorClassRegistry scope;
  TestFamily first("ZORFirstSensor"), last("ZORLastSensor"), declared("ZORDeclaredSensor");
  declared.sensors = {TestSensor::make("d1", "A", 1)};
  ZORSensor::declareSensorClass(declared.object);
  ZORSensorClass silent{"ZORSilent", nullptr};
  first.sensors = {TestSensor::make("f1", "Z", 1), TestSensor::make("f2", "A", 1)};
  last.sensors = {TestSensor::make("l1", "B", 2)};
  ZORSensor::registerSensorClass(first.object);
  ZORSensor::registerSensorClass(silent);
  ZORSensor::registerSensorClass(ZORSensor::classObject());
  ZORSensor::registerSensorClass(last.object);
  EXPECT_EQ(identifiers(ZORSensor::allSensors()), (std::vector<std::string>{"f1", "f2", "l1"}));
  EXPECT_EQ(ZORSensor::sensorClassNamed("ZORDeclaredSensor"), &declared.object);
  EXPECT_EQ(ZORSensor::sensorClassNamed("ZORLastSensor"), &last.object);
  EXPECT_EQ(ZORSensor::sensorClassNamed("ZORSensor"), &ZORSensor::classObject());
  EXPECT_EQ(ZORSensor::sensorClassNamed("ZORNoSuchSensor"), nullptr);
}

// {family, identifier, hardware}: hardware read by two families is listed once by the first.
TEST(ZORSensorRegistryTest, HardwareReadByTwoFamiliesIsListedOnceByTheFirst) {
  ScopedSensorClassRegistry scope;
  TestFamily smc("ZORSMCTemperatureSensor"), generic("ZORHwmonSensor");
  const std::tuple<TestFamily*, const char*, const char*> rows[] = {
      {&smc, "smc.DF3", "SMC key TC0D"},
      {&smc, "smc.B", ""},
      {&generic, "hw.TC0D", "SMC key TC0D"},
      {&generic, "hw.TZ0P", "SMC key TZ0P"},
      {&generic, "hw.fan1", ""},
      {&generic, "hw.other", ""}};
  for (const auto& [family, id, hardware] : rows) {
    auto sensor = TestSensor::make(id, id, 1);
    sensor->hardware = hardware;
    family->sensors.push_back(sensor);
  }
  ZORSensor::registerSensorClass(smc.object);
  ZORSensor::registerSensorClass(generic.object);
  EXPECT_EQ(identifiers(ZORSensor::allSensors()),
            (std::vector<std::string>{"smc.DF3", "smc.B", "hw.TZ0P", "hw.fan1", "hw.other"}));
}

}  // namespace
}  // namespace zor
