#include "platform/Machine.h"
#include "platform/simulated/SimulatedMachine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/ScopedMachine.h"

namespace zor {
namespace {

// `contents` in a file of this process, named in the error it causes.
std::string profileFile(const std::string& contents) {
  const auto path =
      std::filesystem::temp_directory_path() / ("zor-profile-" + std::to_string(getpid()));
  std::ofstream(path, std::ios::binary) << contents;
  return path.string();
}

std::string profileWith(const std::string& fields) {
  return "<plist version=\"1.0\"><dict>" + fields + "</dict></plist>";
}

std::string profileWithRegistry(const std::string& registryEntry) {
  return profileWith("<key>Registry</key>" + registryEntry);
}

// A registry root of class A with `fields` beside its class.
std::string rootWith(const std::string& fields) {
  return profileWithRegistry("<dict><key>IOObjectClass</key><string>A</string>" + fields +
                             "</dict>");
}

std::string simulation(const std::string& settings) {
  return rootWith("<key>ZORSimulation</key><dict>" + settings + "</dict>");
}

std::string disk(const std::string& settings) {
  return simulation("<key>ATASMART</key><dict>" + settings + "</dict>");
}

TEST(SimulatedMachineTest, UnreadableProfilesAreRefusedWithOneLineAndChangeNothing) {
  std::string nested;
  for (int i = 0; i < 200; ++i) {
    nested =
        "<dict><key>IOObjectClass</key><string>N</string><key>IORegistryEntryChildren</key>"
        "<array>" +
        nested + "</array></dict>";
  }
  const std::string wave = "<key>Wave</key><dict><key>x</key><dict><key>Base</key>";
  const std::string smc = "<key>SMCKeys</key><array>";
  const std::pair<std::string, std::string> cases[] = {
      {"hello, I am not a property list", "not a readable property list"},
      {"<plist version=\"1.0\"><array/></plist>", "the root is a array"},
      {profileWith("<key>Name</key><date>2026-01-01T00:00:00Z</date>"), "\"Name\" is a date"},
      {profileWith("<key>Sysctl</key><true/>"), "\"Sysctl\" is a boolean, expected a dictionary"},
      {profileWith("<key>Processes</key><array><true/></array>"), "\"Processes/0\" is a boolean"},
      {profileWith("<key>HostInfo</key><true/>"), "\"HostInfo\" is a boolean, expected a"},
      {profileWith("<key>ComputerName</key><true/>"), "\"ComputerName\" is a boolean"},
      {profileWith("<key>Files</key><true/>"), "\"Files\" is a boolean, expected a dictionary"},
      {profileWith("<key>HostUUID</key><data>AAAA</data>"), "\"HostUUID\" must be data of 16"},
      {profileWith("<key>HostUUIDDelay</key><real>-1</real>"), "\"HostUUIDDelay\" must be a"},
      {profileWith("<key>Files</key><dict><key>etc/os</key><string/></dict>"),
       "\"Files\" has the path \"etc/os\", expected an absolute path"},
      {profileWith("<key>UserDefaults</key><array/>"), "\"UserDefaults\" is a array, expected"},
      {profileWithRegistry("<string>x</string>"), "Registry: entry is a string"},
      {profileWithRegistry("<dict/>"), "\"IOObjectClass\" is missing"},
      {profileWithRegistry("<dict><key>IOObjectClass</key><integer>1</integer></dict>"),
       "\"IOObjectClass\" is a integer, expected a string"},
      {rootWith("<key>IOSuperclasses</key><string>B</string>"), "\"IOSuperclasses\" is a string"},
      {rootWith("<key>IORegistryEntryChildren</key><dict/>"), "\"IORegistryEntryChildren\" is a"},
      {rootWith("<key>IOSuperclasses</key><array><integer>1</integer></array>"),
       "Registry/A: \"IOSuperclasses\" holds a integer"},
      {rootWith("<key>ZORSimulation</key><array/>"), "\"ZORSimulation\" is a array"},
      {simulation("<key>OpenError</key><integer>0</integer>"), "\"OpenError\" must be a non-zero"},
      {simulation(wave + "<real>1</real><key>Amplitude</key><real>1</real>"
                         "<key>PeriodSeconds</key><real>0</real></dict></dict>"),
       "\"PeriodSeconds\" above 0"},
      {simulation(wave + "<string>1</string></dict></dict>"), "needs a number \"Base\""},
      {simulation(smc + "<true/></array>"), "item 0 needs a four-character string \"Key\""},
      {simulation(smc + "<dict><key>Key</key><string>TC0D</string></dict></array>"),
       "item 0 (\"TC0D\") needs a \"Type\" of 1 to 4 characters"},
      {simulation(smc + "</array><key>SMCFailIndices</key><true/>"), "\"SMCFailIndices\" must be"},
      {simulation(smc + "</array><key>SMCFailKeys</key><array><true/></array>"),
       "\"SMCFailKeys\" must be an array of four-character strings"},
      {simulation("<key>ATASMART</key><true/>"), "\"ATASMART\" is a boolean, expected a"},
      {disk("<key>Data</key><data>AAAA</data>"), "\"Data\" must be data of 512 bytes (has 3)"},
      {disk("<key>ThresholdExceeded</key><integer>1</integer>"), "\"ThresholdExceeded\" must"},
      {disk("<key>Fail</key><true/>"), "\"ATASMART\" \"Fail\" must be an array"},
      {disk("<key>Fail</key><array><string>Spin</string></array>"), "unknown operation \"Spin\""},
      {disk("<key>Fail</key><array><true/></array>"), "\"Fail\" holds a boolean"},
      {profileWithRegistry(nested), "nested too deeply"},
      {"", "No such file or directory"},
  };
  std::string error;
  ScopedMachine installed(SimulatedMachine::load("demo", &error));
  for (const auto& [contents, reason] : cases) {
    const std::string path =
        contents.empty() ? "/nonexistent/machine.plist" : profileFile(contents);
    EXPECT_EQ(SimulatedMachine::load(path, &error), nullptr) << reason;
    std::filesystem::remove(path);
    EXPECT_EQ(error.find("Cannot load machine profile \"" + path + "\": "), 0u) << error;
    EXPECT_NE(error.find(reason), std::string::npos) << reason << ": " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << reason;
  }
  EXPECT_EQ(Machine::current(), &installed.machine());
}

}  // namespace
}  // namespace zor
