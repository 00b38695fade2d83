#pragma once
// The files of resources/ and machines/ built into the binaries, so that the
// programs run with nothing beside them. Used by the bundle (resources) and by
// the machine-profile loader (the demo machine).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zor::embedded {

struct File {
  const char* path;  // relative to the source tree, e.g. "resources/Info.plist"
  const unsigned char* bytes;
  std::size_t size;
};

const std::vector<File>& allFiles();

// The contents of the embedded file at `path`, or nothing.
std::optional<std::string_view> find(std::string_view path);

// Paths of the embedded files under `folder` (e.g. "resources/Images/").
std::vector<std::string> pathsUnder(std::string_view folder);

}  // namespace zor::embedded
