// What a program holds across a change of machine: the SMC connection of a
// machine that is gone must never close or read the connection of the
// machine installed since, whose connection numbers start over.

#include <gtest/gtest.h>

#include "platform/Machine.h"
#include "platform/ScopedMachine.h"
#include "platform/SystemLog.h"
#include "platform/simulated/SimulatedMachine.h"
#include "smc/ZORSystemManagementController.h"

namespace zor {
namespace {

using SMC = ZORSystemManagementController;

TEST(MachineSwapTest, ControllerOfAGoneMachineLeavesTheNextMachineAlone) {
  for (bool keepFirstMachine : {false, true}) {
    SCOPED_TRACE(keepFirstMachine ? "first machine kept" : "first machine dropped");
    ScopedLogCapture log;
    std::shared_ptr<Machine> first = SimulatedMachine::load("demo", nullptr);
    Machine::install(first);
    std::shared_ptr<SMC> old = SMC::sharedSystemManagementController();
    SMC::forgetSharedSystemManagementController();
    if (!keepFirstMachine) first.reset();

    // A second copy of the same machine numbers its connections the same way.
    ScopedMachine second(SimulatedMachine::load("demo", nullptr));
    std::shared_ptr<SMC> current = SMC::sharedSystemManagementController();
    ASSERT_EQ(second.machine().registry().openConnectionCount(), 1u);

    // A read through the old connection must not reach the new machine's SMC.
    std::uint64_t callsBefore = second.machine().registry().structureCallCount();
    EXPECT_FALSE(old->objectValueForPropertyWithKey(std::string("TB0T")).has_value());
    EXPECT_EQ(second.machine().registry().structureCallCount(), callsBefore);

    old.reset();
    EXPECT_EQ(second.machine().registry().openConnectionCount(), 1u);
    EXPECT_TRUE(current->objectValueForPropertyWithKey(std::string("TB0T")).has_value());
    EXPECT_FALSE(log.contains("not open")) << "the new machine's connection was closed";
    EXPECT_EQ(first ? first->registry().openConnectionCount() : 0u, 0u);

    current.reset();
    SMC::forgetSharedSystemManagementController();
  }
}

}  // namespace
}  // namespace zor
