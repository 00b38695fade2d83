#include "platform/PropertyListLimits.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace zor {
namespace {

std::string tooDeep() {
  return "nested deeper than " + std::to_string(PropertyListLimits::kMostLevels) + " levels";
}

// --- XML form ----------------------------------------------------------------

bool isNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '.' || c == ':';
}

// The index just past `terminator` from `from`, or npos.
std::size_t pastTerminator(std::string_view text, std::size_t from, std::string_view terminator) {
  const std::size_t at = text.find(terminator, from);
  return at == std::string_view::npos ? at : at + terminator.size();
}

// Past a declaration ("<!DOCTYPE plist [ ... ]>"), whose internal subset may hold '>'.
std::size_t pastDeclaration(std::string_view text, std::size_t from) {
  int brackets = 0;
  for (std::size_t i = from; i < text.size(); ++i) {
    if (text[i] == '[') ++brackets;
    if (text[i] == ']' && brackets > 0) --brackets;
    if (text[i] == '>' && brackets == 0) return i + 1;
  }
  return std::string_view::npos;
}

// The '>' that ends the tag whose name ends at `from`; quoted values may hold one.
std::size_t tagEnd(std::string_view text, std::size_t from) {
  char quote = 0;
  for (std::size_t i = from; i < text.size(); ++i) {
    const char c = text[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i;
    }
  }
  return std::string_view::npos;
}

// Counts open <dict> and <array> elements the way a parser nests them. Text
// and CDATA cannot hold a tag, comments and declarations are passed over; a
// closing tag that does not match the innermost open container closes
// nothing, so the count never falls below what the parser would reach.
std::optional<std::string> xmlRefusal(std::string_view text) {
  std::vector<bool> open;  // innermost last; true for a dictionary
  std::size_t i = 0;
  while ((i = text.find('<', i)) != std::string_view::npos) {
    const std::string_view rest = text.substr(i);
    if (rest.starts_with("<!--")) {
      i = pastTerminator(text, i + 4, "-->");
    } else if (rest.starts_with("<![CDATA[")) {
      i = pastTerminator(text, i + 9, "]]>");
    } else if (rest.starts_with("<?")) {
      i = pastTerminator(text, i + 2, "?>");
    } else if (rest.starts_with("<!")) {
      i = pastDeclaration(text, i + 2);
    } else {
      const bool closing = rest.starts_with("</");
      const std::size_t nameStart = i + (closing ? 2 : 1);
      std::size_t nameEnd = nameStart;
      while (nameEnd < text.size() && isNameCharacter(text[nameEnd])) ++nameEnd;
      const std::string_view name = text.substr(nameStart, nameEnd - nameStart);
      const std::size_t end = tagEnd(text, nameEnd);
      if (end == std::string_view::npos) break;  // unterminated: the parser refuses it
      if (name == "dict" || name == "array") {
        const bool dictionary = name == "dict";
        if (closing) {
          if (!open.empty() && open.back() == dictionary) open.pop_back();
        } else if (text[end - 1] != '/') {
          open.push_back(dictionary);
          if (open.size() > PropertyListLimits::kMostLevels) return tooDeep();
        }
      }
      i = end + 1;
    }
    if (i == std::string_view::npos) break;
  }
  return std::nullopt;
}

// --- Binary form -------------------------------------------------------------

// The layout: "bplist00", the objects, a table of their offsets, and a
// 32-byte trailer (offset width, reference width, object count, top object,
// table offset). Containers are a marker byte (0xA array, 0xD dictionary,
// 0xB/0xC sets), a count (in the low nibble, or 0xF and an integer object
// after it) and the references (a dictionary: its keys', then its values').
class BinaryPropertyList {
 public:
  static constexpr std::size_t kHeader = 8;
  static constexpr std::size_t kTrailer = 32;

  explicit BinaryPropertyList(std::string_view bytes) : bytes_(bytes) {}

  bool readTrailer() {
    if (bytes_.size() < kHeader + kTrailer) return false;
    end_ = bytes_.size() - kTrailer;
    offsetWidth_ = static_cast<std::uint8_t>(bytes_[end_ + 6]);
    referenceWidth_ = static_cast<std::uint8_t>(bytes_[end_ + 7]);
    auto count = number(end_ + 8, 8);
    auto top = number(end_ + 16, 8);
    auto table = number(end_ + 24, 8);
    if (offsetWidth_ < 1 || offsetWidth_ > 8 || referenceWidth_ < 1 || referenceWidth_ > 8 ||
        !count || !top || !table || *count == 0 || *top >= *count || *table < kHeader ||
        *table >= end_ || *count > (end_ - *table) / offsetWidth_) {
      return false;
    }
    count_ = *count;
    top_ = *top;
    table_ = *table;
    return true;
  }

  std::uint64_t objectCount() const { return count_; }
  std::uint64_t topObject() const { return top_; }

