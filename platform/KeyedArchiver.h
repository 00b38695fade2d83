#pragma once
// A keyed archive: typed values stored under text keys and read back by key,
// in any order. The type codes are those of the sequential archive ("i", "I",
// "s", "S", "c", "f", "d", "Q"), plus "@" for strings and "B" for byte
// blocks (a nested archive, for instance). Reading a key that is missing or
// holds another type yields nothing. Used where an archive must stay
// readable when fields are added (the machine description).
//
// Byte form: the magic "ZORK", a version byte, the uint32 entry count, then
// per entry the key (uint32 length, UTF-8), the type code and the payload in
// little-endian order (strings and blocks with a uint32 length). Bytes that
// are truncated, carry an unknown type code or repeat a key are refused whole.

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace zor {

class KeyedArchiver {
 public:
  KeyedArchiver() = default;
  // Parses `bytes`; null when they are not a well-formed keyed archive.
  static std::optional<KeyedArchiver> fromBytes(const std::string& bytes);
  std::string bytes() const;

  void encodeInt32(const std::string& key, std::int32_t value);
  void encodeUInt32(const std::string& key, std::uint32_t value);
  void encodeInt16(const std::string& key, std::int16_t value);
  void encodeUInt16(const std::string& key, std::uint16_t value);
  void encodeInt8(const std::string& key, std::int8_t value);
  void encodeFloat(const std::string& key, float value);
  void encodeDouble(const std::string& key, double value);
  void encodeUInt64(const std::string& key, std::uint64_t value);
  void encodeString(const std::string& key, const std::string& value);
  void encodeBytes(const std::string& key, const std::string& value);

  bool containsValueForKey(const std::string& key) const { return entries_.count(key) != 0; }
  std::size_t count() const { return entries_.size(); }

  std::optional<std::int32_t> decodeInt32(const std::string& key) const;
  std::optional<std::uint32_t> decodeUInt32(const std::string& key) const;
  std::optional<std::int16_t> decodeInt16(const std::string& key) const;
  std::optional<std::uint16_t> decodeUInt16(const std::string& key) const;
  std::optional<std::int8_t> decodeInt8(const std::string& key) const;
  std::optional<float> decodeFloat(const std::string& key) const;
  std::optional<double> decodeDouble(const std::string& key) const;
  std::optional<std::uint64_t> decodeUInt64(const std::string& key) const;
  std::optional<std::string> decodeString(const std::string& key) const;
  std::optional<std::string> decodeBytes(const std::string& key) const;

 private:
  struct Entry {
    char code = 0;
    std::uint64_t bits = 0;  // scalars, zero-extended
    std::string text;        // "@" and "B"
  };
  void put(const std::string& key, char code, std::uint64_t bits);
  const Entry* entry(const std::string& key, char code) const;

  std::map<std::string, Entry> entries_;
};

}  // namespace zor
