// The machine description on recorded Linux trees: what ZORMachineInfo and
// the OS-version queries answer from DMI, os-release, cpuinfo and meminfo,
// and the documented "unknown" values where the machine has no answer.

#include <gtest/gtest.h>

#include <cstring>
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

struct SerialCase {
  const char* productSerial;  // null: unreadable (root only) or absent
  const char* boardSerial;
  const char* machineId;
  const char* expected;  // null: none; "derived": made up from the machine id
};

class SerialFallbackTest : public ::testing::TestWithParam<SerialCase> {};

TEST_P(SerialFallbackTest, TakesTheFirstMeaningfulSource) {
  const SerialCase& c = GetParam();
  ScratchTree tree;
  if (c.productSerial) tree.write("/sys/class/dmi/id/product_serial", c.productSerial);
  if (c.boardSerial) tree.write("/sys/class/dmi/id/board_serial", c.boardSerial);
  if (c.machineId) tree.write("/etc/machine-id", c.machineId);
  const auto serial = LinuxMachineIdentity::read(LinuxRoot(tree.path())).serialNumber;
  if (c.expected == nullptr) {
    EXPECT_FALSE(serial.has_value()) << *serial;
  } else if (std::string(c.expected) == "derived") {
    ASSERT_TRUE(serial.has_value());
    // The made-up form: the prefix, a hyphen, 12 lower-case hexadecimal
    // digits, and not the machine id itself.
    EXPECT_EQ(serial->size(), 24u);
    EXPECT_TRUE(serial->starts_with("ZZZNOSERIAL-")) << *serial;
    EXPECT_EQ(serial->find_first_not_of("0123456789abcdef", 12), std::string::npos) << *serial;
    EXPECT_EQ(std::string(c.machineId).find(serial->substr(12)), std::string::npos);
  } else {
    EXPECT_EQ(serial.value_or("(none)"), c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, SerialFallbackTest,
    ::testing::Values(
        SerialCase{"PF1ABCDE\n", "L1HF68F00AB\n", "0123456789abcdef0123456789abcdef\n", "PF1ABCDE"},
        SerialCase{nullptr, "L1HF68F00AB\n", "0123456789abcdef0123456789abcdef\n", "L1HF68F00AB"},
        SerialCase{"To Be Filled By O.E.M.\n", "Default string\n",
                   "0123456789abcdef0123456789abcdef\n", "derived"},
        SerialCase{"0000000000\n", nullptr, "0123456789abcdef0123456789abcdef\n", "derived"},
        SerialCase{"   \n", nullptr, "0123456789abcdef0123456789abcdef\n", "derived"},
        SerialCase{nullptr, nullptr, "not a machine id\n", nullptr},
        SerialCase{nullptr, nullptr, nullptr, nullptr}));

TEST(SerialFallbackTest, TheMadeUpSerialIsTheSameForTheSameMachineIdOnly) {
  auto serialFor = [](const char* machineId) {
    ScratchTree tree;
    tree.write("/etc/machine-id", machineId);
    return LinuxMachineIdentity::read(LinuxRoot(tree.path())).serialNumber.value_or("");
  };
  EXPECT_EQ(serialFor("0123456789abcdef0123456789abcdef\n"),
            serialFor("0123456789abcdef0123456789abcdef\n"));
  EXPECT_NE(serialFor("0123456789abcdef0123456789abcdef\n"),
            serialFor("0123456789abcdef0123456789abcdee\n"));
}

struct TextCase {
  const char* firmware;
  std::optional<std::string> meaningful;
};

class FirmwareTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(FirmwareTextTest, KeepsRealTextOnlyAsWellFormedUTF8) {
  EXPECT_EQ(LinuxMachineIdentity::meaningful(std::string(GetParam().firmware)),
            GetParam().meaningful);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FirmwareTextTest,
    ::testing::Values(TextCase{"  LENOVO \n", "LENOVO"},
                      TextCase{"To be filled by O.E.M.", std::nullopt},
                      TextCase{"FFFFFFFF", std::nullopt}, TextCase{"\t\n", std::nullopt},
                      TextCase{"ASUS\xff\x01 Board", "ASUS\xef\xbf\xbd Board"}));

struct UUIDCase {
  const char* text;
  bool valid;
};

class UUIDTextTest : public ::testing::TestWithParam<UUIDCase> {};

TEST_P(UUIDTextTest, AcceptsRealUUIDsOnly) {
  EXPECT_EQ(LinuxMachineIdentity::parseUUID(GetParam().text).has_value(), GetParam().valid)
      << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, UUIDTextTest,
                         ::testing::Values(UUIDCase{"1a2b3c4d-5e6f-4a0b-8c9d-0e1f2a3b4c5d\n", true},
                                           UUIDCase{"b08dfa6083e7567a1921a715000001fb", true},
                                           UUIDCase{"03000200-0400-0500-0006-000700080009", false},
                                           UUIDCase{"00000000-0000-0000-0000-000000000000", false},
                                           UUIDCase{"ffffffffffffffffffffffffffffffff", false},
                                           UUIDCase{"1a2b3c4d5-e6f-4a0b-8c9d-0e1f2a3b4c5d", false},
                                           UUIDCase{"1a2b3c4d-5e6f-4a0b-8c9d-0e1f2a3b4c5", false},
                                           UUIDCase{"1a2b3c4d-5e6f-4a0b-8c9d-0e1f2a3b4c5g", false},
                                           UUIDCase{"", false}));

struct OsReleaseCase {
  const char* text;
  const char* prettyName;
};

class OsReleaseTest : public ::testing::TestWithParam<OsReleaseCase> {};

TEST_P(OsReleaseTest, ReadsTheNameAsTheShellWould) {
  EXPECT_EQ(OsRelease::parse(GetParam().text).prettyName(), GetParam().prettyName);
}

INSTANTIATE_TEST_SUITE_P(
    Files, OsReleaseTest,
    ::testing::Values(OsReleaseCase{"PRETTY_NAME=\"Arch Linux\"\nNAME=Arch\n", "Arch Linux"},
                      OsReleaseCase{"PRETTY_NAME='Fedora 40'\r\n", "Fedora 40"},
                      OsReleaseCase{"PRETTY_NAME=\"Say \\\"hi\\\" \\$HOME\"\n", "Say \"hi\" $HOME"},
                      OsReleaseCase{"# PRETTY_NAME=no\nNAME=Gentoo\nVERSION=2.15\n", "Gentoo 2.15"},
                      OsReleaseCase{"PRETTY_NAME=\nNAME=\"NixOS\"\n", "NixOS"},
                      OsReleaseCase{"garbage\n=x\n", "Linux"}));

struct CountCase {
  const char* text;
  std::optional<std::int64_t> cpus;
  std::optional<std::int64_t> cacheBytes;
};

class KernelListTest : public ::testing::TestWithParam<CountCase> {};

TEST_P(KernelListTest, CountsCPUListsAndCacheSizes) {
  EXPECT_EQ(LinuxKernelVariables::countCPUList(GetParam().text), GetParam().cpus);
  EXPECT_EQ(LinuxKernelVariables::cacheSize(GetParam().text), GetParam().cacheBytes);
}

INSTANTIATE_TEST_SUITE_P(Texts, KernelListTest,
                         ::testing::Values(CountCase{"0-7", 8, std::nullopt},
                                           CountCase{"0-3,6,8-9", 7, std::nullopt},
                                           CountCase{"5", 1, 5},
                                           CountCase{"3-1", std::nullopt, std::nullopt},
                                           CountCase{"32K", std::nullopt, 32768},
                                           CountCase{"12M", std::nullopt, 12582912},
                                           CountCase{"K", std::nullopt, std::nullopt},
                                           CountCase{"99999999M", std::nullopt, std::nullopt},
                                           CountCase{"", std::nullopt, std::nullopt}));

struct ProcessCase {
  std::int32_t pid;
  std::optional<std::string> command;
  std::uint32_t effectiveUID;
};

class LiveProcessTableTest : public ::testing::TestWithParam<ProcessCase> {};

TEST_P(LiveProcessTableTest, AnswersTheProcessQueriesFromProc) {
  std::string error;
  auto machine = LinuxMachine::build(LinuxRoot(recordedTree("info-desktop")), &error);
  ASSERT_TRUE(machine) << error;
  ScopedMachine installed(machine);
  std::uint32_t uid = 12345;
  EXPECT_EQ(NSProcessInfoZORAdditions::processNameForProcessID(GetParam().pid, &uid),
            GetParam().command);
  EXPECT_EQ(uid, GetParam().effectiveUID);
  if (GetParam().command) {
    EXPECT_EQ(NSProcessInfoZORAdditions::identifiersForRunningProcessesNamed(*GetParam().command),
              std::vector<std::int32_t>{GetParam().pid});
  }
}

INSTANTIATE_TEST_SUITE_P(Processes, LiveProcessTableTest,
                         ::testing::Values(ProcessCase{1, "systemd", 0},
                                           // Set-user-id: the effective user, not the real one.
                                           ProcessCase{4242, "zor-widget-host", 1001},
                                           // Ended while the table was read (no status).
                                           ProcessCase{77, std::nullopt, 12345},
                                           ProcessCase{5, std::nullopt, 12345}));

}  // namespace
}  // namespace zor::linuxfs
