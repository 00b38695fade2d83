#include "platform/ResourceBundle.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <set>

#include "platform/CurrentLocale.h"
#include "platform/EmbeddedFiles.h"
#include "platform/PropertyListSerialization.h"
#include "platform/SystemLog.h"

namespace zor {
namespace {

constexpr std::string_view kEmbeddedPrefix = "resources/";
constexpr std::string_view kLprojSuffix = ".lproj";

std::optional<std::string> canonicalPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return std::nullopt;
  return std::string(resolved);
}

// "de.lproj/Localizable.strings" -> "de"; "" when the path is not in an .lproj folder.
std::string localizationOfPath(std::string_view path) {
  const std::size_t slash = path.find('/');
  if (slash == std::string_view::npos) return {};
  std::string_view folder = path.substr(0, slash);
  if (folder.size() <= kLprojSuffix.size() ||
      folder.substr(folder.size() - kLprojSuffix.size()) != kLprojSuffix) {
    return {};
  }
  return std::string(folder.substr(0, folder.size() - kLprojSuffix.size()));
}

}  // namespace

ResourceBundle::ResourceBundle(Source source, std::string directory,
                               std::map<std::string, std::string> files)
    : source_(source), directory_(std::move(directory)), files_(std::move(files)) {}

std::shared_ptr<ResourceBundle> ResourceBundle::forPlugin() {
  const char* directory = std::getenv("ZOR_RESOURCES_DIR");
  if (directory != nullptr && *directory != '\0') return forDirectory(directory);
  return forEmbeddedResources();
}

std::shared_ptr<ResourceBundle> ResourceBundle::forEmbeddedResources() {
  std::shared_ptr<ResourceBundle> bundle(new ResourceBundle(Source::Embedded, {}, {}));
  bundle->load();
  return bundle;
}

std::shared_ptr<ResourceBundle> ResourceBundle::forDirectory(std::string directory) {
  while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
  std::shared_ptr<ResourceBundle> bundle(
      new ResourceBundle(Source::Directory, std::move(directory), {}));
  bundle->load();
  return bundle;
}

std::shared_ptr<ResourceBundle> ResourceBundle::forFiles(std::map<std::string, std::string> files) {
  std::shared_ptr<ResourceBundle> bundle(new ResourceBundle(Source::Memory, {}, std::move(files)));
  bundle->load();
  return bundle;
}

std::shared_ptr<ResourceBundle> ResourceBundle::forProgram() {
  std::shared_ptr<ResourceBundle> bundle(new ResourceBundle(Source::Memory, {}, {}));
  std::string name = program_invocation_short_name != nullptr ? program_invocation_short_name : "";
  if (name.empty()) name = "zorsensors";
  bundle->info_["CFBundleName"] = name;
  bundle->info_["CFBundleExecutable"] = name;
  bundle->info_["CFBundleIdentifier"] = "org.zorsensors." + name;
  return bundle;
}

void ResourceBundle::load() {
  std::set<std::string> languages;
  switch (source_) {
    case Source::Embedded:
      for (const std::string& path : embedded::pathsUnder(kEmbeddedPrefix)) {
        std::string language =
            localizationOfPath(std::string_view(path).substr(kEmbeddedPrefix.size()));
        if (!language.empty()) languages.insert(std::move(language));
      }
      break;
    case Source::Directory:
      if (DIR* dir = opendir(directory_.c_str())) {
        while (dirent* entry = readdir(dir)) {
          std::string language = localizationOfPath(std::string(entry->d_name) + "/");
          struct stat info {};
          if (!language.empty() && stat((directory_ + "/" + entry->d_name).c_str(), &info) == 0 &&
              S_ISDIR(info.st_mode)) {
            languages.insert(std::move(language));
          }
        }
        closedir(dir);
      } else {
        SystemLog::writeFormat("%s: resource folder cannot be read\n", directory_.c_str());
      }
      break;
    case Source::Memory:
      for (const auto& [path, bytes] : files_) {
        std::string language = localizationOfPath(path);
        if (!language.empty()) languages.insert(std::move(language));
      }
      break;
  }
  localizations_.assign(languages.begin(), languages.end());

  auto bytes = readFile("Info.plist");
  if (!bytes) return;
  std::string error;
  auto info = parsePropertyList(*bytes, &error);
  if (info && info->isDictionary()) {
    info_ = std::move(*info->asDictionary());
  } else {
    SystemLog::writeFormat("Info.plist: not a property-list dictionary (%s)\n",
                           info ? "wrong root type" : error.c_str());
  }
}

