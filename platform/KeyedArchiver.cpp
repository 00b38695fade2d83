#include "platform/KeyedArchiver.h"

#include <bit>
#include <string_view>

namespace zor {
namespace {

constexpr std::string_view kMagic = "ZORK";
constexpr char kVersion = 1;

// Payload size of a scalar type code; 0 for codes with a length prefix, -1 for unknown codes.
int scalarSize(char code) {
  switch (code) {
    case 'c':
      return 1;
    case 's':
    case 'S':
      return 2;
    case 'i':
    case 'I':
    case 'f':
      return 4;
    case 'd':
    case 'Q':
      return 8;
    case '@':
    case 'B':
      return 0;
    default:
      return -1;
  }
}

void putLittleEndian(std::string& out, std::uint64_t value, int size) {
  for (int i = 0; i < size; ++i)
    out.push_back(static_cast<char>(static_cast<std::uint8_t>(value >> (8 * i))));
}

class Reader {
 public:
  explicit Reader(const std::string& bytes) : bytes_(bytes) {}
  bool take(std::uint64_t& value, std::size_t size) {
    if (bytes_.size() - position_ < size) return false;
    value = 0;
    for (std::size_t i = 0; i < size; ++i) {
      value |= static_cast<std::uint64_t>(static_cast<std::uint8_t>(bytes_[position_ + i]))
               << (8 * i);
    }
    position_ += size;
    return true;
  }
  bool takeText(std::string& text) {
    std::uint64_t length = 0;
    if (!take(length, 4) || bytes_.size() - position_ < length) return false;
    text.assign(bytes_, position_, static_cast<std::size_t>(length));
    position_ += static_cast<std::size_t>(length);
    return true;
  }
  bool takeRaw(std::string_view expected) {
    if (bytes_.size() - position_ < expected.size()) return false;
    if (std::string_view(bytes_).substr(position_, expected.size()) != expected) return false;
    position_ += expected.size();
    return true;
  }
  bool atEnd() const { return position_ == bytes_.size(); }

