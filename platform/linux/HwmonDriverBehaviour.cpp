#include "platform/linux/HwmonDriverBehaviour.h"

#include <cstring>

#include "platform/Clock.h"
#include "platform/MachineEntry.h"
#include "platform/SystemLog.h"

namespace zor {
namespace {

// A chip is asked at most this often; sensors read faster get the last value.
constexpr double kReadIntervalSeconds = 1.0;

std::unique_ptr<DriverBehaviour> refuse(std::string reason, std::string* error) {
  if (error) *error = std::move(reason);
  return nullptr;
}

}  // namespace

HwmonDriverBehaviour::HwmonDriverBehaviour(DriverSettings settings, std::string path,
                                           const linuxfs::HwmonKind& kind)
    : DriverBehaviour(std::move(settings)), path_(std::move(path)), kind_(kind), input_(path_) {}

std::unique_ptr<DriverBehaviour> HwmonDriverBehaviour::make(const DriverSettings& settings,
                                                            std::string* error) {
  const PlistValue* input = settings.find("HwmonInput");
  const PlistValue* kindName = settings.find("HwmonKind");
  if (input == nullptr || input->asString() == nullptr) {
    return refuse("\"HwmonInput\" must be a file path", error);
  }
  const linuxfs::HwmonKind* kind = nullptr;
  if (kindName != nullptr && kindName->asString() != nullptr) {
    kind = linuxfs::HwmonKind::named(*kindName->asString());
  }
  if (kind == nullptr) return refuse("\"HwmonKind\" must name a channel kind", error);
  return std::make_unique<HwmonDriverBehaviour>(settings, *input->asString(), *kind);
}

void HwmonDriverBehaviour::propertiesWillBeRead(MachineEntry& entry) {
  const double now = Clock::current().now();
  // A clock set back reads again rather than waiting for the old time.
  if (hasRead_ && now >= lastRead_ && now - lastRead_ < kReadIntervalSeconds) return;
  lastRead_ = now;
  hasRead_ = true;
  readNow(entry);
}

void HwmonDriverBehaviour::readNow(MachineEntry& entry) {
  PlistDictionary& properties = entry.properties();
  properties.erase(kValueProperty);
  if (!input_.isOpen()) return reportOnce(std::strerror(input_.lastError()));
  auto text = input_.readText();
  if (!text) return reportOnce(std::strerror(input_.lastError()));
  auto kernelValue = linuxfs::parseSysfsInteger(*text);
  if (!kernelValue) return reportOnce("not a number");
  auto published = kind_.publish(*kernelValue);
  if (!published) return reportOnce("out of range");
  properties[kValueProperty] = PlistValue::integer(*published);
}

void HwmonDriverBehaviour::reportOnce(const std::string& why) {
  if (reported_) return;
  reported_ = true;
  SystemLog::writeFormat("hwmon: no reading from %s: %s\n", path_.c_str(), why.c_str());
}

PlistDictionary HwmonDriverBehaviour::recordedSettings(MachineEntry& entry) {
  propertiesWillBeRead(entry);
  return {};
}

}  // namespace zor
