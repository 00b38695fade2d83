#include "platform/MachineRegistry.h"

#include <gtest/gtest.h>

#include <array>

#include "platform/Clock.h"
#include "platform/IOKit.h"
#include "platform/PropertyListSerialization.h"
#include "platform/ScopedMachine.h"
#include "platform/simulated/SimulatedATASMARTDisk.h"
#include "platform/simulated/SimulatedATASMARTPlugIn.h"
#include "platform/simulated/SimulatedWave.h"

namespace zor {
namespace {

using namespace iokit;

// Entries are named after their class when they have no name of their own.
constexpr const char* kProfile = R"(<plist><dict><key>Registry</key><dict>
  <key>IOObjectClass</key><string>Root</string><key>IORegistryEntryChildren</key><array>
    <dict><key>IOObjectClass</key><string>disk0</string><key>IORegistryEntryChildren</key>
      <array><dict><key>IOObjectClass</key><string>disk0s1</string></dict></array></dict>
    <dict><key>IOObjectClass</key><string>echo</string></dict></array></dict></dict></plist>)";

// A driver whose user client echoes its input, reversed, and claims to have
// written more than the buffer holds; the registry must clamp the size.
class EchoDriver final : public DriverBehaviour {
 public:
  EchoDriver() : DriverBehaviour(DriverSettings()) {}
  class Connection final : public UserClientConnection {
   public:
    kern_return_t callStructureMethod(std::uint32_t selector, std::span<const std::uint8_t> input,
                                      std::span<std::uint8_t> output,
                                      std::size_t* outputSize) override {
      std::size_t count = std::min(input.size(), output.size());
      for (std::size_t i = 0; i < count; ++i) output[i] = input[input.size() - 1 - i];
      *outputSize = input.size() + 100;
      return selector == 2 ? kIOReturnSuccess : kIOReturnBadArgument;
    }
  };
  kern_return_t openUserClient(MachineEntry& /*entry*/, std::uint32_t /*type*/,
                               std::unique_ptr<UserClientConnection>* connection) override {
    *connection = std::make_unique<Connection>();
    return kIOReturnSuccess;
  }
};

class SimulatedRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    machine_ = Machine::fromProfile(*parsePropertyList(kProfile), "test", &error);
    ASSERT_NE(machine_, nullptr) << error;
    Machine::install(machine_);
    registry().findEntryNamed("echo")->setBehaviour(std::make_unique<EchoDriver>());
  }
  void TearDown() override {
    EXPECT_EQ(registry().outstandingReferences(), 0);
    Machine::install(nullptr);
  }
  MachineRegistry& registry() { return machine_->registry(); }
  io_service_t lookUp(const char* path) {
    return IORegistryEntryFromPath(kIOMasterPortDefault,
                                   (std::string("IOService:") + path).c_str());
  }
  std::shared_ptr<Machine> machine_;
};

TEST_F(SimulatedRegistryTest, HandlesAreCountedAndDeadOnceReleased) {
  io_service_t disk = lookUp("/disk0");
  io_registry_entry_t child = 0, parent = 0;
  EXPECT_EQ(IORegistryEntryGetChildEntry(disk, kIODeviceTreePlane, &child), kIOReturnNoDevice);
  ASSERT_EQ(IORegistryEntryGetChildEntry(disk, kIOServicePlane, &child), kIOReturnSuccess);
  ASSERT_EQ(IORegistryEntryGetParentEntry(child, kIOServicePlane, &parent), kIOReturnSuccess);
  EXPECT_EQ(registry().entryForHandle(child)->name(), "disk0s1");
  EXPECT_EQ(parent, disk);
  EXPECT_EQ(registry().referenceCount(disk), 2u);
  for (io_object_t handle : {disk, child, parent}) EXPECT_EQ(IOObjectRelease(handle), 0);
  // Every reference is given back: the handle can be neither used nor released again.
  EXPECT_EQ(IOObjectRelease(disk), kIOReturnBadArgument);
  EXPECT_EQ(IOObjectRetain(disk), kIOReturnBadArgument);
}

