#include "smart/ZORATADeviceIdentification.h"

namespace zor {

namespace {

std::vector<std::uint8_t> fieldAt(std::span<const std::uint8_t> block, std::size_t offset,
                                  std::size_t size) {
  auto field = block.subspan(offset, size);
  return std::vector<std::uint8_t>(field.begin(), field.end());
}

bool isWhitespace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

std::optional<ZORATADeviceIdentification> ZORATADeviceIdentification::decode(
    std::span<const std::uint8_t> block) {
  if (block.size() < kSize) return std::nullopt;
  ZORATADeviceIdentification identification;
  identification.serialNumberField = fieldAt(block, kSerialNumberOffset, kSerialNumberSize);
  identification.firmwareRevisionField =
      fieldAt(block, kFirmwareRevisionOffset, kFirmwareRevisionSize);
  identification.modelNumberField = fieldAt(block, kModelNumberOffset, kModelNumberSize);
  return identification;
}

std::optional<std::string> ZORATADeviceIdentification::textOfATAString(
    std::span<const std::uint8_t> field) {
  if (field.size() % 2 != 0) return std::nullopt;
  std::string text;
  for (std::size_t i = 0; i < field.size(); i += 2) {
    // The first character of a word sits in its high byte, which comes second.
    for (std::uint8_t c : {field[i + 1], field[i]}) {
      // Printable in the C locale, whatever locale the process runs in.
      if (c >= 0x20 && c <= 0x7e) text.push_back(static_cast<char>(c));
    }
  }
  std::size_t first = 0;
  while (first < text.size() && isWhitespace(text[first])) ++first;
  std::size_t last = text.size();
  while (last > first && isWhitespace(text[last - 1])) --last;
  return text.substr(first, last - first);
}

}  // namespace zor
