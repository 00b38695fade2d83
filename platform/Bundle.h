#pragma once
// A bundle: a folder of resources with an information dictionary
// ("Info.plist") and string tables per language ("<language>.lproj/<table>.strings").
// The plug-in's own bundle is the project's resources/ folder (built into the
// binaries; the ZOR_RESOURCES_DIR environment variable points at a folder to
// use instead). The main bundle stands for the running program.
// Used by the widget controller (display texts, version), the sensor classes
// (location tables, known-disk and attribute tables) and the widget host.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/PropertyList.h"

namespace zor {

class Bundle {
 public:
  virtual ~Bundle() = default;

  static Bundle& pluginBundle();
  static Bundle& mainBundle();
  // Replaces the plug-in bundle for the whole process (tests); null restores it.
  static void setPluginBundle(std::shared_ptr<Bundle> bundle);
  // The same for the main bundle.
  static void setMainBundle(std::shared_ptr<Bundle> bundle);

  // The information dictionary ("CFBundleIdentifier", "CFBundleShortVersionString", ...).
  virtual const PlistDictionary& infoDictionary() const = 0;
  std::optional<std::string> bundleIdentifier() const;

  // The entry for `key` in `table` ("Localizable" when empty) of the current
  // language, else of the development language ("en"); `fallback` when there
  // is none, and the key when the fallback is empty.
  virtual std::string localizedString(const std::string& key, const std::string& fallback,
                                      const std::string& table = "") const = 0;
  // The same from the tables of `localization` ("en") instead of the current
  // language, for texts that must not change with the user's language (the
  // metrics' sensor names). A bundle of one language answers from that one.
  virtual std::string localizedStringInLocalization(const std::string& localization,
                                                    const std::string& key,
                                                    const std::string& fallback,
                                                    const std::string& table = "") const {
    (void)localization;
    return localizedString(key, fallback, table);
  }

  // The bytes of resource `name`.`type` (e.g. "hddtemp", "db"), or nothing.
  // Looked for in the folder itself, then in the current language's and the
  // development language's ".lproj" folders.
  virtual std::optional<std::string> resourceContents(const std::string& name,
                                                      const std::string& type) const = 0;
  // The bytes of a file by its path relative to the bundle's folder
  // ("Images/TTemp.png"); nothing for a path that leaves the folder.
  virtual std::optional<std::string> fileContents(const std::string& relativePath) const = 0;
};

// The language the localized strings are taken from: the first of LANGUAGE,
// LC_ALL, LC_MESSAGES, LANG that names a language the bundle has, else "en".
std::string preferredLocalization(const std::vector<std::string>& available);

}  // namespace zor
