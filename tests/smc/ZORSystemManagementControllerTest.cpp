// The SMC connection against the simulated SMC driver: the profiles the
// driver refuses, discovery, the plausibility test, reads through the cache
// counted in driver calls, key listing, access policy and references.

#include "smc/ZORSystemManagementController.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/SystemLog.h"
#include "smc/_ZORSMCKeyData.h"
#include "tests/smc/SMCTestMachine.h"

namespace zor {
namespace {

using testing::profileWithServices;
using testing::smcKey;
using testing::smcService;
using testing::SMCTest;
using testing::sp78Key;
using SMC = ZORSystemManagementController;

constexpr std::uint8_t kIndex = _ZORSMCKeyData::kKeyAtIndex;

PlistArray typicalKeys() {
  return {sp78Key("TC0D", 52.25), sp78Key("TB0T", 31.0), smcKey("FNum", "ui8 ", {2}),
          smcKey("F0Ac", "fpe2", {0x17, 0x70}), smcKey("Tbad", "sp4a", {0, 4})};
}

TEST(SMCDriverBehaviourTest, MalformedKeyListsAreRefusedWithOneLineNamingFileAndReason) {
  const std::pair<PlistDictionary, const char*> cases[] = {
      {{{"SMCKeys", "TC0D"}}, "\"SMCKeys\" must be an array"},
      {{{"SMCKeys", PlistArray{smcKey("TC0", "sp78", {0, 0})}}}, "four-character"},
      {{{"SMCKeys", PlistArray{smcKey("TC0D", "sp78x", {0, 0})}}}, "\"Type\""},
      {{{"SMCKeys", PlistArray{smcKey("TC0D", "ch8*", std::vector<std::uint8_t>(33))}}},
       "at most 32"},
      {{{"SMCKeys", PlistArray{sp78Key("TC0D", 1), sp78Key("TC0D", 2)}}}, "listed twice"},
      {{{"SMCKeys", PlistArray{}}, {"SMCFailIndices", PlistArray{PlistValue::integer(-1)}}},
       "\"SMCFailIndices\""},
      {{{"SMCKeys", PlistArray{}}, {"SMCFailKeys", PlistArray{"TC0DD"}}}, "\"SMCFailKeys\""}};
  for (const auto& [simulation, reason] : cases) {
    PlistDictionary service{{"IOObjectClass", "AppleSMC"}, {"ZORSimulation", simulation}};
    std::string error;
    auto machine = Machine::fromProfile(profileWithServices({service}), "bad.plist", &error);
    EXPECT_EQ(machine, nullptr) << reason;
    EXPECT_NE(error.find(reason), std::string::npos) << error;
    EXPECT_NE(error.find("bad.plist"), std::string::npos) << error;
  }
}

// Valid up to and including the expiry time in force at the check; a clock
// set backwards keeps the entry valid; a never-set entry is never valid.
TEST(ZORSMCCachedValueTest, ValidUpToAndIncludingTheExpiryTime) {
  ScopedManualClock clock;
  ZORSMCCachedValue fresh;
  ZORSMCCachedValue::setCacheExpireTime(1.0e12);
  EXPECT_FALSE(fresh.isValid());
  const std::tuple<double, double, bool> cases[] = {{1.0, 0.0, true},   {1.0, 1.0, true},
                                                    {1.0, 1.1, false},  {1.0, -100.0, true},
                                                    {1.0, 30.0, false}, {60.0, 30.0, true}};
  for (const auto& [expiry, after, valid] : cases) {
    ZORSMCCachedValue entry;
    _ZORSMCValue value;
    entry.setCachedValue(&value);
    ZORSMCCachedValue::setCacheExpireTime(expiry);
    clock.advance(after);
    EXPECT_EQ(entry.isValid(), valid) << expiry << " s expiry, " << after << " s later";
  }
  // The access policy sets the expiry time; unusable times leave it as it is.
  for (auto [policy, seconds] : {std::pair{1, 10.0}, {7, 1.0}, {0, 1.0}, {-1, 1.0}, {2, 60.0}}) {
    SMC::setAccessPolicy(policy);
    EXPECT_EQ(ZORSMCCachedValue::cacheExpireTime(), seconds) << policy;
  }
  for (double refused : {0.0, -5.0, std::nan("")}) {
    ZORSMCCachedValue::setCacheExpireTime(refused);
    EXPECT_EQ(ZORSMCCachedValue::cacheExpireTime(), 60.0) << refused;
  }
  SMC::setAccessPolicy(0);
}

class ZORSystemManagementControllerTest : public SMCTest {
 protected:
  std::shared_ptr<SMC> open(PlistArray keys, PlistDictionary simulation = {}) {
    if (!installKeys(std::move(keys), std::move(simulation))) return nullptr;
    return SMC::sharedSystemManagementController();
  }
};

TEST_F(ZORSystemManagementControllerTest, DiscoverySkipsServicesWithoutVersionAndSearchesAgain) {
  ASSERT_TRUE(install(profileWithServices({})));
  EXPECT_EQ(SMC::sharedSystemManagementController(), nullptr);
  // A machine that gains an SMC is found on the next call.
  ASSERT_TRUE(install(profileWithServices(
      {smcService(typicalKeys(), {}, false, "Bare"), smcService(typicalKeys(), {}, true, "SMC")})));
  {
    auto controllers = SMC::availableSystemManagementControllers();
    ASSERT_EQ(controllers.size(), 1u);
    EXPECT_EQ(controllers.front()->versionNumber(), "1.41f3");
    EXPECT_EQ(outstanding(), 2);  // the entry and the connection
  }
  // An ended controller gives back its entry and closes its connection.
  EXPECT_EQ(outstanding(), 0);
  EXPECT_EQ(machine_->registry().openConnectionCount(), 0u);
  auto shared = SMC::sharedSystemManagementController();
  ASSERT_NE(shared, nullptr);
  EXPECT_EQ(SMC::sharedSystemManagementController(), shared);
  EXPECT_EQ(machine_->registry().openConnectionCount(), 1u);
}

TEST_F(ZORSystemManagementControllerTest, OpenErrorIsLoggedAndRefused) {
  ScopedLogCapture log;
  EXPECT_EQ(open(typicalKeys(), {{"OpenError", PlistValue::integer(-536870201)}}), nullptr);
  EXPECT_EQ(log.lines(), (std::vector<std::string>{"ZORSystemManagementController: could not open "
                                                   "service connection (error -536870201)\n"}));
  EXPECT_EQ(outstanding(), 0);
}

TEST_F(ZORSystemManagementControllerTest, ImplausibleCPUDiodeIsRejected) {
  const std::tuple<const char*, PlistValue, bool> cases[] = {
      {"300.0", smcKey("TC0D", "sp96", {0x4B, 0x00}), false},
      {"256.9", smcKey("TC0D", "sp96", {0x40, 0x3A}), true},
      {"257.0 unsigned", smcKey("TC0D", "fp97", {0x80, 0x80}), false},
      {"-128.0", sp78Key("TC0D", -128.0), true},
      {"ui16 257", smcKey("TC0D", "ui16", {0x01, 0x01}), false},
      {"text 300", smcKey("TC0D", "ch8*", {' ', '3', '0', '0', 'x'}), false},
      {"text 256", smcKey("TC0D", "ch8*", {'2', '5', '6', '.', '9'}), true},
      {"byte block", smcKey("TC0D", "zzzz", {0xFF, 0xFF, 0xFF}), true},
      {"no diode", sp78Key("TB0T", 31.0), true}};
  for (const auto& [what, key, accepted] : cases) {
    SCOPED_TRACE(what);
    ScopedLogCapture log;
    EXPECT_EQ(open({key}) != nullptr, accepted);
    EXPECT_EQ(log.contains("Strange entry for SMC CPU diode sensor 0 detected: Assuming defective "
                           "or fake System Management Controller. Rejecting communication!\n"),
              !accepted);
    SMC::forgetSharedSystemManagementController();
    EXPECT_EQ(outstanding(), 0);
  }
}

TEST_F(ZORSystemManagementControllerTest, CacheCostsTwoCallsPerFreshRead) {
  auto controller = open(typicalKeys());
  ASSERT_NE(controller, nullptr);
  // The plausibility test's read of the diode is cached too.
  EXPECT_EQ(driver().totalCallCount(), 2u);
  EXPECT_EQ(controller->objectValueForPropertyWithKey(std::string("TC0D")),
            PlistValue::real(52.25));
  driver().resetCallCounts();
  const std::string key = "TB0T";
  EXPECT_EQ(controller->objectValueForPropertyWithKey(key), PlistValue::real(31.0));
  EXPECT_EQ(driver().callCount(_ZORSMCKeyData::kReadKeyInformation), 1u);
  EXPECT_EQ(driver().callCount(_ZORSMCKeyData::kReadBytes), 1u);
  clock_.advance(0.5);
  controller->objectValueForPropertyWithKey(key);
  clock_.advance(0.5);
  controller->descriptionForPropertyWithKey(key);
  EXPECT_EQ(driver().totalCallCount(), 2u) << "reads within one second cost nothing";
  clock_.advance(0.1);
  controller->typeCodeForPropertyWithKey(key);
  EXPECT_EQ(driver().totalCallCount(), 4u);
  // A longer expiry from the access policy holds the value longer.
  SMC::setAccessPolicy(2);
  clock_.advance(59.0);
  controller->objectValueForPropertyWithKey(key);
  EXPECT_EQ(driver().totalCallCount(), 4u);
}

TEST_F(ZORSystemManagementControllerTest, FailedAbsentAndMalformedKeys) {
  auto controller = open(typicalKeys(), {{"SMCFailKeys", PlistArray{"TB0T"}}});
  ASSERT_NE(controller, nullptr);
  ScopedLogCapture log;
  // A failing read is logged and leaves nothing in the cache.
  EXPECT_FALSE(controller->objectValueForPropertyWithKey(std::string("TB0T")).has_value());
  EXPECT_EQ(log.lines().at(0),
            "ZORSystemManagementController: function call failed with error -536870212\n");
  EXPECT_EQ(controller->valueCache().count(0x54423054), 0u);
  // An absent key is cached with size zero.
  driver().resetCallCounts();
  EXPECT_FALSE(controller->objectValueForPropertyWithKey(std::string("TZZZ")).has_value());
  EXPECT_EQ(controller->typeCodeForPropertyWithKey(std::string("TZZZ")), "    ");
  EXPECT_EQ(driver().totalCallCount(), 2u);
  // Keys of the wrong length cost no call.
  driver().resetCallCounts();
  for (const char* key : {"TC0", "TC0DD", ""}) {
    EXPECT_FALSE(controller->descriptionForPropertyWithKey(std::string(key)).has_value()) << key;
    EXPECT_EQ(controller->precisionForPropertyWithKey(std::string(key)), -1.0) << key;
  }
  EXPECT_FALSE(controller->objectValueForPropertyWithKey(std::nullopt).has_value());
  EXPECT_EQ(driver().totalCallCount(), 0u);
}

TEST_F(ZORSystemManagementControllerTest, TypesTextsAndPrecision) {
  auto controller = open(typicalKeys());
  ASSERT_NE(controller, nullptr);
  // {key, type, text, precision}; "sp4a" is an "sp" code that is not a known one.
  const std::tuple<std::string, const char*, const char*, double> cases[] = {
      {"TC0D", "sp78", "52.25", 0.00390625},
      {"F0Ac", "fpe2", "1500", 0.25},
      {"FNum", "ui8 ", "2", 0.0},
      {"Tbad", "sp4a", "00 04 ", -1.0}};
  for (const auto& [key, type, text, precision] : cases) {
    EXPECT_EQ(controller->typeCodeForPropertyWithKey(key), std::string(type)) << key;
    EXPECT_EQ(controller->descriptionForPropertyWithKey(key), std::string(text)) << key;
    EXPECT_EQ(controller->precisionForPropertyWithKey(key), precision) << key;
  }
}

TEST_F(ZORSystemManagementControllerTest, KeyListing) {
  struct Case {
    const char* what;
    PlistArray keys;
    PlistDictionary simulation;
    std::vector<std::string> listed;
    bool kept;  // a second listing asks the driver nothing
  };
  const PlistArray three{sp78Key("TC0D", 40.0), sp78Key("TB0T", 30.0), sp78Key("Th0H", 35.0)};
  const Case cases[] = {
      {"failing index is skipped",
       three,
       {{"SMCFailIndices", PlistArray{PlistValue::integer(1)}}},
       {"TC0D", "Th0H"},
       false},
      // The profile's "#KEY" claims fewer keys than it lists.
      {"count from the profile",
       {smcKey("#KEY", "ui32", {0, 0, 0, 2}), sp78Key("TC0D", 40.0), sp78Key("TB0T", 30.0)},
       {},
       {"#KEY", "TC0D"},
       true},
      {"failing count", three, {{"SMCFailKeys", PlistArray{"#KEY"}}}, {}, false},
      {"count not a number", {smcKey("#KEY", "ch8*", {'4'}), sp78Key("TC0D", 40.0)}, {}, {}, false},
      // A signed byte of -1 read as an unsigned count is bounded by the listed keys.
      {"absurd count",
       {smcKey("#KEY", "si8 ", {0xFF}), sp78Key("TC0D", 40.0)},
       {},
       {"#KEY", "TC0D"},
       false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedLogCapture log;
    auto controller = open(c.keys, c.simulation);
    ASSERT_NE(controller, nullptr);
    driver().resetCallCounts();
    EXPECT_EQ(controller->allPropertyKeys(), c.listed);
    EXPECT_LE(driver().callCount(kIndex), 0x10000u);
    driver().resetCallCounts();
    EXPECT_EQ(controller->allPropertyKeys(), c.listed);
    EXPECT_EQ(driver().callCount(kIndex) == 0, c.kept || c.listed.empty());
    controller.reset();
    SMC::forgetSharedSystemManagementController();
  }
}

TEST_F(ZORSystemManagementControllerTest, LowAccessRateRecommendation) {
  PlistDictionary childless{{"IOObjectClass", "ACPI_SMC_PlatformPlugin"},
                            {"IORegistryEntryName", "Plugin"}};
  PlistDictionary parent = childless;
  parent["IORegistryEntryChildren"] =
      PlistArray{PlistDictionary{{"IOObjectClass", "IOService"}, {"IORegistryEntryName", "Kid"}}};
  ASSERT_TRUE(install(profileWithServices({childless, parent})));
  EXPECT_FALSE(SMC::isLowAccessRatePolicyRecommended());
  ASSERT_TRUE(install(profileWithServices({parent, childless})));
  EXPECT_TRUE(SMC::isLowAccessRatePolicyRecommended());
}

}  // namespace
}  // namespace zor
