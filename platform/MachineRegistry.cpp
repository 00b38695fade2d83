#include "platform/MachineRegistry.h"

#include <algorithm>

#include "platform/DriverBehaviourTable.h"
#include "platform/DriverSettings.h"
#include "platform/IOKitTypes.h"

namespace zor {

using namespace iokit;

namespace {

constexpr const char* kClassKey = "IOObjectClass";
constexpr const char* kSuperclassesKey = "IOSuperclasses";
constexpr const char* kNameKey = "IORegistryEntryName";
constexpr const char* kChildrenKey = "IORegistryEntryChildren";
constexpr const char* kSimulationKey = "ZORSimulation";
// Deeper trees are refused rather than risking the stack on a hostile profile.
constexpr int kMaximumDepth = 128;

std::string typeProblem(const char* key, const PlistValue& value, const char* expected) {
  return std::string("\"") + key + "\" is a " + plistTypeName(value.type()) + ", expected " +
         expected;
}

std::unique_ptr<MachineEntry> buildEntry(const PlistValue& description, const std::string& plane,
                                         const std::string& where, int depth,
                                         const std::shared_ptr<ReferenceLedger>& ledger,
                                         std::string* error) {
  const PlistDictionary* fields = description.asDictionary();
  if (fields == nullptr) {
    *error =
        where + ": entry is a " + plistTypeName(description.type()) + ", expected a dictionary";
    return nullptr;
  }
  if (depth > kMaximumDepth) {
    *error = where + ": entries nested too deeply";
    return nullptr;
  }
  const PlistValue* className = description.find(kClassKey);
  if (className == nullptr || !className->isString()) {
    *error = where + ": " +
             (className == nullptr ? std::string("\"IOObjectClass\" is missing")
                                   : typeProblem(kClassKey, *className, "a string"));
    return nullptr;
  }
  std::string name = *className->asString();
  if (const PlistValue* entryName = description.find(kNameKey)) {
    if (!entryName->isString()) {
      *error = where + ": " + typeProblem(kNameKey, *entryName, "a string");
      return nullptr;
    }
    name = *entryName->asString();
  }
  std::string here = where + "/" + name;
  std::vector<std::string> superclasses;
  if (const PlistValue* list = description.find(kSuperclassesKey)) {
    if (!list->isArray()) {
      *error = here + ": " + typeProblem(kSuperclassesKey, *list, "an array of strings");
      return nullptr;
    }
    for (const PlistValue& item : *list->asArray()) {
      if (!item.isString()) {
        *error = here + ": \"IOSuperclasses\" holds a " + plistTypeName(item.type()) +
                 ", expected strings only";
        return nullptr;
      }
      superclasses.push_back(*item.asString());
    }
  }
  std::optional<DriverSettings> settings = DriverSettings();
  if (const PlistValue* simulation = description.find(kSimulationKey)) {
    if (!simulation->isDictionary()) {
      *error = here + ": " + typeProblem(kSimulationKey, *simulation, "a dictionary");
      return nullptr;
    }
    std::string reason;
    settings = DriverSettings::parse(*simulation->asDictionary(), &reason);
    if (!settings) {
      *error = here + ": \"ZORSimulation\": " + reason;
      return nullptr;
    }
  }
  const PlistValue* children = description.find(kChildrenKey);
  if (children != nullptr && !children->isArray()) {
    *error = here + ": " + typeProblem(kChildrenKey, *children, "an array of dictionaries");
    return nullptr;
  }

  PlistDictionary properties;
  for (const auto& [key, value] : *fields) {
    if (key != kClassKey && key != kSuperclassesKey && key != kNameKey && key != kChildrenKey &&
        key != kSimulationKey) {
      properties.emplace(key, value);
    }
  }
  auto entry = std::make_unique<MachineEntry>(
      plane, *className->asString(), std::move(superclasses), name, std::move(properties), ledger);
  std::string reason;
  std::unique_ptr<DriverBehaviour> behaviour = makeDriverBehaviour(*settings, &reason);
  if (!behaviour) {
    *error = here + ": \"ZORSimulation\": " + reason;
    return nullptr;
  }
  entry->setBehaviour(std::move(behaviour));
  if (children != nullptr) {
    for (const PlistValue& child : *children->asArray()) {
      auto built = buildEntry(child, plane, here, depth + 1, ledger, error);
      if (!built) return nullptr;
      entry->addChild(std::move(built));
    }
  }
  return entry;
}

}  // namespace

MachineRegistry::MachineRegistry() : ledger_(std::make_shared<ReferenceLedger>()) {}

std::shared_ptr<MachineRegistry> MachineRegistry::build(const PlistDictionary& profile,
                                                        std::string* error) {
  std::string reason;
  std::shared_ptr<MachineRegistry> registry(new MachineRegistry());
  struct Tree {
    const char* key;
    const char* plane;
    std::unique_ptr<MachineEntry>* root;
  };
  const Tree trees[] = {{"Registry", kIOServicePlane, &registry->serviceRoot_},
                        {"DeviceTree", kIODeviceTreePlane, &registry->deviceTreeRoot_}};
  for (const Tree& tree : trees) {
    auto it = profile.find(tree.key);
    if (it == profile.end()) continue;
    *tree.root = buildEntry(it->second, tree.plane, tree.key, 0, registry->ledger_, &reason);
    if (!*tree.root) {
      if (error) *error = reason;
      return nullptr;
    }
  }
  if (registry->serviceRoot_)
    registry->indexTree(*registry->serviceRoot_, &registry->serviceOrder_);
  if (registry->deviceTreeRoot_) registry->indexTree(*registry->deviceTreeRoot_, nullptr);
  return registry;
}

void MachineRegistry::indexTree(MachineEntry& root, std::vector<MachineEntry*>* order) {
  // Depth first, parent before children: the registry's iteration order.
  std::vector<MachineEntry*> pending{&root};
  while (!pending.empty()) {
    MachineEntry* entry = pending.back();
    pending.pop_back();
    entry->setHandle(newHandle());
    handles_[entry->handle()].entry = entry;
    if (order != nullptr) order->push_back(entry);
    for (auto it = entry->children().rbegin(); it != entry->children().rend(); ++it) {
      pending.push_back(it->get());
    }
  }
}

io_object_t MachineRegistry::newHandle() {
  io_object_t handle = nextHandle_;
  nextHandle_ += 4;
  return handle;
}

io_object_t MachineRegistry::handOut(MachineEntry& entry) {
  ++handles_[entry.handle()].references;
  ledger_->took();
  return entry.handle();
}

MachineEntry* MachineRegistry::liveEntry(io_object_t handle) const {
  auto it = handles_.find(handle);
  if (it == handles_.end() || it->second.references == 0) return nullptr;
  return it->second.entry;
}

MachineEntry* MachineRegistry::entryForHandle(io_object_t handle) const {
  auto it = handles_.find(handle);
  return it == handles_.end() ? nullptr : it->second.entry;
}

MachineEntry* MachineRegistry::findEntryNamed(const std::string& name) const {
  for (MachineEntry* entry : serviceOrder_) {
    if (entry->name() == name) return entry;
  }
  return nullptr;
}

std::uint32_t MachineRegistry::referenceCount(io_object_t handle) const {
  auto it = handles_.find(handle);
  return it == handles_.end() ? 0 : it->second.references;
}

kern_return_t MachineRegistry::getMatchingServices(const PlistDictionary& matching,
                                                   io_iterator_t* iterator) {
  auto it = matching.find(kIOProviderClassKey);
  if (it == matching.end() || !it->second.isString()) return kIOReturnBadArgument;
  const std::string& className = *it->second.asString();
  auto found = std::make_unique<Iterator>();
  for (MachineEntry* entry : serviceOrder_) {
    if (entry->matchesClass(className)) found->services.push_back(entry);
  }
  io_iterator_t handle = newHandle();
  HandleRecord& record = handles_[handle];
  record.references = 1;
  record.iterator = std::move(found);
  ledger_->took();
  *iterator = handle;
  return kIOReturnSuccess;
}

io_object_t MachineRegistry::iteratorNext(io_iterator_t iterator) {
  auto it = handles_.find(iterator);
  if (it == handles_.end() || it->second.references == 0 || !it->second.iterator) return 0;
  Iterator& walk = *it->second.iterator;
  if (walk.next >= walk.services.size()) return 0;
  return handOut(*walk.services[walk.next++]);
}

kern_return_t MachineRegistry::objectRetain(io_object_t object) {
  auto it = handles_.find(object);
  // A handle with no references left is no longer the caller's to retain.
  if (it == handles_.end() || it->second.references == 0) return kIOReturnBadArgument;
  ++it->second.references;
  ledger_->took();
  return kIOReturnSuccess;
}

kern_return_t MachineRegistry::objectRelease(io_object_t object) {
  auto it = handles_.find(object);
  if (it == handles_.end() || it->second.references == 0) return kIOReturnBadArgument;
  --it->second.references;
  ledger_->gaveBack();
  if (it->second.references == 0 && it->second.iterator) handles_.erase(it);
  return kIOReturnSuccess;
}

io_registry_entry_t MachineRegistry::entryFromPath(const std::string& planeAndPath) {
  std::size_t colon = planeAndPath.find(':');
  if (colon == std::string::npos) return 0;
  std::string plane = planeAndPath.substr(0, colon);
  std::string path = planeAndPath.substr(colon + 1);
  MachineEntry* entry = plane == kIOServicePlane      ? serviceRoot_.get()
                        : plane == kIODeviceTreePlane ? deviceTreeRoot_.get()
                                                      : nullptr;
  if (entry == nullptr || path.empty() || path[0] != '/') return 0;
  std::size_t start = 1;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string component = path.substr(start, end - start);
    start = end + 1;
    if (component.empty()) continue;
    const auto& children = entry->children();
    auto child = std::find_if(children.begin(), children.end(),
                              [&](const auto& c) { return c->name() == component; });
    if (child == children.end()) return 0;
    entry = child->get();
  }
  return handOut(*entry);
}

