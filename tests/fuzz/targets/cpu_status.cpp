// The CPU monitor's status block: decoded alone, then published by the demo
// machine's CPU monitor in place of its own and read by the CPU sensors.

#include "cpu/CPUStatusBlock.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zor;
  fuzz::loadPluginOnce();
  ScopedLogCapture log;
  if (auto block = CPUStatusBlock::parse({data, size})) {
    for (std::int64_t core = -1; core <= block->coreCount(); ++core) block->record(core);
  }
  PlistValue profile = fuzz::checkoutProfile("machines/intel-notebook.plist");
  fuzz::Pieces pieces({data, size});
  fuzz::replaceData(profile, {"CPUStatus"}, pieces);
  if (auto machine = fuzz::install(profile)) fuzz::readEverySensor();
  return 0;
}
