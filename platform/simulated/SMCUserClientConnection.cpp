#include "platform/simulated/SMCUserClientConnection.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace zor {
namespace {

using namespace iokit;

// Offsets of the fields of the key-data record this driver reads and writes.
constexpr std::size_t kKeyOffset = 0;
constexpr std::size_t kDataSizeOffset = 28;
constexpr std::size_t kDataTypeOffset = 32;
constexpr std::size_t kResultOffset = 40;
constexpr std::size_t kCommandOffset = 42;
constexpr std::size_t kIndexOffset = 44;
constexpr std::size_t kBytesOffset = 48;
constexpr std::size_t kValueBytes = 32;

constexpr std::uint8_t kReadKeyInformation = 9;
constexpr std::uint8_t kReadBytes = 5;
constexpr std::uint8_t kKeyAtIndex = 8;

constexpr std::uint32_t kKeyCountKey = 0x234b4559;     // "#KEY"
constexpr std::uint32_t kUnsigned32Type = 0x75693332;  // "ui32"

// Host byte order, bounds checked by the span.
std::uint32_t load32(std::span<const std::uint8_t> record, std::size_t offset) {
  std::uint32_t value;
  std::memcpy(&value, record.subspan(offset, 4).data(), 4);
  return value;
}

void store32(std::span<std::uint8_t> record, std::size_t offset, std::uint32_t value) {
  std::memcpy(record.subspan(offset, 4).data(), &value, 4);
}

std::vector<std::uint8_t> bigEndian(std::uint64_t value, std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    bytes[size - 1 - i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
  return bytes;
}

// The hexadecimal digit of a type character, or -1.
int hexDigit(std::uint32_t character) {
  if (character >= '0' && character <= '9') return static_cast<int>(character - '0');
  if (character >= 'a' && character <= 'f') return static_cast<int>(character - 'a' + 10);
  return -1;
}

double clampRounded(double value, double low, double high) {
  return std::clamp(std::round(value), low, high);
}

// A live value in the encoding of `type` and `size`; nothing for a type
// that holds no number.
std::optional<std::vector<std::uint8_t>> encodeNumber(std::uint32_t type, std::size_t size,
                                                      double value) {
  std::uint32_t prefix = type >> 16;
  int integerBits = hexDigit((type >> 8) & 0xFF);
  int fractionBits = hexDigit(type & 0xFF);
  if (size == 2 && integerBits >= 0 && fractionBits >= 0) {
    double scaled = value * std::ldexp(1.0, fractionBits);
    if (prefix == 0x7370 && integerBits + fractionBits == 15) {  // "sp": signed
      auto raw = static_cast<std::int16_t>(clampRounded(scaled, -32768, 32767));
      return bigEndian(static_cast<std::uint16_t>(raw), 2);
    }
    if (prefix == 0x6670 && integerBits + fractionBits == 16) {  // "fp": unsigned
      return bigEndian(static_cast<std::uint64_t>(clampRounded(scaled, 0, 65535)), 2);
    }
  }
  switch (type) {
    case 0x75693820:  // "ui8 "
    case 0x75693800:  // "ui8" and a zero byte
    case 0x62797465:  // "byte"
      if (size == 1) return bigEndian(static_cast<std::uint64_t>(clampRounded(value, 0, 255)), 1);
      break;
    case 0x73693820:  // "si8 "
      if (size == 1) {
        auto raw = static_cast<std::int8_t>(clampRounded(value, -128, 127));
        return bigEndian(static_cast<std::uint8_t>(raw), 1);
      }
      break;
    case 0x75693136:  // "ui16"
      if (size == 2) return bigEndian(static_cast<std::uint64_t>(clampRounded(value, 0, 65535)), 2);
      break;
    case kUnsigned32Type:
      if (size == 4) {
        return bigEndian(static_cast<std::uint64_t>(clampRounded(value, 0, 4294967295.0)), 4);
      }
      break;
    default:
      break;
  }
  return std::nullopt;
}

}  // namespace

const SMCDriverBehaviour::Key* SMCUserClientConnection::findKey(std::uint32_t code) const {
  auto it = std::find_if(state_->keys.begin(), state_->keys.end(),
                         [code](const SMCDriverBehaviour::Key& key) { return key.code == code; });
  return it == state_->keys.end() ? nullptr : &*it;
}

std::vector<std::uint8_t> SMCUserClientConnection::currentBytes(
    const SMCDriverBehaviour::Key& key) const {
  if (auto value = state_->wave.valueNow(key.name)) {
    if (auto encoded = encodeNumber(key.type, key.bytes.size(), *value)) return *encoded;
  }
  return key.bytes;
}

kern_return_t SMCUserClientConnection::callStructureMethod(std::uint32_t selector,
                                                           std::span<const std::uint8_t> input,
                                                           std::span<std::uint8_t> output,
                                                           std::size_t* outputSize) {
  *outputSize = 0;
  if (selector != kMethod) return kIOReturnUnsupported;
  if (input.size() < kRecordSize || output.size() < kRecordSize) return kIOReturnBadArgument;
  const std::uint8_t command = input[kCommandOffset];
  ++state_->calls;
  ++state_->callsByCommand[command];

  std::span<std::uint8_t> record = output.first(kRecordSize);
  std::fill(record.begin(), record.end(), std::uint8_t{0});
  const std::uint32_t code = load32(input, kKeyOffset);

  // "#KEY" is the number of keys unless the profile lists it itself.
  SMCDriverBehaviour::Key keyCount;
  const SMCDriverBehaviour::Key* key = nullptr;
  if (command == kReadKeyInformation || command == kReadBytes) {
    if (state_->failKeys.count(code) != 0) return kIOReturnError;
    key = findKey(code);
    if (key == nullptr && code == kKeyCountKey) {
      keyCount = {kKeyCountKey, kUnsigned32Type, "#KEY", bigEndian(state_->keys.size(), 4)};
      key = &keyCount;
    }
  }

  switch (command) {
    case kReadKeyInformation:
      store32(record, kKeyOffset, code);
      if (key == nullptr) {
        record[kResultOffset] = kKeyNotFound;
        break;
      }
      store32(record, kDataSizeOffset, static_cast<std::uint32_t>(key->bytes.size()));
      store32(record, kDataTypeOffset, key->type);
      break;
    case kReadBytes: {
      store32(record, kKeyOffset, code);
      if (key == nullptr) {
        record[kResultOffset] = kKeyNotFound;
        break;
      }
      std::vector<std::uint8_t> bytes = currentBytes(*key);
      std::size_t wanted = std::min<std::size_t>(load32(input, kDataSizeOffset), kValueBytes);
      std::size_t count = std::min(wanted, bytes.size());
      std::copy_n(bytes.begin(), count, record.subspan(kBytesOffset, kValueBytes).begin());
      break;
    }
    case kKeyAtIndex: {
      std::uint32_t index = load32(input, kIndexOffset);
      if (state_->failIndices.count(index) != 0) return kIOReturnError;
      if (index >= state_->keys.size()) return kIOReturnBadArgument;
      store32(record, kKeyOffset, state_->keys[index].code);
      break;
    }
    default:
      return kIOReturnBadArgument;
  }
  *outputSize = kRecordSize;
  return kIOReturnSuccess;
}

}  // namespace zor
