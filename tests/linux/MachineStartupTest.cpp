// The one start-up of both programs: which machine is chosen, the line
// saying why, and the same exit code and message from zor-sensors and
// zor-widget-host for the same command line.

#include <gtest/gtest.h>

#include "startup/MachineStartup.h"
#include "tests/linux/RecordedTrees.h"

namespace zor {
namespace {

using linuxtest::recordedTree;
using linuxtest::ScratchTree;

TEST(DefaultChoiceTest, TakesThisComputerWhenItShowsASensor) {
  struct Case {
    const char* tree;         // null: a scratch tree
    const char* hwmonFolder;  // in the scratch tree: a chip without channels
    MachineStartup::Kind kind;
    const char* notice;
  };
  const Case cases[] = {
      {nullptr, nullptr, MachineStartup::Kind::Demo,
       "this computer shows no hardware sensors (no /sys/class/hwmon): showing the simulated "
       "demo machine"},
      {nullptr, "/sys/class/hwmon/hwmon0", MachineStartup::Kind::Demo,
       "this computer shows no hardware sensors (none readable under /sys/class/hwmon): showing "
       "the simulated demo machine"},
      {"desktop-nct6798", nullptr, MachineStartup::Kind::ThisComputer, ""},
  };
  for (const Case& c : cases) {
    ScratchTree scratch;
    scratch.write("/etc/hostname", "box\n");
    if (c.hwmonFolder) scratch.write(std::string(c.hwmonFolder) + "/name", "x\n");
    const MachineStartup::Outcome outcome =
        MachineStartup::chooseBetween(c.tree ? recordedTree(c.tree) : scratch.path());
    ASSERT_TRUE(outcome.machine) << outcome.errorLine;
    EXPECT_EQ(outcome.kind, c.kind);
    EXPECT_EQ(outcome.notice, c.notice);
    Machine::install(nullptr);
  }
}

#if defined(ZOR_SENSORS_PROGRAM) && defined(ZOR_WIDGET_HOST_PROGRAM)

using linuxtest::ProgramRun;
using linuxtest::runProgram;

struct CommandCase {
  std::string arguments;
  int exitCode;
  std::string message;  // on standard error (failures) or in the machine line
};

class SameStartUpTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(SameStartUpTest, BothProgramsAnswerAlike) {
  const CommandCase& c = GetParam();
  const ProgramRun cli = runProgram(ZOR_SENSORS_PROGRAM, c.arguments);
  const ProgramRun host = runProgram(ZOR_WIDGET_HOST_PROGRAM, "--stdio " + c.arguments);
  EXPECT_EQ(cli.exitCode, c.exitCode) << cli.errors;
  EXPECT_EQ(host.exitCode, c.exitCode) << host.errors;
  if (c.exitCode != 0) {
    EXPECT_EQ(cli.errors, "zor-sensors: " + c.message + "\n");
    EXPECT_EQ(host.errors, "zor-widget-host: " + c.message + "\n");
  } else {
    EXPECT_NE(cli.output.find(c.message), std::string::npos) << cli.output;
    EXPECT_NE(host.errors.find(c.message), std::string::npos) << host.errors;
  }
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, SameStartUpTest,
    ::testing::Values(
        CommandCase{"--root /tmp", 2,
                    "--root reads a recorded Linux tree: use it with --machine this"},
        CommandCase{"--machine demo --root /tmp", 2,
                    "--root reads a recorded Linux tree: use it with --machine this"},
        CommandCase{
            "--machine /no/such/machine.plist", 1,
            "Cannot load machine profile \"/no/such/machine.plist\": No such file or directory"},
        CommandCase{"--machine this --root /no/such/tree", 1,
                    "Cannot read the Linux machine under \"/no/such/tree\": no such folder"},
        CommandCase{"--machine this --root '" + recordedTree("info-desktop") + "'", 0,
                    "Machine: ASUSTeK COMPUTER INC. PRIME B450M-A"},
        CommandCase{"--machine demo", 0, "Machine: Intel notebook (demo)"}));

#endif

}  // namespace
}  // namespace zor
