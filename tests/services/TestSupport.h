#pragma once
// Helpers for the platform-services tests, borrowed by the preferences,
// system and widget tests: environment variables set for the length of a
// scope, and a temporary folder removed afterwards.

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zor::testing {

class ScopedEnvironment {
 public:
  using Settings = std::vector<std::pair<std::string, std::optional<std::string>>>;
  // Each pair sets a variable; a value of nullopt unsets it.
  explicit ScopedEnvironment(const Settings& settings) {
    for (const auto& [name, value] : settings) {
      const char* old = getenv(name.c_str());
      saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
      apply(name, value);
    }
  }
  ScopedEnvironment(const std::string& name, std::optional<std::string> value)
      : ScopedEnvironment(Settings{{name, std::move(value)}}) {}
  ~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) apply(it->first, it->second);
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;

 private:
  static void apply(const std::string& name, const std::optional<std::string>& value) {
    value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
  }
  Settings saved_;
};

class ScopedTempDirectory {
 public:
  ScopedTempDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zor-services-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScopedTempDirectory() { std::filesystem::remove_all(path_, ignored_); }
  ScopedTempDirectory(const ScopedTempDirectory&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  std::error_code ignored_;
};

}  // namespace zor::testing
