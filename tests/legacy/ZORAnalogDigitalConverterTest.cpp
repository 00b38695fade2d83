#include "legacy/ZORAnalogDigitalConverter.h"

#include <gtest/gtest.h>

#include "legacy/ZORG5TemperatureSensor.h"
#include "sensors/ScopedSensorClassRegistry.h"
#include "tests/legacy/LegacyTestMachine.h"
#include "widget/PluginController.h"

namespace zor::testing {
namespace {

using AnalogDigitalConverterTest = LegacyMachineTest;

// Made directly from an "adc" entry (discovery makes none of them), a
// converter takes its unit and factor from the first table text in its
// location; the widget shows volts with four decimals, amperes with two.
TEST_F(AnalogDigitalConverterTest, ChannelTableByLocationAndTheWidgetsUnits) {
  const char* ad = "AppleAD741x";
  const char* ad7417 = "Analog Devices AD7417";
  const char* unknown = "Unknown Analog Devices AD7417 location";
  // {driver, location, reading, name, the widget's reading ("": an unknown channel)}
  const std::tuple<const char*, const char*, std::int64_t, const char*, const char*> cases[] = {
      {ad, "CPU A AD7417 AD2", 246, ad7417, "3.00 A"},    // 246 / 81.92 = 3.0029...
      {ad, "CPU B AD7417 AD3", 532, ad7417, "1.2988 V"},  // 532 / 409.6 = 1.29882...
      {ad, "AD7417 AD4", 328, ad7417, "40.04 A"},         // 328 / 8.192 = 40.039...
      {ad, "CPU A VCORE AD7417 AD2", 246, ad7417, "3.00 A"},
      {ad, "CPU A VCORE", 532, ad7417, "1.2988 V"},
      {ad, "CPU B VCORE", 1, unknown, ""},
      {"AppleMaxim6690", "CPU A VCORE", 1, "Unknown Analog/Digital Converter", ""}};
  for (const auto& [driver, location, reading, name, text] : cases) {
    install({driverEntry(driver, {hwSensor("adc", 5, location, reading)})});
    auto entries = ZORHWSensor::sensorEntriesOfType("adc");
    ASSERT_EQ(entries.size(), 1u);
    std::shared_ptr<ZORSensor> sensor =
        ZORAnalogDigitalConverter::sensorWithIORegistrySensorEntry(entries[0]);
    ASSERT_NE(sensor, nullptr) << location;
    EXPECT_EQ(sensor->sensorName(), name) << location;
    if (*text == '\0') {
      EXPECT_EQ(sensor->quantityType(), 0) << location;
      continue;
    }
    ScopedSensorClassRegistry scope;
    const ZORSensorClass direct{"DirectConverter",
                                [&] { return std::vector<std::shared_ptr<ZORSensor>>{sensor}; }};
    ZORSensor::registerSensorClass(direct);
    auto controller = std::make_shared<PluginController>();
    ASSERT_TRUE(controller->init());
    const std::string shown = controller->localizedReadingForSensorAtIndex(0);
    EXPECT_EQ(shown.substr(shown.find_first_not_of(' ')), text) << location;
  }
}

// Discovery makes G5 temperature sensors of the AD7417's AD1 channels and
// "DIODE TEMP" entries, converted with their own CPU's card calibration:
// (m x reading + b x 4096) / 2^18.
TEST_F(AnalogDigitalConverterTest, DiscoveryYieldsG5SensorsConvertedWithTheirCardsCalibration) {
  auto discovered = [] {
    std::string locations;
    for (const auto& sensor : ZORAnalogDigitalConverter::allSensors()) {
      EXPECT_EQ(&sensor->sensorClass(), &ZORG5TemperatureSensor::classObject());
      locations += sensor->locationIdentifier() + "; ";
    }
    return locations;
  };
  install({cardService(4096, 16), cardService(20000, -200),
           driverEntry("AppleAD741x", {hwSensor("adc", 1, "CPU A AD7417 AD1", 1024),
                                       hwSensor("adc", 2, "CPU A AD7417 AD2", 1024),
                                       hwSensor("adc", 3, "CPU B DIODE TEMP", 762),
                                       hwSensor("temperature", 5, "CPU A AD7417 AD1", 1024)}),
           driverEntry("AppleMaxim6690", {hwSensor("adc", 6, "CPU A AD7417 AD1", 1024)})});
  EXPECT_EQ(discovered(), "CPU A AD7417 AD1; CPU B DIODE TEMP; ");
  auto sensors = ZORAnalogDigitalConverter::allSensors();
  ASSERT_EQ(sensors.size(), 2u);
  EXPECT_DOUBLE_EQ(sensors[0]->value(), 16.25);  // (4096 x 1024 + 16 x 4096) / 2^18
  EXPECT_DOUBLE_EQ(sensors[1]->value(), (20000.0 * 762 - 200 * 4096) / 262144);
  // One card only: "CPU B" asks for card 1, "CPU 0" for an index far beyond.
  sensors.clear();
  install({cardService(4096, 16),
           driverEntry("AppleAD741x", {hwSensor("adc", 1, "CPU B AD7417 AD1", 1024),
                                       hwSensor("adc", 2, "CPU 0 AD7417 AD1", 1024),
                                       hwSensor("adc", 3, "AD7417 AD1", 1024)})});
  EXPECT_EQ(discovered(), "AD7417 AD1; ");
}

}  // namespace
}  // namespace zor::testing
