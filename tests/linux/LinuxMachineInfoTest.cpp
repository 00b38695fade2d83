// The machine description on recorded Linux trees: what ZORMachineInfo and
// the OS-version queries answer from DMI, os-release, cpuinfo and meminfo,
// and the documented "unknown" values where the machine has no answer.

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include "tests/linux/RecordedTrees.h"

#include "platform/ScopedMachine.h"
#include "platform/SystemServices.h"
#include "platform/linux/LinuxKernelVariables.h"
#include "platform/linux/LinuxMachine.h"
#include "platform/linux/LinuxMachineIdentity.h"
#include "platform/linux/OsRelease.h"
#include "system/NSProcessInfoZORAdditions.h"
#include "system/ZORMachineInfo.h"

namespace zor::linuxfs {
namespace {

using linuxtest::recordedTree;
using linuxtest::ScratchTree;

struct TreeCase {
  const char* tree;
  const char* name;
  const char* model;
  const char* serialPrefix;  // the whole serial unless it is made up
  const char* uuid;
  const char* computerName;
  std::uint32_t cpus, active, physical;
  std::uint64_t frequency, maximum, nominal, memory;
  std::uint32_t l1Data, l2;
  std::int32_t speedFeature;
  const char* readableVersion;
  const char* kernelNumber;
  const char* bootROM;
};

class MachineInfoOnTreeTest : public ::testing::TestWithParam<TreeCase> {};

TEST_P(MachineInfoOnTreeTest, AnswersFromTheTree) {
  const TreeCase& c = GetParam();
  std::string error;
  auto machine = LinuxMachine::build(LinuxRoot(recordedTree(c.tree)), &error);
  ASSERT_TRUE(machine) << error;
  ScopedMachine installed(machine);
  auto info = ZORMachineInfo::sharedMachineInfo();

  EXPECT_EQ(machine->name(), c.name);
  EXPECT_EQ(info->appleModelCode(), c.model);
  EXPECT_TRUE(info->machineSerialNumber().starts_with(c.serialPrefix))
      << info->machineSerialNumber();
  EXPECT_EQ(info->machineUUID(), c.uuid);
  EXPECT_EQ(info->computerName(), c.computerName);
  std::uint32_t cpus = 0, active = 0, physical = 0;
  info->getNumberOfCPUs(&cpus, &active, &physical);
  EXPECT_EQ(std::tie(cpus, active, physical), std::tie(c.cpus, c.active, c.physical));
  std::uint64_t frequency = 0, minimum = 0, maximum = 0;
  info->getCPUFrequency(&frequency, &minimum, &maximum);
  EXPECT_EQ(frequency, c.frequency);
  EXPECT_EQ(maximum, c.maximum);
  EXPECT_EQ(info->nominalCPUFrequency(), c.nominal);
  EXPECT_EQ(info->memorySize(), c.memory);
  std::uint32_t l1Data = 0, l1Instructions = 0;
  info->getL1CacheSizeData(&l1Data, &l1Instructions);
  EXPECT_EQ(l1Data, c.l1Data);
  EXPECT_EQ(info->l2CacheSize(), c.l2);
  EXPECT_EQ(info->cpuFrequencyVariabilityFeature(), c.speedFeature);
  EXPECT_TRUE(info->is64BitCapable());
  EXPECT_EQ(info->readableOperatingSystemVersion(), c.readableVersion);
  EXPECT_EQ(info->readableKernelVersionNumber(), c.kernelNumber);
  EXPECT_EQ(info->bootROMVersion(), c.bootROM);
  // A Linux release is no version of the system the codes number: the code
  // of an unknown system, and no version number beside it.
  EXPECT_EQ(info->operatingSystemVersionCode(), NSProcessInfoZORAdditions::kUnknownVersionCode);
  EXPECT_EQ(info->readableOperatingSystemNumber(), "");
  EXPECT_EQ(info->readableOperatingSystemBuild(), c.kernelNumber);
  if (info->machineSerialNumber().starts_with(ZORMachineInfo::kFallBackSerialNumberPrefix)) {
    EXPECT_FALSE(info->estimatedProductionDate().has_value());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Trees, MachineInfoOnTreeTest,
    ::testing::Values(
        // Board placeholders give way to the board's own name and serial.
        TreeCase{"info-desktop", "ASUSTeK COMPUTER INC. PRIME B450M-A", "PRIME B450M-A",
                 "190436872301234", "1A2B3C4D-5E6F-4A0B-8C9D-0E1F2A3B4C5D", "workbench", 4, 4, 2,
                 3600000000u, 3600000000u, 3600000000u, 16318480ull * 1024, 32768, 524288, 2,
                 "Debian GNU/Linux 12 (bookworm), kernel 6.1.0-13-amd64", "6.1.0-13-amd64",
                 "3211 (07/06/2023)"},
        // Recorded by a user: serial and UUID from the machine id.
        TreeCase{"info-notebook", "LENOVO 20KHCTO1WW", "20KHCTO1WW", "ZZZNOSERIAL-",
                 "B08DFA60-83E7-567A-1921-A715000001FB", "carbon", 2, 2, 2, 1800012000u, 0,
                 1800012000u, 7980264ull * 1024, 0, 0, 0,
                 "Ubuntu 24.04 LTS, kernel 6.8.0-31-generic", "6.8.0-31-generic",
                 "N23ET86W (1.61 ) (04/18/2023)"},
        // Nothing to go by: the description's unknown values.
        TreeCase{"info-bare", "Linux machine", "", "ZZZNOSERIAL", "", "Macintosh", 4, 0, 4, 0, 0, 0,
                 3884100ull * 1024, 0, 0, 0,
                 "Debian GNU/Linux 12 (bookworm), kernel 6.6.20+rpt-rpi-v8", "6.6.20+rpt-rpi-v8",
                 ""}));

TEST(SerialFallbackTest, TakesTheFirstMeaningfulSourceThenOneMadeUpPerMachineId) {
  const char* id = "0123456789abcdef0123456789abcdef\n";
  struct Case {
    const char* productSerial;  // null: unreadable (root only) or absent
    const char* boardSerial;
    const char* machineId;
    const char* expected;  // null: none; "derived": made up from the machine id
  };
  const Case cases[] = {
      {"PF1ABCDE\n", "L1HF68F00AB\n", id, "PF1ABCDE"},
      {nullptr, "L1HF68F00AB\n", id, "L1HF68F00AB"},
      {"To Be Filled By O.E.M.\n", "Default string\n", id, "derived"},
      {"0000000000\n", nullptr, id, "derived"},
      {"   \n", nullptr, id, "derived"},
      {nullptr, nullptr, "0123456789abcdef0123456789abcdee\n", "derived"},
      {nullptr, nullptr, "not a machine id\n", nullptr},
      {nullptr, nullptr, nullptr, nullptr},
  };
  std::set<std::string> derived;
  for (const Case& c : cases) {
    ScratchTree tree;
    if (c.productSerial) tree.write("/sys/class/dmi/id/product_serial", c.productSerial);
    if (c.boardSerial) tree.write("/sys/class/dmi/id/board_serial", c.boardSerial);
    if (c.machineId) tree.write("/etc/machine-id", c.machineId);
    const auto serial = LinuxMachineIdentity::read(LinuxRoot(tree.path())).serialNumber;
    if (c.expected == nullptr || std::string(c.expected) != "derived") {
      EXPECT_EQ(serial.value_or("(none)"), c.expected ? c.expected : "(none)");
      continue;
    }
    // The made-up form: the prefix, a hyphen, 12 lower-case hexadecimal
    // digits, and not the machine id itself.
    ASSERT_TRUE(serial.has_value());
    EXPECT_TRUE(serial->size() == 24 && serial->starts_with("ZZZNOSERIAL-") &&
                serial->find_first_not_of("0123456789abcdef", 12) == std::string::npos)
        << *serial;
    EXPECT_EQ(std::string(c.machineId).find(serial->substr(12)), std::string::npos);
    derived.insert(*serial);
  }
  EXPECT_EQ(derived.size(), 2u) << "the same serial for the same machine id only";
}

TEST(FirmwareTextTest, KeepsRealTextOnlyAsWellFormedUTF8) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"  LENOVO \n", "LENOVO"},
      {"To be filled by O.E.M.", std::nullopt},
      {"FFFFFFFF", std::nullopt},
      {"\t\n", std::nullopt},
      {"ASUS\xff\x01 Board", "ASUS\xef\xbf\xbd Board"},
      // An overlong three-byte form of U+00A9 never passes through as text.
      {"Board \xE0\x82\xA9", "Board \xef\xbf\xbd"},
  };
  for (const auto& [firmware, meaningful] : cases) {
    EXPECT_EQ(LinuxMachineIdentity::meaningful(firmware), meaningful);
  }
}

