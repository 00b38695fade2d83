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
      {"10.4.11", 0x104B},
      {"10.10.5", 0x10A5},
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

TEST(NSProcessInfoZORAdditionsTest, UnusableVersionFilesGiveTheOldestCode) {
  struct Case {
    std::optional<PlistValue> file;
    const char* productName;
    const char* build;
  };
  const Case cases[] = {
      {std::nullopt, "", ""},
      {bytes({'n', 'o', 'p', 'e'}), "", ""},
      // Without a version the other texts are still kept.
      {versionFile("", "9A1"), "Test OS", "9A1"},
  };
  for (const Case& c : cases) {
    InstalledMachine installed(machineWithVersionFile(c.file));
    EXPECT_EQ(Additions::operatingSystemVersionCode(), 0x1000) << c.build;
    EXPECT_EQ(Additions::operatingSystemProductName(), c.productName);
    EXPECT_EQ(Additions::operatingSystemBuildCode(), c.build);
    EXPECT_EQ(Additions::operatingSystemVersionNumberString(), "");
  }
}

PlistValue process(std::int64_t pid, const std::string& command, std::int64_t uid) {
  return PlistValue(PlistDictionary{
      {"PID", number(pid)}, {"Command", text(command)}, {"EffectiveUID", number(uid)}});
}

PlistDictionary machineWithProcesses() {
  PlistDictionary profile = profileWithServices({});
  profile["Processes"] = PlistArray{
      process(0, "kernel_task", 0),
      process(1, "launchd", 0),
      process(-5, "launchd", 0),
      process(40, "DashboardClient", 501),
      process(41, "DashboardClient", 502),
      process(77, "sixteen-bytes-xx", 0),
      process(3, std::string("bad\xff\xfe"), 7),
  };
  return profile;
}

TEST(NSProcessInfoZORAdditionsTest, ProcessesAreFoundByCommandName) {
  InstalledMachine installed(machineWithProcesses());
  const std::pair<const char*, Pids> cases[] = {
      {"DashboardClient", {40, 41}},
      // Process IDs 0 and below are never given out.
      {"launchd", {1}},
      {"kernel_task", {}},
      {"nobody", {}},
      // Names are compared over the 16 bytes the kernel keeps.
      {"sixteen-bytes-xx-and-more", {77}},
      {"Dashboard", {}},
  };
  for (const auto& [name, pids] : cases) {
    EXPECT_EQ(Additions::identifiersForRunningProcessesNamed(name), pids) << name;
    EXPECT_EQ(Additions::isProcessRunningWithName(name), !pids.empty()) << name;
  }
  EXPECT_FALSE(Additions::identifiersForRunningProcessesNamed(""));
  EXPECT_FALSE(Additions::isProcessRunningWithName(""));
  // By process ID, process 0 is a process like any other.
  std::uint32_t uid = 12345;
  EXPECT_EQ(Additions::processNameForProcessID(41, &uid), "DashboardClient");
  EXPECT_EQ(uid, 502u);
  EXPECT_EQ(Additions::processNameForProcessID(0, &uid), "kernel_task");
  EXPECT_EQ(uid, 0u);
  // Unknown processes and command names that are no text leave the user alone.
  uid = 12345;
  EXPECT_FALSE(Additions::processNameForProcessID(999, &uid));
  EXPECT_FALSE(Additions::processNameForProcessID(3, &uid));
  EXPECT_EQ(uid, 12345u);
}

TEST(NSProcessInfoZORAdditionsTest, TableThatGrowsBetweenTheQueriesGivesNothing) {
  InstalledMachine installed(machineWithProcesses());
  int queries = 0;
  installed.machine().system().setProcessTableQueryHook([&](MachineSystem& system) {
    // Every size query is followed by a new process before the read.
    if (++queries % 2 == 1) system.addProcess({500 + queries, "launchd", 0});
  });
  EXPECT_FALSE(Additions::identifiersForRunningProcessesNamed("launchd"));
  EXPECT_EQ(queries, 2);
  EXPECT_FALSE(Additions::processNameForProcessID(1));
  EXPECT_EQ(queries, 4);
  // Once the table holds still, the new processes are found.
  installed.machine().system().setProcessTableQueryHook(nullptr);
  EXPECT_EQ(Additions::identifiersForRunningProcessesNamed("launchd"), (Pids{1, 501, 503}));
}

}  // namespace
}  // namespace zor::testing
