#pragma once
// Gives each hardware-monitor channel its identity, location and sensor
// name. Identity: the device path, the chip and the channel, so a chosen
// sensor stays chosen when the kernel numbers its chips differently.
// Location, in order of precedence: the person's lm-sensors label; for
// processor chips the names the CPU-monitor sensors use ("CPU Core 1",
// numbered by core from coretemp's "Core N"; "CPU Package" from its
// "Package id N" or from k10temp's/zenpower's Tdie, else Tctl; "CPU CCD N"
// from TccdN; "CPU Control" for a Tctl beside a Tdie); the channel's own
// label; the chip's name and the channel ("acpitz temp1"). Locations two
// channels share get their device's name added, so every menu entry differs.
// Used by HwmonEntries.

#include <vector>

#include "platform/linux/HwmonChannel.h"

namespace zor::linuxfs {

class HwmonNaming {
 public:
  static void name(std::vector<HwmonChannel>& channels);
};

}  // namespace zor::linuxfs
