// The one start-up of both programs: which machine is chosen, the line
// saying why, and the same exit code and message from zor-sensors and
// zor-widget-host for the same command line.

#include <gtest/gtest.h>

#include "platform/StringFormat.h"
#include "startup/MachineStartup.h"
#include "tests/linux/RecordedTrees.h"

namespace zor {
namespace {

using linuxtest::ProgramRun;
using linuxtest::recordedTree;
using linuxtest::runProgram;
using linuxtest::ScratchTree;

TEST(DefaultChoiceTest, TakesThisComputerWhenItShowsASensor) {
  const std::string fallback =
      "this computer shows no hardware sensors (%s): showing the "
      "simulated demo machine";
  // A recorded tree, or a scratch one (with a chip without channels when "hwmon0").
  const std::tuple<const char*, MachineStartup::Kind, std::string> cases[] = {
      {"", MachineStartup::Kind::Demo, formatString(fallback.c_str(), "no /sys/class/hwmon")},
      {"hwmon0", MachineStartup::Kind::Demo,
       formatString(fallback.c_str(), "none readable under /sys/class/hwmon")},
      {"desktop-nct6798", MachineStartup::Kind::ThisComputer, ""},
  };
  for (const auto& [tree, kind, notice] : cases) {
    ScratchTree scratch;
    scratch.write("/etc/hostname", "box\n");
    if (tree == std::string("hwmon0")) scratch.write("/sys/class/hwmon/hwmon0/name", "x\n");
    const auto outcome = MachineStartup::chooseBetween(
        std::string(tree).find('-') != std::string::npos ? recordedTree(tree) : scratch.path());
    ASSERT_TRUE(outcome.machine) << outcome.errorLine;
    EXPECT_EQ(std::pair(outcome.kind, outcome.notice), std::pair(kind, notice));
    Machine::install(nullptr);
  }
}

#if defined(ZOR_SENSORS_PROGRAM) && defined(ZOR_WIDGET_HOST_PROGRAM)

// The same exit code and message from both programs for the same command line:
// on standard error for a failure, in the machine line otherwise.
TEST(SameStartUpTest, BothProgramsAnswerAlike) {
  const std::tuple<std::string, int, std::string> cases[] = {
      {"--root /tmp", 2, "--root reads a recorded Linux tree: use it with --machine this"},
      {"--machine /no/such/machine.plist", 1,
       "Cannot load machine profile \"/no/such/machine.plist\": No such file or directory"},
      {"--machine this --root /no/such/tree", 1,
       "Cannot read the Linux machine under \"/no/such/tree\": no such folder"},
      {"--machine this --root '" + recordedTree("info-desktop") + "'", 0,
       "Machine: ASUSTeK COMPUTER INC. PRIME B450M-A"},
  };
  for (const auto& [arguments, exitCode, message] : cases) {
    const ProgramRun cli = runProgram(ZOR_SENSORS_PROGRAM, arguments);
    const ProgramRun host = runProgram(ZOR_WIDGET_HOST_PROGRAM, "--stdio " + arguments);
    EXPECT_EQ(std::pair(cli.exitCode, host.exitCode), std::pair(exitCode, exitCode)) << arguments;
    if (exitCode != 0) {
      EXPECT_EQ(cli.errors, "zor-sensors: " + message + "\n");
      EXPECT_EQ(host.errors, "zor-widget-host: " + message + "\n");
    } else {
      EXPECT_NE(cli.output.find(message), std::string::npos) << cli.output;
      EXPECT_NE(host.errors.find(message), std::string::npos) << host.errors;
    }
  }
}

#endif

}  // namespace
}  // namespace zor
