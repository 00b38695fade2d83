#include "system/NSProcessInfoZORAdditions.h"

#include <gtest/gtest.h>

#include "system/SystemTestMachine.h"

namespace zor::testing {
namespace {

using Additions = NSProcessInfoZORAdditions;

PlistValue versionFile(const std::string& version, const std::string& build = "10F569") {
  PlistDictionary file{{"ProductName", text("Test OS")}, {"ProductBuildVersion", text(build)}};
  if (!version.empty()) file["ProductVersion"] = text(version);
  return PlistValue(std::move(file));
}

PlistDictionary machineWithVersionFile(std::optional<PlistValue> file) {
  PlistDictionary profile = profileWithServices({});
  if (file) {
    profile["Files"] = PlistDictionary{{Additions::kSystemVersionPath, std::move(*file)}};
  }
  return profile;
}

PlistValue process(std::int64_t pid, const std::string& command, std::int64_t uid) {
  return PlistValue(PlistDictionary{
      {"PID", number(pid)}, {"Command", text(command)}, {"EffectiveUID", number(uid)}});
}

struct VersionCase {
  const char* version;
  std::int32_t code;
};

class VersionCodeTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionCodeTest, PacksMajorMinorAndUpdate) {
  InstalledMachine installed(machineWithVersionFile(versionFile(GetParam().version)));
  EXPECT_EQ(Additions::operatingSystemVersionCode(), GetParam().code) << GetParam().version;
  EXPECT_EQ(Additions::operatingSystemVersionNumberString(), GetParam().version);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, VersionCodeTest,
    ::testing::Values(VersionCase{"10.6.4", 0x1064}, VersionCase{"10.5", 0x1050},
                      VersionCase{"10.6", 0x1060}, VersionCase{"10.6.8", 0x1068},
                      VersionCase{"10.4.11", 0x104B}, VersionCase{"10.10", 0x10A0},
                      VersionCase{"10.10.5", 0x10A5}, VersionCase{"11.2.3", 0x1123},
                      // Leading white space is skipped, trailing text ignored.
                      VersionCase{"  10.7.2 beta", 0x1072},
                      // Parts that cannot be scanned take 10, 0 and 0.
                      VersionCase{"beta", 0x1000}, VersionCase{".5", 0x1050},
                      VersionCase{"12..3", 0x1203}));

TEST(NSProcessInfoZORAdditionsTest, MissingFileGivesEmptyTextsAndTheOldestCode) {
  InstalledMachine installed(machineWithVersionFile(std::nullopt));
  EXPECT_EQ(Additions::operatingSystemVersionCode(), 0x1000);
  EXPECT_EQ(Additions::operatingSystemProductName(), "");
  EXPECT_EQ(Additions::operatingSystemVersionNumberString(), "");
  EXPECT_EQ(Additions::operatingSystemBuildCode(), "");
}

TEST(NSProcessInfoZORAdditionsTest, FileThatIsNoDictionaryCountsAsMissing) {
  InstalledMachine installed(machineWithVersionFile(bytes({'n', 'o', 'p', 'e'})));
  EXPECT_EQ(Additions::operatingSystemVersionCode(), 0x1000);
  EXPECT_EQ(Additions::operatingSystemProductName(), "");
}

TEST(NSProcessInfoZORAdditionsTest, FileWithoutVersionKeepsItsTextsAndGivesTheOldestCode) {
  InstalledMachine installed(machineWithVersionFile(versionFile("", "9A1")));
  EXPECT_EQ(Additions::operatingSystemVersionCode(), 0x1000);
  EXPECT_EQ(Additions::operatingSystemProductName(), "Test OS");
  EXPECT_EQ(Additions::operatingSystemBuildCode(), "9A1");
  EXPECT_EQ(Additions::operatingSystemVersionNumberString(), "");
}

TEST(NSProcessInfoZORAdditionsTest, RecordIsKeptUntilExplicitlyUpdated) {
  InstalledMachine installed(machineWithVersionFile(versionFile("10.6.4")));
  EXPECT_EQ(Additions::operatingSystemVersionCode(), 0x1064);
  installed.machine().system().setFile(Additions::kSystemVersionPath,
                                       versionFile("10.6.8", "10K549"));
  EXPECT_EQ(Additions::operatingSystemVersionCode(), 0x1064);
  EXPECT_EQ(Additions::operatingSystemBuildCode(), "10F569");
  Additions::updateVersionInfo();
  EXPECT_EQ(Additions::operatingSystemVersionCode(), 0x1068);
  EXPECT_EQ(Additions::operatingSystemBuildCode(), "10K549");
}

TEST(NSProcessInfoZORAdditionsTest, AnotherMachineIsReadAfresh) {
  {
    InstalledMachine installed(machineWithVersionFile(versionFile("10.5.8")));
    EXPECT_EQ(Additions::operatingSystemVersionCode(), 0x1058);
  }
  InstalledMachine installed(machineWithVersionFile(versionFile("10.6.2")));
  EXPECT_EQ(Additions::operatingSystemVersionCode(), 0x1062);
}

PlistDictionary machineWithProcesses() {
  PlistDictionary profile = profileWithServices({});
  profile["Processes"] = PlistArray{
      process(0, "kernel_task", 0),        process(1, "launchd", 0),
      process(-5, "launchd", 0),           process(40, "DashboardClient", 501),
      process(41, "DashboardClient", 502), process(77, "sixteen-bytes-xx", 0),
  };
  return profile;
}

TEST(NSProcessInfoZORAdditionsTest, ProcessesAreFoundByCommandName) {
  InstalledMachine installed(machineWithProcesses());
  auto dashboards = Additions::identifiersForRunningProcessesNamed("DashboardClient");
  ASSERT_TRUE(dashboards);
  EXPECT_EQ(*dashboards, (std::vector<std::int32_t>{40, 41}));
  // Process IDs 0 and below are never given out.
  EXPECT_EQ(Additions::identifiersForRunningProcessesNamed("launchd"),
            (std::vector<std::int32_t>{1}));
  EXPECT_EQ(Additions::identifiersForRunningProcessesNamed("kernel_task"),
            std::vector<std::int32_t>{});
  EXPECT_EQ(Additions::identifiersForRunningProcessesNamed("nobody"), std::vector<std::int32_t>{});
  EXPECT_FALSE(Additions::identifiersForRunningProcessesNamed(""));
  // Names are compared over the 16 bytes the kernel keeps.
  EXPECT_EQ(Additions::identifiersForRunningProcessesNamed("sixteen-bytes-xx-and-more"),
            (std::vector<std::int32_t>{77}));
  EXPECT_EQ(Additions::identifiersForRunningProcessesNamed("Dashboard"),
            std::vector<std::int32_t>{});
}

TEST(NSProcessInfoZORAdditionsTest, RunningTestFollowsTheLookUp) {
  InstalledMachine installed(machineWithProcesses());
  EXPECT_TRUE(Additions::isProcessRunningWithName("launchd"));
  EXPECT_FALSE(Additions::isProcessRunningWithName("kernel_task"));
  EXPECT_FALSE(Additions::isProcessRunningWithName("nobody"));
  EXPECT_FALSE(Additions::isProcessRunningWithName(""));
}

TEST(NSProcessInfoZORAdditionsTest, TableThatGrowsBetweenTheQueriesGivesNothing) {
  InstalledMachine installed(machineWithProcesses());
  int queries = 0;
  installed.machine().system().setProcessTableQueryHook([&](SimulatedSystem& system) {
    // Every size query is followed by a new process before the read.
    if (++queries % 2 == 1) system.addProcess({500 + queries, "launchd", 0});
  });
  EXPECT_FALSE(Additions::identifiersForRunningProcessesNamed("launchd"));
  EXPECT_EQ(queries, 2);
  EXPECT_FALSE(Additions::processNameForProcessID(1));
  EXPECT_EQ(queries, 4);
  // Once the table holds still, the new processes are found.
  installed.machine().system().setProcessTableQueryHook(nullptr);
  EXPECT_EQ(Additions::identifiersForRunningProcessesNamed("launchd"),
            (std::vector<std::int32_t>{1, 501, 503}));
}

TEST(NSProcessInfoZORAdditionsTest, ProcessNameAndUserByProcessID) {
  InstalledMachine installed(machineWithProcesses());
  std::uint32_t uid = 12345;
  EXPECT_EQ(Additions::processNameForProcessID(41, &uid), "DashboardClient");
  EXPECT_EQ(uid, 502u);
  // Process 0 is a process like any other here.
  EXPECT_EQ(Additions::processNameForProcessID(0, &uid), "kernel_task");
  EXPECT_EQ(uid, 0u);
  EXPECT_EQ(Additions::processNameForProcessID(40), "DashboardClient");

  uid = 12345;
  EXPECT_FALSE(Additions::processNameForProcessID(999, &uid));
  EXPECT_EQ(uid, 12345u);
}

TEST(NSProcessInfoZORAdditionsTest, CommandNameThatIsNoTextGivesNoName) {
  PlistDictionary profile = profileWithServices({});
  profile["Processes"] = PlistArray{process(3, std::string("bad\xff\xfe"), 7)};
  InstalledMachine installed(profile);
  std::uint32_t uid = 1;
  EXPECT_FALSE(Additions::processNameForProcessID(3, &uid));
  EXPECT_EQ(uid, 1u);
}

TEST(NSProcessInfoZORAdditionsTest, WithoutAProcessTableNothingIsFound) {
  SimulatedMachine::install(nullptr);
  EXPECT_FALSE(Additions::identifiersForRunningProcessesNamed("launchd"));
  EXPECT_FALSE(Additions::processNameForProcessID(1));
  EXPECT_FALSE(Additions::isProcessRunningWithName("launchd"));
}

}  // namespace
}  // namespace zor::testing
