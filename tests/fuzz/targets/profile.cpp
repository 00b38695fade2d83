// Machine profiles (--machine FILE): parsed, built into a machine,
// installed, and every sensor the families find on it read once.

#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zor;
  fuzz::loadPluginOnce();
  ScopedLogCapture log;
  auto profile = parsePropertyList(fuzz::textOf({data, size}));
  if (!profile) return 0;
  if (auto machine = fuzz::install(*profile)) fuzz::readEverySensor();
  return 0;
}
