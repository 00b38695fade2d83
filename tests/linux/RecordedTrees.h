#pragma once
// What the Linux tests share: the recorded trees (tests/linux/trees/), scratch
// trees made or copied by a test, entries of the embedded demo machines, and
// running the programs.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "platform/EmbeddedFiles.h"
#include "platform/PropertyListSerialization.h"

namespace zor::linuxtest {

inline std::string recordedTree(const std::string& name) {
  return std::string(ZOR_SOURCE_DIR) + "/tests/linux/trees/" + name;
}

// A folder, empty or a copy of a recorded tree (links kept as links), removed
// with everything in it when the test ends.
class ScratchTree {
 public:
  explicit ScratchTree(const std::string& copyOf = "") {
    char pattern[] = "/tmp/zor-linux-test-XXXXXX";
    if (const char* made = mkdtemp(pattern)) path_ = made;
    if (copyOf.empty()) return;
    std::filesystem::copy(
        recordedTree(copyOf), path_,
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
  }
  ~ScratchTree() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchTree(const ScratchTree&) = delete;
  ScratchTree& operator=(const ScratchTree&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }
  // Writes `text` at `absolute` inside the tree, making the folders.
  void write(const std::string& absolute, const std::string& text) const {
    std::filesystem::path file = path_ + absolute;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << text;
  }

 private:
  std::string path_;
};

// The first registry entry of an embedded machine profile that `wanted` picks.
inline PlistValue demoEntry(const char* profilePath,
                            const std::function<bool(const PlistValue&)>& wanted) {
  auto profile = parsePropertyList(std::string(*embedded::find(profilePath)));
  std::vector<const PlistValue*> pending{profile->find("Registry")};
  while (!pending.empty()) {
    const PlistValue* entry = pending.back();
    pending.pop_back();
    if (wanted(*entry)) return *entry;
    if (const PlistValue* children = entry->find("IORegistryEntryChildren")) {
      for (const PlistValue& child : *children->asArray()) pending.push_back(&child);
    }
  }
  ADD_FAILURE() << "no such entry in " << profilePath;
  return PlistValue();
}

struct ProgramRun {
  int exitCode = -1;
  std::string output, errors;
};

inline ProgramRun runProgram(const std::string& program, const std::string& arguments) {
  ScratchTree scratch;
  const std::string command = "'" + program + "' " + arguments + " < /dev/null > '" +
                              (scratch / "out") + "' 2> '" + (scratch / "err") + "'";
  const int status = std::system(command.c_str());
  std::stringstream output, errors;
  output << std::ifstream(scratch / "out").rdbuf();
  errors << std::ifstream(scratch / "err").rdbuf();
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output.str(), errors.str()};
}

}  // namespace zor::linuxtest
