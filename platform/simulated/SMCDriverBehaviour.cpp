#include "platform/simulated/SMCDriverBehaviour.h"

#include "platform/MachineEntry.h"
#include "platform/simulated/SMCUserClientConnection.h"

namespace zor {
namespace {

// Packs up to four bytes of a name, first byte most significant; a shorter
// name ends in zero bytes ("ui8" is "ui8" and a zero byte).
std::optional<std::uint32_t> packName(const std::string& name) {
  if (name.empty() || name.size() > 4) return std::nullopt;
  std::uint32_t code = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    code = (code << 8) | (i < name.size() ? static_cast<std::uint8_t>(name[i]) : 0u);
  }
  return code;
}

bool parseKeys(const PlistValue& list, SMCDriverBehaviour::State* state, std::string* error) {
  const PlistArray* keys = list.asArray();
  if (keys == nullptr) {
    *error = "\"SMCKeys\" must be an array of dictionaries";
    return false;
  }
  std::set<std::uint32_t> seen;
  for (std::size_t i = 0; i < keys->size(); ++i) {
    const PlistValue& item = (*keys)[i];
    std::string where = "\"SMCKeys\" item " + std::to_string(i);
    const PlistValue* name = item.find("Key");
    const PlistValue* type = item.find("Type");
    const PlistValue* bytes = item.find("Bytes");
    if (!item.isDictionary() || name == nullptr || !name->isString() ||
        name->asString()->size() != 4) {
      *error = where + " needs a four-character string \"Key\"";
      return false;
    }
    auto code = packName(*name->asString());
    auto typeCode =
        type != nullptr && type->isString() ? packName(*type->asString()) : std::nullopt;
    if (!typeCode) {
      *error = where + " (\"" + *name->asString() + "\") needs a \"Type\" of 1 to 4 characters";
      return false;
    }
    if (bytes == nullptr || !bytes->isData() || bytes->asData()->size() > 32) {
      *error = where + " (\"" + *name->asString() + "\") needs \"Bytes\" data of at most 32 bytes";
      return false;
    }
    if (!seen.insert(*code).second) {
      *error = where + ": the key \"" + *name->asString() + "\" is listed twice";
      return false;
    }
    state->keys.push_back({*code, *typeCode, *name->asString(), *bytes->asData()});
  }
  return true;
}

bool parseFailIndices(const PlistValue& list, SMCDriverBehaviour::State* state,
                      std::string* error) {
  const PlistArray* indices = list.asArray();
  bool good = indices != nullptr;
  if (good) {
    for (const PlistValue& index : *indices) {
      auto number = index.isInteger() ? index.integerValue() : std::nullopt;
      if (!number || *number < 0 || *number > 0xFFFFFFFFll) {
        good = false;
        break;
      }
      state->failIndices.insert(static_cast<std::uint32_t>(*number));
    }
  }
  if (!good) *error = "\"SMCFailIndices\" must be an array of non-negative 32-bit integers";
  return good;
}

bool parseFailKeys(const PlistValue& list, SMCDriverBehaviour::State* state, std::string* error) {
  const PlistArray* names = list.asArray();
  bool good = names != nullptr;
  if (good) {
    for (const PlistValue& name : *names) {
      auto code = name.isString() && name.asString()->size() == 4 ? packName(*name.asString())
                                                                  : std::nullopt;
      if (!code) {
        good = false;
        break;
      }
      state->failKeys.insert(*code);
    }
  }
  if (!good) *error = "\"SMCFailKeys\" must be an array of four-character strings";
  return good;
}

}  // namespace

std::unique_ptr<DriverBehaviour> SMCDriverBehaviour::make(const DriverSettings& settings,
                                                          std::string* error) {
  auto state = std::make_shared<State>();
  std::string reason;
  bool good = parseKeys(*settings.find("SMCKeys"), state.get(), &reason);
  if (good) {
    if (const PlistValue* indices = settings.find("SMCFailIndices")) {
      good = parseFailIndices(*indices, state.get(), &reason);
    }
  }
  if (good) {
    if (const PlistValue* keys = settings.find("SMCFailKeys")) {
      good = parseFailKeys(*keys, state.get(), &reason);
    }
  }
  if (!good) {
    if (error) *error = reason;
    return nullptr;
  }
  state->wave = settings.wave();
  return std::make_unique<SMCDriverBehaviour>(settings, std::move(state));
}

SMCDriverBehaviour* SMCDriverBehaviour::of(MachineEntry& entry) {
  return dynamic_cast<SMCDriverBehaviour*>(&entry.behaviour());
}

SMCDriverBehaviour::SMCDriverBehaviour(DriverSettings settings, std::shared_ptr<State> state)
    : DriverBehaviour(std::move(settings)), state_(std::move(state)) {}

iokit::kern_return_t SMCDriverBehaviour::openUserClient(
    MachineEntry& /*entry*/, std::uint32_t type,
    std::unique_ptr<UserClientConnection>* connection) {
  // The SMC offers one kind of user client.
  if (type != 0) return iokit::kIOReturnBadArgument;
  *connection = std::make_unique<SMCUserClientConnection>(state_);
  return iokit::kIOReturnSuccess;
}

std::uint64_t SMCDriverBehaviour::callCount(std::uint8_t command) const {
  auto it = state_->callsByCommand.find(command);
  return it == state_->callsByCommand.end() ? 0 : it->second;
}

bool SMCDriverBehaviour::setKeyBytes(const std::string& key, std::vector<std::uint8_t> bytes) {
  if (bytes.size() > 32) return false;
  for (Key& listed : state_->keys) {
    if (listed.name == key) {
      listed.bytes = std::move(bytes);
      return true;
    }
  }
  return false;
}

void SMCDriverBehaviour::resetCallCounts() {
  state_->callsByCommand.clear();
  state_->calls = 0;
}

}  // namespace zor
