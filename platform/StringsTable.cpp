#include "platform/StringsTable.h"

#include <algorithm>
#include <cstdint>

#include "platform/SystemLog.h"
#include "platform/Utf8.h"

namespace zor {
namespace {

// Brings the file to UTF-8: strips a UTF-8 byte-order mark and converts
// UTF-16 in either byte order (an odd last byte is dropped).
std::string toUtf8(std::string_view bytes) {
  auto byteAt = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
  if (bytes.size() >= 3 && byteAt(0) == 0xEF && byteAt(1) == 0xBB && byteAt(2) == 0xBF) {
    return std::string(bytes.substr(3));
  }
  if (bytes.size() >= 2 &&
      ((byteAt(0) == 0xFF && byteAt(1) == 0xFE) || (byteAt(0) == 0xFE && byteAt(1) == 0xFF))) {
    const bool littleEndian = byteAt(0) == 0xFF;
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      const std::uint16_t first = byteAt(i);
      const std::uint16_t second = byteAt(i + 1);
      units.push_back(
          static_cast<char16_t>(littleEndian ? (second << 8) | first : (first << 8) | second));
    }
    return Utf8::fromUtf16(units);
  }
  return std::string(bytes);
}

bool isBareChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || c == '+' || c == '/' || c == ':' || c == '.' || c == '-';
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  // Skips white space and comments; false on a comment that never ends.
  bool skipBlank() {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
        ++pos_;
      } else if (text_.compare(pos_, 2, "//") == 0) {
        const std::size_t end = text_.find('\n', pos_);
        pos_ = end == std::string_view::npos ? text_.size() : end + 1;
      } else if (text_.compare(pos_, 2, "/*") == 0) {
        const std::size_t end = text_.find("*/", pos_ + 2);
        if (end == std::string_view::npos) return false;
        pos_ = end + 2;
      } else {
        break;
      }
    }
    return true;
  }

  bool atEnd() const { return pos_ >= text_.size(); }
  std::size_t position() const { return pos_; }
  void moveTo(std::size_t position) { pos_ = std::min(position, text_.size()); }
  char peek() const { return atEnd() ? '\0' : text_[pos_]; }
  void advance() { ++pos_; }

  // A quoted string with escapes, or a bare word.
  bool readString(std::string& out) {
    out.clear();
    if (peek() == '"') return readQuoted(out);
    const std::size_t start = pos_;
    while (!atEnd() && isBareChar(text_[pos_])) ++pos_;
    if (pos_ == start) return false;
    out.assign(text_.substr(start, pos_ - start));
    return true;
  }

 private:
  bool readQuoted(std::string& out) {
    ++pos_;                       // opening quote
    std::u16string pendingUnits;  // a run of \U escapes, joined as UTF-16
    auto flushUnits = [&] {
      if (!pendingUnits.empty()) {
        out += Utf8::fromUtf16(pendingUnits);
        pendingUnits.clear();
      }
    };
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '"') {
        flushUnits();
        return true;
      }
      if (c != '\\') {
        flushUnits();
        out.push_back(c);
        continue;
      }
      if (pos_ >= text_.size()) return false;
      const char escape = text_[pos_++];
      if (escape == 'U' || escape == 'u') {
        if (pos_ + 4 > text_.size()) return false;
        std::uint32_t unit = 0;
        for (int i = 0; i < 4; ++i) {
          const int digit = hexValue(text_[pos_ + static_cast<std::size_t>(i)]);
          if (digit < 0) return false;
          unit = (unit << 4) | static_cast<std::uint32_t>(digit);
        }
        pos_ += 4;
        pendingUnits.push_back(static_cast<char16_t>(unit));
        continue;
      }
      flushUnits();
      if (escape >= '0' && escape <= '7') {
        // Up to three octal digits name a character of the Latin-1 range.
        std::uint32_t value = static_cast<std::uint32_t>(escape - '0');
        for (int i = 0; i < 2 && pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '7';
             ++i) {
          value = value * 8 + static_cast<std::uint32_t>(text_[pos_++] - '0');
        }
        Utf8::append(out, value);
        continue;
      }
      switch (escape) {
        case 'n':
          out.push_back('\n');
          break;
        case 't':
          out.push_back('\t');
          break;
        case 'r':
          out.push_back('\r');
          break;
        case 'a':
          out.push_back('\a');
          break;
        case 'b':
          out.push_back('\b');
          break;
        case 'f':
          out.push_back('\f');
          break;
        case 'v':
          out.push_back('\v');
          break;
        default:
          out.push_back(escape);
          break;  // \" \\ and any other character stand for themselves
      }
    }
    return false;  // the text ended inside the string
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

StringsTable StringsTable::parse(std::string_view bytes, const std::string& sourceName) {
  const std::string text = toUtf8(bytes);
  const std::string_view view(text);
  StringsTable table;
  Parser parser(view);
  std::string key;
  std::string value;
  for (;;) {
    if (!parser.skipBlank()) {
      const std::size_t line =
          1 +
          static_cast<std::size_t>(std::count(
              view.begin(), view.begin() + static_cast<std::ptrdiff_t>(parser.position()), '\n'));
      SystemLog::writeFormat("%s: unterminated comment from line %zu skipped\n", sourceName.c_str(),
                             line);
      break;
    }
    if (parser.atEnd()) break;
    const std::size_t start = parser.position();
    bool wellFormed = parser.readString(key) && parser.skipBlank();
    if (wellFormed && parser.peek() == ';') {
      value = key;  // "key"; stands for "key" = "key";
    } else if (wellFormed && parser.peek() == '=') {
      parser.advance();
      wellFormed = parser.skipBlank() && parser.readString(value) && parser.skipBlank() &&
                   parser.peek() == ';';
    } else {
      wellFormed = false;
    }
    if (wellFormed) {
      parser.advance();  // ';'
      table.entries_[key] = value;
      continue;
    }
    const std::size_t line =
        1 + static_cast<std::size_t>(
                std::count(view.begin(), view.begin() + static_cast<std::ptrdiff_t>(start), '\n'));
    SystemLog::writeFormat("%s: malformed line %zu skipped\n", sourceName.c_str(), line);
    // Go on after the line on which the broken entry began.
    const std::size_t lineEnd = view.find('\n', start);
    parser.moveTo(lineEnd == std::string_view::npos ? view.size() : lineEnd + 1);
  }
  return table;
}

const std::string* StringsTable::find(const std::string& key) const {
  auto it = entries_.find(key);
  return it == entries_.end() ? nullptr : &it->second;
}

}  // namespace zor
