#pragma once
// The key under which a machine's choices sit in the widget's preferences
// file, made from its serial number. The controller's choices and the own
// sensor names and limits use it alike, so both land in one dictionary.
#include <string>

namespace zor {

// Property-list text must be well-formed UTF-8 without control characters, or
// other readers refuse the whole file; each offending byte becomes U+FFFD, the
// same way on every run, so the key stays stable.
std::string machinePreferenceKey(const std::string& serialNumber);

}  // namespace zor
