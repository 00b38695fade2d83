// The machine description on recorded Linux trees: what ZORMachineInfo and
// the OS-version queries answer from DMI, os-release, cpuinfo and meminfo,
// and the documented "unknown" values where the machine has no answer.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <sstream>
#include "tests/linux/RecordedTrees.h"

#include "platform/MachineProfileRecorder.h"
#include "platform/ProfileIdentityPlaceholders.h"
#include "platform/ScopedMachine.h"
#include "platform/SystemServices.h"
#include "platform/linux/LinuxKernelVariables.h"
#include "platform/linux/LinuxMachine.h"
#include "platform/linux/LinuxMachineIdentity.h"
#include "platform/linux/OsRelease.h"
#include "platform/simulated/SimulatedMachine.h"
#include "system/NSProcessInfoZORAdditions.h"
#include "system/ZORMachineInfo.h"

namespace zor::linuxfs {
namespace {

using linuxtest::recordedTree;
using linuxtest::ScratchTree;

// What the machine description answers, one field after another, serial and UUID first.
std::string answers(std::shared_ptr<Machine> machine) {
  ScopedMachine installed(machine);
  auto info = ZORMachineInfo::sharedMachineInfo();
  std::uint32_t cpus = 0, active = 0, physical = 0, l1Data = 0, l1Instructions = 0;
  std::uint64_t frequency = 0, minimum = 0, maximum = 0;
  info->getNumberOfCPUs(&cpus, &active, &physical);
  info->getCPUFrequency(&frequency, &minimum, &maximum);
  info->getL1CacheSizeData(&l1Data, &l1Instructions);
  std::ostringstream out;
  out << info->machineSerialNumber() << " | " << info->machineUUID() << " | " << machine->name()
      << " | " << info->appleModelCode() << " | " << info->computerName() << " | " << cpus << " "
      << active << " " << physical << " | " << frequency << " " << maximum << " "
      << info->nominalCPUFrequency() << " | " << info->memorySize() << " | " << l1Data << " "
      << info->l2CacheSize() << " | " << info->cpuFrequencyVariabilityFeature() << " | "
      << info->readableOperatingSystemVersion() << " | " << info->readableKernelVersionNumber()
      << " | " << info->bootROMVersion() << " | " << info->operatingSystemVersionCode() << " "
      << info->readableOperatingSystemNumber();
  return out.str();
}

// Each recorded tree's machine, and the profile it is written out as: the
// same machine replayed, with its serial and UUID only with --keep-identity,
// else with placeholders, and no text of the tree that identifies it. A Linux
// release is no version of the system the codes number: the code of an
// unknown system (1000 hexadecimal), no version number beside it.
TEST(MachineInfoOnTreeTest, AnswersFromTheTreeAndItsProfile) {
  const std::string placeholders = std::string(ProfileIdentityPlaceholders::kSerialPlaceholder) +
                                   " | " + ProfileIdentityPlaceholders::kUUIDPlaceholder;
  // The tree, a text of it that names the machine, the serial and UUID, the answers after them.
  const std::tuple<const char*, const char*, std::string, const char*> cases[] = {
      // Board placeholders give way to the board's own name and serial.
      {"info-desktop", "1a2b3c4d-5e6f-4a0b-8c9d-0e1f2a3b4c5d",
       "190436872301234 | 1A2B3C4D-5E6F-4A0B-8C9D-0E1F2A3B4C5D",
       "ASUSTeK COMPUTER INC. PRIME B450M-A | PRIME B450M-A | workbench | 4 4 2 | 3600000000 "
       "3600000000 3600000000 | 16710123520 | 32768 524288 | 2 | Debian GNU/Linux 12 (bookworm), "
       "kernel 6.1.0-13-amd64 | 6.1.0-13-amd64 | 3211 (07/06/2023) | 4096 "},
      // Recorded by a user: serial and UUID from the machine id.
      {"info-notebook", "b08dfa6083e7567a1921a715000001fb",
       "ZZZNOSERIAL-993e4f98fb1a | B08DFA60-83E7-567A-1921-A715000001FB",
       "LENOVO 20KHCTO1WW | 20KHCTO1WW | carbon | 2 2 2 | 1800012000 0 1800012000 | 8171790336 | "
       "0 0 | 0 | Ubuntu 24.04 LTS, kernel 6.8.0-31-generic | 6.8.0-31-generic | N23ET86W (1.61 ) "
       "(04/18/2023) | 4096 "},
      // Nothing to go by: the description's unknown values.
      {"info-bare", "", "ZZZNOSERIAL | ",
       "Linux machine |  | Macintosh | 4 0 4 | 0 0 0 | 3977318400 | 0 0 | 0 | Debian GNU/Linux 12 "
       "(bookworm), kernel 6.6.20+rpt-rpi-v8 | 6.6.20+rpt-rpi-v8 |  | 4096 "},
  };
  for (const auto& [tree, identity, serialAndUUID, rest] : cases) {
    std::string error;
    auto machine = LinuxMachine::build(LinuxRoot(recordedTree(tree)), &error);
    ASSERT_TRUE(machine) << error;
    std::string got = answers(machine);
    const std::string anonymous = *identity ? placeholders : serialAndUUID;
    ScratchTree scratch;
    for (bool keepIdentity : {true, false}) {
      ASSERT_TRUE(MachineProfileRecorder::write(*machine, keepIdentity, scratch / "m", &error));
      auto replayed = SimulatedMachine::load(scratch / "m", &error);
      ASSERT_TRUE(replayed) << error;
      got += "\n" + answers(replayed);
      const std::string bytes = readWholeFile(scratch / "m").value_or("");
      for (const std::string& text :
           {std::string(identity), serialAndUUID.substr(0, serialAndUUID.find(' ')),
            serialAndUUID.substr(serialAndUUID.rfind(' ') + 1)}) {
        if (!keepIdentity && *identity && bytes.find(text) != std::string::npos) got += " " + text;
      }
    }
    EXPECT_EQ(got, serialAndUUID + " | " + rest + "\n" + serialAndUUID + " | " + rest + "\n" +
                       anonymous + " | " + rest);
  }
}

// product_serial (root only), then board_serial, then one made up from the
// machine id: the prefix, a hyphen and 12 hexadecimal digits that are not
// the machine id itself. (The recorded trees show the board's serial winning,
// a serial made up from another id and a firmware text's line end trimmed.)
TEST(SerialFallbackTest, TakesTheFirstMeaningfulSourceThenOneMadeUpPerMachineId) {
  const char* id = "0123456789abcdef0123456789abcdef\n";
  const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
      {"PF1ABCDE\n", "L1HF68F00AB\n", id, "PF1ABCDE"},
      {"To Be Filled By O.E.M.\n", "Default string\n", id, "ZZZNOSERIAL-2fa7a9168277"},
      {nullptr, nullptr, "not a machine id\n", "(none)"},
  };
  for (const auto& [product, board, machineId, expected] : cases) {
    ScratchTree tree;
    if (product) tree.write("/sys/class/dmi/id/product_serial", product);
    if (board) tree.write("/sys/class/dmi/id/board_serial", board);
    tree.write("/etc/machine-id", machineId);
    EXPECT_EQ(LinuxMachineIdentity::read(LinuxRoot(tree.path())).serialNumber.value_or("(none)"),
              expected);
  }
}

// The texts of the tree, each as its reader takes it ("-" for nothing).
TEST(LinuxTextsTest, EachReaderKeepsOnlyWhatMeansSomething) {
  const auto firmware = [](const std::string& text) {
    return LinuxMachineIdentity::meaningful(text).value_or("-");
  };
  const auto uuid = [](const std::string& text) {
    return LinuxMachineIdentity::parseUUID(text) ? "valid" : "-";
  };
  const auto osName = [](const std::string& text) { return OsRelease::parse(text).prettyName(); };
  // A sysfs list as the CPUs it counts and as a cache size in bytes.
  const auto kernel = [](const std::string& text) {
    auto cpus = LinuxKernelVariables::countCPUList(text);
    auto bytes = LinuxKernelVariables::cacheSize(text);
    return (cpus ? std::to_string(*cpus) : "-") + " " + (bytes ? std::to_string(*bytes) : "-");
  };
  const std::tuple<std::function<std::string(const std::string&)>, const char*, std::string>
      cases[] = {
          {firmware, "FFFFFFFF", "-"},
          {firmware, "\t\n", "-"},
          {firmware, "ASUS\xff\x01 Board", "ASUS\xef\xbf\xbd Board"},
          // An overlong three-byte form of U+00A9 never passes through as text.
          {firmware, "Board \xE0\x82\xA9", "Board \xef\xbf\xbd"},
          {uuid, "03000200-0400-0500-0006-000700080009", "-"},  // a firmware placeholder
          {uuid, "00000000-0000-0000-0000-000000000000", "-"},
          {uuid, "ffffffffffffffffffffffffffffffff", "-"},
          {uuid, "1a2b3c4d-5e6f-4a0b-8c9d-0e1f2a3b4c5", "-"},
          // The name as the shell would read it.
          {osName, "PRETTY_NAME='Fedora 40'\r\n", "Fedora 40"},
          {osName, "PRETTY_NAME=\"Say \\\"hi\\\" \\$HOME\"\n", "Say \"hi\" $HOME"},
          {osName, "# PRETTY_NAME=no\nNAME=Gentoo\nVERSION=2.15\n", "Gentoo 2.15"},
          {osName, "PRETTY_NAME=\nNAME=\"NixOS\"\n", "NixOS"},
          {osName, "garbage\n=x\n", "Linux"},
          {kernel, "0-3,6,8-9", "7 -"},
          {kernel, "5", "1 5"},
          {kernel, "3-1", "- -"},
          {kernel, "12M", "- 12582912"},
          {kernel, "K", "- -"},
          {kernel, "99999999M", "- -"},
      };
  // Rows hold bytes that are no UTF-8: a failure names the row by its number.
  for (std::size_t row = 0; row < std::size(cases); ++row) {
    const auto& [reader, text, expected] = cases[row];
    EXPECT_EQ(reader(text), expected) << "row " << row;
  }
}

}  // namespace
}  // namespace zor::linuxfs
