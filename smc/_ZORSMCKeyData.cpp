#include "smc/_ZORSMCKeyData.h"

#include <algorithm>
#include <cstring>

namespace zor {
namespace {

// Host byte order, as the user client exchanges its numbers.
template <typename T>
void store(std::span<std::uint8_t, _ZORSMCKeyData::kSize> out, std::size_t offset, T value) {
  static_assert(std::is_trivially_copyable_v<T>);
  std::memcpy(out.subspan(offset, sizeof(T)).data(), &value, sizeof(T));
}

template <typename T>
T load(std::span<const std::uint8_t, _ZORSMCKeyData::kSize> in, std::size_t offset) {
  T value;
  std::memcpy(&value, in.subspan(offset, sizeof(T)).data(), sizeof(T));
  return value;
}

}  // namespace

void _ZORSMCKeyData::encode(std::span<std::uint8_t, kSize> out) const {
  std::fill(out.begin(), out.end(), std::uint8_t{0});
  store(out, 0, key);
  store(out, 4, revision.major);
  store(out, 5, revision.minor);
  store(out, 6, revision.build);
  store(out, 7, revision.reserved);
  store(out, 8, revision.release);
  store(out, 12, powerLimits.version);
  store(out, 14, powerLimits.length);
  store(out, 16, powerLimits.cpuPowerLimit);
  store(out, 20, powerLimits.gpuPowerLimit);
  store(out, 24, powerLimits.memoryPowerLimit);
  store(out, 28, keyInfo.dataSize);
  store(out, 32, keyInfo.dataType);
  store(out, 36, keyInfo.attributes);
  store(out, 40, result);
  store(out, 41, status);
  store(out, 42, command);
  store(out, 44, keyIndex);
  std::copy(bytes.begin(), bytes.end(), out.subspan(48, 32).begin());
}

_ZORSMCKeyData _ZORSMCKeyData::decode(std::span<const std::uint8_t, kSize> in) {
  _ZORSMCKeyData record;
  record.key = load<std::uint32_t>(in, 0);
  record.revision.major = load<std::int8_t>(in, 4);
  record.revision.minor = load<std::int8_t>(in, 5);
  record.revision.build = load<std::int8_t>(in, 6);
  record.revision.reserved = load<std::uint8_t>(in, 7);
  record.revision.release = load<std::uint16_t>(in, 8);
  record.powerLimits.version = load<std::uint16_t>(in, 12);
  record.powerLimits.length = load<std::uint16_t>(in, 14);
  record.powerLimits.cpuPowerLimit = load<std::uint32_t>(in, 16);
  record.powerLimits.gpuPowerLimit = load<std::uint32_t>(in, 20);
  record.powerLimits.memoryPowerLimit = load<std::uint32_t>(in, 24);
  record.keyInfo.dataSize = load<std::uint32_t>(in, 28);
  record.keyInfo.dataType = load<std::uint32_t>(in, 32);
  record.keyInfo.attributes = load<std::uint8_t>(in, 36);
  record.result = load<std::uint8_t>(in, 40);
  record.status = load<std::uint8_t>(in, 41);
  record.command = load<std::uint8_t>(in, 42);
  record.keyIndex = load<std::uint32_t>(in, 44);
  auto value = in.subspan(48, 32);
  std::copy(value.begin(), value.end(), record.bytes.begin());
  return record;
}

}  // namespace zor
