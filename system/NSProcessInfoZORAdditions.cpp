#include "system/NSProcessInfoZORAdditions.h"

#include <cctype>
#include <climits>
#include <cstring>
#include <memory>
#include <span>

#include "platform/SystemBackend.h"
#include "platform/SystemServices.h"
#include "platform/Utf8.h"

namespace zor {
namespace {

struct VersionRecord {
  std::optional<std::string> productName;
  std::optional<std::string> productVersion;
  std::optional<std::string> productBuild;
  std::int32_t versionCode = NSProcessInfoZORAdditions::kUnknownVersionCode;
  std::uint64_t generation = 0;  // the machine it was read on
};

std::unique_ptr<VersionRecord>& cachedRecord() {
  static std::unique_ptr<VersionRecord> record;
  return record;
}

const VersionRecord& currentRecord() {
  auto& record = cachedRecord();
  if (!record || record->generation != SystemBackend::generation()) {
    NSProcessInfoZORAdditions::updateVersionInfo();
  }
  return *record;
}

// A number scanner over a text: each scan skips white space first and
// leaves the position alone when nothing fits.
class Scanner {
 public:
  explicit Scanner(const std::string& text) : text_(text) {}

  bool scanInt(std::int32_t& value) {
    std::size_t at = skipSpace(position_);
    bool negative = false;
    if (at < text_.size() && (text_[at] == '+' || text_[at] == '-')) {
      negative = text_[at] == '-';
      ++at;
    }
    if (at >= text_.size() || !std::isdigit(static_cast<unsigned char>(text_[at]))) return false;
    std::int64_t magnitude = 0;
    for (; at < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at])); ++at) {
      // Too many digits clamp to the range, as the platform's scanner does.
      if (magnitude <= INT_MAX) magnitude = magnitude * 10 + (text_[at] - '0');
    }
    if (negative) {
      value =
          magnitude > std::int64_t{INT_MAX} + 1 ? INT_MIN : static_cast<std::int32_t>(-magnitude);
    } else {
      value = magnitude > INT_MAX ? INT_MAX : static_cast<std::int32_t>(magnitude);
    }
    position_ = at;
    return true;
  }

  bool scanLiteral(char literal) {
    const std::size_t at = skipSpace(position_);
    if (at >= text_.size() || text_[at] != literal) return false;
    position_ = at + 1;
    return true;
  }

 private:
  std::size_t skipSpace(std::size_t at) const {
    while (at < text_.size() && std::isspace(static_cast<unsigned char>(text_[at]))) ++at;
    return at;
  }
  const std::string& text_;
  std::size_t position_ = 0;
};

// The process table as the kernel gives it, or nothing: one size query, one
// read into a buffer of exactly that size, no retry.
std::optional<std::string> readProcessTable() {
  const int path[3] = {os::CTL_KERN, os::KERN_PROC, os::KERN_PROC_ALL};
  std::size_t size = 0;
  if (os::sysctl(path, 3, nullptr, &size) != 0) return std::nullopt;
  std::string buffer(size, '\0');
  if (os::sysctl(path, 3, buffer.data(), &size) != 0) return std::nullopt;
  buffer.resize(std::min(size, buffer.size()));
  return buffer;
}

std::int32_t recordPID(std::span<const char> record) {
  std::int32_t pid = 0;
  std::memcpy(&pid, record.data() + os::kKinfoProcPIDOffset, sizeof pid);
  return pid;
}

std::uint32_t recordEffectiveUID(std::span<const char> record) {
  std::uint32_t uid = 0;
  std::memcpy(&uid, record.data() + os::kKinfoProcEffectiveUIDOffset, sizeof uid);
  return uid;
}

// The command name up to its NUL, never past its 17-byte field.
std::string recordCommand(std::span<const char> record) {
  const char* field = record.data() + os::kKinfoProcCommandOffset;
  std::size_t length = 0;
  while (length < os::kKinfoProcCommandSize && field[length] != '\0') ++length;
  return std::string(field, length);
}

bool isWellFormedUtf8(const std::string& text) {
  std::string again;
  for (char32_t c : Utf8::decode(text)) Utf8::append(again, c);
  return again == text;
}

}  // namespace

