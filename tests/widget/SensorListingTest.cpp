// The CLI's listing: the JSON entries, and the table whose columns hold
// whatever the length and script of a name (fitted by terminal cells).

#include "widget/SensorListing.h"

#include <gtest/gtest.h>

#include "widget/ControllerFixture.h"
#include "widget/OwnSensorSettings.h"

namespace zor::testing {
namespace {

using SensorListingTest = ControllerFixture;

TEST_F(SensorListingTest, JsonListsSortedSensorsWithOneReadingEach) {
  fakes.bundle->tables["SensorLocations"]["CPU"] = "Processor";
  add("dead", "BAY", 2, -1, "V", 0.001);
  auto cpu = add("cpu", "CPU", 1, 500, "C", 0.125, 0.1);
  auto controller = makeController();
  controller->setTemperatureUnitIndex(1);
  EXPECT_EQ(SensorListing::json(*controller), nlohmann::json::parse(R"([
      {"index": 0, "uniqueIdentifier": "cpu", "locationIdentifier": "CPU",
       "localizedName": "Processor", "sensorName": "test cpu", "quantityType": 1,
       "precision": 0.125, "accuracy": 0.5, "rawValue": 500, "value": 50.0, "unit": "C",
       "reading": "  122.0F"},
      {"index": 1, "uniqueIdentifier": "dead", "locationIdentifier": "BAY",
       "localizedName": "BAY", "sensorName": "test dead", "quantityType": 2,
       "precision": 0.001, "accuracy": 0.5, "rawValue": -1, "value": null, "unit": "V",
       "reading": "---"}])"));
  EXPECT_EQ(cpu->reads, 1) << "raw value and reading come from one reading";
}

// Index, name and reading take 3 + 2 + 36 + 1 + 12 cells, the identifier follows.
TEST_F(SensorListingTest, ReadingsStayInTheirColumnWhateverTheName) {
  EXPECT_EQ(SensorListing::text(*makeController(), OwnSensorSettings()), "");
  add("disk", "SMART Disk Hitachi HTS545032B9SA02 (100415PBN40017G2L7KE)", 1, 42, "C", 1.0);
  add("core", "CPU Core 1", 1, 55, "C", 1.0);
  std::string wide;  // 19 characters of two cells each: one too many, and no half of one is shown
  for (int i = 0; i < 19; ++i) wide += "\u6E29";
  add("wide", wide, 1, 7, "C", 1.0);
  add("odd", "Fan \xFF\xFE", 6, 1200, "RPM", 1.0);                  // not UTF-8: shown as U+FFFD
  add("marks", "Fan e\u0301te\u0301 \x1b[2J", 6, 900, "RPM", 1.0);  // no cells, no terminal control
  add("volts", "B", 2, 12, "V", 0.001);
  fakes.bundle->tables["Localizable"]["C"] = "\u00B0C";  // one cell
  EXPECT_EQ(SensorListing::text(*makeController(), OwnSensorSettings()),
            "  0  CPU Core 1                                   55\u00B0C  core\n"
            "  1  SMART Disk Hitachi HTS545032B9SA02 \u2026         42\u00B0C  disk\n"
            "  2  "
            "\u6E29\u6E29\u6E29\u6E29\u6E29\u6E29\u6E29\u6E29\u6E29\u6E29\u6E29\u6E29\u6E29\u6E29"
            "\u6E29\u6E29\u6E29\u2026           7\u00B0C  wide\n"
            "  3  B                                       12.0000 V  volts\n"
            "  4  Fan e\u0301te\u0301 [2J                               900 RPM  marks\n"
            "  5  Fan \uFFFD\uFFFD                                   1200 RPM  odd\n");
}

}  // namespace
}  // namespace zor::testing