  // An object's references: whether it is a container, where they start
  // and how many. False when the object lies outside the file.
  bool references(std::uint64_t object, bool* container, std::size_t* first,
                  std::uint64_t* count) const {
    auto offset = number(table_ + object * offsetWidth_, offsetWidth_);
    if (!offset || *offset < kHeader || *offset >= end_) return false;
    const auto marker = static_cast<std::uint8_t>(bytes_[*offset]);
    const unsigned type = marker >> 4;
    *count = 0;
    *container = type >= 0xA && type <= 0xD;
    if (!*container) return true;
    std::size_t at = *offset + 1;
    std::uint64_t items = marker & 0x0F;
    if (items == 0x0F) {
      if (at >= end_) return false;
      const auto integer = static_cast<std::uint8_t>(bytes_[at]);
      const std::size_t width = std::size_t{1} << (integer & 0x0F);
      if ((integer >> 4) != 0x1 || width > 8) return false;
      auto read = number(at + 1, width);
      if (!read) return false;
      items = *read;
      at += 1 + width;
    }
    const std::uint64_t perItem = type == 0xD ? 2 : 1;
    if (at > end_ || items > (end_ - at) / referenceWidth_ / perItem) return false;
    *first = at;
    *count = items * perItem;
    return true;
  }

  std::optional<std::uint64_t> reference(std::size_t first, std::uint64_t index) const {
    auto object = number(first + index * referenceWidth_, referenceWidth_);
    if (!object || *object >= count_) return std::nullopt;
    return object;
  }

 private:
  // A big-endian number of `width` bytes at `at`, inside the objects and table.
  std::optional<std::uint64_t> number(std::size_t at, std::size_t width) const {
    if (at > bytes_.size() || width > bytes_.size() - at) return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
      value = (value << 8) | static_cast<std::uint8_t>(bytes_[at + i]);
    }
    return value;
  }

  std::string_view bytes_;
  std::size_t end_ = 0;  // where the trailer starts
  std::size_t offsetWidth_ = 0;
  std::size_t referenceWidth_ = 0;
  std::uint64_t count_ = 0;
  std::uint64_t top_ = 0;
  std::uint64_t table_ = 0;
};

// Walks the references from the top object depth first with a stack of its
// own, once per object: a shared object's values and height are kept, so a
// file that refers to one object many times is walked in linear time while
// its written-out size still counts every reference.
std::optional<std::string> binaryRefusal(std::string_view bytes) {
  const std::string damaged = "damaged binary property list";
  BinaryPropertyList plist(bytes);
  if (!plist.readTrailer()) return damaged;
  constexpr std::uint32_t kUnvisited = 0;
  constexpr std::uint32_t kOnPath = UINT32_MAX;
  constexpr auto kMostValues = static_cast<std::uint32_t>(PropertyListLimits::kMostValues);
  std::vector<std::uint32_t> values(plist.objectCount(), kUnvisited);
  std::vector<std::uint16_t> heights(plist.objectCount(), 0);
  struct Container {
    std::uint64_t object;
    std::size_t first;
    std::uint64_t count;
    std::uint64_t next = 0;
    std::uint32_t values = 1;
    std::uint16_t height = 1;
  };
  std::vector<Container> path;

  auto enter = [&](std::uint64_t object) -> std::optional<std::string> {
    Container container{object, 0, 0};
    bool isContainer = false;
    if (!plist.references(object, &isContainer, &container.first, &container.count)) {
      return damaged;
    }
    if (isContainer && path.size() >= PropertyListLimits::kMostLevels) return tooDeep();
    if (container.count == 0) {
      values[object] = 1;
      heights[object] = isContainer ? 1 : 0;
      return std::nullopt;
    }
    values[object] = kOnPath;
    path.push_back(container);
    return std::nullopt;
  };
  // Adds a finished object to the container that refers to it.
  auto account = [&](Container& parent, std::uint64_t child) -> std::optional<std::string> {
    parent.values = std::min(parent.values + values[child], kMostValues + 1);
    parent.height = std::max<std::uint16_t>(parent.height, heights[child] + 1);
    if (parent.values > kMostValues) return std::string("too many values");
    if (path.size() + heights[child] > PropertyListLimits::kMostLevels) return tooDeep();
    return std::nullopt;
  };

  if (auto refused = enter(plist.topObject())) return refused;
  while (!path.empty()) {
    Container& current = path.back();
    if (current.next == current.count) {
      const Container done = current;
      path.pop_back();
      values[done.object] = done.values;
      heights[done.object] = done.height;
      if (!path.empty()) {
        if (auto refused = account(path.back(), done.object)) return refused;
      }
      continue;
    }
    auto child = plist.reference(current.first, current.next++);
    if (!child) return damaged;
    if (values[*child] == kOnPath) return damaged + " (an object holds itself)";
    if (values[*child] == kUnvisited) {
      if (auto refused = enter(*child)) return refused;
      if (values[*child] == kOnPath) continue;  // walked first; accounted when done
    }
    if (auto refused = account(path.back(), *child)) return refused;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> PropertyListLimits::refusal(std::string_view bytes) {
  // The converter reads the binary form by this exact header, anything else as XML.
  if (bytes.starts_with("bplist00")) return binaryRefusal(bytes);
  return xmlRefusal(bytes);
}

}  // namespace zor
