#include <gtest/gtest.h>

#include <string>

#include "platform/IOATASMARTInterface.h"
#include "platform/IOKit.h"
#include "tests/smart/SMARTTestMachine.h"

namespace zor::testing {
namespace {

using namespace iokit;

struct RefusalCase {
  const char* what;
  PlistValue smart;
  const char* reason;
};

std::ostream& operator<<(std::ostream& out, const RefusalCase& c) {
  return out << c.what;
}

class SimulatedDiskRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(SimulatedDiskRefusalTest, RefusesAMalformedDiskWithOneLine) {
  PlistValue entry(PlistDictionary{
      {"IOObjectClass", PlistValue("IOAHCIBlockStorageDevice")},
      {"ZORSimulation", PlistValue(PlistDictionary{{"ATASMART", GetParam().smart}})}});
  std::string error;
  auto machine = Machine::fromProfile(PlistValue(profileWithEntries({entry})), "t.plist", &error);
  EXPECT_EQ(machine, nullptr);
  EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SimulatedDiskRefusalTest,
    ::testing::Values(
        RefusalCase{"short page", PlistValue(PlistDictionary{{"Data", PlistValue(PlistData(511))}}),
                    "\"Data\" must be data of 512 bytes (has 511)"},
        RefusalCase{"status as number",
                    PlistValue(PlistDictionary{{"ThresholdExceeded", PlistValue::integer(1)}}),
                    "\"ThresholdExceeded\" must be a boolean"},
        RefusalCase{
            "unknown operation",
            PlistValue(PlistDictionary{
                {"Fail", PlistValue(PlistArray{PlistValue("ReadData"), PlistValue("Eat")})}}),
            "the unknown operation \"Eat\""}));

class SimulatedDiskTest : public SMARTTest {};

TEST_F(SimulatedDiskTest, PlugInOnlyForTheSMARTTypesAndEveryReferenceCounted) {
  installDisks({DiskSpec{}});
  auto entry = entryNamed("disk");
  io_service_t service = entry->ioKitHandle();
  IOCFPlugInInterface* plugIn = nullptr;
  std::int32_t score = 0;
  std::int64_t before = outstanding();
  ASSERT_EQ(IOCreatePlugInInterfaceForService(service, kIOATASMARTUserClientTypeID,
                                              kIOCFPlugInInterfaceID, &plugIn, &score),
            kIOReturnSuccess);
  IOUnknown* unknown = nullptr;
  ASSERT_EQ(plugIn->QueryInterface(kIOATASMARTInterfaceID, &unknown), kIOReturnSuccess);
  auto* smart = static_cast<IOATASMARTInterface*>(unknown);
  EXPECT_GT(outstanding(), before);

  ATASMARTData page{};
  EXPECT_EQ(smart->SMARTReadData(&page), kIOReturnSuccess);
  EXPECT_EQ(page[2 + 12], 194);
  std::uint32_t copied = 99;
  std::array<std::uint8_t, 600> buffer{};
  EXPECT_EQ(smart->GetATAIdentifyData(buffer.data(), 600, &copied), kIOReturnSuccess);
  EXPECT_EQ(copied, 512u);
  EXPECT_EQ(smart->GetATAIdentifyData(nullptr, 512, &copied), kIOReturnBadArgument);
  bool exceeded = true;
  EXPECT_EQ(smart->SMARTReturnStatus(&exceeded), kIOReturnSuccess);
  EXPECT_FALSE(exceeded);

  smart->Release();
  EXPECT_EQ(IODestroyPlugInInterface(plugIn), kIOReturnSuccess);
  EXPECT_EQ(outstanding(), before);
  const auto& counters = disk("disk").counters();
  EXPECT_EQ(counters.opens, counters.closes);
  EXPECT_EQ(counters.identifyReads, 2u);
  EXPECT_EQ(counters.statusReads, 1u);
}

TEST_F(SimulatedDiskTest, WaveSetsTheTemperatureBytesOfItsAttribute) {
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