void NSProcessInfoZORAdditions::updateVersionInfo() {
  auto record = std::make_unique<VersionRecord>();
  record->generation = SystemBackend::generation();
  const std::optional<PlistDictionary> file =
      os::dictionaryWithContentsOfSystemFile(kSystemVersionPath);
  if (!file || file->empty()) {
    record->productName = "";
    record->productVersion = "";
    record->productBuild = "";
    record->versionCode = kUnknownVersionCode;
  } else {
    auto text = [&](const char* key) -> std::optional<std::string> {
      auto it = file->find(key);
      if (it == file->end() || !it->second.isString()) return std::nullopt;
      return *it->second.asString();
    };
    record->productName = text("ProductName");
    record->productVersion = text("ProductVersion");
    record->productBuild = text("ProductBuildVersion");
    // A file without a version is taken for the oldest system: the same code
    // as an unreadable file, so callers comparing codes stay on the safe side.
    record->versionCode = record->productVersion && !record->productVersion->empty()
                              ? versionCodeForVersionString(*record->productVersion)
                              : kUnknownVersionCode;
  }
  cachedRecord() = std::move(record);
}

std::int32_t NSProcessInfoZORAdditions::versionCodeForVersionString(const std::string& version) {
  std::int32_t major = 10;
  std::int32_t minor = 0;
  std::int32_t update = 0;
  Scanner scanner(version);
  if (!scanner.scanInt(major)) major = 10;
  scanner.scanLiteral('.');
  if (!scanner.scanInt(minor)) minor = 0;
  scanner.scanLiteral('.');
  if (!scanner.scanInt(update)) update = 0;
  // Unsigned arithmetic: absurd parts wrap instead of overflowing.
  const std::uint32_t code = static_cast<std::uint32_t>(major / 10) * 0x1000u +
                             static_cast<std::uint32_t>(major % 10) * 0x100u +
                             static_cast<std::uint32_t>(minor) * 0x10u +
                             static_cast<std::uint32_t>(update);
  return static_cast<std::int32_t>(code);
}

std::int32_t NSProcessInfoZORAdditions::operatingSystemVersionCode() {
  return currentRecord().versionCode;
}

std::string NSProcessInfoZORAdditions::operatingSystemProductName() {
  return currentRecord().productName.value_or("");
}

std::string NSProcessInfoZORAdditions::operatingSystemVersionNumberString() {
  return currentRecord().productVersion.value_or("");
}

std::string NSProcessInfoZORAdditions::operatingSystemBuildCode() {
  return currentRecord().productBuild.value_or("");
}

std::optional<std::vector<std::int32_t>>
NSProcessInfoZORAdditions::identifiersForRunningProcessesNamed(const std::string& name) {
  if (name.empty()) return std::nullopt;
  const std::optional<std::string> table = readProcessTable();
  if (!table) return std::nullopt;
  std::vector<std::int32_t> identifiers;
  const std::size_t count = table->size() / os::kKinfoProcSize;
  for (std::size_t i = 0; i < count; ++i) {
    std::span<const char> record(table->data() + i * os::kKinfoProcSize, os::kKinfoProcSize);
    const std::int32_t pid = recordPID(record);
    if (pid <= 0) continue;
    if (std::strncmp(record.data() + os::kKinfoProcCommandOffset, name.c_str(),
                     os::kKinfoProcCommandSize - 1) == 0) {
      identifiers.push_back(pid);
    }
  }
  return identifiers;
}

bool NSProcessInfoZORAdditions::isProcessRunningWithName(const std::string& name) {
  if (name.empty()) return false;
  const auto identifiers = identifiersForRunningProcessesNamed(name);
  return identifiers && !identifiers->empty();
}

std::optional<std::string> NSProcessInfoZORAdditions::processNameForProcessID(
    std::int32_t pid, std::uint32_t* getEffectiveUserID) {
  const std::optional<std::string> table = readProcessTable();
  if (!table) return std::nullopt;
  const std::size_t count = table->size() / os::kKinfoProcSize;
  for (std::size_t i = 0; i < count; ++i) {
    std::span<const char> record(table->data() + i * os::kKinfoProcSize, os::kKinfoProcSize);
    if (recordPID(record) != pid) continue;
    std::string command = recordCommand(record);
    // A name that is no text cannot be made into a string: no answer.
    if (!isWellFormedUtf8(command)) return std::nullopt;
    if (getEffectiveUserID != nullptr) *getEffectiveUserID = recordEffectiveUID(record);
    return command;
  }
  return std::nullopt;
}

}  // namespace zor
