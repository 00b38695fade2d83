// A hardware-monitor chip's sysfs files and the lm-sensors labels: the
// pieces of the input become the chip's name, values and labels and the
// configuration file of a recorded tree, which the Linux backend scans into
// its channel entries.

#include "platform/linux/HwmonEntries.h"
#include "platform/linux/SysfsAttribute.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zor;
  static const char* const kFiles[] = {"name",      "temp1_input", "temp1_label", "temp1_max",
                                       "in0_input", "in0_label",   "fan1_input",  "fan1_label"};
  static const std::filesystem::path root = fuzz::scratchFolder();
  static const std::filesystem::path chip = root / "sys/devices/platform/chip.0/hwmon/hwmon0";
  static const bool linked = [] {
    std::filesystem::create_directories(chip);
    std::filesystem::create_directories(root / "sys/class/hwmon");
    std::filesystem::create_directory_symlink("../../devices/platform/chip.0/hwmon/hwmon0",
                                              root / "sys/class/hwmon/hwmon0");
    return true;
  }();
  (void)linked;
  ScopedLogCapture log;
  fuzz::Pieces pieces({data, size});
  for (const char* file : kFiles) {
    const fuzz::Bytes piece = pieces.next();
    linuxfs::parseSysfsInteger(std::string(fuzz::textOf(piece)));
    fuzz::writeFile(chip / file, piece);
  }
  fuzz::writeFile(root / "etc/sensors3.conf", pieces.rest());
  PlistArray services;
  linuxfs::HwmonEntries::append(linuxfs::LinuxRoot(root.string()), &services);
  return 0;
}