 private:
  const std::string& bytes_;
  std::size_t position_ = 0;
};

}  // namespace

std::optional<KeyedArchiver> KeyedArchiver::fromBytes(const std::string& bytes) {
  Reader reader(bytes);
  std::uint64_t count = 0;
  if (!reader.takeRaw(kMagic) || !reader.takeRaw(std::string_view(&kVersion, 1)) ||
      !reader.take(count, 4)) {
    return std::nullopt;
  }
  KeyedArchiver archive;
  for (std::uint64_t i = 0; i < count; ++i) {
    std::string key;
    std::uint64_t code = 0;
    if (!reader.takeText(key) || !reader.take(code, 1)) return std::nullopt;
    Entry entry;
    entry.code = static_cast<char>(code);
    int size = scalarSize(entry.code);
    if (size < 0) return std::nullopt;
    bool ok = size == 0 ? reader.takeText(entry.text)
                        : reader.take(entry.bits, static_cast<std::size_t>(size));
    if (!ok) return std::nullopt;
    if (!archive.entries_.emplace(std::move(key), std::move(entry)).second) return std::nullopt;
  }
  if (!reader.atEnd()) return std::nullopt;
  return archive;
}

std::string KeyedArchiver::bytes() const {
  std::string out(kMagic);
  out.push_back(kVersion);
  putLittleEndian(out, entries_.size(), 4);
  for (const auto& [key, entry] : entries_) {
    putLittleEndian(out, key.size(), 4);
    out += key;
    out.push_back(entry.code);
    int size = scalarSize(entry.code);
    if (size == 0) {
      putLittleEndian(out, entry.text.size(), 4);
      out += entry.text;
    } else {
      putLittleEndian(out, entry.bits, size);
    }
  }
  return out;
}

void KeyedArchiver::put(const std::string& key, char code, std::uint64_t bits) {
  entries_[key] = Entry{code, bits, {}};
}

void KeyedArchiver::encodeInt32(const std::string& key, std::int32_t value) {
  put(key, 'i', static_cast<std::uint32_t>(value));
}
void KeyedArchiver::encodeUInt32(const std::string& key, std::uint32_t value) {
  put(key, 'I', value);
}
void KeyedArchiver::encodeInt16(const std::string& key, std::int16_t value) {
  put(key, 's', static_cast<std::uint16_t>(value));
}
void KeyedArchiver::encodeUInt16(const std::string& key, std::uint16_t value) {
  put(key, 'S', value);
}
void KeyedArchiver::encodeInt8(const std::string& key, std::int8_t value) {
  put(key, 'c', static_cast<std::uint8_t>(value));
}
void KeyedArchiver::encodeFloat(const std::string& key, float value) {
  put(key, 'f', std::bit_cast<std::uint32_t>(value));
}
void KeyedArchiver::encodeDouble(const std::string& key, double value) {
  put(key, 'd', std::bit_cast<std::uint64_t>(value));
}
void KeyedArchiver::encodeUInt64(const std::string& key, std::uint64_t value) {
  put(key, 'Q', value);
}
void KeyedArchiver::encodeString(const std::string& key, const std::string& value) {
  entries_[key] = Entry{'@', 0, value};
}
void KeyedArchiver::encodeBytes(const std::string& key, const std::string& value) {
  entries_[key] = Entry{'B', 0, value};
}

const KeyedArchiver::Entry* KeyedArchiver::entry(const std::string& key, char code) const {
  auto found = entries_.find(key);
  if (found == entries_.end() || found->second.code != code) return nullptr;
  return &found->second;
}

std::optional<std::int32_t> KeyedArchiver::decodeInt32(const std::string& key) const {
  const Entry* e = entry(key, 'i');
  if (!e) return std::nullopt;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(e->bits));
}
std::optional<std::uint32_t> KeyedArchiver::decodeUInt32(const std::string& key) const {
  const Entry* e = entry(key, 'I');
  if (!e) return std::nullopt;
  return static_cast<std::uint32_t>(e->bits);
}
std::optional<std::int16_t> KeyedArchiver::decodeInt16(const std::string& key) const {
  const Entry* e = entry(key, 's');
  if (!e) return std::nullopt;
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(e->bits));
}
std::optional<std::uint16_t> KeyedArchiver::decodeUInt16(const std::string& key) const {
  const Entry* e = entry(key, 'S');
  if (!e) return std::nullopt;
  return static_cast<std::uint16_t>(e->bits);
}
std::optional<std::int8_t> KeyedArchiver::decodeInt8(const std::string& key) const {
  const Entry* e = entry(key, 'c');
  if (!e) return std::nullopt;
  return static_cast<std::int8_t>(static_cast<std::uint8_t>(e->bits));
}
std::optional<float> KeyedArchiver::decodeFloat(const std::string& key) const {
  const Entry* e = entry(key, 'f');
  if (!e) return std::nullopt;
  return std::bit_cast<float>(static_cast<std::uint32_t>(e->bits));
}
std::optional<double> KeyedArchiver::decodeDouble(const std::string& key) const {
  const Entry* e = entry(key, 'd');
  if (!e) return std::nullopt;
  return std::bit_cast<double>(e->bits);
}
std::optional<std::uint64_t> KeyedArchiver::decodeUInt64(const std::string& key) const {
  const Entry* e = entry(key, 'Q');
  if (!e) return std::nullopt;
  return e->bits;
}
std::optional<std::string> KeyedArchiver::decodeString(const std::string& key) const {
  const Entry* e = entry(key, '@');
  if (!e) return std::nullopt;
  return e->text;
}
std::optional<std::string> KeyedArchiver::decodeBytes(const std::string& key) const {
  const Entry* e = entry(key, 'B');
  if (!e) return std::nullopt;
  return e->text;
}

}  // namespace zor
