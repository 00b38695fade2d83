#pragma once
// The recorded machine-information trees (tests/linux/trees/info-*) and
// scratch trees made by the tests.

#include <filesystem>
#include <fstream>
#include <string>

namespace zor::linuxtest {

inline std::string infoTree(const std::string& name) {
  return std::string(ZOR_SOURCE_DIR) + "/tests/linux/trees/" + name;
}

// A folder removed with everything in it when the test ends.
class ScratchTree {
 public:
  ScratchTree() {
    char pattern[] = "/tmp/zor-linux-test-XXXXXX";
    if (const char* made = mkdtemp(pattern)) path_ = made;
  }
  ~ScratchTree() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchTree(const ScratchTree&) = delete;
  ScratchTree& operator=(const ScratchTree&) = delete;

  const std::string& path() const { return path_; }
  // Writes `text` at `absolute` inside the tree, making the folders.
  void write(const std::string& absolute, const std::string& text) const {
    std::filesystem::path file = path_ + absolute;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << text;
  }

 private:
  std::string path_;
};

}  // namespace zor::linuxtest