kern_return_t MachineRegistry::getParentEntry(io_registry_entry_t entry, const std::string& plane,
                                              io_registry_entry_t* parent) {
  MachineEntry* live = liveEntry(entry);
  if (live == nullptr) return kIOReturnBadArgument;
  if (live->plane() != plane || live->parent() == nullptr) return kIOReturnNoDevice;
  *parent = handOut(*live->parent());
  return kIOReturnSuccess;
}

kern_return_t MachineRegistry::getChildEntry(io_registry_entry_t entry, const std::string& plane,
                                             io_registry_entry_t* child) {
  MachineEntry* live = liveEntry(entry);
  if (live == nullptr) return kIOReturnBadArgument;
  if (live->plane() != plane || live->children().empty()) return kIOReturnNoDevice;
  *child = handOut(*live->children().front());
  return kIOReturnSuccess;
}

kern_return_t MachineRegistry::createProperties(io_registry_entry_t entry,
                                                PlistDictionary* properties) {
  MachineEntry* live = liveEntry(entry);
  if (live == nullptr) return kIOReturnBadArgument;
  live->behaviour().propertiesWillBeRead(*live);
  *properties = live->properties();
  return kIOReturnSuccess;
}

std::optional<PlistValue> MachineRegistry::createProperty(io_registry_entry_t entry,
                                                          const std::string& key) {
  MachineEntry* live = liveEntry(entry);
  if (live == nullptr) return std::nullopt;
  live->behaviour().propertiesWillBeRead(*live);
  auto it = live->properties().find(key);
  if (it == live->properties().end()) return std::nullopt;
  return it->second;
}

