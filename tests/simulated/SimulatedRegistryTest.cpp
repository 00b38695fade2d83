#include "platform/MachineRegistry.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>

#include "platform/Clock.h"
#include "platform/DriverBehaviourTable.h"
#include "platform/IOKit.h"
#include "platform/LedgerReferenceCount.h"
#include "platform/PropertyListSerialization.h"
#include "platform/ScopedMachine.h"
#include "platform/simulated/SimulatedWave.h"

namespace zor {
namespace {

using namespace iokit;

constexpr const char* kProfile = R"(<plist version="1.0"><dict><key>Registry</key><dict>
  <key>IOObjectClass</key><string>IORegistryEntry</string>
  <key>IORegistryEntryName</key><string>Root</string>
  <key>IORegistryEntryChildren</key><array>
    <dict><key>IOObjectClass</key><string>Disk</string><key>IORegistryEntryName</key>
      <string>disk0</string><key>IORegistryEntryChildren</key><array><dict><key>IOObjectClass</key>
      <string>Disk</string><key>IORegistryEntryName</key><string>disk0s1</string></dict></array>
    </dict>
    <dict><key>IOObjectClass</key><string>Disk</string><key>IORegistryEntryName</key>
      <string>disk1</string><key>ZORSimulation</key><dict><key>OpenError</key>
      <integer>3758097112</integer></dict></dict>
    <dict><key>IOObjectClass</key><string>Echo</string>
      <key>IORegistryEntryName</key><string>echo</string></dict>
  </array></dict></dict></plist>)";

// A driver whose user client echoes its input, reversed, and whose plug-in
// reports to the registry's ledger while it lives.
class EchoDriver final : public DriverBehaviour {
 public:
  EchoDriver() : DriverBehaviour(DriverSettings()) {}

  class Connection final : public UserClientConnection {
   public:
    kern_return_t callStructureMethod(std::uint32_t selector, std::span<const std::uint8_t> input,
                                      std::span<std::uint8_t> output,
                                      std::size_t* outputSize) override {
      if (selector != 2) return kIOReturnBadArgument;
      std::size_t count = std::min(input.size(), output.size());
      for (std::size_t i = 0; i < count; ++i) output[i] = input[input.size() - 1 - i];
      // Claims more than the buffer holds; the registry must clamp it.
      *outputSize = input.size() + 100;
      return kIOReturnSuccess;
    }
  };

  class PlugIn final : public IOCFPlugInInterface {
   public:
    explicit PlugIn(std::shared_ptr<ReferenceLedger> ledger) : references_(std::move(ledger)) {}
    kern_return_t QueryInterface(const CFUUIDBytes& /*id*/, IOUnknown** result) override {
      *result = nullptr;
      return kIOReturnUnsupported;
    }
    std::uint32_t AddRef() override { return references_.addRef(); }
    std::uint32_t Release() override {
      std::uint32_t left = references_.release();
      if (left == 0) delete this;
      return left;
    }

   private:
    LedgerReferenceCount references_;
  };

  kern_return_t openUserClient(MachineEntry& /*entry*/, std::uint32_t type,
                               std::unique_ptr<UserClientConnection>* connection) override {
    if (type != 0) return kIOReturnBadArgument;
    *connection = std::make_unique<Connection>();
    return kIOReturnSuccess;
  }
  kern_return_t createPlugInInterface(MachineEntry& entry, const CFUUIDBytes& /*pluginType*/,
                                      const CFUUIDBytes& /*interfaceType*/,
                                      IOCFPlugInInterface** plugIn, std::int32_t* score) override {
    *plugIn = new PlugIn(entry.sharedLedger());
    *score = 7;
    return kIOReturnSuccess;
  }
};

class SimulatedRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    auto profile = parsePropertyList(kProfile, &error);
    ASSERT_TRUE(profile) << error;
    machine_ = Machine::fromProfile(*profile, "test", &error);
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

TEST_F(SimulatedRegistryTest, IterationIsDocumentOrderAndCountsEveryHandle) {
  io_iterator_t iterator = 5;
  EXPECT_EQ(
      IOServiceGetMatchingServices(kIOMasterPortDefault, IOServiceMatching(nullptr), &iterator),
      kIOReturnBadArgument);
  EXPECT_EQ(iterator, 0u) << "matching needs a class name";
  ASSERT_EQ(
      IOServiceGetMatchingServices(kIOMasterPortDefault, IOServiceMatching("Disk"), &iterator),
      kIOReturnSuccess);
  EXPECT_EQ(registry().outstandingReferences(), 1);
  std::vector<std::string> names;
  while (io_object_t service = IOIteratorNext(iterator)) {
    names.push_back(registry().entryForHandle(service)->name());
    EXPECT_EQ(IOObjectRelease(service), kIOReturnSuccess);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"disk0", "disk0s1", "disk1"}));
  EXPECT_EQ(IOObjectRelease(iterator), kIOReturnSuccess);
  // A released iterator is gone.
  EXPECT_EQ(IOIteratorNext(iterator), 0u);
  EXPECT_EQ(IOObjectRelease(iterator), kIOReturnBadArgument);
}

