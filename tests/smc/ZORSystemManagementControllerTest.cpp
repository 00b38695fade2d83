// The SMC connection: decoding of value records by data type and size and
// the key-code packing; against the simulated SMC driver the profiles the
// driver refuses, discovery, the plausibility test, reads through the cache
// counted in driver calls, key listing with its log lines, and references.

#include "smc/ZORSystemManagementController.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/StringFormat.h"
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

_ZORSMCValue record(const std::string& type, std::vector<std::uint8_t> bytes,
                    std::optional<std::uint32_t> size = std::nullopt) {
  _ZORSMCValue value;
  value.dataType = SMC::fourCharCodeForKeyString(type);
  value.dataSize = size.value_or(static_cast<std::uint32_t>(bytes.size()));
  std::copy(bytes.begin(), bytes.end(), value.bytes.begin());
  return value;
}

TEST(ZORSMCValueDecodingTest, EveryTypeRow) {
  PlistData cut(32);
  cut[0] = 1;
  const std::pair<_ZORSMCValue, PlistValue> cases[] = {
      {record("ui8 ", {0xFF}), PlistValue::unsignedInteger(255)},
      {record(std::string("ui8\0", 4), {0x2A}), PlistValue::unsignedInteger(42)},
      {record("byte", {0x80}), PlistValue::unsignedInteger(128)},
      {record("si8 ", {0xFF}), PlistValue::integer(-1)},
      {record("ui16", {0x12, 0x34}), PlistValue::unsignedInteger(0x1234)},
      {record("ui32", {0xFF, 0xFF, 0xFF, 0xFE}), PlistValue::unsignedInteger(4294967294u)},
      {record("flag", {1}), PlistValue::boolean(true)},
      {record("flag", {2}), PlistValue::boolean(false)},
      {record("sp78", {0x2D, 0x80}), PlistValue::real(45.5)},
      {record("sp78", {0xFF, 0x80}), PlistValue::real(-0.5)},
      {record("fpe2", {0x00, 0x0B}), PlistValue::real(2.75)},
      {record("fp88", {0xFF, 0x80}), PlistValue::real(255.5)},
      {record("ch8*", {'A', 0, 0x7F, 0x80, 0x8A}),
       PlistValue(std::string("A\0\x7F\u00C4\u00E4", 7))},
      {record("{rev", {0x01, 0x1E, 0x0F, 0x00, 0x00, 0x03}), PlistValue("1.30f3")},
      {record("{fds", {9, 9, 9, 9, 'D', 'E', 'S', 'K', 0, 'x'}, 16), PlistValue("DESK")},
      {record("{fds", {9, 9, 9, 9, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L'}),
       PlistValue("ABCDEFGHIJKL")},
      {record("{alv", {0xAA, 0xBB, 0x01, 0x02, 0xCC, 0xDD}), PlistValue::unsignedInteger(0x0102)},
      // Sizes that do not fit their row, unknown types and unknown fixed-point
      // codes are byte blocks; sizes above 32 are cut.
      {record("flag", {1, 0}), PlistValue(PlistData{1, 0})},
      {record("sp78", {0x2D}), PlistValue(PlistData{0x2D})},
      {record("sp4a", {0x01, 0x02}), PlistValue(PlistData{0x01, 0x02})},
      {record("ui16", {1, 2, 3, 4}), PlistValue(PlistData{1, 2, 3, 4})},
      {record("ui32", {1, 2}), PlistValue(PlistData{1, 2})},
      {record("{alv", {1, 2, 3, 4, 5, 6, 7}), PlistValue(PlistData{1, 2, 3, 4, 5, 6, 7})},
      {record("{rev", {1, 2, 3, 4, 5}), PlistValue(PlistData{1, 2, 3, 4, 5})},
      {record("{fds", {}, 15), PlistValue(PlistData(15, 0))},
      {record("what", {1}, 0xFFFFFFFF), PlistValue(cut)}};
  for (const auto& [value, expected] : cases) {
    EXPECT_EQ(SMC::objectValueForSMCValue(&value), expected)
        << SMC::stringForFourCharCode(value.dataType) << " size " << value.dataSize;
  }
  // Nothing for no record or an empty one.
  EXPECT_FALSE(SMC::objectValueForSMCValue(nullptr).has_value());
  _ZORSMCValue empty = record("sp78", {0x2D, 0x80}, 0);
  EXPECT_FALSE(SMC::objectValueForSMCValue(&empty).has_value());
}

// Keys are Mac OS Roman text of exactly four characters; anything else is code 0.
TEST(ZORSMCValueDecodingTest, KeyStringsAndCodes) {
  // A zero byte ends the text; "\u00E4" is the byte 0x8A; U+20BD has no Mac OS
  // Roman form; beyond U+FFFF counts as two characters; the byte 0xFF (octal 377) is not UTF-8.
  const std::pair<std::optional<std::string>, std::uint32_t> cases[] = {
      {"TC0D", 0x54433044u},      {std::string("a\0bc", 4), 0x61000000u},
      {"T\u00E40D", 0x548A3044u}, {"TC0", 0u},
      {std::nullopt, 0u},         {"T\u20BD0D", 0u},
      {"T\U0001F600D", 0u},       {"T\3770D", 0u}};
  for (const auto& [key, code] : cases) {
    EXPECT_EQ(SMC::fourCharCodeForKeyString(key), code) << key.value_or("(null)");
  }
  const std::pair<std::uint32_t, const char*> texts[] = {
      {0, "    "}, {0x61006263u, "a   "}, {0x548A3044u, "T\u00E40D"}, {0x80000000u, "\u00C4   "}};
  for (const auto& [code, text] : texts) EXPECT_EQ(SMC::stringForFourCharCode(code), text);
}

PlistArray typicalKeys() {
  return {sp78Key("TC0D", 52.25), sp78Key("TB0T", 31.0), smcKey("FNum", "ui8 ", {2})};
}

TEST(SMCDriverBehaviourTest, MalformedKeyListsAreRefusedWithOneLineNamingFileAndReason) {
  const std::pair<PlistDictionary, const char*> cases[] = {
      {{{"SMCKeys", "TC0D"}}, "\"SMCKeys\" must be an array"},
      {{{"SMCKeys", PlistArray{smcKey("TC0D", "ch8*", std::vector<std::uint8_t>(33))}}},
       "at most 32"},
      {{{"SMCKeys", PlistArray{sp78Key("TC0D", 1), sp78Key("TC0D", 2)}}}, "listed twice"},
  };
  for (const auto& [simulation, reason] : cases) {
    PlistDictionary service{{"IOObjectClass", "AppleSMC"}, {"ZORSimulation", simulation}};
    std::string error;
    EXPECT_EQ(Machine::fromProfile(profileWithServices({service}), "bad.plist", &error), nullptr);
    EXPECT_TRUE(error.find("\"bad.plist\"") != std::string::npos &&
                error.find(reason) != std::string::npos)
        << error;
  }
}

// Valid up to and including the expiry time in force at the check (the
// access policy sets it); a clock set backwards keeps the entry valid; a
// never-set entry is never valid.
TEST(ZORSMCCachedValueTest, ValidUpToTheExpiryTimeInForce) {
  ScopedManualClock clock;
  EXPECT_FALSE(ZORSMCCachedValue().isValid());
  const std::tuple<int, double, double, bool> cases[] = {
      {0, 1.0, 1.0, true},    {0, 1.0, -100.0, true}, {2, 60.0, 59.0, true},
      {2, 60.0, 61.0, false}, {1, 10.0, 11.0, false}, {7, 1.0, 1.1, false}};
  for (const auto& [policy, expiry, after, valid] : cases) {
    ZORSMCCachedValue entry;
    _ZORSMCValue value;
    entry.setCachedValue(&value);
    SMC::setAccessPolicy(policy);
    EXPECT_EQ(ZORSMCCachedValue::cacheExpireTime(), expiry) << policy;
    clock.advance(after);
    EXPECT_EQ(entry.isValid(), valid) << "policy " << policy << ", " << after << " s later";
  }
  SMC::setAccessPolicy(0);
}

class ZORSystemManagementControllerTest : public SMCTest {
 protected:
  std::shared_ptr<SMC> open(PlistArray keys, PlistDictionary simulation = {}) {
    SMC::forgetSharedSystemManagementController();
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
  EXPECT_EQ(SMC::availableSystemManagementControllers().size(), 1u);
  // An ended controller gives back its entry and closes its connection.
  EXPECT_EQ(outstanding(), 0);
  EXPECT_EQ(machine_->registry().openConnectionCount(), 0u);
  auto shared = SMC::sharedSystemManagementController();
  ASSERT_NE(shared, nullptr);
  EXPECT_EQ(SMC::sharedSystemManagementController(), shared);
  EXPECT_EQ(machine_->registry().openConnectionCount(), 1u);
  // A driver that refuses to open is logged and gives no controller.
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
      {"text 300", smcKey("TC0D", "ch8*", {' ', '3', '0', '0', 'x'}), false},
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

// Per key: the type code, the value as text (byte blocks in hex) and the
// value of one raw step of a fixed-point type (0 for other types); a key
// that cannot be read or is malformed gives nothing and -1.
TEST_F(ZORSystemManagementControllerTest, TypeTextAndPrecisionPerKey) {
  auto c = open(
      {sp78Key("TC0D", 52.25), smcKey("F0Ac", "fpe2", {0, 0x0B}), smcKey("MSAL", "ui8 ", {0xFF}),
       smcKey("TSGN", "si8 ", {0xFF}), smcKey("ACIN", "flag", {1}),
       smcKey("RPlt", "ch8*", {'j', '7'}), smcKey("TS4A", "sp4a", {0xAB, 1})},
      {{"SMCFailKeys", PlistArray{"NONE"}}});
  std::string shown;
  for (const char* key :
       {"TC0D", "F0Ac", "MSAL", "TSGN", "ACIN", "RPlt", "TS4A", "NONE", "TOOLONG"})
    shown += c->typeCodeForPropertyWithKey(key).value_or("-") + " " +
             c->descriptionForPropertyWithKey(key).value_or("-") +
             formatString(" %g;", c->precisionForPropertyWithKey(key));
  EXPECT_EQ(shown,
            "sp78 52.25 0.00390625;fpe2 2.75 0.25;ui8  255 0;si8  -1 0;flag 1 0;ch8* j7 0;sp4a ab "
            "01  -1;- - -1;- - -1;");
}

TEST_F(ZORSystemManagementControllerTest, CacheCostsTwoCallsPerFreshRead) {
  auto controller = open(typicalKeys(), {{"SMCFailKeys", PlistArray{"FNum"}}});
  ASSERT_NE(controller, nullptr);
  // The plausibility test's read of the diode is cached too.
  EXPECT_EQ(controller->objectValueForPropertyWithKey("TC0D"), PlistValue::real(52.25));
  EXPECT_EQ(driver().totalCallCount(), 2u);
  EXPECT_EQ(controller->objectValueForPropertyWithKey("TB0T"), PlistValue::real(31.0));
  EXPECT_EQ(driver().callCount(_ZORSMCKeyData::kReadBytes), 2u);
  clock_.advance(1.0);
  controller->objectValueForPropertyWithKey("TB0T");
  EXPECT_EQ(driver().totalCallCount(), 4u) << "reads within one second cost nothing";
  clock_.advance(0.1);
  controller->objectValueForPropertyWithKey("TB0T");
  EXPECT_EQ(driver().totalCallCount(), 6u);
  // A failing read is logged and leaves nothing in the cache; an absent key
  // is cached with size zero; keys of the wrong length cost no call.
  ScopedLogCapture log;
  EXPECT_FALSE(controller->objectValueForPropertyWithKey("FNum").has_value());
  EXPECT_EQ(log.lines(), (std::vector<std::string>{"ZORSystemManagementController: function call "
                                                   "failed with error -536870212\n"}));
  EXPECT_EQ(controller->valueCache().count(0x464E756D), 0u);
  driver().resetCallCounts();
  for (const char* absent : {"TZZZ", "TZZZ", "TC0", "TC0DD"}) {
    EXPECT_FALSE(controller->objectValueForPropertyWithKey(absent).has_value());
  }
  EXPECT_FALSE(controller->objectValueForPropertyWithKey(std::nullopt).has_value());
  EXPECT_EQ(driver().totalCallCount(), 2u);
}

// Listing the keys: a failing index is skipped and logged, a few failing
// indices one by one and the rest in one line; a listing without failures
// is kept, so a second one asks the driver nothing.
TEST_F(ZORSystemManagementControllerTest, KeyListing) {
  const PlistArray three{sp78Key("TC0D", 40.0), sp78Key("TB0T", 30.0), sp78Key("Th0H", 35.0)};
  // The first "#KEY" claims fewer keys than listed; the last 65,536 indices
  // (the most asked), two answered.
  const PlistArray countTwo{smcKey("#KEY", "ui32", {0, 0, 0, 2}), three[0], three[1]};
  const PlistArray countText{smcKey("#KEY", "ch8*", {'4'}), three[0]};
  const PlistArray countHuge{smcKey("#KEY", "ui32", {0xFF, 0xFF, 0xFF, 0xFF}), three[0]};
  struct Case {
    const PlistArray& keys;
    PlistDictionary simulation;
    std::vector<std::string> listed;
    bool kept;
    std::size_t loggedLines;
  };
  const PlistDictionary failIndex{{"SMCFailIndices", PlistArray{PlistValue::integer(1)}}};
  const Case cases[] = {{three, failIndex, {"TC0D", "Th0H"}, false, 1},
                        {countTwo, {}, {"#KEY", "TC0D"}, true, 0},
                        {three, {{"SMCFailKeys", PlistArray{"#KEY"}}}, {}, false, 1},
                        {countText, {}, {}, false, 0},
                        {countHuge, {}, {"#KEY", "TC0D"}, false, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys.size());
    auto controller = open(c.keys, c.simulation);
    ASSERT_NE(controller, nullptr);
    ScopedLogCapture log;
    EXPECT_EQ(controller->allPropertyKeys(), c.listed);
    ASSERT_EQ(log.lines().size(), c.loggedLines);
    if (c.loggedLines == 4) {
      EXPECT_EQ(log.lines().back(),
                "ZORSystemManagementController: function call failed for "
                "65531 more of 65536 key indices\n");
    }
    driver().resetCallCounts();
    EXPECT_EQ(controller->allPropertyKeys(), c.listed);
    EXPECT_EQ(driver().callCount(_ZORSMCKeyData::kKeyAtIndex) == 0, c.kept || c.listed.empty());
  }
}

}  // namespace
}  // namespace zor
