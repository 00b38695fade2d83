#include "registry/ZORIORegistrySensorEntry.h"

#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "tests/registry/RegistryTestMachine.h"

namespace zor::testing {
namespace {

using namespace iokit;

// A sensor driver whose readings follow a script: after the refresh write,
// each property read publishes the next scripted "current-value".
class ScriptedSensorDriver final : public DriverBehaviour {
 public:
  explicit ScriptedSensorDriver(std::vector<std::int64_t> readings)
      : DriverBehaviour(DriverSettings()), readings_(std::move(readings)) {}

  kern_return_t setProperty(MachineEntry& /*entry*/, const std::string& key,
                            const PlistValue& value) override {
    writes.emplace_back(key, value);
    armed_ = true;
    return kIOReturnUnsupported;  // the reading must not depend on the write's result
  }
  void propertiesWillBeRead(MachineEntry& entry) override {
    if (!armed_) return;
    ++readsAfterWrite;
    if (next_ < readings_.size()) {
      entry.properties()["current-value"] = PlistValue::integer(readings_[next_++]);
    }
  }

  std::vector<std::pair<std::string, PlistValue>> writes;
  int readsAfterWrite = 0;

 private:
  std::vector<std::int64_t> readings_;
  std::size_t next_ = 0;
  bool armed_ = false;
};

class SensorEntryTest : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    ZORIORegistrySensorEntry::load();
  }
  std::vector<std::string> locations(const std::optional<std::string>& type, bool control) {
    auto found = ZORIORegistrySensorEntry::sensorEntriesMatchingServiceName(
        std::string("IOHWSensor"), type, control);
    std::vector<std::string> result;
    if (!found) return {"(null)"};
    for (const auto& entry : *found) result.push_back(entry->locationIdentification().value_or(""));
    return result;
  }
  ScriptedSensorDriver* scriptCpuSensor(std::vector<std::int64_t> readings) {
    MachineEntry* entry = registry().findEntryNamed("cpu-sensor");
    auto driver = std::make_unique<ScriptedSensorDriver>(std::move(readings));
    ScriptedSensorDriver* raw = driver.get();
    entry->setBehaviour(std::move(driver));
    return raw;
  }
  std::shared_ptr<ZORIORegistrySensorEntry> cpuSensor() {
    auto found = ZORIORegistrySensorEntry::sensorEntriesMatchingServiceName(
        std::string("IOHWSensor"), std::string("temperature"), false);
    if (!found || found->empty()) return nullptr;
    return found->front();
  }
};

TEST_F(SensorEntryTest, FoundByExactTypeAndControlFlag) {
  using List = std::vector<std::string>;
  EXPECT_EQ(locations(std::string("temperature"), false), (List{"CPU BOTTOM"}));
  EXPECT_EQ(locations(std::nullopt, false), (List{"CPU BOTTOM", "AD7417 AD1"}));
  EXPECT_EQ(locations(std::string("Temperature"), false), List{});
  EXPECT_EQ(locations(std::string(""), false), List{});
  EXPECT_EQ(locations(std::string("temperature"), true), (List{"FAN"}));
  EXPECT_EQ(locations(std::string("adc"), true), List{});
}

TEST_F(SensorEntryTest, NullServiceNameGivesNullAndUnknownServiceEmpty) {
  EXPECT_EQ(ZORIORegistrySensorEntry::sensorEntriesMatchingServiceName(
                std::nullopt, std::string("temperature"), false),
            std::nullopt);
  auto none = ZORIORegistrySensorEntry::sensorEntriesMatchingServiceName(
      std::string("NoSuchService"), std::nullopt, false);
  ASSERT_TRUE(none.has_value());
  EXPECT_TRUE(none->empty());
}

TEST_F(SensorEntryTest, ControlHasNoSensorIdentificationNumber) {
  auto controls = ZORIORegistrySensorEntry::sensorEntriesMatchingServiceName(
      std::string("IOHWSensor"), std::nullopt, true);
  ASSERT_TRUE(controls.has_value());
  ASSERT_EQ(controls->size(), 1u);
  EXPECT_EQ(controls->front()->sensorIdentificationNumber(), -1);
  EXPECT_EQ(controls->front()->sensorTypeName(), "temperature");
}

