#include "widget/MachinePreferenceKey.h"

#include "platform/Utf8.h"

namespace zor {

std::string machinePreferenceKey(const std::string& serialNumber) {
  std::string key;
  key.reserve(serialNumber.size());
  for (char32_t c : Utf8::decode(serialNumber)) {
    Utf8::append(key, c < 0x20 || c == 0x7F ? Utf8::kReplacement : c);
  }
  return key;
}

}  // namespace zor
