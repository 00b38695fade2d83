#pragma once
// Reading and writing property lists in their XML and binary forms. Used by
// the machine-profile loader, the user defaults and the bundle.

#include <optional>
#include <string>
#include <string_view>

#include "platform/PropertyList.h"

namespace zor {

enum class PlistFormat { XML, Binary };

// Parses XML or binary property-list bytes (the form is recognised). On
// failure returns nothing and, when `error` is given, says why in a few words.
std::optional<PlistValue> parsePropertyList(std::string_view bytes, std::string* error = nullptr);

// Serialises a value; a None value has no property-list form and gives "".
std::string serializePropertyList(const PlistValue& value, PlistFormat format);

// Reads a whole file and parses it. `error` names the reason ("no such file",
// "not a property list", ...).
std::optional<PlistValue> readPropertyListFile(const std::string& path,
                                               std::string* error = nullptr);

// Writes a file atomically: a temporary file beside it, then a rename, so a
// reader sees the old or the new contents, never half of one.
bool writePropertyListFile(const std::string& path, const PlistValue& value, PlistFormat format,
                           std::string* error = nullptr);

// Whole-file helpers shared by the platform's file users. Only a regular file
// of at most RegularFileReader::kDefaultLimit bytes is read.
std::optional<std::string> readWholeFile(const std::string& path, std::string* error = nullptr);
bool writeFileAtomically(const std::string& path, std::string_view bytes,
                         std::string* error = nullptr);

}  // namespace zor
