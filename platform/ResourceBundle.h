#pragma once
// The bundle implementation: a folder of resources served from the files
// built into the binaries ("resources/..."), from a directory on disk, or
// from files held in memory (tests, the running program's own bundle).
// String tables are parsed once per language and table and then kept.
// Bundle::pluginBundle() and Bundle::mainBundle() hand out instances of it.

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Bundle.h"
#include "platform/StringsTable.h"

namespace zor {

class ResourceBundle final : public Bundle {
 public:
  // The plug-in's bundle: the directory named by ZOR_RESOURCES_DIR when that
  // is set, else the built-in resources/ folder.
  static std::shared_ptr<ResourceBundle> forPlugin();
  static std::shared_ptr<ResourceBundle> forEmbeddedResources();
  static std::shared_ptr<ResourceBundle> forDirectory(std::string directory);
  // `files` maps paths relative to the bundle folder to their bytes.
  static std::shared_ptr<ResourceBundle> forFiles(std::map<std::string, std::string> files);
  // The running program: its name and an identifier made from it, no resources.
  static std::shared_ptr<ResourceBundle> forProgram();

  const PlistDictionary& infoDictionary() const override { return info_; }
  std::string localizedString(const std::string& key, const std::string& fallback,
                              const std::string& table = "") const override;
  std::string localizedStringInLocalization(const std::string& localization, const std::string& key,
                                            const std::string& fallback,
                                            const std::string& table = "") const override;
  std::optional<std::string> resourceContents(const std::string& name,
                                              const std::string& type) const override;
  std::optional<std::string> fileContents(const std::string& relativePath) const override;

  // Languages with a "<language>.lproj" folder, sorted.
  const std::vector<std::string>& localizations() const { return localizations_; }
  // The language string tables are taken from now.
  std::string currentLocalization() const;
  // "CFBundleDevelopmentRegion" of the information dictionary, else "en".
  std::string developmentLocalization() const;

  // True for a relative path that stays inside the folder: not empty, not
  // absolute, no "." or ".." segment, no empty segment, no NUL byte.
  static bool isSafeRelativePath(std::string_view path);

 private:
  enum class Source { Embedded, Directory, Memory };
  ResourceBundle(Source source, std::string directory, std::map<std::string, std::string> files);
  void load();
  // The bytes of a file already known to be a safe relative path.
  std::optional<std::string> readFile(const std::string& relativePath) const;
  const StringsTable& table(const std::string& language, const std::string& tableName) const;

  Source source_;
  std::string directory_;
  std::map<std::string, std::string> files_;
  PlistDictionary info_;
  std::vector<std::string> localizations_;

  mutable std::mutex tablesMutex_;
  mutable std::map<std::pair<std::string, std::string>, StringsTable> tables_;
};

}  // namespace zor
