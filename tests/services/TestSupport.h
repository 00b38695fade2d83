#pragma once
// Helpers for the platform-services tests: environment variables set for the
// length of a scope, and a temporary folder removed afterwards.

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zor::testing {

class ScopedEnvironment {
 public:
  // Each pair sets a variable; a value of nullopt unsets it.
  explicit ScopedEnvironment(
      std::vector<std::pair<std::string, std::optional<std::string>>> settings) {
    for (auto& [name, value] : settings) {
      const char* old = getenv(name.c_str());
      saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
      apply(name, value);
    }
  }
  ScopedEnvironment(const std::string& name, std::optional<std::string> value)
      : ScopedEnvironment(
            std::vector<std::pair<std::string, std::optional<std::string>>>{{name, value}}) {}
  ~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) apply(it->first, it->second);
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  static void apply(const std::string& name, const std::optional<std::string>& value) {
    if (value) {
      setenv(name.c_str(), value->c_str(), 1);
    } else {
      unsetenv(name.c_str());
    }
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// No locale variables at all: every lookup starts from the defaults.
inline std::vector<std::pair<std::string, std::optional<std::string>>> localeVariables(
    std::optional<std::string> language, std::optional<std::string> lcAll,
    std::optional<std::string> lcMessages, std::optional<std::string> lang) {
  return {{"LANGUAGE", std::move(language)},
          {"LC_ALL", std::move(lcAll)},
          {"LC_MESSAGES", std::move(lcMessages)},
          {"LANG", std::move(lang)}};
}

class ScopedTempDirectory {
 public:
  ScopedTempDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zor-services-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScopedTempDirectory() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScopedTempDirectory(const ScopedTempDirectory&) = delete;
  ScopedTempDirectory& operator=(const ScopedTempDirectory&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace zor::testing
