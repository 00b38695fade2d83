#pragma once
// One parsed string table of a bundle ("<language>.lproj/<Table>.strings"):
// entries of the form  "key" = "value";  with /* */ and // comments and the
// escapes \" \\ \n \t \r \UXXXX (UTF-16 units, surrogate pairs joined).
// Files are UTF-8; a UTF-8 byte-order mark is skipped and UTF-16 files (with
// their byte-order mark) are converted. A malformed entry is skipped with one
// log line and parsing goes on at the next line. Used by the bundle, which
// parses each table once per language.

#include <map>
#include <string>
#include <string_view>

namespace zor {

class StringsTable {
 public:
  StringsTable() = default;

  // `sourceName` names the file in log lines ("de.lproj/Localizable.strings").
  static StringsTable parse(std::string_view bytes, const std::string& sourceName);

  // The value for `key`, or null.
  const std::string* find(const std::string& key) const;
  const std::map<std::string, std::string>& entries() const { return entries_; }

 private:
  std::map<std::string, std::string> entries_;
};

}  // namespace zor
