#include "platform/BinaryPropertyListStrings.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zor {
namespace {

constexpr std::size_t kHeaderSize = 8;  // "bplist00"
constexpr std::size_t kTrailerSize = 32;

// `width` bytes from `offset`, most significant first; the caller checks the bounds.
std::uint64_t bigEndian(std::string_view bytes, std::size_t offset, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < width; ++i) {
    value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
  }
  return value;
}

// The element count of the object whose marker is at `offset` (the marker's
// low four bits, or 15 and an integer object after it) and where its
// elements begin; false when the count does not lie inside the bytes.
bool countOf(std::string_view bytes, std::size_t offset, std::uint64_t* count, std::size_t* start) {
  const unsigned low = static_cast<unsigned char>(bytes[offset]) & 0x0F;
  if (low != 0x0F) {
    *count = low;
    *start = offset + 1;
    return true;
  }
  if (bytes.size() - offset < 2) return false;
  const unsigned integer = static_cast<unsigned char>(bytes[offset + 1]);
  if ((integer & 0xF0) != 0x10 || (integer & 0x0F) > 3) return false;
  const std::size_t width = std::size_t{1} << (integer & 0x0F);
  if (bytes.size() - offset - 2 < width) return false;
  *count = bigEndian(bytes, offset + 2, width);
  *start = offset + 2 + width;
  return true;
}

// True when a position of `zeros` (sorted) lies in [first, first + length).
bool anyWithin(const std::vector<std::size_t>& zeros, std::size_t first, std::size_t length) {
  auto found = std::lower_bound(zeros.begin(), zeros.end(), first);
  return found != zeros.end() && *found - first < length;
}

}  // namespace

bool BinaryPropertyListStrings::holdNul(std::string_view bytes) {
  if (bytes.size() < kHeaderSize + kTrailerSize || bytes.substr(0, 6) != "bplist") return false;
  const std::size_t trailer = bytes.size() - kTrailerSize;
  const std::size_t offsetWidth = static_cast<unsigned char>(bytes[trailer + 6]);
  const std::uint64_t objects = bigEndian(bytes, trailer + 8, 8);
  const std::uint64_t table = bigEndian(bytes, trailer + 24, 8);
  if (offsetWidth < 1 || offsetWidth > 8 || table > trailer) return false;

  // Where a UTF-16 NUL lies, kept apart by the parity of its position as a
  // string's units are. A string running into the offset table or the
  // trailer counts too: libplist refuses it anyway.
  std::vector<std::size_t> zeros[2];
  for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
    if (bytes[i] == 0 && bytes[i + 1] == 0) zeros[i % 2].push_back(i);
  }

  const std::uint64_t listed = std::min<std::uint64_t>(objects, (trailer - table) / offsetWidth);
  for (std::uint64_t n = 0; n < listed; ++n) {
    const std::uint64_t offset = bigEndian(bytes, table + n * offsetWidth, offsetWidth);
    if (offset >= bytes.size() || static_cast<unsigned char>(bytes[offset]) >> 4 != 0x6) continue;
    std::uint64_t count = 0;
    std::size_t start = 0;
    if (!countOf(bytes, offset, &count, &start)) continue;
    const std::uint64_t length = std::min<std::uint64_t>(count, (bytes.size() - start) / 2) * 2;
    if (anyWithin(zeros[start % 2], start, length)) return true;
  }
  return false;
}

}  // namespace zor
