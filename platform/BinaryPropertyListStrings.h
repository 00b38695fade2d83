#pragma once
// A look at the string objects of a binary property list before libplist
// reads it: libplist takes a string holding a NUL character, but stops the
// process with an assertion when such a string is a dictionary's key, and a
// value holding one would be written back cut short. The trailer and the
// offset table are decoded field by field with bounds checks; what lies
// outside the bytes is left for libplist to refuse. Used by
// parsePropertyList.

#include <string_view>

namespace zor {

class BinaryPropertyListStrings {
 public:
  // True when `bytes` are a binary property list with a string object (ASCII
  // or UTF-16) that holds a NUL character.
  static bool holdNul(std::string_view bytes);
};

}  // namespace zor
