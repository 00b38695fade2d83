// The metrics text: which sensors become which samples in which base unit,
// label escaping, names that do not follow the user's language, and what a
// scrape costs the drivers next to a widget reading.

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>

#include "cpu/ZORTALVEROx86Monitor.h"
#include "platform/Clock.h"
#include "platform/ResourceBundle.h"
#include "platform/ScopedMachine.h"
#include "platform/simulated/SimulatedMachine.h"
#include "plugin/PluginLoader.h"
#include "smart/ZORSMARTTemperatureSensor.h"
#include "smc/ZORSystemManagementController.h"
#include "system/ZORMachineInfo.h"
#include "widget/ControllerFixture.h"
#include "widget/PrometheusExposition.h"

namespace zor {
namespace {

using testing::ControllerFixture;

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

struct SampleCase {
  const char* id;
  std::int32_t quantityType;
  const char* unit;
  std::int32_t raw;
  const char* sample;  // "" when the sensor is left out
  int reads;
};

class ExposedSampleTest : public ControllerFixture {};

TEST_F(ExposedSampleTest, EachQuantityInItsBaseUnit) {
  const SampleCase cases[] = {
      {"cpu", 1, "C", 48, "zorsensors_temperature_celsius 48", 1},
      {"vcore", 2, "mV", 1250, "zorsensors_voltage_volts 1.25", 1},
      {"rail", 2, "V", 12, "zorsensors_voltage_volts 12", 1},
      {"amps", 3, "mA", 1500, "zorsensors_current_amperes 1.5", 1},
      {"psu", 4, "W", 35, "zorsensors_power_watts 35", 1},
      {"fan", 6, "RPM", 1800, "zorsensors_fan_speed_rpm 1800", 1},
      {"clock", 13, "MHz", 2400, "zorsensors_frequency_hertz 2.4e+09", 1},
      {"no reading", 1, "C", -1, "", 1},
      {"unknown unit", 2, "furlong", 3, "", 0},
      {"information", 11, "", 1, "", 0},
      {"base class", 0, " ", 0, "", 0},
  };
  std::vector<std::shared_ptr<testing::TestSensor>> sensors;
  for (const auto& c : cases) sensors.push_back(add(c.id, c.id, c.quantityType, c.raw, c.unit));
  auto controller = makeController();

  auto samples = samplesBySensor(PrometheusExposition::render(*controller));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const SampleCase& c = cases[i];
    auto found = samples.find(c.id);
    EXPECT_EQ(found == samples.end() ? "" : found->second, c.sample) << c.id;
    EXPECT_EQ(sensors[i]->reads, c.reads) << c.id;
  }
}

// Label values escaped as the format requires; bytes that are not UTF-8 mended.
TEST_F(ExposedSampleTest, FamiliesHaveHelpAndTypeAndLabelsAreEscaped) {
  add("a\"b", "Rack \\ \"A\"\nslot 2\xFF", 1, 40);
  add("dup", "X", 1, 41);
  add("dup", "Y", 1, 42);
  auto controller = makeController();
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
      "zorsensors_temperature_celsius{sensor=\"dup\",location=\"X\",name=\"X\"} 41\n");
}

// The real string tables under a German environment.
class GermanEnvironment {
 public:
  GermanEnvironment() {
    const char* old = std::getenv("LANGUAGE");
    saved_ = old ? std::optional<std::string>(old) : std::nullopt;
    setenv("LANGUAGE", "de", 1);
    Bundle::setPluginBundle(ResourceBundle::forEmbeddedResources());
  }
  ~GermanEnvironment() {
    if (saved_) {
      setenv("LANGUAGE", saved_->c_str(), 1);
    } else {
      unsetenv("LANGUAGE");
    }
    Bundle::setPluginBundle(nullptr);
  }

 private:
  std::optional<std::string> saved_;
};

TEST_F(ExposedSampleTest, NamesAreEnglishUnderAGermanLocale) {
  GermanEnvironment german;
  add("amb", "SMC AMBIENT AIR", 1, 24);
  auto controller = makeController();
  ASSERT_EQ(controller->localizedSensorNameAtIndex(0), "Umgebungsluft");
  EXPECT_NE(PrometheusExposition::render(*controller)
                .find("{sensor=\"amb\",location=\"SMC AMBIENT AIR\",name=\"Ambient Air\"} 24\n"),
            std::string::npos);
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
    std::string first = exposition.render();  // discovers the sensors once
    EXPECT_NE(first.find("zorsensors_machine_info{model=\"MacBookPro5,1\""), std::string::npos);

    auto smcCalls = [&] { return machine->registry().structureCallCount(); };
    clock.advance(120);
    std::uint64_t before = smcCalls();
    for (int i = 0; i < widget->numberOfAvailableSensors(); ++i) {
      widget->localizedReadingForSensorAtIndex(i);
    }
    std::uint64_t widgetCalls = smcCalls() - before;
    before = smcCalls();
    std::string scraped = exposition.render();
    EXPECT_EQ(smcCalls() - before, 0u) << "the widget's readings are still fresh";

    clock.advance(120);
    before = smcCalls();
    scraped = exposition.render();
    std::uint64_t scrapeCalls = smcCalls() - before;
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
}  // namespace zor
