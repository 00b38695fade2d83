// The limits a chip publishes beside a channel, as the widget lists them:
// "_max" as upper limit, "_crit" as critical limit (and as upper limit where
// there is no "_max"), and nothing from limit registers left unset.

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "tests/linux/HwmonTestMachine.h"

namespace zor::testing {
namespace {

class HwmonLimitsTest : public HwmonMachineTest {};

TEST_F(HwmonLimitsTest, ChipLimitsAreTheSensorsHardwareLimits) {
  const std::string coretemp = "sys/devices/platform/coretemp.0/hwmon/hwmon0/";
  const std::string nct = "sys/devices/platform/nct6775.656/hwmon/hwmon1/";
  struct Case {
    const char* what;
    std::string file;  // written into a copy of the desktop tree first, when given
    const char* contents;
    const char* identifier;
    std::optional<double> limit, critical;
  };
  const Case cases[] = {
      {"max and crit", "", "", "platform/coretemp.0.coretemp.temp2", 80.0, 100.0},
      {"a voltage's max", "", "", "platform/nct6775.656.nct6798.in0", 1.744, std::nullopt},
      {"none published", "", "", "platform/nct6775.656.nct6798.temp2", std::nullopt, std::nullopt},
      {"a fan has no upper limit here", "", "", "platform/nct6775.656.nct6798.fan2", std::nullopt,
       std::nullopt},
      {"crit alone", coretemp + "temp3_max", "0", "platform/coretemp.0.coretemp.temp3", 100.0,
       100.0},
      {"an unset register", nct + "in0_max", "0", "platform/nct6775.656.nct6798.in0", std::nullopt,
       std::nullopt},
      {"not a number", coretemp + "temp4_crit", "n/a", "platform/coretemp.0.coretemp.temp4", 80.0,
       std::nullopt},
      {"out of range", coretemp + "temp5_max", "99999999999", "platform/coretemp.0.coretemp.temp5",
       100.0, 100.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchTree tree("desktop-nct6798");
    if (!c.file.empty()) std::ofstream(tree / c.file) << c.contents << "\n";
    install(tree.dir());
    auto listed = listing();
    auto it = listed.find(std::string("hwmon.") + c.identifier);
    ASSERT_NE(it, listed.end());
    const nlohmann::json& sensor = it->second;
    EXPECT_EQ(sensor.contains("limit") ? std::optional<double>(sensor["limit"]) : std::nullopt,
              c.limit);
    EXPECT_EQ(
        sensor.contains("critical") ? std::optional<double>(sensor["critical"]) : std::nullopt,
        c.critical);
  }
}

}  // namespace
}  // namespace zor::testing
