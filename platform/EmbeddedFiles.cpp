#include "platform/EmbeddedFiles.h"

namespace zor::embedded {

std::optional<std::string_view> find(std::string_view path) {
  for (const File& file : allFiles()) {
    if (path == file.path)
      return std::string_view(reinterpret_cast<const char*>(file.bytes), file.size);
  }
  return std::nullopt;
}

std::vector<std::string> pathsUnder(std::string_view folder) {
  std::vector<std::string> paths;
  for (const File& file : allFiles()) {
    std::string_view path(file.path);
    if (path.substr(0, folder.size()) == folder) paths.emplace_back(path);
  }
  return paths;
}

}  // namespace zor::embedded
