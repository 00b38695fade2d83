// The SMC connection against the simulated SMC driver: discovery, the
// plausibility test, reads through the cache counted in driver calls, key
// listing, key names, precision, access policy and references.

#include "smc/ZORSystemManagementController.h"

#include <gtest/gtest.h>

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

constexpr std::uint8_t kInfo = _ZORSMCKeyData::kReadKeyInformation;
constexpr std::uint8_t kBytes = _ZORSMCKeyData::kReadBytes;
constexpr std::uint8_t kIndex = _ZORSMCKeyData::kKeyAtIndex;

const char* kRejection =
    "Strange entry for SMC CPU diode sensor 0 detected: Assuming defective or fake System "
    "Management Controller. Rejecting communication!\n";

PlistArray typicalKeys() {
  return {sp78Key("TC0D", 52.25), sp78Key("TB0T", 31.0), smcKey("FNum", "ui8 ", {2}),
          smcKey("F0Ac", "fpe2", {0x17, 0x70}), smcKey("MSAL", "flag", {1})};
}

class ZORSystemManagementControllerTest : public SMCTest {};

TEST_F(ZORSystemManagementControllerTest, NoServiceMeansNoControllerAndASearchEachTime) {
  ASSERT_TRUE(install(profileWithServices({})));
  EXPECT_TRUE(SMC::availableSystemManagementControllers().empty());
  EXPECT_EQ(SMC::sharedSystemManagementController(), nullptr);
  // The next call searches again: a machine that gains an SMC is found.
  ZORSystemManagementController::forgetSharedSystemManagementController();
  ASSERT_TRUE(installKeys(typicalKeys()));
  EXPECT_NE(SMC::sharedSystemManagementController(), nullptr);
}

TEST_F(ZORSystemManagementControllerTest, ServiceWithoutVersionIsSkipped) {
  ASSERT_TRUE(install(profileWithServices(
      {smcService(typicalKeys(), {}, false, "Bare"), smcService(typicalKeys(), {}, true, "SMC")})));
  auto controllers = SMC::availableSystemManagementControllers();
  ASSERT_EQ(controllers.size(), 1u);
  EXPECT_EQ(controllers.front()->versionNumber(), "1.41f3");
  EXPECT_EQ(machine_->registry().openConnectionCount(), 1u);
  EXPECT_EQ(SMC::controllerWithIORegistryEntry(nullptr), nullptr);
}

TEST_F(ZORSystemManagementControllerTest, SharedControllerIsKept) {
  ASSERT_TRUE(installKeys(typicalKeys()));
  auto first = SMC::sharedSystemManagementController();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(SMC::sharedSystemManagementController(), first);
  // Only the kept controller's connection stays open.
  EXPECT_EQ(machine_->registry().openConnectionCount(), 1u);
  EXPECT_NE(first->serviceConnection(), 0u);
}

TEST_F(ZORSystemManagementControllerTest, OpenErrorIsLoggedAndRefused) {
  ASSERT_TRUE(installKeys(typicalKeys(), {{"OpenError", PlistValue::integer(-536870201)}}));
  ScopedLogCapture log;
  EXPECT_EQ(SMC::sharedSystemManagementController(), nullptr);
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_EQ(log.lines()[0],
            "ZORSystemManagementController: could not open service connection (error "
            "-536870201)\n");
  EXPECT_EQ(outstanding(), 0);
}

