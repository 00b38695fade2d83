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
  std::optional<ZORIORegistrySensorEntryList> found(const std::optional<std::string>& type,
                                                    bool control = false,
                                                    const char* service = "IOHWSensor") {
    return ZORIORegistrySensorEntry::sensorEntriesMatchingServiceName(
        service ? std::optional<std::string>(service) : std::nullopt, type, control);
  }
  std::shared_ptr<ZORIORegistrySensorEntry> cpuSensor() { return found("temperature")->at(0); }
};

TEST_F(SensorEntryTest, FoundByExactTypeAndControlFlag) {
  struct Case {
    std::optional<std::string> type;
    bool control;
    const char* service;
    std::vector<std::string> locations;  // {"(null)"}: no list at all
  };
  const Case cases[] = {
      {"temperature", false, "IOHWSensor", {"CPU BOTTOM"}},
      // Any type; the entry without "current-value" is no sensor.
      {std::nullopt, false, "IOHWSensor", {"CPU BOTTOM", "AD7417 AD1"}},
      {"Temperature", false, "IOHWSensor", {}},
      {"", false, "IOHWSensor", {}},
      {"temperature", true, "IOHWSensor", {"FAN"}},
      {"adc", true, "IOHWSensor", {}},
      {"temperature", false, "NoSuchService", {}},
      {"temperature", false, nullptr, {"(null)"}},
  };
  for (const Case& c : cases) {
    auto list = found(c.type, c.control, c.service);
    std::vector<std::string> locations;
    if (!list) locations.push_back("(null)");
    for (const auto& entry : list.value_or(ZORIORegistrySensorEntryList{})) {
      locations.push_back(entry->locationIdentification().value_or(""));
    }
    EXPECT_EQ(locations, c.locations) << c.type.value_or("(any)") << " control " << c.control;
  }
  EXPECT_EQ(found("adc")->at(0)->sensorIdentificationNumber(), 4);
  EXPECT_EQ(found("temperature", true)->at(0)->sensorIdentificationNumber(), -1) << "a control";
  EXPECT_EQ(found("temperature", true)->at(0)->sensorTypeName(), "temperature");
}

TEST_F(SensorEntryTest, CreationVerifiesTheFourProperties) {
  struct Case {
    const char* path;
    std::optional<std::string> identifier;
    bool created;
  };
  const Case cases[] = {
      {"/Expert/Controller/cpu-sensor", "sensor-id", true},
      {"/Expert/Controller/cpu-sensor", "control-id", false},
      {"/Expert/Controller/cpu-sensor", std::nullopt, false},
      {"/Expert/Controller/fan-control", "control-id", true},
      {"/Expert/Controller/silent-sensor", "sensor-id", false},  // no value
      {"/Expert/Controller", "sensor-id", false},
  };
  for (const Case& c : cases) {
    auto plain = ZORIORegistryEntry::registryEntryInPlane(std::string("IOService"), c.path);
    ASSERT_NE(plain, nullptr);
    auto entry = std::make_shared<ZORIORegistrySensorEntry>();
    EXPECT_EQ(entry->initWithIOKitHandle(plain->ioKitHandle(), c.identifier), c.created)
        << c.path << " " << c.identifier.value_or("(null)");
  }
  EXPECT_FALSE(std::make_shared<ZORIORegistrySensorEntry>()->initWithIOKitHandle(0));
}

TEST_F(SensorEntryTest, EnforcedReadRefreshesThenRetriesOnceOnANegativeValue) {
  // The unenforced read writes nothing; without "current-value" both read -1.
  auto driver = std::make_unique<ScriptedSensorDriver>(std::vector<std::int64_t>{});
  ScriptedSensorDriver* script = driver.get();
  registry().findEntryNamed("cpu-sensor")->setBehaviour(std::move(driver));
  auto sensor = cpuSensor();
  EXPECT_EQ(sensor->unenforcedSensorValue(), 2949120);
  EXPECT_TRUE(script->writes.empty());
  registry().findEntryNamed("cpu-sensor")->properties().erase("current-value");
  EXPECT_EQ(sensor->unenforcedSensorValue(), -1);
  EXPECT_EQ(sensor->sensorValue(), -1);
  struct Case {
    std::vector<std::int64_t> readings;
    std::int32_t expected;
    int reads;
  };
  const Case cases[] = {
      {{-5, -5}, -1, 2}, {{-5, 7}, 7, 2}, {{12}, 12, 1}, {{0}, 0, 1}, {{-1, -1}, -1, 2},
  };
  for (const Case& c : cases) {
    auto scripted = std::make_unique<ScriptedSensorDriver>(c.readings);
    ScriptedSensorDriver* row = scripted.get();
    registry().findEntryNamed("cpu-sensor")->setBehaviour(std::move(scripted));
    EXPECT_EQ(sensor->sensorValue(), c.expected);
    EXPECT_EQ(row->readsAfterWrite, c.reads);
    EXPECT_EQ(row->writes, (decltype(row->writes){{"poll-refresh", PlistValue::boolean(false)}}));
  }
}

TEST_F(SensorEntryTest, SimulatedSensorDriverRefreshesFromItsWave) {
  // At t = 1e9 (a whole number of 40-second periods) the wave is at its base;
  // a quarter period later at its crest.
  ScopedManualClock clock(1.0e9);
  auto sensor = cpuSensor();
  registry().findEntryNamed("cpu-sensor")->properties()["current-value"] = PlistValue::integer(1);
  EXPECT_EQ(sensor->unenforcedSensorValue(), 1);
  EXPECT_EQ(sensor->sensorValue(), 2949120);
  clock.advance(10);
  EXPECT_EQ(sensor->sensorValue(), 2949120 + 65536);
  clock.advance(20);
  EXPECT_EQ(sensor->sensorValue(), 2949120 - 65536);
  // A service without a driver keeps the value it has.
  EXPECT_EQ(found("adc")->at(0)->sensorValue(), 100);
}

}  // namespace
}  // namespace zor::testing
