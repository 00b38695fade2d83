#include "platform/linux/ATADiskDriverBehaviour.h"

#include "platform/IOATASMARTInterface.h"
#include "platform/MachineEntry.h"
#include "platform/linux/LinuxATASMARTPlugIn.h"

namespace zor {

using namespace iokit;
using linuxfs::AtaDiskSession;

std::unique_ptr<DriverBehaviour> ATADiskDriverBehaviour::make(const DriverSettings& settings,
                                                              std::string* error) {
  const PlistValue* device = settings.find(kSettingsKey)->find("Device");
  if (device == nullptr || !device->isString() || device->asString()->empty()) {
    if (error) *error = "\"ATADisk\" needs a \"Device\" path";
    return nullptr;
  }
  return std::make_unique<ATADiskDriverBehaviour>(
      settings, std::make_shared<linuxfs::LinuxATADisk>(*device->asString()));
}

ATADiskDriverBehaviour::ATADiskDriverBehaviour(DriverSettings settings,
                                               std::shared_ptr<linuxfs::LinuxATADisk> disk)
    : DriverBehaviour(std::move(settings)), disk_(std::move(disk)) {}

kern_return_t ATADiskDriverBehaviour::createPlugInInterface(MachineEntry& entry,
                                                            const CFUUIDBytes& pluginType,
                                                            const CFUUIDBytes& interfaceType,
                                                            IOCFPlugInInterface** plugIn,
                                                            std::int32_t* score) {
  if (plugIn == nullptr) return kIOReturnBadArgument;
  *plugIn = nullptr;
  if (pluginType != kIOATASMARTUserClientTypeID || interfaceType != kIOCFPlugInInterfaceID) {
    return kIOReturnUnsupported;
  }
  auto session = disk_->open();
  if (!session) return kIOReturnNoDevice;
  *plugIn = new LinuxATASMARTPlugIn(disk_, std::move(session), entry.sharedLedger());
  if (score != nullptr) *score = 0;
  return kIOReturnSuccess;
}

PlistDictionary ATADiskDriverBehaviour::recordedSettings(MachineEntry& /*entry*/) {
  PlistDictionary pages;
  if (auto session = disk_->open()) {
    AtaDiskSession::Page page{};
    using Read = AtaDiskSession::Outcome (AtaDiskSession::*)(AtaDiskSession::Page*);
    const std::pair<const char*, Read> reads[] = {{"Identify", &AtaDiskSession::identify},
                                                  {"Data", &AtaDiskSession::readData},
                                                  {"Thresholds", &AtaDiskSession::readThresholds}};
    for (const auto& [name, read] : reads) {
      if (disk_->report(((*session).*read)(&page)) == kIOReturnSuccess) {
        pages[name] = PlistValue(PlistData(page.begin(), page.end()));
      }
    }
    bool exceeded = false;
    if (disk_->report(session->returnStatus(&exceeded)) == kIOReturnSuccess) {
      pages["ThresholdExceeded"] = PlistValue::boolean(exceeded);
    }
  }
  return PlistDictionary{{"ATASMART", PlistValue(std::move(pages))}};
}

}  // namespace zor
