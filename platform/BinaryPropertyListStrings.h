#pragma once
// A look at the UTF-16 string objects of a binary property list before
// libplist reads it: libplist reads one holding U+0000 into a string whose
// length counts past the NUL, and stops the process with an assertion when
// that string is a dictionary's key. (An ASCII string with a NUL is read
// safely: a key is cut at it, a value kept whole.) The trailer and the
// offset table are decoded field by field with bounds checks; what lies
// outside the bytes is left for libplist to refuse. Used by
// parsePropertyList.

#include <string_view>

namespace zor {

class BinaryPropertyListStrings {
 public:
  // True when `bytes` are a binary property list with a UTF-16 string
  // object that holds U+0000.
  static bool holdNul(std::string_view bytes);
};

}  // namespace zor