TEST_F(SensorEntryTest, CreationVerifiesTheFourProperties) {
  struct Case {
    const char* path;
    std::optional<std::string> identifier;
    bool created;
  };
  const Case cases[] = {
      {"/Expert/Controller/cpu-sensor", std::string("sensor-id"), true},
      {"/Expert/Controller/cpu-sensor", std::string("control-id"), false},
      {"/Expert/Controller/cpu-sensor", std::nullopt, false},
      {"/Expert/Controller/fan-control", std::string("control-id"), true},
      {"/Expert/Controller/silent-sensor", std::string("sensor-id"), false},  // no value
      {"/Expert/Controller", std::string("sensor-id"), false},
  };
  for (const Case& c : cases) {
    auto plain =
        ZORIORegistryEntry::registryEntryInPlane(std::string("IOService"), std::string(c.path));
    ASSERT_NE(plain, nullptr);
    auto entry = std::make_shared<ZORIORegistrySensorEntry>();
    EXPECT_EQ(entry->initWithIOKitHandle(plain->ioKitHandle(), c.identifier), c.created)
        << c.path << " " << c.identifier.value_or("(null)");
  }
  auto zero = std::make_shared<ZORIORegistrySensorEntry>();
  EXPECT_FALSE(zero->initWithIOKitHandle(0));
}

TEST_F(SensorEntryTest, EnforcementNameIsTwelveAsciiCharacters) {
  const std::string& name = ZORIORegistrySensorEntry::enforcementPropertyName();
  ASSERT_EQ(name.size(), 12u);
  for (char c : name) EXPECT_TRUE(c > 0x20 && c < 0x7f) << name;
}

TEST_F(SensorEntryTest, EnforcedReadRetriesOnceOnANegativeValue) {
  struct Case {
    std::vector<std::int64_t> readings;
    std::int32_t expected;
    int reads;
  };
  const Case cases[] = {
      {{-5, -5}, -1, 2}, {{-5, 7}, 7, 2}, {{12}, 12, 1}, {{0}, 0, 1}, {{-1, -1}, -1, 2},
  };
  for (const Case& c : cases) {
    ScriptedSensorDriver* driver = scriptCpuSensor(c.readings);
    auto sensor = cpuSensor();
    ASSERT_NE(sensor, nullptr);
    EXPECT_EQ(sensor->sensorValue(), c.expected);
    EXPECT_EQ(driver->readsAfterWrite, c.reads);
    ASSERT_EQ(driver->writes.size(), 1u);
    EXPECT_EQ(driver->writes[0].first, ZORIORegistrySensorEntry::enforcementPropertyName());
    EXPECT_EQ(driver->writes[0].second, PlistValue::boolean(false));
  }
}

TEST_F(SensorEntryTest, UnenforcedReadWritesNothing) {
  ScriptedSensorDriver* driver = scriptCpuSensor({});
  auto sensor = cpuSensor();
  ASSERT_NE(sensor, nullptr);
  EXPECT_EQ(sensor->unenforcedSensorValue(), 2949120);
  EXPECT_TRUE(driver->writes.empty());
  // Without "current-value" the unenforced read is -1.
  registry().findEntryNamed("cpu-sensor")->properties().erase("current-value");
  EXPECT_EQ(sensor->unenforcedSensorValue(), -1);
  EXPECT_TRUE(driver->writes.empty());
  EXPECT_EQ(sensor->sensorValue(), -1);
  EXPECT_EQ(driver->writes.size(), 1u);
}

TEST_F(SensorEntryTest, SimulatedSensorDriverRefreshesFromItsWave) {
  // At t = 1e9 (a whole number of 40-second periods) the wave is at its base;
  // a quarter period later at its crest.
  ScopedManualClock clock(1.0e9);
  auto sensor = cpuSensor();
  ASSERT_NE(sensor, nullptr);
  registry().findEntryNamed("cpu-sensor")->properties()["current-value"] = PlistValue::integer(1);
  EXPECT_EQ(sensor->unenforcedSensorValue(), 1);
  EXPECT_EQ(sensor->sensorValue(), 2949120);
  clock.advance(10);
  EXPECT_EQ(sensor->sensorValue(), 2949120 + 65536);
  clock.advance(20);
  EXPECT_EQ(sensor->sensorValue(), 2949120 - 65536);
}

TEST_F(SensorEntryTest, ServiceWithoutADriverKeepsItsValue) {
  auto adc = ZORIORegistrySensorEntry::sensorEntriesMatchingServiceName(std::string("IOHWSensor"),
                                                                        std::string("adc"), false);
  ASSERT_TRUE(adc.has_value());
  ASSERT_EQ(adc->size(), 1u);
  EXPECT_EQ(adc->front()->sensorValue(), 100);
  EXPECT_EQ(adc->front()->sensorIdentificationNumber(), 4);
  EXPECT_EQ(adc->front()->description().rfind("ZORIORegistrySensorEntry: {", 0), 0u);
}

}  // namespace
}  // namespace zor::testing