TEST_F(SimulatedRegistryTest, ReleasedHandleIsNoLongerUsable) {
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
  PlistDictionary properties;
  EXPECT_NE(IORegistryEntryCreateCFProperties(disk, &properties), kIOReturnSuccess);
  EXPECT_NE(IORegistryEntryGetChildEntry(disk, kIOServicePlane, &child), kIOReturnSuccess);
  EXPECT_EQ(IOObjectRelease(0), kIOReturnBadArgument);
}

TEST_F(SimulatedRegistryTest, OnlyADriverOpensConnectionsAndPlugIns) {
  struct Case {
    const char* path;
    kern_return_t result;  // of opening a connection and of making a plug-in
  };
  const Case cases[] = {{"/disk1", static_cast<kern_return_t>(0xe00002d8u)},  // "OpenError"
                        {"/disk0", kIOReturnUnsupported},
                        {"/echo", kIOReturnSuccess}};
  for (const Case& c : cases) {
    io_service_t service = lookUp(c.path);
    io_connect_t connection = 9;
    IOCFPlugInInterface* plugIn = nullptr;
    std::int32_t score = 0;
    EXPECT_EQ(IOServiceOpen(service, mach_task_self(), 0, &connection), c.result) << c.path;
    EXPECT_EQ(IOCreatePlugInInterfaceForService(service, {}, {}, &plugIn, &score), c.result)
        << c.path;
    EXPECT_EQ(IORegistryEntrySetCFProperty(service, "x", PlistValue::boolean(false)),
              kIOReturnUnsupported);
    IOObjectRelease(service);
    if (c.result != kIOReturnSuccess) {
      EXPECT_EQ(connection, 0u) << c.path;
      EXPECT_EQ(plugIn, nullptr) << c.path;
      continue;
    }
    // The connection and the plug-in, counted by the registry and by the plug-in object.
    EXPECT_EQ(score, 7);
    EXPECT_EQ(registry().outstandingReferences(), 3);
    EXPECT_EQ(IOServiceClose(connection), kIOReturnSuccess);
    EXPECT_EQ(IOServiceClose(connection), kIOReturnBadArgument);
    // An extra reference keeps the plug-in object and shows in the count.
    EXPECT_EQ(plugIn->AddRef(), 2u);
    EXPECT_EQ(IODestroyPlugInInterface(plugIn), kIOReturnSuccess);
    EXPECT_EQ(registry().outstandingReferences(), 1);
    EXPECT_EQ(plugIn->Release(), 0u);
  }
  auto ledger = std::make_shared<ReferenceLedger>();
  EchoDriver::PlugIn stranger(ledger);
  EXPECT_EQ(IODestroyPlugInInterface(&stranger), kIOReturnBadArgument);
  EXPECT_EQ(ledger->outstanding(), 1) << "not released by the registry";
}

