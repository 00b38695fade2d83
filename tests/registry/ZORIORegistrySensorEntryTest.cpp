#include "registry/ZORIORegistrySensorEntry.h"

#include <gtest/gtest.h>

#include <tuple>

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

// {type, control, service, locations}: {"(null)"} is no list at all; with any
// type the entry without "current-value" is still no sensor.
TEST_F(SensorEntryTest, FoundByExactTypeAndControlFlag) {
  using Locations = std::vector<std::string>;
  const std::tuple<std::optional<std::string>, bool, const char*, Locations> cases[] = {
      {"temperature", false, "IOHWSensor", {"CPU BOTTOM"}},
      {std::nullopt, false, "IOHWSensor", {"CPU BOTTOM", "AD7417 AD1"}},
      {"Temperature", false, "IOHWSensor", {}},
      {"temperature", true, "IOHWSensor", {"FAN"}},
      {"temperature", false, nullptr, {"(null)"}}};
  for (const auto& [type, control, service, expected] : cases) {
    auto list = found(type, control, service);
    Locations locations;
    if (!list) locations.push_back("(null)");
    for (const auto& entry : list.value_or(ZORIORegistrySensorEntryList{})) {
      locations.push_back(entry->locationIdentification().value_or(""));
    }
    EXPECT_EQ(locations, expected) << type.value_or("(any)") << " control " << control;
  }
  EXPECT_EQ(found("adc")->at(0)->sensorIdentificationNumber(), 4);
  EXPECT_EQ(found("temperature", true)->at(0)->sensorIdentificationNumber(), -1) << "a control";
}

// {path, identifier key, created}: a sensor needs its type, location, value
// and the identifier key asked for.
TEST_F(SensorEntryTest, CreationVerifiesTheFourProperties) {
  const std::tuple<const char*, std::optional<std::string>, bool> cases[] = {
      {"/Expert/Controller/cpu-sensor", "sensor-id", true},
      {"/Expert/Controller/cpu-sensor", "control-id", false},
      {"/Expert/Controller/cpu-sensor", std::nullopt, false},
      {"/Expert/Controller/silent-sensor", "sensor-id", false},
      {"/Expert/Controller", "sensor-id", false}};
  for (const auto& [path, identifier, created] : cases) {
    auto plain = ZORIORegistryEntry::registryEntryInPlane(std::string("IOService"), path);
    auto entry = std::make_shared<ZORIORegistrySensorEntry>();
    EXPECT_EQ(entry->initWithIOKitHandle(plain->ioKitHandle(), identifier), created) << path;
  }
}

// {scripted readings after the refresh write, value, reads}
TEST_F(SensorEntryTest, EnforcedReadRefreshesThenRetriesOnceOnANegativeValue) {
  auto sensor = cpuSensor();
  const std::tuple<std::vector<std::int64_t>, std::int32_t, int> cases[] = {
      {{-5, -5}, -1, 2}, {{-5, 7}, 7, 2}, {{12}, 12, 1}, {{0}, 0, 1}};
  for (const auto& [readings, value, reads] : cases) {
    auto scripted = std::make_unique<ScriptedSensorDriver>(readings);
    ScriptedSensorDriver* script = scripted.get();
    registry().findEntryNamed("cpu-sensor")->setBehaviour(std::move(scripted));
    EXPECT_EQ(sensor->sensorValue(), value);
    EXPECT_EQ(script->readsAfterWrite, reads);
    EXPECT_EQ(script->writes,
              (decltype(script->writes){{"poll-refresh", PlistValue::boolean(false)}}));
  }
  registry().findEntryNamed("cpu-sensor")->properties().erase("current-value");
  EXPECT_EQ(sensor->sensorValue(), -1);
}

}  // namespace
}  // namespace zor::testing
