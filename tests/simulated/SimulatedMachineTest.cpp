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

TEST(SimulatedMachineTest, UnreadableProfilesAreRefusedWithOneLineAndChangeNothing) {
  std::string nested;
  for (int i = 0; i < 200; ++i) {
    nested =
        "<dict><key>IOObjectClass</key><string>N</string><key>IORegistryEntryChildren</key>"
        "<array>" +
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
