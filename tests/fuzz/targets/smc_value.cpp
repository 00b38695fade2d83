// SMC values: the user client's 80-byte record, then a value record (type,
// claimed size, up to 32 bytes) decoded to a number, text or bytes.

#include <cstring>

#include "smc/ZORSystemManagementController.h"
#include "smc/_ZORSMCKeyData.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zor;
  if (size >= _ZORSMCKeyData::kSize) {
    _ZORSMCKeyData::decode(std::span<const std::uint8_t, _ZORSMCKeyData::kSize>(data, 80));
  }
  if (size < 8) return 0;
  _ZORSMCValue value;
  std::memcpy(&value.dataType, data, 4);
  std::memcpy(&value.dataSize, data + 4, 4);
  std::memcpy(value.bytes.data(), data + 8, std::min<std::size_t>(size - 8, 32));
  ZORSystemManagementController::objectValueForSMCValue(&value);
  ZORSystemManagementController::descriptionForSMCValue(&value);
  return 0;
}