TEST(UUIDTextTest, AcceptsRealUUIDsOnly) {
  const std::pair<const char*, bool> cases[] = {
      {"1a2b3c4d-5e6f-4a0b-8c9d-0e1f2a3b4c5d\n", true},
      {"b08dfa6083e7567a1921a715000001fb", true},
      {"03000200-0400-0500-0006-000700080009", false},  // a firmware placeholder
      {"00000000-0000-0000-0000-000000000000", false},
      {"ffffffffffffffffffffffffffffffff", false},
      {"1a2b3c4d5-e6f-4a0b-8c9d-0e1f2a3b4c5d", false},
      {"1a2b3c4d-5e6f-4a0b-8c9d-0e1f2a3b4c5", false},
      {"1a2b3c4d-5e6f-4a0b-8c9d-0e1f2a3b4c5g", false},
      {"", false},
  };
  for (const auto& [text, valid] : cases) {
    EXPECT_EQ(LinuxMachineIdentity::parseUUID(text).has_value(), valid) << text;
  }
}

TEST(OsReleaseTest, ReadsTheNameAsTheShellWould) {
  const std::pair<const char*, const char*> cases[] = {
      {"PRETTY_NAME=\"Arch Linux\"\nNAME=Arch\n", "Arch Linux"},
      {"PRETTY_NAME='Fedora 40'\r\n", "Fedora 40"},
      {"PRETTY_NAME=\"Say \\\"hi\\\" \\$HOME\"\n", "Say \"hi\" $HOME"},
      {"# PRETTY_NAME=no\nNAME=Gentoo\nVERSION=2.15\n", "Gentoo 2.15"},
      {"PRETTY_NAME=\nNAME=\"NixOS\"\n", "NixOS"},
      {"garbage\n=x\n", "Linux"},
  };
  for (const auto& [text, name] : cases) EXPECT_EQ(OsRelease::parse(text).prettyName(), name);
}

