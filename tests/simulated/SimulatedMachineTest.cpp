#include "platform/Machine.h"
#include "platform/simulated/SimulatedMachine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "platform/IOKit.h"
#include "platform/PropertyListSerialization.h"
#include "platform/ScopedMachine.h"
#include "registry/ZORIORegistryEntry.h"

namespace zor {
namespace {

using namespace iokit;

// A profile file in the temporary folder for the life of the object.
class TemporaryProfile {
 public:
  explicit TemporaryProfile(const std::string& contents) {
    char pattern[] = "/tmp/zor-profile-XXXXXX";
    int fd = mkstemp(pattern);
    path_ = pattern;
    if (fd >= 0) close(fd);
    std::ofstream(path_, std::ios::binary) << contents;
  }
  ~TemporaryProfile() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string profileWithRegistry(const std::string& registryEntry) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
         "<key>Registry</key>" +
         registryEntry + "</dict></plist>";
}

TEST(SimulatedMachineTest, DemoMachineIsBuiltIn) {
  for (const char* name : {"demo", ""}) {
    std::string error;
    auto machine = SimulatedMachine::load(name, &error);
    ASSERT_NE(machine, nullptr) << error;
    EXPECT_TRUE(machine->isDemo());
    EXPECT_FALSE(machine->name().empty());
    EXPECT_NE(machine->profile().find("Registry"), machine->profile().end());
  }
}

TEST(SimulatedMachineTest, DemoMachineHasAPlatformEntry) {
  std::string error;
  ScopedMachine scoped(SimulatedMachine::load("demo", &error));
  ASSERT_EQ(Machine::current(), &scoped.machine());
  {
    auto platform =
        ZORIORegistryEntry::serviceObjectsMatchingName(std::string("IOPlatformExpertDevice"));
    ASSERT_TRUE(platform && platform->size() == 1);
    EXPECT_EQ(platform->front()->stringValueWithName("model"), "MacBookPro5,1");
    EXPECT_TRUE(platform->front()->stringValueWithName("IOPlatformSerialNumber").has_value());
    auto smc = ZORIORegistryEntry::serviceObjectsMatchingName(std::string("AppleSMC"));
    ASSERT_TRUE(smc && smc->size() == 1);
    EXPECT_EQ(smc->front()->driverClassName(), "AppleSMC");
    EXPECT_NE(ZORIORegistryEntry::registryEntryInPlane(std::string("IODeviceTree"),
                                                       std::string("/rom/boot-rom")),
              nullptr);
  }
  EXPECT_EQ(scoped.machine().registry().outstandingReferences(), 0);
}

TEST(SimulatedMachineTest, ProfileFileLoadsWithItsName) {
  TemporaryProfile file(
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Name</key>"
      "<string>Bench machine</string><key>Sysctl</key><dict><key>hw.ncpu</key>"
      "<integer>2</integer></dict></dict></plist>");
  std::string error;
  auto machine = SimulatedMachine::load(file.path(), &error);
  ASSERT_NE(machine, nullptr) << error;
  EXPECT_FALSE(machine->isDemo());
  EXPECT_EQ(machine->name(), "Bench machine");
  // Parts the registry does not serve stay reachable.
  EXPECT_NE(machine->profile().find("Sysctl"), machine->profile().end());
  EXPECT_EQ(machine->registry().serviceRoot(), nullptr);
}

TEST(SimulatedMachineTest, UnreadableProfilesAreRefusedWithOneLine) {
  struct Case {
    const char* what;
    std::string contents;
    std::string reasonFragment;
  };
  const Case cases[] = {
      {"not a plist", "hello, I am not a property list", "not a readable property list"},
      {"root array", "<plist version=\"1.0\"><array/></plist>", "the root is a array"},
      {"name number",
       "<plist version=\"1.0\"><dict><key>Name</key><integer>3</integer></dict></plist>",
       "\"Name\" is a integer"},
      {"registry string",
       "<plist version=\"1.0\"><dict><key>Registry</key><string>x</string></dict></plist>",
       "Registry: entry is a string"},
      {"class missing", profileWithRegistry("<dict/>"), "\"IOObjectClass\" is missing"},
      {"class number",
       profileWithRegistry("<dict><key>IOObjectClass</key><integer>1</integer></dict>"),
       "\"IOObjectClass\" is a integer, expected a string"},
      {"superclasses string",
       profileWithRegistry("<dict><key>IOObjectClass</key><string>A</string>"
                           "<key>IOSuperclasses</key><string>B</string></dict>"),
       "Registry/A: \"IOSuperclasses\" is a string"},
      {"superclass number",
       profileWithRegistry("<dict><key>IOObjectClass</key><string>A</string>"
                           "<key>IOSuperclasses</key><array><integer>1</integer></array></dict>"),
       "\"IOSuperclasses\" holds a integer"},
      {"children dictionary",
       profileWithRegistry("<dict><key>IOObjectClass</key><string>A</string>"
                           "<key>IORegistryEntryChildren</key><dict/></dict>"),
       "\"IORegistryEntryChildren\" is a dictionary"},
      {"child string",
       profileWithRegistry("<dict><key>IOObjectClass</key><string>A</string>"
                           "<key>IORegistryEntryName</key><string>Root</string>"
                           "<key>IORegistryEntryChildren</key><array><string>c</string>"
                           "</array></dict>"),
       "Registry/Root: entry is a string"},
      {"simulation array",
       profileWithRegistry("<dict><key>IOObjectClass</key><string>A</string>"
                           "<key>ZORSimulation</key><array/></dict>"),
       "\"ZORSimulation\" is a array"},
      {"open error string",
       profileWithRegistry("<dict><key>IOObjectClass</key><string>A</string>"
                           "<key>ZORSimulation</key><dict><key>OpenError</key><string>x</string>"
                           "</dict></dict>"),
       "\"OpenError\" must be a non-zero 32-bit integer"},
      {"open error zero",
       profileWithRegistry("<dict><key>IOObjectClass</key><string>A</string>"
                           "<key>ZORSimulation</key><dict><key>OpenError</key><integer>0</integer>"
                           "</dict></dict>"),
       "\"OpenError\" must be a non-zero"},
      {"wave period zero",
       profileWithRegistry("<dict><key>IOObjectClass</key><string>A</string>"
                           "<key>ZORSimulation</key><dict><key>Wave</key><dict><key>x</key><dict>"
                           "<key>Base</key><real>1</real><key>Amplitude</key><real>1</real>"
                           "<key>PeriodSeconds</key><real>0</real></dict></dict></dict></dict>"),
       "\"PeriodSeconds\" above 0"},
      {"wave base string",
       profileWithRegistry("<dict><key>IOObjectClass</key><string>A</string>"
                           "<key>ZORSimulation</key><dict><key>Wave</key><dict><key>x</key><dict>"
                           "<key>Base</key><string>1</string></dict></dict></dict></dict>"),
       "needs a number \"Base\""},
  };
  for (const Case& c : cases) {
    TemporaryProfile file(c.contents);
    std::string error;
    EXPECT_EQ(SimulatedMachine::load(file.path(), &error), nullptr) << c.what;
    EXPECT_NE(error.find("\"" + file.path() + "\""), std::string::npos) << c.what << ": " << error;
    EXPECT_NE(error.find(c.reasonFragment), std::string::npos) << c.what << ": " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << c.what;
  }
}

TEST(SimulatedMachineTest, HostileNestingIsRefused) {
  std::string nested = "<dict><key>IOObjectClass</key><string>Leaf</string></dict>";
  for (int i = 0; i < 200; ++i) {
    nested =
        "<dict><key>IOObjectClass</key><string>Node</string>"
        "<key>IORegistryEntryChildren</key><array>" +
        nested + "</array></dict>";
  }
  std::string error;
  auto profile = parsePropertyList(profileWithRegistry(nested), &error);
  ASSERT_TRUE(profile) << error;
  EXPECT_EQ(Machine::fromProfile(*profile, "deep", &error), nullptr);
  EXPECT_NE(error.find("nested too deeply"), std::string::npos) << error;
}

TEST(SimulatedMachineTest, MissingFileIsRefused) {
  std::string error;
  EXPECT_EQ(SimulatedMachine::load("/nonexistent/machine.plist", &error), nullptr);
  EXPECT_EQ(error,
            "Cannot load machine profile \"/nonexistent/machine.plist\": No such file or "
            "directory");
}

TEST(SimulatedMachineTest, RefusedProfileLeavesTheInstalledMachineAlone) {
  std::string error;
  ScopedMachine scoped(SimulatedMachine::load("demo", &error));
  EXPECT_EQ(SimulatedMachine::load("/nonexistent/machine.plist", &error), nullptr);
  EXPECT_EQ(Machine::current(), &scoped.machine());
}

}  // namespace
}  // namespace zor
