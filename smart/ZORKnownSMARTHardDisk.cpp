#include "smart/ZORKnownSMARTHardDisk.h"

#include <algorithm>
#include <string_view>

#include "platform/PropertyListSerialization.h"
#include "platform/StringFormat.h"
#include "platform/SystemLog.h"
#include "registry/ZORIORegistryEntry.h"

namespace zor {

namespace {

constexpr std::size_t kMaximumFieldLength = 256;
constexpr int kEndOfFile = -1;

// The regular-expression compiler copies the operand of every "+" and of
// every "{m,n}" once per repetition, nested copies multiplying, so
// "a++++...+" of a hundred pluses asks for more memory than the machine has.
// A pattern whose copies multiply beyond this is refused like one that does
// not compile; the table's own patterns stay below 8.
constexpr double kMostPatternCopies = 1024;

bool patternCopiesStayBounded(std::string_view pattern) {
  double copies = 1;
  for (std::size_t i = 0; i < pattern.size() && copies <= kMostPatternCopies; ++i) {
    const char c = pattern[i];
    if (c == '\\') {
      ++i;
    } else if (c == '[') {  // a bracket expression: "]" first is a member, not its end
      std::size_t end = i + 1;
      if (end < pattern.size() && pattern[end] == '^') ++end;
      if (end < pattern.size() && pattern[end] == ']') ++end;
      while (end < pattern.size() && pattern[end] != ']') ++end;
      i = end;
    } else if (c == '+') {
      copies *= 2;
    } else if (c == '{') {
      double largest = 0;
      double number = 0;
      for (++i; i < pattern.size() && pattern[i] != '}'; ++i) {
        if (pattern[i] >= '0' && pattern[i] <= '9') {
          number = number * 10 + (pattern[i] - '0');
          largest = std::max(largest, number);
        } else {
          number = 0;
        }
      }
      copies *= largest + 1;
    }
  }
  return copies <= kMostPatternCopies;
}

// Reads the table text one byte at a time, never past its end.
class TableReader {
 public:
  explicit TableReader(std::string_view text) : text_(text) {}

  bool atEnd() const { return position_ >= text_.size(); }
  // The next byte without consuming it, or kEndOfFile.
  int peek() const { return atEnd() ? kEndOfFile : static_cast<unsigned char>(text_[position_]); }
  // The next byte, consumed, or kEndOfFile.
  int next() {
    int c = peek();
    if (c != kEndOfFile) ++position_;
    return c;
  }
  static bool isBlank(int c) { return c == ' ' || c == '\t'; }
  void skipBlanks() {
    while (isBlank(peek())) ++position_;
  }
  void skipLine() {
    for (int c = next(); c != kEndOfFile && c != '\n'; c = next()) {
    }
  }

  std::string readTextField() {
    skipBlanks();
    std::string field;
    int terminator = ' ';
    if (peek() == '"') {
      next();
      terminator = '"';
    }
    for (;;) {
      int c = next();
      // 0xFF ends a field as the end of the file does.
      if (c == kEndOfFile || c == 0xff) break;
      if (terminator == '"' ? c == '"' : isBlank(c)) break;
      // The 257th character ends the field and is lost.
      if (field.size() >= kMaximumFieldLength) break;
      field.push_back(static_cast<char>(c));
    }
    return field;
  }

  unsigned readNumberField() {
    skipBlanks();
    unsigned value = 0;
    int digits = 0;
    for (;;) {
      int c = next();
      if (c == kEndOfFile) break;
      // The character after the digits (or the fourth one) is consumed and dropped.
      if (digits == 3 || c < '0' || c > '9') break;
      value = value * 10 + static_cast<unsigned>(c - '0');
      ++digits;
    }
    return value;
  }

 private:
  std::string_view text_;
  std::size_t position_ = 0;
};

}  // namespace

ZORKnownSMARTHardDisk::~ZORKnownSMARTHardDisk() {
  if (compiled_) regfree(&expression_);
}

std::shared_ptr<ZORKnownSMARTHardDisk> ZORKnownSMARTHardDisk::diskWithMatchString(
    const char* matchString, std::uint8_t attribID, const char* name) {
  auto disk = std::make_shared<ZORKnownSMARTHardDisk>();
  if (!disk->initWithMatchString(matchString, attribID, name)) return nullptr;
  return disk;
}

bool ZORKnownSMARTHardDisk::initWithMatchString(const char* matchString, std::uint8_t attribID,
                                                const char* name) {
  if (matchString == nullptr || name == nullptr || compiled_) return false;
  if (!patternCopiesStayBounded(matchString) ||
      regcomp(&expression_, matchString, REG_EXTENDED | REG_NOSUB) != 0) {
    SystemLog::writeFormat("Could not accept regular expression '%s'\n", matchString);
    return false;
  }
  compiled_ = true;
  temperatureAttributeIdentifier_ = attribID;
  // The file's bytes are text in the platform's 8-bit encoding.
  std::string_view bytes(name);
  productName_ = textOfDataProperty(PlistData(bytes.begin(), bytes.end()));
  return true;
}

std::string ZORKnownSMARTHardDisk::description() const {
  return formatString("%s: Temperature Attribute ID: %u Supported: %s\n",
                      productName_ ? productName_->c_str() : "(null)",
                      static_cast<unsigned>(temperatureAttributeIdentifier_),
                      supportsTemperatureMonitoring() ? "YES" : "NO");
}

bool ZORKnownSMARTHardDisk::matchesProductName(const std::string& productName) const {
  if (!compiled_) return false;
  return regexec(&expression_, productName.c_str(), 0, nullptr, 0) == 0;
}

ZORKnownSMARTHardDiskTable ZORKnownSMARTHardDisk::smartDiskTableWithContents(
    std::string_view contents) {
  ZORKnownSMARTHardDiskTable table;
  TableReader reader(contents);
  for (;;) {
    reader.skipBlanks();
    int c = reader.peek();
    if (c == kEndOfFile) break;
    if (c == '\n') {
      reader.next();
      continue;
    }
    if (c == '#') {
      reader.skipLine();
      continue;
    }
    std::string pattern = reader.readTextField();
    unsigned id = reader.readNumberField();
    std::string unit = reader.readTextField();
    std::string name = reader.readTextField();
    if (id > 255 || unit.empty() || unit[0] != 'C') continue;
    auto disk = diskWithMatchString(pattern.c_str(), static_cast<std::uint8_t>(id), name.c_str());
    if (disk) table.push_back(std::move(disk));
  }
  return table;
}

std::optional<ZORKnownSMARTHardDiskTable> ZORKnownSMARTHardDisk::smartDiskTableWithPath(
    const std::optional<std::string>& path) {
  if (!path) return std::nullopt;
  auto contents = readWholeFile(*path);
  if (!contents) return std::nullopt;
  return smartDiskTableWithContents(*contents);
}

}  // namespace zor
