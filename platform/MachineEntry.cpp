#include "platform/MachineEntry.h"

#include <algorithm>

namespace zor {

MachineEntry::MachineEntry(std::string plane, std::string className,
                           std::vector<std::string> superclasses, std::string name,
                           PlistDictionary properties, std::shared_ptr<ReferenceLedger> ledger)
    : plane_(std::move(plane)),
      className_(std::move(className)),
      superclasses_(std::move(superclasses)),
      name_(std::move(name)),
      properties_(std::move(properties)),
      behaviour_(std::make_unique<DriverBehaviour>(DriverSettings())),
      ledger_(std::move(ledger)) {}

bool MachineEntry::matchesClass(const std::string& name) const {
  return name == className_ ||
         std::find(superclasses_.begin(), superclasses_.end(), name) != superclasses_.end();
}

MachineEntry& MachineEntry::addChild(std::unique_ptr<MachineEntry> child) {
  child->parent_ = this;
  children_.push_back(std::move(child));
  return *children_.back();
}

void MachineEntry::setBehaviour(std::unique_ptr<DriverBehaviour> behaviour) {
  if (behaviour) behaviour_ = std::move(behaviour);
}

}  // namespace zor
