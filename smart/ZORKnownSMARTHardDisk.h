#pragma once
// One row of the known-disk table: a disk model name pattern (a POSIX
// extended regular expression), the ID of the S.M.A.R.T. attribute that
// holds the disk's temperature (0 for a disk without one) and a descriptive
// name. Disk discovery (ZORSMARTStorageDevice) asks the table for the first
// row matching a legacy disk's model name to learn its temperature attribute.
//
// The table is a plain-text file read character by character:
//   - a line is skipped when it holds only blanks (space, tab) or when its
//     first non-blank character is "#";
//   - any other line is a row of four fields, each after optional blanks:
//     pattern, attribute ID, unit, name. A text field is either quoted
//     ("..." across blanks, "#" and line ends, no escapes) or runs to the
//     next blank, which it consumes (a line end does not end it). A text
//     field keeps 256 characters: the 257th ends it and is dropped. A byte
//     0xFF ends a field like the end of the file;
//   - the ID field takes up to three digits and then consumes one more
//     character, whatever it is (so a fourth digit is lost);
//   - a row makes a record when its ID is at most 255, its unit begins with
//     "C" and its pattern compiles; other rows are skipped;
//   - a line end is a line feed alone; a carriage return is an ordinary character.
//
// Records are made in two steps (make_shared, then initWithMatchString);
// the factory does both and gives null on failure.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <regex.h>

namespace zor {

class ZORKnownSMARTHardDisk;
using ZORKnownSMARTHardDiskTable = std::vector<std::shared_ptr<ZORKnownSMARTHardDisk>>;

class ZORKnownSMARTHardDisk {
 public:
  // `init`: ID 0, no name, no expression.
  ZORKnownSMARTHardDisk() = default;
  // Frees the compiled expression.
  ~ZORKnownSMARTHardDisk();
  ZORKnownSMARTHardDisk(const ZORKnownSMARTHardDisk&) = delete;
  ZORKnownSMARTHardDisk& operator=(const ZORKnownSMARTHardDisk&) = delete;

  // make_shared + initWithMatchString; null on failure.
  static std::shared_ptr<ZORKnownSMARTHardDisk> diskWithMatchString(const char* matchString,
                                                                    std::uint8_t attribID,
                                                                    const char* name);
  // Compiles the pattern (extended syntax, no sub-matches, case kept); false
  // for a missing pattern or name, and for a pattern that does not compile
  // (with one log line).
  bool initWithMatchString(const char* matchString, std::uint8_t attribID, const char* name);

  // "<name>: Temperature Attribute ID: <id> Supported: YES|NO\n".
  std::string description() const;
  // The compiled expression, or null before a successful init.
  const regex_t* regularMatchExpression() const { return compiled_ ? &expression_ : nullptr; }
  // True when the pattern matches anywhere in `productName` (unless it anchors itself).
  bool matchesProductName(const std::string& productName) const;
  bool supportsTemperatureMonitoring() const { return temperatureAttributeIdentifier_ != 0; }
  std::uint8_t vendorTemperatureAttributeIdentifier() const {
    return temperatureAttributeIdentifier_;
  }
  std::optional<std::string> productName() const { return productName_; }

  // The records of the table file at `path`, in file order (possibly none);
  // nothing when there is no path or the file cannot be read.
  static std::optional<ZORKnownSMARTHardDiskTable> smartDiskTableWithPath(
      const std::optional<std::string>& path);
  // The records of table text already in memory.
  static ZORKnownSMARTHardDiskTable smartDiskTableWithContents(std::string_view contents);

 private:
  regex_t expression_{};
  bool compiled_ = false;
  std::uint8_t temperatureAttributeIdentifier_ = 0;
  std::optional<std::string> productName_;
};

}  // namespace zor
