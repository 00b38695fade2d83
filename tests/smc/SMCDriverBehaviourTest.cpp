// The simulated SMC driver on its own: which profiles it refuses, and what
// its user client answers on the wire (raw 80-byte records, host order).

#include "platform/simulated/SMCDriverBehaviour.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "platform/IOKit.h"
#include "registry/ZORIORegistryEntry.h"
#include "tests/smc/SMCTestMachine.h"

namespace zor {
namespace {

using namespace iokit;
using testing::smcKey;
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
  void open(PlistArray keys, PlistDictionary simulation = {}) {
    ASSERT_TRUE(installKeys(std::move(keys), std::move(simulation)));
    auto services = ZORIORegistryEntry::serviceObjectsMatchingName(std::string("AppleSMC"));
    ASSERT_TRUE(services && !services->empty());
    // Only user-client type 0 opens.
    io_connect_t other = 0;
    EXPECT_NE(IOServiceOpen(services->front()->ioKitHandle(), mach_task_self(), 1, &other),
              kIOReturnSuccess);
    ASSERT_EQ(IOServiceOpen(services->front()->ioKitHandle(), mach_task_self(), 0, &connection_),
              kIOReturnSuccess);
  }
  kern_return_t call(const Record& input, std::uint32_t selector = 2, std::size_t inputSize = 80) {
    std::size_t outputSize = out_.size();
    return IOConnectMethodStructureIStructureO(connection_, selector, inputSize, &outputSize,
                                               input.data(), out_.data());
  }
  io_connect_t connection_ = 0;
  Record out_{};
};

TEST_F(SMCDriverBehaviourTest, MalformedKeyListsAreRefused) {
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

TEST_F(SMCDriverBehaviourTest, AnswersTheThreeCommands) {
  open({sp78Key("TC0D", 45.5), smcKey("FNum", "ui8", {2}), smcKey("RPlt", "ch8*", {'j', '1'})});
  ASSERT_EQ(call(request(0x54433044, 9)), kIOReturnSuccess);
  EXPECT_EQ(field32(out_, 28), 2u);
  EXPECT_EQ(field32(out_, 32), 0x73703738u);
  ASSERT_EQ(call(request(0x54433044, 5, 2)), kIOReturnSuccess);
  EXPECT_EQ(out_[48], 0x2D);
  EXPECT_EQ(out_[49], 0x80);
  ASSERT_EQ(call(request(0x464e756d, 9)), kIOReturnSuccess);
  EXPECT_EQ(field32(out_, 32), 0x75693800u) << "a three-letter type ends in a zero byte";
  ASSERT_EQ(call(request(0, 8, 0, 1)), kIOReturnSuccess);
  EXPECT_EQ(field32(out_, 0), 0x464e756du);
  EXPECT_EQ(call(request(0, 8, 0, 3)), kIOReturnBadArgument);
  ASSERT_EQ(call(request(0x234b4559, 5, 4)), kIOReturnSuccess);
  EXPECT_EQ(out_[51], 3) << "\"#KEY\" counts the listed keys";
  // Never more bytes than asked; a size above 32 is cut at the 32 value bytes.
  ASSERT_EQ(call(request(0x52506c74, 5, 1)), kIOReturnSuccess);
  EXPECT_EQ(out_[49], 0);
  ASSERT_EQ(call(request(0x52506c74, 5, 0xFFFFFFFF)), kIOReturnSuccess);
  EXPECT_EQ(out_[49], '1');
  // An absent key has size zero and the not-found code.
  out_.fill(0xEE);
  ASSERT_EQ(call(request(0x545a5a5a, 9)), kIOReturnSuccess);
  EXPECT_EQ(field32(out_, 28), 0u);
  EXPECT_EQ(out_[40], 0x84);
  EXPECT_EQ(driver().callCount(9), 3u);
  EXPECT_EQ(driver().callCount(5), 4u);
  EXPECT_EQ(driver().callCount(8), 2u);
}

TEST_F(SMCDriverBehaviourTest, RefusesBadCalls) {
  open({sp78Key("TC0D", 45.5)}, {{"SMCFailKeys", PlistArray{"TC0D"}}});
  EXPECT_EQ(call(request(0x54433044, 9)), kIOReturnError);
  EXPECT_EQ(call(request(0x54433044, 5, 2)), kIOReturnError);
  EXPECT_EQ(call(request(0x54433045, 9), 3), kIOReturnUnsupported);
  EXPECT_EQ(call(request(0x54433045, 9), 2, 79), kIOReturnBadArgument);
  EXPECT_EQ(call(request(0x54433045, 42)), kIOReturnBadArgument);
}

}  // namespace
}  // namespace zor
