#pragma once
// Machines for the system-information tests, built as property-list values
// in the test: registry entries with typed properties, kernel variables,
// files and processes. Installing one also forgets the shared machine
// description, before and after, so every test gathers its own.

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "platform/Machine.h"
#include "platform/PropertyList.h"
#include "platform/ScopedMachine.h"
#include "services/TestSupport.h"
#include "system/ZORMachineInfo.h"

namespace zor::testing {

inline PlistValue bytes(std::initializer_list<std::uint8_t> values) {
  return PlistValue(PlistData(values));
}

inline PlistValue text(const std::string& value) {
  return PlistValue(value);
}

inline PlistValue number(std::int64_t value) {
  return PlistValue::integer(value);
}

// UTC and American English, so dates and week numbers read the same everywhere.
inline ScopedEnvironment utcEnglish() {
  return ScopedEnvironment({{"TZ", std::string("UTC")},
                            {"LANGUAGE", std::nullopt},
                            {"LC_ALL", std::nullopt},
                            {"LC_MESSAGES", std::nullopt},
                            {"LANG", std::string("en_US.UTF-8")}});
}

// A registry entry of `className` named `name` with properties and children.
inline PlistValue entry(const std::string& className, const std::string& name,
                        PlistDictionary properties = {}, PlistArray children = {}) {
  properties["IOObjectClass"] = className;
  properties["IORegistryEntryName"] = name;
  if (!children.empty()) properties["IORegistryEntryChildren"] = PlistValue(std::move(children));
  return PlistValue(std::move(properties));
}

// A profile whose service plane has `services` below the root.
inline PlistDictionary profileWithServices(PlistArray services) {
  PlistDictionary profile;
  profile["Name"] = "system test machine";
  profile["Registry"] = entry("IORegistryEntry", "Root", {}, std::move(services));
  return profile;
}

// A machine from `profile`, installed for the life of the object.
class InstalledMachine {
 public:
  explicit InstalledMachine(const PlistDictionary& profile) {
    ZORMachineInfo::forgetSharedMachineInfo();
    std::string error;
    auto machine = Machine::fromProfile(PlistValue(profile), "test profile", &error);
    EXPECT_NE(machine, nullptr) << error;
    if (machine) scope_ = std::make_unique<ScopedMachine>(machine);
  }
  ~InstalledMachine() { ZORMachineInfo::forgetSharedMachineInfo(); }
  InstalledMachine(const InstalledMachine&) = delete;
  InstalledMachine& operator=(const InstalledMachine&) = delete;

 private:
  std::unique_ptr<ScopedMachine> scope_;
};

}  // namespace zor::testing
