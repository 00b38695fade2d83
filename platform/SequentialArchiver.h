#pragma once
// A sequential archive: typed values written one after the other and read
// back in the same order, each checked against the type code it was written
// with ("i" int32, "I" uint32, "s" int16, "S" uint16, "c" int8, "f" float,
// "d" double, "Q" uint64, "@" object). Used by the sensor model's archiving
// (converter, sensor, sensor description) and by the port coder.
//
// Byte form: the magic "ZORA", a format version byte, then per value its type
// code and its payload in little-endian order. An object is a kind byte
// (0 none, 1 string, 2 archivable) followed by the string (uint32 length and
// UTF-8 bytes) or by the class name and the object's own values and an end
// marker. A decoder that meets another type code than asked, a truncated
// value or a bad header fails, stays failed and never reads past the end.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zor {

class Archivable;

class SequentialArchiver {
 public:
  // An empty archive for encoding.
  SequentialArchiver();
  // An archive for decoding `bytes`; failed() at once when the header is wrong.
  explicit SequentialArchiver(std::string bytes);
  virtual ~SequentialArchiver() = default;

  bool isDecoding() const { return decoding_; }
  // True once any decode has failed (and for an encoder asked to decode).
  bool failed() const { return failed_; }
  // True when a decoder has consumed every value.
  bool atEnd() const { return decoding_ && position_ == bytes_.size(); }
  // The archive's bytes (header included).
  const std::string& bytes() const { return bytes_; }

  void encodeInt32(std::int32_t value);
  void encodeUInt32(std::uint32_t value);
  void encodeInt16(std::int16_t value);
  void encodeUInt16(std::uint16_t value);
  void encodeInt8(std::int8_t value);
  void encodeFloat(float value);
  void encodeDouble(double value);
  void encodeUInt64(std::uint64_t value);
  // A string object, or the none object.
  void encodeString(const std::optional<std::string>& value);
  // An archivable object (its class name and values), or the none object for null.
  void encodeObject(const Archivable* object);

  // Each returns false (and leaves `value` alone) on a type mismatch, a
  // truncated archive or an earlier failure.
  bool decodeInt32(std::int32_t& value);
  bool decodeUInt32(std::uint32_t& value);
  bool decodeInt16(std::int16_t& value);
  bool decodeUInt16(std::uint16_t& value);
  bool decodeInt8(std::int8_t& value);
  bool decodeFloat(float& value);
  bool decodeDouble(double& value);
  bool decodeUInt64(std::uint64_t& value);
  // A string object or the none object (nullopt).
  bool decodeString(std::optional<std::string>& value);
  // Reads an archivable object into `object`, which must carry the class
  // name written; false for the none object, another class or a failure.
  bool decodeObject(Archivable& object);
  // The same, but the none object is accepted: true with `isNone` set.
  bool decodeObject(Archivable& object, bool& isNone);

 private:
  void putCode(char code);
  void putBytes(const void* data, std::size_t size);
  template <typename Unsigned>
  void putLittleEndian(Unsigned value);
  bool takeCode(char code);
  template <typename Unsigned>
  bool takeLittleEndian(Unsigned& value);
  bool takeString(std::string& value);
  bool fail();

  std::string bytes_;
  std::size_t position_ = 0;
  bool decoding_ = false;
  bool failed_ = false;
};

}  // namespace zor