// The plug-ins a driver makes: the S.M.A.R.T. family's tests.
TEST_F(SimulatedRegistryTest, OnlyADriverOpensConnectionsAndCallsGoThroughOpenOnes) {
  io_connect_t connection = 9;
  io_service_t service = lookUp("/disk0");
  EXPECT_EQ(IOServiceOpen(service, mach_task_self(), 0, &connection), kIOReturnUnsupported);
  EXPECT_EQ(connection, 0u);
  IOObjectRelease(service);
  service = lookUp("/echo");
  Machine::install(nullptr);  // no registry answers then
  EXPECT_EQ(IORegistryEntryFromPath(kIOMasterPortDefault, "IOService:/echo"), 0u);
  EXPECT_EQ(IOServiceOpen(service, mach_task_self(), 0, &connection), kIOReturnNoDevice);
  EXPECT_EQ(IORegistryEntryCreateCFProperty(service, "x"), std::nullopt);
  Machine::install(machine_);
  ASSERT_EQ(IOServiceOpen(service, mach_task_self(), 0, &connection), kIOReturnSuccess);
  IOObjectRelease(service);
  EXPECT_EQ(registry().outstandingReferences(), 1) << "an open connection is counted";
  std::array<std::uint8_t, 3> input{1, 2, 3};
  std::array<std::uint8_t, 4> output{};
  std::size_t size = output.size();
  ASSERT_EQ(IOConnectMethodStructureIStructureO(connection, 2, input.size(), &size, input.data(),
                                                output.data()),
            kIOReturnSuccess);
  EXPECT_EQ(output, (std::array<std::uint8_t, 4>{3, 2, 1, 0}));
  EXPECT_EQ(size, output.size()) << "never more than the buffer";
  EXPECT_EQ(IOConnectMethodStructureIStructureO(connection, 2, 5, &size, nullptr, output.data()),
            kIOReturnBadArgument);
  EXPECT_EQ(IOServiceClose(connection), kIOReturnSuccess);
  EXPECT_EQ(IOServiceClose(connection), kIOReturnBadArgument);
  EXPECT_EQ(IOConnectMethodStructureIStructureO(connection, 2, input.size(), &size, input.data(),
                                                output.data()),
            kIOReturnNotOpen);
}

// With no machine there are no books to keep and a plug-in just goes; with one, a plug-in its
// registry did not make is not the registry's to release.
TEST_F(SimulatedRegistryTest, OnlyPlugInsTheRegistryMadeAreReleasedByIt) {
  auto disk = std::make_shared<SimulatedATASMARTDisk>();
  auto ledger = std::make_shared<ReferenceLedger>();
  Machine::install(nullptr);
  EXPECT_EQ(IODestroyPlugInInterface(new SimulatedATASMARTPlugIn(disk, ledger)), kIOReturnSuccess);
  Machine::install(machine_);
  SimulatedATASMARTPlugIn stranger(disk, ledger);
  EXPECT_EQ(IODestroyPlugInInterface(&stranger), kIOReturnBadArgument);
  EXPECT_EQ(std::tuple(ledger->outstanding(), disk->counters().closes), std::tuple(1, 1u));
}

// The wave's value in the encoding of the value it replaces (its curve: the sensor-entry tests).
TEST(SimulatedWaveTest, AnswersInTheValuesEncoding) {
  const PlistDictionary curve{{"Base", PlistValue::real(50.25)},
                              {"Amplitude", PlistValue::real(4)},
                              {"PeriodSeconds", PlistValue::integer(60)}};
  auto wave = SimulatedWave::parse(PlistValue(PlistDictionary{{"TC0D", curve}}), nullptr);
  ASSERT_TRUE(wave);
  ScopedManualClock clock(15);
  const std::pair<PlistValue, PlistValue> encodings[] = {
      {PlistValue::integer(0), PlistValue::integer(54)},
      {PlistValue::real(0), PlistValue::real(54.25)},
      {PlistValue::unsignedInteger(0), PlistValue::unsignedInteger(54)}};
  for (auto [current, now] : encodings) EXPECT_EQ(wave->propertyValueNow("TC0D", &current), now);
  EXPECT_EQ(wave->propertyValueNow("TC1D", nullptr), std::nullopt);
}

}  // namespace
}  // namespace zor