TEST(KernelListTest, CountsCPUListsAndCacheSizes) {
  struct Case {
    const char* text;
    std::optional<std::int64_t> cpus, cacheBytes;
  };
  const Case cases[] = {
      {"0-7", 8, std::nullopt},
      {"0-3,6,8-9", 7, std::nullopt},
      {"5", 1, 5},
      {"3-1", std::nullopt, std::nullopt},
      {"32K", std::nullopt, 32768},
      {"12M", std::nullopt, 12582912},
      {"K", std::nullopt, std::nullopt},
      {"99999999M", std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LinuxKernelVariables::countCPUList(c.text), c.cpus) << c.text;
    EXPECT_EQ(LinuxKernelVariables::cacheSize(c.text), c.cacheBytes) << c.text;
  }
}

TEST(LiveProcessTableTest, AnswersTheProcessQueriesFromProc) {
  struct Case {
    std::int32_t pid;
    std::optional<std::string> command;
    std::uint32_t effectiveUID;
  };
  const Case cases[] = {{1, "systemd", 0},
                        // Set-user-id: the effective user, not the real one.
                        {4242, "zor-widget-host", 1001},
                        // Ended while the table was read (no status).
                        {77, std::nullopt, 12345},
                        {5, std::nullopt, 12345}};
  std::string error;
  auto machine = LinuxMachine::build(LinuxRoot(recordedTree("info-desktop")), &error);
  ASSERT_TRUE(machine) << error;
  ScopedMachine installed(machine);
  for (const Case& c : cases) {
    std::uint32_t uid = 12345;
    EXPECT_EQ(NSProcessInfoZORAdditions::processNameForProcessID(c.pid, &uid), c.command);
    EXPECT_EQ(uid, c.effectiveUID) << c.pid;
    if (!c.command) continue;
    EXPECT_EQ(NSProcessInfoZORAdditions::identifiersForRunningProcessesNamed(*c.command),
              std::vector<std::int32_t>{c.pid});
  }
}

}  // namespace
}  // namespace zor::linuxfs
