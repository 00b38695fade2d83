// The G5 processor cards' records ("cpuid") and the SMU's system-database
// partitions, published by the G5 tower in place of its own and read by
// the legacy sensors that take their calibration from them.

#include "legacy/ZORMPUInfo.h"
#include "legacy/ZORSMUInfo.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zor;
  fuzz::loadPluginOnce();
  ScopedLogCapture log;
  PlistValue profile = fuzz::checkoutProfile("machines/g5-tower.plist");
  fuzz::Pieces pieces({data, size});
  fuzz::replaceData(profile, {"cpuid", "sdb-partition-12", "sdb-partition-18", "sdb-partition-21"},
                    pieces);
  auto machine = fuzz::install(profile);
  if (!machine) return 0;
  for (const auto& card : ZORMPUInfo::allMPUs()) card->description();
  for (const auto& smu : ZORSMUInfo::allSMUs()) smu->description();
  fuzz::readEverySensor();
  return 0;
}
