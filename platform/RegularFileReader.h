#pragma once
// Reads a whole file that someone else wrote (a machine profile, a
// preferences file, a table in the bundle) without trusting what stands at
// the path: only a regular file is read, opening never waits (a FIFO would
// block until a writer comes), and no more than a limit is read (a device
// such as /dev/zero never ends). Used by readWholeFile() and the user defaults.

#include <cstddef>
#include <string>

namespace zor {

class RegularFileReader {
 public:
  // Profiles and preference files are kilobytes; anything near this is no
  // file of ours.
  static constexpr std::size_t kDefaultLimit = 16 * 1024 * 1024;

  enum class Outcome { Read, Absent, NotRegular, TooLarge, Failed };

  struct Result {
    Outcome outcome = Outcome::Failed;
    std::string bytes;  // the contents when read
    std::string error;  // why not, in a few words, otherwise
  };

  static Result read(const std::string& path, std::size_t limit = kDefaultLimit);
};

}  // namespace zor
