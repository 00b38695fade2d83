// The simulated SMC driver on its own: the profiles it refuses, each with one
// line naming the file and the reason. What it answers is proved through the
// controller's tests.

#include "platform/simulated/SMCDriverBehaviour.h"

#include <gtest/gtest.h>

#include "tests/smc/SMCTestMachine.h"

namespace zor {
namespace {

using testing::smcKey;
using testing::sp78Key;

TEST(SMCDriverBehaviourTest, MalformedKeyListsAreRefused) {
  struct Case {
    PlistDictionary simulation;
    const char* reason;
  };
  const Case cases[] = {
      {{{"SMCKeys", "TC0D"}}, "\"SMCKeys\" must be an array"},
      {{{"SMCKeys", PlistArray{smcKey("TC0", "sp78", {0, 0})}}}, "four-character"},
      {{{"SMCKeys", PlistArray{smcKey("TC0D", "sp78x", {0, 0})}}}, "\"Type\""},
      {{{"SMCKeys", PlistArray{smcKey("TC0D", "ch8*", std::vector<std::uint8_t>(33))}}},
       "at most 32"},
      {{{"SMCKeys", PlistArray{sp78Key("TC0D", 1), sp78Key("TC0D", 2)}}}, "listed twice"},
      {{{"SMCKeys", PlistArray{}}, {"SMCFailIndices", PlistArray{PlistValue::integer(-1)}}},
       "\"SMCFailIndices\""},
      {{{"SMCKeys", PlistArray{}}, {"SMCFailKeys", PlistArray{"TC0DD"}}}, "\"SMCFailKeys\""},
  };
  for (const Case& c : cases) {
    PlistDictionary service{{"IOObjectClass", "AppleSMC"},
                            {"IORegistryEntryName", "SMC"},
                            {"ZORSimulation", PlistValue(c.simulation)}};
    PlistDictionary root{{"IOObjectClass", "IORegistryEntry"},
                         {"IORegistryEntryChildren", PlistArray{PlistValue(service)}}};
    std::string error;
    auto machine = Machine::fromProfile(PlistValue(PlistDictionary{{"Registry", PlistValue(root)}}),
                                        "bad.plist", &error);
    EXPECT_EQ(machine, nullptr) << c.reason;
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_NE(error.find("bad.plist"), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace zor