TEST_F(SimulatedRegistryTest, StructureCallsGoThroughAnOpenConnection) {
  io_service_t echo = lookUp("/echo");
  io_connect_t connection = 0;
  ASSERT_EQ(IOServiceOpen(echo, mach_task_self(), 0, &connection), kIOReturnSuccess);
  IOObjectRelease(echo);
  EXPECT_EQ(registry().outstandingReferences(), 1) << "an open connection is counted";
  std::array<std::uint8_t, 3> input{1, 2, 3};
  std::array<std::uint8_t, 4> output{};
  std::size_t outputSize = output.size();
  ASSERT_EQ(IOConnectMethodStructureIStructureO(connection, 2, input.size(), &outputSize,
                                                input.data(), output.data()),
            kIOReturnSuccess);
  EXPECT_EQ(output, (std::array<std::uint8_t, 4>{3, 2, 1, 0}));
  EXPECT_EQ(outputSize, output.size());  // never more than the buffer
  EXPECT_EQ(registry().structureCallCount(), 1u);
  EXPECT_EQ(
      IOConnectMethodStructureIStructureO(connection, 2, 5, &outputSize, nullptr, output.data()),
      kIOReturnBadArgument);
  IOServiceClose(connection);
  EXPECT_EQ(IOConnectMethodStructureIStructureO(connection, 2, input.size(), &outputSize,
                                                input.data(), output.data()),
            kIOReturnNotOpen);
}

TEST_F(SimulatedRegistryTest, CallsWithoutAPlatformFail) {
  io_service_t echo = lookUp("/echo");
  Machine::install(nullptr);
  EXPECT_EQ(IORegistryEntryFromPath(kIOMasterPortDefault, "IOService:/echo"), 0u);
  EXPECT_EQ(IORegistryEntryCreateCFProperty(echo, "x"), std::nullopt);
  io_connect_t connection = 0;
  EXPECT_EQ(IOServiceOpen(echo, mach_task_self(), 0, &connection), kIOReturnNoDevice);
  Machine::install(machine_);
  IOObjectRelease(echo);
}

TEST(SimulatedWaveTest, AnswersBasePlusAmplitudeTimesSineInTheValuesEncoding) {
  std::string error;
  auto wave = SimulatedWave::parse(
      PlistValue(PlistDictionary{
          {"TC0D", PlistValue(PlistDictionary{{"Base", PlistValue::real(50.25)},
                                              {"Amplitude", PlistValue::real(4)},
                                              {"PeriodSeconds", PlistValue::integer(60)}})}}),
      &error);
  ASSERT_TRUE(wave) << error;
  const std::pair<double, double> cases[] = {{0, 50.25},  {15, 54.25}, {30, 50.25},
                                             {45, 46.25}, {5, 52.25},  {1.2e9 + 15, 54.25}};
  for (const auto& [t, expected] : cases) EXPECT_NEAR(*wave->valueAt("TC0D", t), expected, 1e-6);
  EXPECT_EQ(wave->valueAt("TC1D", 0), std::nullopt);
  ScopedManualClock clock(15);
  PlistValue integer = PlistValue::integer(0), real = PlistValue::real(0),
             whole = PlistValue::unsignedInteger(0);
  EXPECT_EQ(wave->propertyValueNow("TC0D", &integer), PlistValue::integer(54));
  EXPECT_EQ(wave->propertyValueNow("TC0D", &real), PlistValue::real(54.25));
  EXPECT_EQ(wave->propertyValueNow("TC0D", &whole), PlistValue::unsignedInteger(54));
  EXPECT_EQ(wave->propertyValueNow("TC0D", nullptr), PlistValue::integer(54));
  EXPECT_EQ(wave->propertyValueNow("TC1D", &integer), std::nullopt);
}

TEST(DriverBehaviourTableTest, EveryRowHasAKeyAndAFactory) {
  for (const DriverBehaviourRow& row : driverBehaviourTable()) {
    ASSERT_NE(row.key, nullptr);
    EXPECT_NE(row.factory, nullptr) << row.key;
    // Each row builds a behaviour from settings carrying only its key,
    // or refuses them with a reason.
    std::string error;
    auto settings =
        DriverSettings::parse(PlistDictionary{{row.key, PlistValue(PlistDictionary{})}}, &error);
    ASSERT_TRUE(settings) << row.key << ": " << error;
    auto behaviour = row.factory(*settings, &error);
    EXPECT_TRUE(behaviour != nullptr || !error.empty()) << row.key;
  }
}

}  // namespace
}  // namespace zor