TEST_F(ZORSystemManagementControllerTest, ImplausibleCPUDiodeIsRejected) {
  struct Case {
    const char* what;
    PlistValue diode;
    bool accepted;
  };
  const Case cases[] = {
      {"300.0", smcKey("TC0D", "sp96", {0x4B, 0x00}), false},
      {"256.9", smcKey("TC0D", "sp96", {0x40, 0x3A}), true},
      {"257.0", smcKey("TC0D", "fp97", {0x80, 0x80}), false},
      {"-128.0", sp78Key("TC0D", -128.0), true},
      {"ui16 257", smcKey("TC0D", "ui16", {0x01, 0x01}), false},
      {"ui16 256", smcKey("TC0D", "ui16", {0x01, 0x00}), true},
      {"text 300", smcKey("TC0D", "ch8*", {' ', '3', '0', '0', 'x'}), false},
      {"text 256", smcKey("TC0D", "ch8*", {'2', '5', '6', '.', '9'}), true},
      {"byte block", smcKey("TC0D", "zzzz", {0xFF, 0xFF, 0xFF}), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(installKeys({c.diode}));
    ScopedLogCapture log;
    auto controller = SMC::sharedSystemManagementController();
    EXPECT_EQ(controller != nullptr, c.accepted);
    EXPECT_EQ(log.contains(kRejection), !c.accepted);
    controller.reset();
    SMC::forgetSharedSystemManagementController();
    EXPECT_EQ(outstanding(), 0);
  }
}

TEST_F(ZORSystemManagementControllerTest, MissingDiodePassesAndTheDiodeStaysCached) {
  ASSERT_TRUE(installKeys({sp78Key("TB0T", 31.0)}));
  EXPECT_NE(SMC::sharedSystemManagementController(), nullptr);
  SMC::forgetSharedSystemManagementController();

  ASSERT_TRUE(installKeys(typicalKeys()));
  auto controller = SMC::sharedSystemManagementController();
  ASSERT_NE(controller, nullptr);
  std::uint64_t calls = driver().totalCallCount();
  EXPECT_EQ(calls, 2u);
  EXPECT_EQ(controller->objectValueForPropertyWithKey(std::string("TC0D")),
            PlistValue::real(52.25));
  EXPECT_EQ(driver().totalCallCount(), calls);
}

TEST_F(ZORSystemManagementControllerTest, CacheCostsTwoCallsPerFreshRead) {
  ASSERT_TRUE(installKeys(typicalKeys()));
  auto controller = SMC::sharedSystemManagementController();
  ASSERT_NE(controller, nullptr);
  driver().resetCallCounts();
  const std::string key = "TB0T";

  EXPECT_EQ(controller->objectValueForPropertyWithKey(key), PlistValue::real(31.0));
  EXPECT_EQ(driver().callCount(kInfo), 1u);
  EXPECT_EQ(driver().callCount(kBytes), 1u);
  double stamped = controller->valueCache().at(0x54423054).timestamp();

  clock_.advance(0.5);
  controller->objectValueForPropertyWithKey(key);
  clock_.advance(0.5);
  controller->descriptionForPropertyWithKey(key);
  EXPECT_EQ(driver().totalCallCount(), 2u) << "reads within one second cost nothing";

  clock_.advance(0.1);
  controller->typeCodeForPropertyWithKey(key);
  EXPECT_EQ(driver().callCount(kInfo), 2u);
  EXPECT_EQ(driver().callCount(kBytes), 2u);
  EXPECT_GT(controller->valueCache().at(0x54423054).timestamp(), stamped);
}

TEST_F(ZORSystemManagementControllerTest, AccessPolicySetsTheExpiryTime) {
  struct Case {
    std::int32_t policy;
    double seconds;
  };
  for (Case c : {Case{1, 10.0}, Case{2, 60.0}, Case{7, 1.0}, Case{0, 1.0}, Case{-1, 1.0}}) {
    SMC::setAccessPolicy(c.policy);
    EXPECT_EQ(SMC::accessPolicy(), c.policy);
    EXPECT_EQ(ZORSMCCachedValue::cacheExpireTime(), c.seconds) << c.policy;
  }
  ASSERT_TRUE(installKeys(typicalKeys()));
  auto controller = SMC::sharedSystemManagementController();
  ASSERT_NE(controller, nullptr);
  SMC::setAccessPolicy(2);
  controller->objectValueForPropertyWithKey(std::string("TB0T"));
  driver().resetCallCounts();
  clock_.advance(59.0);
  controller->objectValueForPropertyWithKey(std::string("TB0T"));
  EXPECT_EQ(driver().totalCallCount(), 0u);
  SMC::setAccessPolicy(7);
  controller->objectValueForPropertyWithKey(std::string("TB0T"));
  EXPECT_EQ(driver().totalCallCount(), 2u);
}

TEST_F(ZORSystemManagementControllerTest, FailedReadLogsAndLeavesTheCache) {
  ASSERT_TRUE(installKeys(typicalKeys(), {{"SMCFailKeys", PlistArray{"TB0T"}}}));
  auto controller = SMC::sharedSystemManagementController();
  ASSERT_NE(controller, nullptr);
  ScopedLogCapture log;
  EXPECT_FALSE(controller->objectValueForPropertyWithKey(std::string("TB0T")).has_value());
  EXPECT_EQ(controller->precisionForPropertyWithKey(std::string("TB0T")), -1.0);
  ASSERT_FALSE(log.lines().empty());
  EXPECT_EQ(log.lines()[0],
            "ZORSystemManagementController: function call failed with error -536870212\n");
  EXPECT_EQ(controller->valueCache().count(0x54423054), 0u);
}

TEST_F(ZORSystemManagementControllerTest, AbsentKeyIsCachedWithSizeZero) {
  ASSERT_TRUE(installKeys(typicalKeys()));
  auto controller = SMC::sharedSystemManagementController();
  ASSERT_NE(controller, nullptr);
  driver().resetCallCounts();
  EXPECT_FALSE(controller->objectValueForPropertyWithKey(std::string("TZZZ")).has_value());
  EXPECT_FALSE(controller->descriptionForPropertyWithKey(std::string("TZZZ")).has_value());
  EXPECT_EQ(controller->typeCodeForPropertyWithKey(std::string("TZZZ")), "    ");
  EXPECT_EQ(driver().totalCallCount(), 2u);
  EXPECT_EQ(controller->valueCache().at(0x545a5a5a).cachedValue().dataSize, 0u);
}

TEST_F(ZORSystemManagementControllerTest, KeysOfWrongLengthCostNoCall) {
  ASSERT_TRUE(installKeys(typicalKeys()));
  auto controller = SMC::sharedSystemManagementController();
  ASSERT_NE(controller, nullptr);
  driver().resetCallCounts();
  for (const char* key : {"TC0", "TC0DD", ""}) {
    EXPECT_FALSE(controller->objectValueForPropertyWithKey(std::string(key)).has_value()) << key;
    EXPECT_FALSE(controller->typeCodeForPropertyWithKey(std::string(key)).has_value()) << key;
    EXPECT_FALSE(controller->descriptionForPropertyWithKey(std::string(key)).has_value()) << key;
    EXPECT_EQ(controller->precisionForPropertyWithKey(std::string(key)), -1.0) << key;
  }
  EXPECT_FALSE(controller->objectValueForPropertyWithKey(std::nullopt).has_value());
  EXPECT_EQ(driver().totalCallCount(), 0u);
  _ZORSMCValue value;
  EXPECT_FALSE(controller->getValue(&value, 0));
  EXPECT_FALSE(controller->getValue(nullptr, 0x54433044));
}

TEST_F(ZORSystemManagementControllerTest, NamesTypesAndTexts) {
  ASSERT_TRUE(installKeys(typicalKeys()));
  auto controller = SMC::sharedSystemManagementController();
  ASSERT_NE(controller, nullptr);
  EXPECT_EQ(controller->typeCodeForPropertyWithKey(std::string("FNum")), "ui8 ");
  EXPECT_EQ(controller->typeCodeForPropertyWithKey(std::string("F0Ac")), "fpe2");
  EXPECT_EQ(controller->descriptionForPropertyWithKey(std::string("F0Ac")), "1500");
  EXPECT_EQ(controller->descriptionForPropertyWithKey(std::string("MSAL")), "1");
  EXPECT_EQ(controller->objectValueForPropertyWithKey(std::string("FNum")),
            PlistValue::unsignedInteger(2));
}

TEST_F(ZORSystemManagementControllerTest, Precision) {
  ASSERT_TRUE(installKeys({sp78Key("TC0D", 40.0), smcKey("FNum", "ui8 ", {2}),
                           smcKey("F0Ac", "fpe2", {0, 4}), smcKey("Tbad", "sp4a", {0, 4})}));
  auto controller = SMC::sharedSystemManagementController();
  ASSERT_NE(controller, nullptr);
  EXPECT_EQ(controller->precisionForPropertyWithKey(std::string("TC0D")), 0.00390625);
  EXPECT_EQ(controller->precisionForPropertyWithKey(std::string("F0Ac")), 0.25);
  EXPECT_EQ(controller->precisionForPropertyWithKey(std::string("FNum")), 0.0);
  // An "sp" code that is not one of the known ones.
  EXPECT_EQ(controller->precisionForPropertyWithKey(std::string("Tbad")), -1.0);
}

TEST_F(ZORSystemManagementControllerTest, KeyListSkipsFailingIndices) {
  ASSERT_TRUE(installKeys({sp78Key("TC0D", 40.0), sp78Key("TB0T", 30.0), sp78Key("Th0H", 35.0)},
                          {{"SMCFailIndices", PlistArray{PlistValue::integer(1)}}}));
  auto controller = SMC::sharedSystemManagementController();
  ASSERT_NE(controller, nullptr);
  driver().resetCallCounts();
  ScopedLogCapture log;
  EXPECT_EQ(controller->allPropertyKeys(), (std::vector<std::string>{"TC0D", "Th0H"}));
  EXPECT_EQ(driver().callCount(kIndex), 3u);
  EXPECT_EQ(log.lines().size(), 1u);
  // "#KEY" is cached like any key; the index calls are not.
  controller->allPropertyKeys();
  EXPECT_EQ(driver().callCount(kInfo), 1u);
  EXPECT_EQ(driver().callCount(kIndex), 6u);
}

TEST_F(ZORSystemManagementControllerTest, KeyCountFromTheProfileWhenListed) {
  // The profile's "#KEY" claims fewer keys than it lists.
  ASSERT_TRUE(installKeys(
      {smcKey("#KEY", "ui32", {0, 0, 0, 2}), sp78Key("TC0D", 40.0), sp78Key("TB0T", 30.0)}));
  auto controller = SMC::sharedSystemManagementController();
  ASSERT_NE(controller, nullptr);
  EXPECT_EQ(controller->allPropertyKeys(), (std::vector<std::string>{"#KEY", "TC0D"}));
}

TEST_F(ZORSystemManagementControllerTest, UnreadableKeyCountGivesNoKeys) {
  struct Case {
    const char* what;
    PlistArray keys;
    PlistDictionary simulation;
  };
  const Case cases[] = {
      {"failing", {sp78Key("TC0D", 40.0)}, {{"SMCFailKeys", PlistArray{"#KEY"}}}},
      {"not a number", {smcKey("#KEY", "ch8*", {'4'}), sp78Key("TC0D", 40.0)}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(installKeys(c.keys, c.simulation));
    ScopedLogCapture log;
    auto controller = SMC::sharedSystemManagementController();
    ASSERT_NE(controller, nullptr);
    EXPECT_TRUE(controller->allPropertyKeys().empty());
    EXPECT_EQ(driver().callCount(kIndex), 0u);
    controller.reset();
    SMC::forgetSharedSystemManagementController();
  }
}

TEST_F(ZORSystemManagementControllerTest, AbsurdKeyCountIsBounded) {
  // A signed byte of -1 read as an unsigned count.
  ASSERT_TRUE(installKeys({smcKey("#KEY", "si8 ", {0xFF}), sp78Key("TC0D", 40.0)}));
  auto controller = SMC::sharedSystemManagementController();
  ASSERT_NE(controller, nullptr);
  ScopedLogCapture log;
  auto keys = controller->allPropertyKeys();
  EXPECT_EQ(keys, (std::vector<std::string>{"#KEY", "TC0D"}));
  EXPECT_LE(driver().callCount(kIndex), 0x10000u);
}

TEST_F(ZORSystemManagementControllerTest, StructureCallNeedsAConnectionAndRecords) {
  SMC unopened;
  _ZORSMCKeyData input;
  _ZORSMCKeyData output;
  ScopedLogCapture log;
  EXPECT_FALSE(unopened.callServiceFunctionWithInput(&input, &output));
  EXPECT_TRUE(unopened.allPropertyKeys().empty());
  EXPECT_FALSE(unopened.versionNumber().has_value());
  ASSERT_TRUE(installKeys(typicalKeys()));
  auto controller = SMC::sharedSystemManagementController();
  ASSERT_NE(controller, nullptr);
  EXPECT_FALSE(controller->callServiceFunctionWithInput(nullptr, &output));
  EXPECT_FALSE(controller->callServiceFunctionWithInput(&input, nullptr));
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(ZORSystemManagementControllerTest, EndingAControllerGivesEverythingBack) {
  ASSERT_TRUE(installKeys(typicalKeys()));
  {
    auto controllers = SMC::availableSystemManagementControllers();
    ASSERT_EQ(controllers.size(), 1u);
    // The entry and the connection.
    EXPECT_EQ(outstanding(), 2);
  }
  EXPECT_EQ(outstanding(), 0);
  EXPECT_EQ(machine_->registry().openConnectionCount(), 0u);
}

TEST_F(ZORSystemManagementControllerTest, LowAccessRateRecommendation) {
  PlistDictionary childless{{"IOObjectClass", "ACPI_SMC_PlatformPlugin"},
                            {"IORegistryEntryName", "Plugin"}};
  PlistDictionary parent = childless;
  parent["IORegistryEntryChildren"] =
      PlistArray{PlistDictionary{{"IOObjectClass", "IOService"}, {"IORegistryEntryName", "Kid"}}};
  ASSERT_TRUE(install(profileWithServices({smcService(typicalKeys())})));
  EXPECT_FALSE(SMC::isLowAccessRatePolicyRecommended());
  ASSERT_TRUE(install(profileWithServices({childless, parent})));
  EXPECT_FALSE(SMC::isLowAccessRatePolicyRecommended());
  ASSERT_TRUE(install(profileWithServices({parent, childless})));
  EXPECT_TRUE(SMC::isLowAccessRatePolicyRecommended());
}

}  // namespace
}  // namespace zor