bool ResourceBundle::isSafeRelativePath(std::string_view path) {
  if (path.empty() || path.front() == '/' || path.find('\0') != std::string_view::npos) {
    return false;
  }
  while (!path.empty()) {
    const std::size_t slash = path.find('/');
    std::string_view segment = path.substr(0, slash);
    if (segment.empty() || segment == "." || segment == "..") return false;
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
    if (path.empty()) return false;  // trailing slash names a folder, not a file
  }
  return true;
}

std::optional<std::string> ResourceBundle::readFile(const std::string& relativePath) const {
  switch (source_) {
    case Source::Embedded: {
      auto bytes = embedded::find(std::string(kEmbeddedPrefix) + relativePath);
      if (!bytes) return std::nullopt;
      return std::string(*bytes);
    }
    case Source::Directory: {
      // A symbolic link inside the folder must not lead out of it either.
      auto root = canonicalPath(directory_);
      auto file = canonicalPath(directory_ + "/" + relativePath);
      if (!root || !file) return std::nullopt;
      const std::string inside = *root == "/" ? *root : *root + "/";
      if (file->compare(0, inside.size(), inside) != 0) return std::nullopt;
      struct stat info {};
      if (stat(file->c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
      return readWholeFile(*file);
    }
    case Source::Memory: {
      auto it = files_.find(relativePath);
      if (it == files_.end()) return std::nullopt;
      return it->second;
    }
  }
  return std::nullopt;
}

std::optional<std::string> ResourceBundle::fileContents(const std::string& relativePath) const {
  if (!isSafeRelativePath(relativePath)) return std::nullopt;
  return readFile(relativePath);
}

std::optional<std::string> ResourceBundle::resourceContents(const std::string& name,
                                                            const std::string& type) const {
  const std::string fileName = type.empty() ? name : name + "." + type;
  if (fileName.find('/') != std::string::npos || !isSafeRelativePath(fileName)) {
    return std::nullopt;
  }
  // The folder itself first, then the current and the development language.
  if (auto bytes = readFile(fileName)) return bytes;
  const std::string language = currentLocalization();
  if (auto bytes = readFile(language + std::string(kLprojSuffix) + "/" + fileName)) return bytes;
  const std::string development = developmentLocalization();
  if (development != language) {
    if (auto bytes = readFile(development + std::string(kLprojSuffix) + "/" + fileName)) {
      return bytes;
    }
  }
  return std::nullopt;
}

std::string ResourceBundle::currentLocalization() const {
  return CurrentLocale::preferredLocalization(localizations_);
}

std::string ResourceBundle::developmentLocalization() const {
  auto it = info_.find("CFBundleDevelopmentRegion");
  if (it != info_.end() && it->second.asString() != nullptr && !it->second.asString()->empty()) {
    return *it->second.asString();
  }
  return "en";
}

const StringsTable& ResourceBundle::table(const std::string& language,
                                          const std::string& tableName) const {
  std::lock_guard<std::mutex> lock(tablesMutex_);
  auto key = std::make_pair(language, tableName);
  auto it = tables_.find(key);
  if (it != tables_.end()) return it->second;
  const std::string path = language + std::string(kLprojSuffix) + "/" + tableName + ".strings";
  StringsTable parsed;
  if (isSafeRelativePath(path)) {
    if (auto bytes = readFile(path)) parsed = StringsTable::parse(*bytes, path);
  }
  // std::map keeps references stable, so callers may hold the table.
  return tables_.emplace(std::move(key), std::move(parsed)).first->second;
}

std::string ResourceBundle::localizedString(const std::string& key, const std::string& fallback,
                                            const std::string& tableName) const {
  return localizedStringInLocalization(currentLocalization(), key, fallback, tableName);
}

std::string ResourceBundle::localizedStringInLocalization(const std::string& language,
                                                          const std::string& key,
                                                          const std::string& fallback,
                                                          const std::string& tableName) const {
  const std::string name = tableName.empty() ? std::string("Localizable") : tableName;
  if (const std::string* value = table(language, name).find(key)) return *value;
  const std::string development = developmentLocalization();
  if (development != language) {
    if (const std::string* value = table(development, name).find(key)) return *value;
  }
  return fallback.empty() ? key : fallback;
}

}  // namespace zor
