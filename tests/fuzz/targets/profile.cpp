// Machine profiles (--machine FILE): parsed, built into a machine,
// installed, and every sensor the families find on it read once.

#include "plugin/PluginLoader.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zor;
  static const bool loaded = (loadPlugin(), true);
  (void)loaded;
  ScopedLogCapture log;
  auto profile = parsePropertyList(fuzz::textOf({data, size}));
  if (!profile) return 0;
  fuzz::InstalledProfile machine(*profile);
  if (machine.installed()) fuzz::readEverySensor();
  return 0;
}
