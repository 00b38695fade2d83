#include "system/NSProcessInfoZORAdditions.h"

#include <gtest/gtest.h>

#include "system/SystemTestMachine.h"

namespace zor::testing {
namespace {

using Additions = NSProcessInfoZORAdditions;
using Pids = std::vector<std::int32_t>;

PlistValue versionFile(const std::string& version, const std::string& build = "10F569") {
  PlistDictionary file{{"ProductName", text("Test OS")}, {"ProductBuildVersion", text(build)}};
  if (!version.empty()) file["ProductVersion"] = text(version);
  return PlistValue(std::move(file));
}

PlistDictionary machineWithVersionFile(std::optional<PlistValue> file) {
  PlistDictionary profile = profileWithServices({});
  if (file) profile["Files"] = PlistDictionary{{Additions::kSystemVersionPath, std::move(*file)}};
  return profile;
}

TEST(NSProcessInfoZORAdditionsTest, VersionCodePacksMajorMinorAndUpdate) {
  const std::pair<const char*, std::int32_t> cases[] = {
      {"10.6.4", 0x1064},
      {"10.10.11", 0x10AB},
      // Leading white space is skipped, trailing text ignored.
      {"  10.7.2 beta", 0x1072},
      // Parts that cannot be scanned take 10, 0 and 0.
      {"beta", 0x1000},
      {"12..3", 0x1203}};
  for (const auto& [version, code] : cases) {
    InstalledMachine installed(machineWithVersionFile(versionFile(version)));
    EXPECT_EQ(Additions::operatingSystemVersionCode(), code) << version;
    EXPECT_EQ(Additions::operatingSystemVersionNumberString(), version);
  }
}

// Without a version the other texts are still kept.
TEST(NSProcessInfoZORAdditionsTest, UnusableVersionFilesGiveTheOldestCode) {
  const std::pair<std::optional<PlistValue>, const char*> cases[] = {
      {std::nullopt, ""}, {bytes({'n', 'o'}), ""}, {versionFile("", "9A1"), "9A1"}};
  for (const auto& [file, build] : cases) {
    InstalledMachine installed(machineWithVersionFile(file));
    EXPECT_EQ(Additions::operatingSystemVersionCode(), 0x1000) << build;
    EXPECT_EQ(Additions::operatingSystemBuildCode(), build);
    EXPECT_EQ(Additions::operatingSystemVersionNumberString(), "");
  }
}

// Process IDs 0 and below are never given out.
TEST(NSProcessInfoZORAdditionsTest, ProcessesAreFoundByCommandName) {
  PlistDictionary profile = profileWithServices({});
  PlistArray processes;
  const std::pair<std::int64_t, const char*> table[] = {
      {0, "kernel_task"}, {1, "launchd"}, {-5, "launchd"}, {40, "Client"}, {41, "Client"}};
  for (const auto& [pid, command] : table) {
    processes.push_back(PlistValue(PlistDictionary{
        {"PID", number(pid)}, {"Command", text(command)}, {"EffectiveUID", number(0)}}));
  }
  profile["Processes"] = std::move(processes);
  InstalledMachine installed(profile);
  const std::pair<const char*, Pids> cases[] = {
      {"Client", {40, 41}}, {"launchd", {1}}, {"kernel_task", {}}};
  for (const auto& [name, pids] : cases) {
    EXPECT_EQ(Additions::identifiersForRunningProcessesNamed(name), pids) << name;
  }
}

}  // namespace
}  // namespace zor::testing
