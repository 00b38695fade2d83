#include <gtest/gtest.h>

#include "widget/ControllerFixture.h"
#include "widget/SensorListing.h"

namespace zor {
namespace {

using SensorListingTest = testing::ControllerFixture;

TEST_F(SensorListingTest, JsonListsSortedSensorsWithOneReadingEach) {
  fakes.bundle->tables["SensorLocations"]["CPU"] = "Processor";
  auto cpu = add("cpu", "CPU", 1, 500, "C", 0.125);
  auto converter = std::make_shared<ZORSensorValueConverter>();
  converter->setConversionFunctionType(1);
  converter->setLinearFactor(0.1);
  cpu->converter = converter;
  auto dead = add("dead", "BAY", 2, -1, "V", 0.001);
  auto controller = makeController();
  controller->setTemperatureUnitIndex(1);

  nlohmann::json list = SensorListing::json(*controller);
  ASSERT_EQ(list.size(), 2u);
  // Voltage (2) sorts after temperature (1).
  const nlohmann::json& first = list[0];
  EXPECT_EQ(first["index"], 0);
  EXPECT_EQ(first["uniqueIdentifier"], "cpu");
  EXPECT_EQ(first["locationIdentifier"], "CPU");
  EXPECT_EQ(first["localizedName"], "Processor");
  EXPECT_EQ(first["sensorName"], "test cpu");
  EXPECT_EQ(first["quantityType"], 1);
  EXPECT_EQ(first["precision"], 0.125);
  EXPECT_EQ(first["accuracy"], 0.5);
  EXPECT_EQ(first["rawValue"], 500);
  EXPECT_EQ(first["value"], 50.0);
  EXPECT_EQ(first["unit"], "C");
  EXPECT_EQ(first["reading"], "  122.0F");
  EXPECT_EQ(cpu->reads, 1) << "raw value and reading come from one reading";

  const nlohmann::json& second = list[1];
  EXPECT_EQ(second["uniqueIdentifier"], "dead");
  EXPECT_EQ(second["rawValue"], -1);
  EXPECT_TRUE(second["value"].is_null());
  EXPECT_EQ(second["reading"], "---");
}

TEST_F(SensorListingTest, TextHasOneLinePerSensor) {
  add("a", "A", 1, 21, "C", 1.0);
  add("b", "B", 2, 12, "V", 0.001);
  auto controller = makeController();
  std::string text = SensorListing::text(*controller);
  EXPECT_EQ(text,
            "  0  A                                             21C  a\n"
            "  1  B                                       12.0000 V  b\n");
}

TEST_F(SensorListingTest, EmptyMachineGivesAnEmptyList) {
  auto controller = makeController();
  EXPECT_TRUE(SensorListing::json(*controller).empty());
  EXPECT_EQ(SensorListing::text(*controller), "");
}

}  // namespace
}  // namespace zor
