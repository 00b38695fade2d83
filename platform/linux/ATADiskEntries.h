#pragma once
// The registry entries of the ATA disks of the running Linux machine, for
// the S.M.A.R.T. family: one "IOATABlockStorageDevice" per SCSI disk
// (/sys/block/sd*) that speaks ATA, directly (libata: vendor "ATA") or
// behind a SATA bridge that translates ATA (it publishes the ATA
// Information VPD page, vpd_pg89), with the live driver
// ATADiskDriverBehaviour. NVMe drives are no sd* devices: they are never
// sent ATA commands and show through their hwmon chip instead. Nothing here
// touches a disk: the entries come from sysfs alone. In a recorded tree a
// disk is listed only where the tree stands a file in for its device node
// (DIR/dev/sda), since there is nothing else to ask. Used by the Linux
// machine's builder.

#include "platform/PropertyList.h"
#include "platform/linux/LinuxRoot.h"

namespace zor::linuxfs {

class ATADiskEntries {
 public:
  static void append(const LinuxRoot& root, PlistArray* services);
};

}  // namespace zor::linuxfs
