// The metrics text: which sensors become which samples in which base unit,
// label escaping, names that do not follow the user's language, and what a
// scrape costs the drivers next to a widget reading.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>

#include "cpu/ZORTALVEROx86Monitor.h"
#include "platform/Clock.h"
#include "platform/ResourceBundle.h"
#include "platform/ScopedMachine.h"
#include "platform/simulated/SimulatedMachine.h"
#include "plugin/PluginLoader.h"
#include "services/TestSupport.h"
#include "smart/ZORSMARTTemperatureSensor.h"
#include "smc/ZORSystemManagementController.h"
#include "system/ZORMachineInfo.h"
#include "widget/ControllerFixture.h"
#include "widget/PrometheusExposition.h"

namespace zor::testing {
namespace {

// Sample lines by the value of their sensor label: "metric value".
std::map<std::string, std::string> samplesBySensor(const std::string& text) {
  std::map<std::string, std::string> samples;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    size_t open = line.find("{sensor=\"");
    if (line.empty() || line[0] == '#' || open == std::string::npos) continue;
    size_t start = open + 9;
    std::string sensor = line.substr(start, line.find('"', start) - start);
    samples[sensor] = line.substr(0, open) + " " + line.substr(line.rfind(' ') + 1);
  }
  return samples;
}

using ExposedSampleTest = ControllerFixture;

TEST_F(ExposedSampleTest, EachQuantityInItsBaseUnit) {
  const std::tuple<const char*, std::int32_t, const char*, std::int32_t> sensors[] = {
      {"cpu", 1, "C", 48},        {"vcore", 2, "mV", 1250},          {"amps", 3, "mA", 1500},
      {"psu", 4, "W", 35},        {"fan", 6, "RPM", 1800},           {"clock", 13, "MHz", 2400},
      {"no reading", 1, "C", -1}, {"unknown unit", 2, "furlong", 3}, {"information", 11, "", 1},
  };
  for (const auto& [id, quantity, unit, raw] : sensors) add(id, id, quantity, raw, unit);
  EXPECT_EQ(samplesBySensor(PrometheusExposition::render(*makeController())),
            (std::map<std::string, std::string>{
                {"cpu", "zorsensors_temperature_celsius 48"},
                {"vcore", "zorsensors_voltage_volts 1.25"},
                {"amps", "zorsensors_current_amperes 1.5"},
                {"psu", "zorsensors_power_watts 35"},
                {"fan", "zorsensors_fan_speed_rpm 1800"},
                {"clock", "zorsensors_frequency_hertz 2.4e+09"},
            }));
  // Only sensors of a family and a known unit are read.
  std::string reads;
  for (const auto& sensor : family.sensors) {
    reads += std::to_string(std::static_pointer_cast<TestSensor>(sensor)->reads);
  }
  EXPECT_EQ(reads, "111111100");
}

// Label values escaped as the format requires, bytes that are not UTF-8 mended,
// a repeated identifier written once, and names in English under a German locale.
TEST_F(ExposedSampleTest, FamiliesHaveHelpAndTypeAndLabelsAreEscaped) {
  ScopedEnvironment german("LANGUAGE", "de");
  Bundle::setPluginBundle(ResourceBundle::forEmbeddedResources());
  add("a\"b", "Rack \\ \"A\"\nslot 2\xFF", 1, 40);
  add("amb", "SMC AMBIENT AIR", 1, 24);
  add("dup", "X", 1, 41);
  add("dup", "Y", 1, 42);
  auto controller = makeController();
  ASSERT_EQ(controller->localizedSensorNameAtIndex(1), "Umgebungsluft");
  EXPECT_EQ(
      PrometheusExposition::render(*controller),
      "# HELP zorsensors_machine_info The machine the sensors belong to: model, serial "
      "number and operating system.\n"
      "# TYPE zorsensors_machine_info gauge\n"
      "zorsensors_machine_info{model=\"\",serial=\"ZZZNOSERIAL\",os=\"\"} 1\n"
      "# HELP zorsensors_temperature_celsius Temperature of a sensor in degrees Celsius.\n"
      "# TYPE zorsensors_temperature_celsius gauge\n"
      "zorsensors_temperature_celsius{sensor=\"a\\\"b\",location=\"Rack \\\\ "
      "\\\"A\\\"\\nslot 2\xEF\xBF\xBD\",name=\"Rack \\\\ \\\"A\\\"\\nslot 2\xEF\xBF\xBD\"} 40\n"
      "zorsensors_temperature_celsius{sensor=\"amb\",location=\"SMC AMBIENT AIR\",name=\"Ambient "
      "Air\"} 24\n"
      "zorsensors_temperature_celsius{sensor=\"dup\",location=\"X\",name=\"X\"} 41\n");
}

// On the demo machine: a scrape reads each sensor once through the same
// SMC connection and caches as the widget, so it never costs the SMC more
// than a widget reading every sensor, and nothing while the cache is fresh.
TEST(PrometheusScrapeCostTest, NoMoreSMCCallsThanAWidgetReading) {
  ScopedManualClock clock(1'765'000'000.0);
  std::string error;
  auto machine = SimulatedMachine::load("demo", &error);
  ASSERT_NE(machine, nullptr) << error;
  ScopedMachine installed(machine);
  loadPlugin();
  ZORTALVEROx86Monitor::startRefreshClock();  // on this test's clock
  {
    auto widget = std::make_shared<PluginController>();
    widget->init();
    PrometheusExposition exposition;
    exposition.render();  // discovers the sensors once
    auto smcCallsOf = [&](const std::function<void()>& work) {
      const std::uint64_t before = machine->registry().structureCallCount();
      work();
      return machine->registry().structureCallCount() - before;
    };
    clock.advance(120);
    const std::uint64_t widgetCalls = smcCallsOf([&] {
      for (int i = 0; i < widget->numberOfAvailableSensors(); ++i) {
        widget->localizedReadingForSensorAtIndex(i);
      }
    });
    std::string scraped;
    EXPECT_EQ(smcCallsOf([&] { scraped = exposition.render(); }), 0u) << "the readings are fresh";
    clock.advance(120);
    const std::uint64_t scrapeCalls = smcCallsOf([&] { scraped = exposition.render(); });
    EXPECT_GT(scrapeCalls, 0u);
    EXPECT_LE(scrapeCalls, widgetCalls);
    EXPECT_EQ(samplesBySensor(scraped).size(),
              static_cast<size_t>(widget->numberOfAvailableSensors()));
  }
  ZORSystemManagementController::forgetSharedSystemManagementController();
  ZORMachineInfo::forgetSharedMachineInfo();
  ZORSMARTTemperatureSensor::forgetHIDSystemEntry();
  EXPECT_EQ(machine->registry().outstandingReferences(), 0);
}

}  // namespace
}  // namespace zor::testing
