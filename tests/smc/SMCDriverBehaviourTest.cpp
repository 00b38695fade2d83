// The simulated SMC driver on its own: which profiles it refuses, and what
// its user client answers on the wire (raw 80-byte records, host order).

#include "platform/simulated/SMCDriverBehaviour.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>

#include "platform/IOKit.h"
#include "registry/ZORIORegistryEntry.h"
#include "tests/smc/SMCTestMachine.h"

namespace zor {
namespace {

using namespace iokit;
using testing::profileWithServices;
using testing::smcKey;
using testing::smcService;
using testing::SMCTest;
using testing::sp78Key;

using Record = std::array<std::uint8_t, 80>;

Record request(std::uint32_t key, std::uint8_t command, std::uint32_t size = 0,
               std::uint32_t index = 0) {
  Record record{};
  std::memcpy(record.data() + 0, &key, 4);
  std::memcpy(record.data() + 28, &size, 4);
  record[42] = command;
  std::memcpy(record.data() + 44, &index, 4);
  return record;
}

std::uint32_t field32(const Record& record, std::size_t offset) {
  std::uint32_t value;
  std::memcpy(&value, record.data() + offset, 4);
  return value;
}

class SMCDriverBehaviourTest : public SMCTest {
 protected:
  void TearDown() override {
    if (connection_ != 0) IOServiceClose(connection_);
    SMCTest::TearDown();
  }
  void open() {
    auto services = ZORIORegistryEntry::serviceObjectsMatchingName(std::string("AppleSMC"));
    ASSERT_TRUE(services && !services->empty());
    ASSERT_EQ(IOServiceOpen(services->front()->ioKitHandle(), mach_task_self(), 0, &connection_),
              kIOReturnSuccess);
  }
  kern_return_t call(const Record& input, Record* output, std::uint32_t selector = 2,
                     std::size_t inputSize = 80) {
    std::size_t outputSize = output->size();
    return IOConnectMethodStructureIStructureO(connection_, selector, inputSize, &outputSize,
                                               input.data(), output->data());
  }
  io_connect_t connection_ = 0;
};

TEST_F(SMCDriverBehaviourTest, MalformedKeyListsAreRefused) {
  struct Case {
    const char* what;
    PlistDictionary simulation;
    const char* reason;
  };
  const Case cases[] = {
      {"not an array", {{"SMCKeys", "TC0D"}}, "\"SMCKeys\" must be an array"},
      {"short key", {{"SMCKeys", PlistArray{smcKey("TC0", "sp78", {0, 0})}}}, "four-character"},
      {"no type",
       {{"SMCKeys", PlistArray{PlistDictionary{{"Key", "TC0D"}, {"Bytes", PlistData{}}}}}},
       "\"Type\""},
      {"long type", {{"SMCKeys", PlistArray{smcKey("TC0D", "sp78x", {0, 0})}}}, "\"Type\""},
      {"33 bytes",
       {{"SMCKeys", PlistArray{smcKey("TC0D", "ch8*", std::vector<std::uint8_t>(33))}}},
       "at most 32"},
      {"twice", {{"SMCKeys", PlistArray{sp78Key("TC0D", 1), sp78Key("TC0D", 2)}}}, "listed twice"},
      {"bad index",
       {{"SMCKeys", PlistArray{}}, {"SMCFailIndices", PlistArray{PlistValue::integer(-1)}}},
       "\"SMCFailIndices\""},
      {"bad fail key",
       {{"SMCKeys", PlistArray{}}, {"SMCFailKeys", PlistArray{"TC0DD"}}},
       "\"SMCFailKeys\""},
  };
  for (const Case& c : cases) {
    PlistDictionary service{{"IOObjectClass", "AppleSMC"},
                            {"IORegistryEntryName", "SMC"},
                            {"ZORSimulation", PlistValue(c.simulation)}};
    PlistDictionary root{{"IOObjectClass", "IORegistryEntry"},
                         {"IORegistryEntryChildren", PlistArray{PlistValue(service)}}};
    std::string error;
    auto machine = SimulatedMachine::fromProfile(
        PlistValue(PlistDictionary{{"Registry", PlistValue(root)}}), "bad.plist", &error);
    EXPECT_EQ(machine, nullptr) << c.what;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
    EXPECT_NE(error.find("bad.plist"), std::string::npos) << c.what;
  }
}

TEST_F(SMCDriverBehaviourTest, AnswersTheThreeCommands) {
  ASSERT_TRUE(installKeys({sp78Key("TC0D", 45.5), smcKey("FNum", "ui8", {2})}));
  open();
  Record output{};
  ASSERT_EQ(call(request(0x54433044, 9), &output), kIOReturnSuccess);
  EXPECT_EQ(field32(output, 28), 2u);
  EXPECT_EQ(field32(output, 32), 0x73703738u);
  ASSERT_EQ(call(request(0x54433044, 5, 2), &output), kIOReturnSuccess);
  EXPECT_EQ(output[48], 0x2D);
  EXPECT_EQ(output[49], 0x80);
  // A three-letter type ends in a zero byte.
  ASSERT_EQ(call(request(0x464e756d, 9), &output), kIOReturnSuccess);
  EXPECT_EQ(field32(output, 32), 0x75693800u);
  ASSERT_EQ(call(request(0, 8, 0, 1), &output), kIOReturnSuccess);
  EXPECT_EQ(field32(output, 0), 0x464e756du);
  EXPECT_EQ(call(request(0, 8, 0, 2), &output), kIOReturnBadArgument);
  // "#KEY" counts the listed keys.
  ASSERT_EQ(call(request(0x234b4559, 5, 4), &output), kIOReturnSuccess);
  EXPECT_EQ(output[51], 2);
  EXPECT_EQ(driver().callCount(9), 2u);
  EXPECT_EQ(driver().callCount(5), 2u);
  EXPECT_EQ(driver().callCount(8), 2u);
}

TEST_F(SMCDriverBehaviourTest, AbsentKeyIsSizeZeroWithTheNotFoundCode) {
  ASSERT_TRUE(installKeys({sp78Key("TC0D", 45.5)}));
  open();
  Record output{};
  output.fill(0xEE);
  ASSERT_EQ(call(request(0x545a5a5a, 9), &output), kIOReturnSuccess);
  EXPECT_EQ(field32(output, 28), 0u);
  EXPECT_EQ(output[40], 0x84);
}

TEST_F(SMCDriverBehaviourTest, ReadBytesNeverGivesMoreThanAsked) {
  ASSERT_TRUE(installKeys({smcKey("RPlt", "ch8*", {'j', '1', '3', 'g'})}));
  open();
  Record output{};
  ASSERT_EQ(call(request(0x52506c74, 5, 2), &output), kIOReturnSuccess);
  EXPECT_EQ(output[48], 'j');
  EXPECT_EQ(output[49], '1');
  EXPECT_EQ(output[50], 0);
  // A size above 32 is cut at the 32 value bytes.
  ASSERT_EQ(call(request(0x52506c74, 5, 0xFFFFFFFF), &output), kIOReturnSuccess);
  EXPECT_EQ(output[51], 'g');
}

TEST_F(SMCDriverBehaviourTest, RefusesBadCalls) {
  ASSERT_TRUE(installKeys({sp78Key("TC0D", 45.5)}, {{"SMCFailKeys", PlistArray{"TC0D"}}}));
  open();
  Record output{};
  EXPECT_EQ(call(request(0x54433044, 9), &output), kIOReturnError);
  EXPECT_EQ(call(request(0x54433044, 5, 2), &output), kIOReturnError);
  EXPECT_EQ(call(request(0x54433045, 9), &output, 3), kIOReturnUnsupported);
  EXPECT_EQ(call(request(0x54433045, 9), &output, 2, 79), kIOReturnBadArgument);
  EXPECT_EQ(call(request(0x54433045, 42), &output), kIOReturnBadArgument);
  // Only user-client type 0 opens.
  auto services = ZORIORegistryEntry::serviceObjectsMatchingName(std::string("AppleSMC"));
  io_connect_t other = 0;
  EXPECT_NE(IOServiceOpen(services->front()->ioKitHandle(), mach_task_self(), 1, &other),
            kIOReturnSuccess);
}

TEST_F(SMCDriverBehaviourTest, WaveServesLiveValuesInTheKeysEncoding) {
  PlistDictionary curve{{"Base", PlistValue::real(50.0)},
                        {"Amplitude", PlistValue::real(10.0)},
                        {"PeriodSeconds", PlistValue::real(40.0)}};
  PlistDictionary wave{{"TC0D", curve}, {"F0Ac", curve}, {"FNum", curve}, {"RPlt", curve}};
  ASSERT_TRUE(installKeys({sp78Key("TC0D", 1.0), smcKey("F0Ac", "fpe2", {0, 0}),
                           smcKey("FNum", "si8 ", {0}), smcKey("RPlt", "ch8*", {'a', 'b'})},
                          {{"Wave", PlistValue(wave)}}));
  open();
  struct Case {
    double seconds;
    double expected;
  };
  for (Case c : {Case{0.0, 50.0}, Case{10.0, 60.0}, Case{30.0, 40.0}}) {
    clock_.clock().set(4000.0 + c.seconds);  // 4000 is a whole number of periods
    Record output{};
    ASSERT_EQ(call(request(0x54433044, 5, 2), &output), kIOReturnSuccess);
    EXPECT_NEAR(static_cast<std::int16_t>((output[48] << 8) | output[49]) / 256.0, c.expected,
                1.0 / 256);
    ASSERT_EQ(call(request(0x46304163, 5, 2), &output), kIOReturnSuccess);
    EXPECT_NEAR(((output[48] << 8) | output[49]) / 4.0, c.expected, 0.25);
    ASSERT_EQ(call(request(0x464e756d, 5, 1), &output), kIOReturnSuccess);
    EXPECT_EQ(static_cast<std::int8_t>(output[48]), std::lround(c.expected));
    // Text has no numeric encoding: the stored bytes stay.
    ASSERT_EQ(call(request(0x52506c74, 5, 2), &output), kIOReturnSuccess);
    EXPECT_EQ(output[48], 'a');
  }
}

}  // namespace
}  // namespace zor
