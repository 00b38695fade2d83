#pragma once
// The live driver of one hardware-monitor channel entry (HwmonEntries): the
// channel's "_input" file is opened once, when the machine is built, and
// read with one pread when the entry's properties are read, at most once a
// second (by the platform clock); the reading is published as "HwmonValue"
// in the entry's units. A failed read (EIO, ENXIO, EAGAIN, a chip that is
// gone), text that is no number and a value out of the kind's range remove
// "HwmonValue" (the sensor shows no reading) and are said once in the log.
//
//   "ZORSimulation" = { "HwmonInput" = "/sys/devices/.../temp2_input"; "HwmonKind" = "temp" }

#include <memory>
#include <string>

#include "platform/DriverBehaviour.h"
#include "platform/linux/HwmonKind.h"
#include "platform/linux/SysfsAttribute.h"

namespace zor {

class HwmonDriverBehaviour final : public DriverBehaviour {
 public:
  static constexpr const char* kValueProperty = "HwmonValue";

  HwmonDriverBehaviour(DriverSettings settings, std::string path, const linuxfs::HwmonKind& kind);

  // The table's factory; refuses a "HwmonInput" that is no string or a "HwmonKind" it does not
  // know.
  static std::unique_ptr<DriverBehaviour> make(const DriverSettings& settings, std::string* error);

  void propertiesWillBeRead(MachineEntry& entry) override;
  // The "ZORSimulation" dictionary that replays the entry in a profile: an
  // empty one, as the entry keeps its (freshly read) last value.
  PlistDictionary recordedSettings(MachineEntry& entry) override;

 private:
  void readNow(MachineEntry& entry);
  void reportOnce(const std::string& why);

  std::string path_;
  const linuxfs::HwmonKind& kind_;
  linuxfs::SysfsAttribute input_;
  double lastRead_ = 0.0;
  bool hasRead_ = false;
  bool reported_ = false;
};

}  // namespace zor
