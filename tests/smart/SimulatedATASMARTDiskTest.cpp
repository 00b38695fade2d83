// The simulated S.M.A.R.T. disk: the profiles it refuses and its "Wave"
// temperatures.

#include <gtest/gtest.h>

#include <string>

#include "tests/smart/SMARTTestMachine.h"

namespace zor::testing {
namespace {

TEST(SimulatedDiskTest, RefusesAMalformedDiskWithOneLine) {
  const std::pair<PlistDictionary, const char*> cases[] = {
      {{{"Data", PlistValue(PlistData(511))}}, "\"Data\" must be data of 512 bytes (has 511)"},
      {{{"ThresholdExceeded", PlistValue::integer(1)}}, "\"ThresholdExceeded\" must be a boolean"},
      {{{"Fail", PlistValue(PlistArray{PlistValue("ReadData"), PlistValue("Eat")})}},
       "the unknown operation \"Eat\""}};
  for (const auto& [smart, reason] : cases) {
    PlistValue entry(
        PlistDictionary{{"IOObjectClass", PlistValue("IOAHCIBlockStorageDevice")},
                        {"ZORSimulation", PlistValue(PlistDictionary{{"ATASMART", smart}})}});
    std::string error;
    auto machine = Machine::fromProfile(PlistValue(profileWithEntries({entry})), "t.plist", &error);
    EXPECT_EQ(machine, nullptr);
    EXPECT_NE(error.find(reason), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
}

TEST_F(SMARTTest, WaveSetsTheTemperatureBytesOfItsAttribute) {
  PlistValue entry = diskEntry(DiskSpec{});
  (*(*entry.asDictionary())["ZORSimulation"].asDictionary())["Wave"] = PlistValue(PlistDictionary{
      {"194", PlistValue(PlistDictionary{{"Base", PlistValue::real(50)},
                                         {"Amplitude", PlistValue::real(10)},
                                         {"PeriodSeconds", PlistValue::real(400)}})}});
  install(profileWithEntries({entry}));
  clock_.clock().set(4000 + 100);  // a quarter period: the crest
  auto device = deviceNamed("disk");
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->temperature(), 60);
  clock_.clock().set(4000 + 300);  // the trough
  EXPECT_EQ(device->temperature(), 40);
  ZORSMARTVendorAttribute other;
  ASSERT_TRUE(device->getVendorSpecificSMARTAttribute(&other, 1));
  EXPECT_EQ(other.rawValue48(), 0u);  // other attributes keep their bytes
}

}  // namespace
}  // namespace zor::testing
