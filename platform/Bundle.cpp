#include "platform/Bundle.h"

#include "platform/CurrentLocale.h"
#include "platform/ResourceBundle.h"

namespace zor {
namespace {

std::shared_ptr<Bundle>& installedPluginBundle() {
  static std::shared_ptr<Bundle> bundle = ResourceBundle::forPlugin();
  return bundle;
}

std::shared_ptr<Bundle>& installedMainBundle() {
  static std::shared_ptr<Bundle> bundle = ResourceBundle::forProgram();
  return bundle;
}

}  // namespace

Bundle& Bundle::pluginBundle() {
  return *installedPluginBundle();
}

Bundle& Bundle::mainBundle() {
  return *installedMainBundle();
}

void Bundle::setPluginBundle(std::shared_ptr<Bundle> bundle) {
  installedPluginBundle() = bundle ? std::move(bundle) : ResourceBundle::forPlugin();
}

void Bundle::setMainBundle(std::shared_ptr<Bundle> bundle) {
  installedMainBundle() = bundle ? std::move(bundle) : ResourceBundle::forProgram();
}

std::optional<std::string> Bundle::bundleIdentifier() const {
  const PlistDictionary& info = infoDictionary();
  auto it = info.find("CFBundleIdentifier");
  if (it == info.end() || it->second.asString() == nullptr) return std::nullopt;
  return *it->second.asString();
}

std::string preferredLocalization(const std::vector<std::string>& available) {
  return CurrentLocale::preferredLocalization(available);
}

}  // namespace zor
