// The machine description on recorded Linux trees: what ZORMachineInfo and
// the OS-version queries answer from DMI, os-release, cpuinfo and meminfo,
// and the documented "unknown" values where the machine has no answer.

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <sstream>
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

// What the machine description answers, one field after another; a serial
// made up from the machine id is shown by its prefix.
std::string answers(const Machine& machine) {
  auto info = ZORMachineInfo::sharedMachineInfo();
  std::uint32_t cpus = 0, active = 0, physical = 0, l1Data = 0, l1Instructions = 0;
  std::uint64_t frequency = 0, minimum = 0, maximum = 0;
  info->getNumberOfCPUs(&cpus, &active, &physical);
  info->getCPUFrequency(&frequency, &minimum, &maximum);
  info->getL1CacheSizeData(&l1Data, &l1Instructions);
  std::string serial = info->machineSerialNumber();
  if (serial.starts_with("ZZZNOSERIAL-")) serial.resize(12);
  std::ostringstream out;
  out << machine.name() << " | " << info->appleModelCode() << " | " << serial << " | "
      << info->machineUUID() << " | " << info->computerName() << " | " << cpus << " " << active
      << " " << physical << " | " << frequency << " " << maximum << " "
      << info->nominalCPUFrequency() << " | " << info->memorySize() << " | " << l1Data << " "
      << info->l2CacheSize() << " | " << info->cpuFrequencyVariabilityFeature() << " | "
      << info->readableOperatingSystemVersion() << " | " << info->readableKernelVersionNumber()
      << " | " << info->bootROMVersion();
  return out.str();
}

TEST(MachineInfoOnTreeTest, AnswersFromTheTree) {
  const std::pair<const char*, const char*> cases[] = {
      // Board placeholders give way to the board's own name and serial.
      {"info-desktop",
       "ASUSTeK COMPUTER INC. PRIME B450M-A | PRIME B450M-A | 190436872301234 | "
       "1A2B3C4D-5E6F-4A0B-8C9D-0E1F2A3B4C5D | workbench | 4 4 2 | 3600000000 3600000000 "
       "3600000000 | 16710123520 | 32768 524288 | 2 | Debian GNU/Linux 12 (bookworm), kernel "
       "6.1.0-13-amd64 | 6.1.0-13-amd64 | 3211 (07/06/2023)"},
      // Recorded by a user: serial and UUID from the machine id.
      {"info-notebook",
       "LENOVO 20KHCTO1WW | 20KHCTO1WW | ZZZNOSERIAL- | B08DFA60-83E7-567A-1921-A715000001FB | "
       "carbon | 2 2 2 | 1800012000 0 1800012000 | 8171790336 | 0 0 | 0 | Ubuntu 24.04 LTS, "
       "kernel 6.8.0-31-generic | 6.8.0-31-generic | N23ET86W (1.61 ) (04/18/2023)"},
      // Nothing to go by: the description's unknown values.
      {"info-bare",
       "Linux machine |  | ZZZNOSERIAL |  | Macintosh | 4 0 4 | 0 0 0 | 3977318400 | 0 0 | 0 | "
       "Debian GNU/Linux 12 (bookworm), kernel 6.6.20+rpt-rpi-v8 | 6.6.20+rpt-rpi-v8 | "},
  };
  for (const auto& [tree, expected] : cases) {
    std::string error;
    auto machine = LinuxMachine::build(LinuxRoot(recordedTree(tree)), &error);
    ASSERT_TRUE(machine) << error;
    ScopedMachine installed(machine);
    EXPECT_EQ(answers(*machine), expected);
    // A Linux release is no version of the system the codes number: the code
    // of an unknown system, and no version number beside it.
    auto info = ZORMachineInfo::sharedMachineInfo();
    EXPECT_EQ(info->operatingSystemVersionCode(), NSProcessInfoZORAdditions::kUnknownVersionCode);
    EXPECT_EQ(info->readableOperatingSystemNumber(), "");
  }
}

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
      {nullptr, nullptr, "0123456789abcdef0123456789abcdee\n", "derived"},
      {nullptr, nullptr, "not a machine id\n", nullptr},
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
  // Text, CPUs it lists, bytes it gives as a cache size.
  const std::tuple<const char*, std::optional<std::int64_t>, std::optional<std::int64_t>> cases[] =
      {
          {"0-3,6,8-9", 7, std::nullopt},
          {"5", 1, 5},
          {"3-1", std::nullopt, std::nullopt},
          {"32K", std::nullopt, 32768},
          {"12M", std::nullopt, 12582912},
          {"K", std::nullopt, std::nullopt},
          {"99999999M", std::nullopt, std::nullopt},
      };
  for (const auto& [text, cpus, bytes] : cases) {
    EXPECT_EQ(LinuxKernelVariables::countCPUList(text), cpus) << text;
    EXPECT_EQ(LinuxKernelVariables::cacheSize(text), bytes) << text;
  }
}

}  // namespace
}  // namespace zor::linuxfs
