#include "platform/SequentialArchiver.h"

#include <bit>
#include <limits>

#include "platform/Archivable.h"

namespace zor {
namespace {

constexpr std::string_view kMagic = "ZORA";
constexpr char kVersion = 1;
constexpr char kObjectCode = '@';
constexpr char kObjectEnd = '}';
enum ObjectKind : std::uint8_t { kNone = 0, kString = 1, kArchivable = 2 };

}  // namespace

SequentialArchiver::SequentialArchiver() {
  bytes_.append(kMagic);
  bytes_.push_back(kVersion);
}

SequentialArchiver::SequentialArchiver(std::string bytes)
    : bytes_(std::move(bytes)), decoding_(true) {
  if (bytes_.size() < kMagic.size() + 1 ||
      std::string_view(bytes_).substr(0, kMagic.size()) != kMagic ||
      bytes_[kMagic.size()] != kVersion) {
    failed_ = true;
    return;
  }
  position_ = kMagic.size() + 1;
}

void SequentialArchiver::putCode(char code) {
  bytes_.push_back(code);
}

void SequentialArchiver::putBytes(const void* data, std::size_t size) {
  bytes_.append(static_cast<const char*>(data), size);
}

template <typename Unsigned>
void SequentialArchiver::putLittleEndian(Unsigned value) {
  for (std::size_t i = 0; i < sizeof(Unsigned); ++i) {
    bytes_.push_back(static_cast<char>(static_cast<std::uint8_t>(value >> (8 * i))));
  }
}

bool SequentialArchiver::fail() {
  failed_ = true;
  return false;
}

bool SequentialArchiver::takeCode(char code) {
  if (!decoding_ || failed_) return fail();
  if (position_ >= bytes_.size() || bytes_[position_] != code) return fail();
  ++position_;
  return true;
}

template <typename Unsigned>
bool SequentialArchiver::takeLittleEndian(Unsigned& value) {
  if (failed_ || bytes_.size() - position_ < sizeof(Unsigned)) return fail();
  Unsigned result = 0;
  for (std::size_t i = 0; i < sizeof(Unsigned); ++i) {
    result |= static_cast<Unsigned>(
        static_cast<Unsigned>(static_cast<std::uint8_t>(bytes_[position_ + i])) << (8 * i));
  }
  position_ += sizeof(Unsigned);
  value = result;
  return true;
}

bool SequentialArchiver::takeString(std::string& value) {
  std::uint32_t length = 0;
  if (!takeLittleEndian(length)) return false;
  if (bytes_.size() - position_ < length) return fail();
  value.assign(bytes_, position_, length);
  position_ += length;
  return true;
}

void SequentialArchiver::encodeInt32(std::int32_t value) {
  putCode('i');
  putLittleEndian(static_cast<std::uint32_t>(value));
}
void SequentialArchiver::encodeUInt32(std::uint32_t value) {
  putCode('I');
  putLittleEndian(value);
}
void SequentialArchiver::encodeInt16(std::int16_t value) {
  putCode('s');
  putLittleEndian(static_cast<std::uint16_t>(value));
}
void SequentialArchiver::encodeUInt16(std::uint16_t value) {
  putCode('S');
  putLittleEndian(value);
}
void SequentialArchiver::encodeInt8(std::int8_t value) {
  putCode('c');
  putLittleEndian(static_cast<std::uint8_t>(value));
}
void SequentialArchiver::encodeFloat(float value) {
  putCode('f');
  putLittleEndian(std::bit_cast<std::uint32_t>(value));
}
void SequentialArchiver::encodeDouble(double value) {
  putCode('d');
  putLittleEndian(std::bit_cast<std::uint64_t>(value));
}
void SequentialArchiver::encodeUInt64(std::uint64_t value) {
  putCode('Q');
  putLittleEndian(value);
}

void SequentialArchiver::encodeString(const std::optional<std::string>& value) {
  putCode(kObjectCode);
  if (!value) {
    putLittleEndian(static_cast<std::uint8_t>(kNone));
    return;
  }
  putLittleEndian(static_cast<std::uint8_t>(kString));
  putLittleEndian(static_cast<std::uint32_t>(value->size()));
  putBytes(value->data(), value->size());
}

void SequentialArchiver::encodeObject(const Archivable* object) {
  putCode(kObjectCode);
  if (object == nullptr) {
    putLittleEndian(static_cast<std::uint8_t>(kNone));
    return;
  }
  putLittleEndian(static_cast<std::uint8_t>(kArchivable));
  std::string name = object->archiveClassName();
  putLittleEndian(static_cast<std::uint32_t>(name.size()));
  putBytes(name.data(), name.size());
  object->encodeWithCoder(*this);
  putCode(kObjectEnd);
}

bool SequentialArchiver::decodeInt32(std::int32_t& value) {
  std::uint32_t bits = 0;
  if (!takeCode('i') || !takeLittleEndian(bits)) return false;
  value = static_cast<std::int32_t>(bits);
  return true;
}
bool SequentialArchiver::decodeUInt32(std::uint32_t& value) {
  return takeCode('I') && takeLittleEndian(value);
}
bool SequentialArchiver::decodeInt16(std::int16_t& value) {
  std::uint16_t bits = 0;
  if (!takeCode('s') || !takeLittleEndian(bits)) return false;
  value = static_cast<std::int16_t>(bits);
  return true;
}
bool SequentialArchiver::decodeUInt16(std::uint16_t& value) {
  return takeCode('S') && takeLittleEndian(value);
}
bool SequentialArchiver::decodeInt8(std::int8_t& value) {
  std::uint8_t bits = 0;
  if (!takeCode('c') || !takeLittleEndian(bits)) return false;
  value = static_cast<std::int8_t>(bits);
  return true;
}
bool SequentialArchiver::decodeFloat(float& value) {
  std::uint32_t bits = 0;
  if (!takeCode('f') || !takeLittleEndian(bits)) return false;
  value = std::bit_cast<float>(bits);
  return true;
}
bool SequentialArchiver::decodeDouble(double& value) {
  std::uint64_t bits = 0;
  if (!takeCode('d') || !takeLittleEndian(bits)) return false;
  value = std::bit_cast<double>(bits);
  return true;
}
bool SequentialArchiver::decodeUInt64(std::uint64_t& value) {
  return takeCode('Q') && takeLittleEndian(value);
}

bool SequentialArchiver::decodeString(std::optional<std::string>& value) {
  std::uint8_t kind = 0;
  if (!takeCode(kObjectCode) || !takeLittleEndian(kind)) return false;
  if (kind == kNone) {
    value.reset();
    return true;
  }
  std::string text;
  if (kind != kString || !takeString(text)) return fail();
  value = std::move(text);
  return true;
}

bool SequentialArchiver::decodeObject(Archivable& object) {
  bool isNone = false;
  if (!decodeObject(object, isNone)) return false;
  return isNone ? fail() : true;
}

bool SequentialArchiver::decodeObject(Archivable& object, bool& isNone) {
  std::uint8_t kind = 0;
  if (!takeCode(kObjectCode) || !takeLittleEndian(kind)) return false;
  isNone = kind == kNone;
  if (isNone) return true;
  std::string name;
  if (kind != kArchivable || !takeString(name)) return fail();
  if (name != object.archiveClassName()) return fail();
  // The object must read exactly the values it wrote: the end marker follows.
  if (!object.initWithCoder(*this)) return fail();
  return takeCode(kObjectEnd);
}

}  // namespace zor
