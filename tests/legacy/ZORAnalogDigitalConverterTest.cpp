#include "legacy/ZORAnalogDigitalConverter.h"

#include <gtest/gtest.h>

#include "legacy/ZORG5TemperatureSensor.h"
#include "sensors/ScopedSensorClassRegistry.h"
#include "tests/legacy/LegacyTestMachine.h"
#include "widget/PluginController.h"

namespace zor::testing {
namespace {

// A card record carrying only a diode calibration.
PlistValue cardWithDiode(std::uint16_t m, std::int16_t b) {
  return cardService(CardRecord().u16(68, m).u16(70, static_cast<std::uint16_t>(b)).data());
}

class AnalogDigitalConverterTest : public LegacyMachineTest {
 protected:
  // The converter sensor made directly from the only "adc" entry of the machine.
  std::shared_ptr<ZORAnalogDigitalConverter> converterFor(const std::string& driver,
                                                          const std::string& location,
                                                          std::int64_t reading) {
    install({driverEntry(driver, {hwSensor("adc", 5, location, reading)})});
    auto entries = ZORHWSensor::sensorEntriesOfType("adc");
    EXPECT_EQ(entries.size(), 1u);
    if (entries.size() != 1) return nullptr;
    return ZORAnalogDigitalConverter::sensorWithIORegistrySensorEntry(entries[0]);
  }

  std::vector<std::string> discoveredLocations() {
    std::vector<std::string> locations;
    for (const auto& sensor : ZORAnalogDigitalConverter::allSensors()) {
      EXPECT_EQ(&sensor->sensorClass(), &ZORG5TemperatureSensor::classObject());
      locations.push_back(sensor->locationIdentifier());
    }
    return locations;
  }
};

TEST_F(AnalogDigitalConverterTest, ChannelTableByLocation) {
  struct Case {
    const char* driver;
    const char* location;
    std::int32_t quantityType;
    double conversionFactor;
    const char* name;
  };
  const char* ad7417 = "Analog Devices AD7417";
  const char* unknown = "Unknown Analog Devices AD7417 location";
  const Case cases[] = {
      {"AppleAD741x", "CPU A AD7417 AD2", 3, 1 / 81.92, ad7417},
      {"AppleAD741x", "CPU B AD7417 AD3", 2, 1 / 409.6, ad7417},
      {"AppleAD741x", "AD7417 AD4", 3, 1 / 8.192, ad7417},
      // The first text that occurs decides, in table order.
      {"AppleAD741x", "CPU A VCORE AD7417 AD2", 3, 1 / 81.92, ad7417},
      {"AppleAD741x", "CPU B VCORE", 0, 0.0, unknown},
      {"AppleAD741x", "cpu a vcore", 0, 0.0, unknown},
      {"AppleMaxim6690", "CPU A VCORE", 0, 0.0, "Unknown Analog/Digital Converter"},
  };
  for (const Case& c : cases) {
    auto sensor = converterFor(c.driver, c.location, 4096);
    ASSERT_NE(sensor, nullptr) << c.location;
    EXPECT_EQ(sensor->quantityType(), c.quantityType) << c.location;
    EXPECT_DOUBLE_EQ(sensor->conversionFactor(), c.conversionFactor) << c.location;
    EXPECT_EQ(sensor->sensorName(), c.name) << c.location;
  }
}

TEST_F(AnalogDigitalConverterTest, WidgetShowsVoltsWithFourDecimalsAndAmperesWithTwo) {
  struct Case {
    const char* location;
    std::int64_t reading;
    const char* text;
  };
  const Case cases[] = {
      {"CPU A VCORE", 532, "1.2988 V"},     // 532 / 409.6 = 1.29882...
      {"CPU A 12V CURR", 246, "3.00 A"},    // 246 / 81.92 = 3.0029...
      {"CPU A CORE CURR", 328, "40.04 A"},  // 328 / 8.192 = 40.039...
  };
  for (const Case& c : cases) {
    std::shared_ptr<ZORSensor> sensor = converterFor("AppleAD741x", c.location, c.reading);
    ASSERT_NE(sensor, nullptr);
    ScopedSensorClassRegistry scope;
    const ZORSensorClass direct{"DirectConverter",
                                [&] { return std::vector<std::shared_ptr<ZORSensor>>{sensor}; }};
    ZORSensor::registerSensorClass(direct);
    auto controller = std::make_shared<PluginController>();
    ASSERT_TRUE(controller->init());
    ASSERT_EQ(controller->numberOfAvailableSensors(), 1);
    EXPECT_EQ(withoutAlignment(controller->localizedReadingForSensorAtIndex(0)), c.text)
        << c.location;
  }
}

TEST_F(AnalogDigitalConverterTest, DiscoveryYieldsG5SensorsConvertedWithTheirCardsCalibration) {
  install({cardWithDiode(4096, 16), cardWithDiode(20000, -200),
           driverEntry("AppleAD741x", {hwSensor("adc", 1, "CPU A AD7417 AD1", 1024),
                                       hwSensor("adc", 2, "CPU A AD7417 AD2", 1024),
                                       hwSensor("adc", 3, "CPU B DIODE TEMP", 762),
                                       hwSensor("adc", 4, "CPU A VCORE", 1024),
                                       hwSensor("temperature", 5, "CPU A AD7417 AD1", 1024)}),
           driverEntry("AppleMaxim6690", {hwSensor("adc", 6, "CPU A AD7417 AD1", 1024)})});
  EXPECT_EQ(discoveredLocations(),
            (std::vector<std::string>{"CPU A AD7417 AD1", "CPU B DIODE TEMP"}));
  {
    // (m x reading + b x 4096) / 2^18, with each CPU's own card.
    auto sensors = ZORAnalogDigitalConverter::allSensors();
    ASSERT_EQ(sensors.size(), 2u);
    EXPECT_DOUBLE_EQ(sensors[0]->value(), 16.25);  // (4096 x 1024 + 16 x 4096) / 2^18
    EXPECT_DOUBLE_EQ(sensors[1]->value(), (20000.0 * 762 - 200 * 4096) / 262144);
    // A G5 sensor describes itself with its card.
    std::string text = static_cast<ZORG5TemperatureSensor&>(*sensors[0]).description();
    EXPECT_NE(text.find("--> 16.25)\nG5 MPU card information: Version 0,"), std::string::npos)
        << text;
  }

  // One card only: "CPU B" asks for card 1, "CPU 0" for an index far beyond.
  install({cardWithDiode(4096, 16),
           driverEntry("AppleAD741x", {hwSensor("adc", 1, "CPU B AD7417 AD1", 1024),
                                       hwSensor("adc", 2, "CPU 0 AD7417 AD1", 1024),
                                       hwSensor("adc", 3, "AD7417 AD1", 1024)})});
  EXPECT_EQ(discoveredLocations(), std::vector<std::string>{"AD7417 AD1"});
}

}  // namespace
}  // namespace zor::testing
