// The decoding of SMC value records (the controller's private group): data
// types and sizes to numbers, texts and byte blocks; the fixed-point
// divisors; the text forms used for diagnostics.

#include <algorithm>
#include <charconv>
#include <cmath>

#include "platform/StringFormat.h"
#include "smc/MacRomanText.h"
#include "smc/ZORSystemManagementController.h"

namespace zor {
namespace {

constexpr std::uint32_t fourCC(const char (&text)[5]) {
  return (static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[0])) << 24) |
         (static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[1])) << 16) |
         (static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[2])) << 8) |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[3]));
}

struct FixedPointCode {
  std::uint32_t code;
  float divisor;
};

// X integer bits and Y fraction bits: divisor 2^Y. Unsigned codes have 16
// bits in all, signed ones 15 and a sign.
constexpr FixedPointCode kFixedPointCodes[] = {
    {fourCC("fp1f"), 32768.0f}, {fourCC("fp2e"), 16384.0f}, {fourCC("fp3d"), 8192.0f},
    {fourCC("fp4c"), 4096.0f},  {fourCC("fp5b"), 2048.0f},  {fourCC("fp6a"), 1024.0f},
    {fourCC("fp79"), 512.0f},   {fourCC("fp88"), 256.0f},   {fourCC("fp97"), 128.0f},
    {fourCC("fpa6"), 64.0f},    {fourCC("fpb5"), 32.0f},    {fourCC("fpc4"), 16.0f},
    {fourCC("fpd3"), 8.0f},     {fourCC("fpe2"), 4.0f},     {fourCC("fpf1"), 2.0f},
    {fourCC("sp0f"), 32768.0f}, {fourCC("sp1e"), 16384.0f}, {fourCC("sp2d"), 8192.0f},
    {fourCC("sp3c"), 4096.0f},  {fourCC("sp4b"), 2048.0f},  {fourCC("sp5a"), 1024.0f},
    {fourCC("sp69"), 512.0f},   {fourCC("sp78"), 256.0f},   {fourCC("sp87"), 128.0f},
    {fourCC("sp96"), 64.0f},    {fourCC("spa5"), 32.0f},    {fourCC("spb4"), 16.0f},
    {fourCC("spc3"), 8.0f},     {fourCC("spd2"), 4.0f},     {fourCC("spe1"), 2.0f},
    {fourCC("spf0"), 1.0f},
};

constexpr std::uint32_t kSignedPrefix = 0x7370;    // "sp"
constexpr std::uint32_t kUnsignedPrefix = 0x6670;  // "fp"

std::uint16_t bigEndian16(const _ZORSMCValue& value, std::size_t offset) {
  return static_cast<std::uint16_t>((value.bytes.at(offset) << 8) | value.bytes.at(offset + 1));
}

std::uint32_t bigEndian32(const _ZORSMCValue& value, std::size_t offset) {
  return (std::uint32_t{value.bytes.at(offset)} << 24) |
         (std::uint32_t{value.bytes.at(offset + 1)} << 16) |
         (std::uint32_t{value.bytes.at(offset + 2)} << 8) |
         std::uint32_t{value.bytes.at(offset + 3)};
}

std::int32_t signedByte(std::uint8_t byte) {
  return static_cast<std::int8_t>(byte);
}

}  // namespace

std::optional<PlistValue> ZORSystemManagementController::objectValueForSMCValue(
    const _ZORSMCValue* value) {
  if (value == nullptr || value->dataSize == 0) return std::nullopt;
  // Sizes above 32 are cut: there are no more value bytes.
  const std::size_t size = std::min<std::size_t>(value->dataSize, value->bytes.size());
  const std::uint32_t type = value->dataType;
  const std::uint32_t prefix = type >> 16;

  if ((type == fourCC("ui8 ") || type == 0x75693800u /* "ui8" and a zero byte */ ||
       type == fourCC("byte")) &&
      size == 1) {
    return PlistValue::unsignedInteger(value->bytes[0]);
  }
  if (type == fourCC("si8 ") && size == 1) return PlistValue::integer(signedByte(value->bytes[0]));
  if (type == fourCC("ui16") && size == 2)
    return PlistValue::unsignedInteger(bigEndian16(*value, 0));
  if (type == fourCC("ui32") && size == 4)
    return PlistValue::unsignedInteger(bigEndian32(*value, 0));
  if (type == fourCC("flag") && size == 1) return PlistValue::boolean(value->bytes[0] == 1);
  if ((prefix == kSignedPrefix || prefix == kUnsignedPrefix) && size == 2) {
    float divisor = divisorForFloatingPointCode(type);
    if (divisor > 0.0f) {
      std::uint16_t raw = bigEndian16(*value, 0);
      float number = prefix == kSignedPrefix
                         ? static_cast<float>(static_cast<std::int16_t>(raw)) / divisor
                         : static_cast<float>(raw) / divisor;
      return PlistValue::real(number);
    }
  }
  if (type == fourCC("ch8*")) {
    return PlistValue(MacRomanText::decode(std::span(value->bytes).first(size)));
  }
  if (type == fourCC("{rev") && size == 6) {
    return PlistValue(formatString("%d.%d%x%d", signedByte(value->bytes[0]),
                                   signedByte(value->bytes[1]),
                                   static_cast<unsigned>(signedByte(value->bytes[2])),
                                   static_cast<int>(bigEndian16(*value, 4))));
  }
  if (type == fourCC("{fds") && size == 16) {
    auto text = std::span(value->bytes).subspan(4, 12);
    auto end = std::find(text.begin(), text.end(), std::uint8_t{0});
    return PlistValue(
        MacRomanText::decode(text.first(static_cast<std::size_t>(end - text.begin()))));
  }
  if (type == fourCC("{alv") && size == 6)
    return PlistValue::unsignedInteger(bigEndian16(*value, 2));
  return PlistValue(PlistData(value->bytes.begin(), value->bytes.begin() + size));
}

float ZORSystemManagementController::divisorForFloatingPointCode(std::uint32_t code) {
  for (const FixedPointCode& known : kFixedPointCodes) {
    if (known.code == code) return known.divisor;
  }
  return -1.0f;
}

std::string ZORSystemManagementController::numberText(const PlistValue& number) {
  if (number.isBoolean()) return *number.boolValue() ? "1" : "0";
  if (number.isReal()) {
    // Decoded reals are 32-bit floats: their shortest text round-trips the float.
    std::array<char, 64> text{};
    auto [end, error] = std::to_chars(text.data(), text.data() + text.size(),
                                      static_cast<float>(*number.realValue()));
    if (error != std::errc()) return formatString("%g", *number.realValue());
    return std::string(text.data(), end);
  }
  if (number.isUnsignedInteger()) {
    return std::to_string(static_cast<std::uint64_t>(*number.integerValue()));
  }
  return std::to_string(*number.integerValue());
}

std::optional<std::string> ZORSystemManagementController::descriptionForSMCValue(
    const _ZORSMCValue* value) {
  if (value == nullptr) return std::string("nil");
  auto decoded = objectValueForSMCValue(value);
  if (!decoded) return std::nullopt;
  if (const std::string* text = decoded->asString()) return *text;
  if (const PlistData* bytes = decoded->asData()) return readableHexStringForData(bytes);
  return numberText(*decoded);
}

std::optional<std::string> ZORSystemManagementController::readableHexStringForData(
    const PlistData* data) {
  if (data == nullptr) return std::nullopt;
  std::string text;
  for (std::uint8_t byte : *data) text += formatString("%02x ", byte);
  return text;
}

}  // namespace zor
