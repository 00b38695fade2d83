#include "platform/Machine.h"
#include "platform/simulated/SimulatedMachine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "platform/ScopedMachine.h"

namespace zor {
namespace {

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
  return "<plist version=\"1.0\"><dict><key>Registry</key>" + registryEntry + "</dict></plist>";
}

// A registry root of class A with `fields` beside its class.
std::string rootWith(const std::string& fields) {
  return profileWithRegistry("<dict><key>IOObjectClass</key><string>A</string>" + fields +
                             "</dict>");
}

std::string simulation(const std::string& settings) {
  return rootWith("<key>ZORSimulation</key><dict>" + settings + "</dict>");
}

TEST(SimulatedMachineTest, ProfileFileLoadsWithItsName) {
  TemporaryProfile file(
      "<plist version=\"1.0\"><dict><key>Name</key><string>Bench machine</string><key>Sysctl</key>"
      "<dict><key>hw.ncpu</key><integer>2</integer></dict></dict></plist>");
  std::string error;
  auto machine = SimulatedMachine::load(file.path(), &error);
  ASSERT_NE(machine, nullptr) << error;
  EXPECT_FALSE(machine->isDemo());
  EXPECT_EQ(machine->name(), "Bench machine");
  // Parts the registry does not serve stay reachable.
  EXPECT_NE(machine->profile().find("Sysctl"), machine->profile().end());
  EXPECT_EQ(machine->registry().serviceRoot(), nullptr);
  // No name at all is the built-in demo machine.
  machine = SimulatedMachine::load("", &error);
  ASSERT_NE(machine, nullptr) << error;
  EXPECT_TRUE(machine->isDemo());
}

TEST(SimulatedMachineTest, UnreadableProfilesAreRefusedWithOneLineAndChangeNothing) {
  std::string nested = "<dict><key>IOObjectClass</key><string>Leaf</string></dict>";
  for (int i = 0; i < 200; ++i) {
    nested =
        "<dict><key>IOObjectClass</key><string>Node</string>"
        "<key>IORegistryEntryChildren</key><array>" +
        nested + "</array></dict>";
  }
  const std::string wave = "<key>Wave</key><dict><key>x</key><dict><key>Base</key>";
  const std::pair<std::string, std::string> cases[] = {
      {"hello, I am not a property list", "not a readable property list"},
      {"<plist version=\"1.0\"><array/></plist>", "the root is a array"},
      {"<plist version=\"1.0\"><dict><key>Name</key><integer>3</integer></dict></plist>",
       "\"Name\" is a integer"},
      {profileWithRegistry("<string>x</string>"), "Registry: entry is a string"},
      {profileWithRegistry("<dict/>"), "\"IOObjectClass\" is missing"},
      {profileWithRegistry("<dict><key>IOObjectClass</key><integer>1</integer></dict>"),
       "\"IOObjectClass\" is a integer, expected a string"},
      {rootWith("<key>IOSuperclasses</key><string>B</string>"),
       "Registry/A: \"IOSuperclasses\" is a string"},
      {rootWith("<key>IOSuperclasses</key><array><integer>1</integer></array>"),
       "\"IOSuperclasses\" holds a integer"},
      {rootWith("<key>IORegistryEntryChildren</key><dict/>"),
       "\"IORegistryEntryChildren\" is a dictionary"},
      {rootWith("<key>IORegistryEntryName</key><string>Root</string>"
                "<key>IORegistryEntryChildren</key><array><string>c</string></array>"),
       "Registry/Root: entry is a string"},
      {rootWith("<key>ZORSimulation</key><array/>"), "\"ZORSimulation\" is a array"},
      {simulation("<key>OpenError</key><string>x</string>"),
       "\"OpenError\" must be a non-zero 32-bit integer"},
      {simulation("<key>OpenError</key><integer>0</integer>"), "\"OpenError\" must be a non-zero"},
      {simulation(wave + "<real>1</real><key>Amplitude</key><real>1</real>"
                         "<key>PeriodSeconds</key><real>0</real></dict></dict>"),
       "\"PeriodSeconds\" above 0"},
      {simulation(wave + "<string>1</string></dict></dict>"), "needs a number \"Base\""},
      {profileWithRegistry(nested), "nested too deeply"},
  };
  std::string error;
  ScopedMachine installed(SimulatedMachine::load("demo", &error));
  for (const auto& [contents, reason] : cases) {
    TemporaryProfile file(contents);
    EXPECT_EQ(SimulatedMachine::load(file.path(), &error), nullptr) << reason;
    EXPECT_NE(error.find("\"" + file.path() + "\""), std::string::npos) << error;
    EXPECT_NE(error.find(reason), std::string::npos) << reason << ": " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << reason;
  }
  EXPECT_EQ(SimulatedMachine::load("/nonexistent/machine.plist", &error), nullptr);
  EXPECT_EQ(error,
            "Cannot load machine profile \"/nonexistent/machine.plist\": No such file or "
            "directory");
  EXPECT_EQ(Machine::current(), &installed.machine());
}

}  // namespace
}  // namespace zor