kern_return_t MachineRegistry::setProperty(io_registry_entry_t entry, const std::string& key,
                                           const PlistValue& value) {
  MachineEntry* live = liveEntry(entry);
  if (live == nullptr) return kIOReturnBadArgument;
  return live->behaviour().setProperty(*live, key, value);
}

kern_return_t MachineRegistry::serviceOpen(io_service_t service, std::uint32_t type,
                                           io_connect_t* connection) {
  MachineEntry* live = liveEntry(service);
  if (live == nullptr) return kIOReturnBadArgument;
  if (auto code = live->behaviour().settings().openError()) return *code;
  std::unique_ptr<UserClientConnection> client;
  kern_return_t result = live->behaviour().openUserClient(*live, type, &client);
  if (result != kIOReturnSuccess) return result;
  // A driver that claims success must hand over a connection.
  if (!client) return kIOReturnError;
  io_connect_t handle = newHandle();
  connections_[handle] = std::move(client);
  ledger_->took();
  *connection = handle;
  return kIOReturnSuccess;
}

kern_return_t MachineRegistry::serviceClose(io_connect_t connection) {
  auto it = connections_.find(connection);
  if (it == connections_.end()) return kIOReturnBadArgument;
  connections_.erase(it);
  ledger_->gaveBack();
  return kIOReturnSuccess;
}

kern_return_t MachineRegistry::callStructureMethod(io_connect_t connection, std::uint32_t selector,
                                                   std::span<const std::uint8_t> input,
                                                   std::span<std::uint8_t> output,
                                                   std::size_t* outputSize) {
  auto it = connections_.find(connection);
  if (it == connections_.end()) return kIOReturnNotOpen;
  ++structureCalls_;
  std::size_t written = output.size();
  kern_return_t result = it->second->callStructureMethod(selector, input, output, &written);
  *outputSize = std::min(written, output.size());
  return result;
}

kern_return_t MachineRegistry::createPlugInInterface(io_service_t service,
                                                     const CFUUIDBytes& pluginType,
                                                     const CFUUIDBytes& interfaceType,
                                                     IOCFPlugInInterface** plugIn,
                                                     std::int32_t* score) {
  MachineEntry* live = liveEntry(service);
  if (live == nullptr) return kIOReturnBadArgument;
  if (auto code = live->behaviour().settings().openError()) return *code;
  IOCFPlugInInterface* created = nullptr;
  kern_return_t result =
      live->behaviour().createPlugInInterface(*live, pluginType, interfaceType, &created, score);
  if (result != kIOReturnSuccess) {
    if (created != nullptr) created->Release();
    return result;
  }
  if (created == nullptr) return kIOReturnError;
  plugIns_[created] = live;
  ledger_->took();
  *plugIn = created;
  return kIOReturnSuccess;
}

kern_return_t MachineRegistry::destroyPlugInInterface(IOCFPlugInInterface* plugIn) {
  auto it = plugIns_.find(plugIn);
  // Only plug-ins made here are ours to release.
  if (it == plugIns_.end()) return kIOReturnBadArgument;
  plugIns_.erase(it);
  ledger_->gaveBack();
  plugIn->Release();
  return kIOReturnSuccess;
}

}  // namespace zor
