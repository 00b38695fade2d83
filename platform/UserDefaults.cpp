#include "platform/UserDefaults.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <vector>

#include "platform/Clock.h"
#include "platform/PropertyListSerialization.h"
#include "platform/RegularFileReader.h"
#include "platform/SystemLog.h"

namespace zor {
namespace {

std::mutex directoryMutex;
std::string& configuredDirectory() {
  static std::string directory;
  return directory;
}

std::atomic<bool> keptInMemory{false};

std::string defaultDirectory() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/zorsensors";
  const char* home = std::getenv("HOME");
  std::string homeDirectory = home != nullptr ? home : "";
  if (homeDirectory.empty()) {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
      homeDirectory = found->pw_dir;
    }
  }
  if (homeDirectory.empty()) homeDirectory = "/tmp";
  return homeDirectory + "/.config/zorsensors";
}

bool makeDirectories(const std::string& path) {
  if (path.empty()) return false;
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string prefix = path.substr(0, slash);
    if (mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

enum class FileState { Absent, Dictionary, Corrupt, Unreadable };

// Reads a domain file, telling a missing file from one that is there but no
// dictionary, and both from one that cannot be read at all.
FileState readDomainFile(const std::string& path, PlistDictionary& contents, std::string& error) {
  RegularFileReader::Result file = RegularFileReader::read(path);
  switch (file.outcome) {
    case RegularFileReader::Outcome::Read:
      break;
    case RegularFileReader::Outcome::Absent:
      return FileState::Absent;
    case RegularFileReader::Outcome::TooLarge:
      // A file of ours is never near the limit: set it aside like any damage.
      error = file.error;
      return FileState::Corrupt;
    case RegularFileReader::Outcome::NotRegular:
    case RegularFileReader::Outcome::Failed:
      error = file.error;
      return FileState::Unreadable;
  }
  auto value = parsePropertyList(file.bytes, &error);
  if (!value || !value->isDictionary()) {
    if (value) error = std::string("root is a ") + plistTypeName(value->type());
    return FileState::Corrupt;
  }
  contents = std::move(*value->asDictionary());
  return FileState::Dictionary;
}

std::string utcTimestamp(double seconds) {
  const auto whole = static_cast<std::time_t>(std::floor(seconds));
  std::tm parts{};
  gmtime_r(&whole, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
  return text;
}

// Moves a damaged domain file to NAME.plist.corrupt-<time>, never over an
// earlier one.
bool moveAside(const std::string& path, const std::string& reason) {
  const std::string base = path + ".corrupt-" + utcTimestamp(Clock::current().now());
  std::string target = base;
  struct stat info {};
  for (int n = 1; lstat(target.c_str(), &info) == 0; ++n) {
    target = base + "-" + std::to_string(n);
  }
  if (std::rename(path.c_str(), target.c_str()) != 0) {
    SystemLog::writeFormat(
        "%s: not a property-list dictionary (%s) and cannot be moved aside: %s\n", path.c_str(),
        reason.c_str(), std::strerror(errno));
    return false;
  }
  SystemLog::writeFormat("%s: not a property-list dictionary (%s); moved aside to %s\n",
                         path.c_str(), reason.c_str(), target.c_str());
  return true;
}

// Applies one entry's change to a domain.
void applyValueChange(PlistDictionary& root, const std::vector<std::string>& keyPath,
                      const std::optional<PlistValue>& value) {
  PlistDictionary* dictionary = &root;
  for (std::size_t i = 0; i + 1 < keyPath.size(); ++i) {
    auto found = dictionary->find(keyPath[i]);
    if (found == dictionary->end() || !found->second.isDictionary()) {
      if (!value) return;  // nothing there to remove
      found = dictionary->insert_or_assign(keyPath[i], PlistValue(PlistDictionary())).first;
    }
    dictionary = found->second.asDictionary();
  }
  if (value) {
    (*dictionary)[keyPath.back()] = *value;
  } else {
    dictionary->erase(keyPath.back());
  }
}

// True for "NAME.plist.tmp-" followed by the six characters mkstemp() puts
// in place of its XXXXXX: the temporary file of a write to that domain.
bool isTemporaryFileOf(std::string_view entry, std::string_view domainFile) {
  const std::string_view marker = ".tmp-";
  if (entry.size() != domainFile.size() + marker.size() + 6 ||
      entry.substr(0, domainFile.size()) != domainFile ||
      entry.substr(domainFile.size(), marker.size()) != marker) {
    return false;
  }
  for (const char c : entry.substr(domainFile.size() + marker.size())) {
    const bool alphanumeric =
        (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!alphanumeric) return false;
  }
  return true;
}

std::vector<std::string> temporaryFilesOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  std::vector<std::string> found;
  DIR* directory = ::opendir(path.substr(0, slash).c_str());
  if (directory == nullptr) return found;
  const std::string_view domainFile = std::string_view(path).substr(slash + 1);
  while (const dirent* entry = ::readdir(directory)) {
    if (isTemporaryFileOf(entry->d_name, domainFile)) {
      found.push_back(path.substr(0, slash + 1) + entry->d_name);
    }
  }
  ::closedir(directory);
  return found;
}

int lockDomain(const std::string& lockPath) {
  const int lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lockFd < 0) {
    SystemLog::writeFormat("%s: cannot open the lock file: %s\n", lockPath.c_str(),
                           std::strerror(errno));
    return -1;
  }
  int locked;
  do {
    locked = flock(lockFd, LOCK_EX);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    SystemLog::writeFormat("%s: cannot lock: %s\n", lockPath.c_str(), std::strerror(errno));
    ::close(lockFd);
    return -1;
  }
  return lockFd;
}

// Removes what writers that were killed mid-write left behind. Every writer
// of a domain writes its temporary file while it holds the domain's lock, so
// one that is still there once we hold the lock belongs to no live writer.
void removeStaleTemporaryFiles(const std::string& path) {
  if (temporaryFilesOf(path).empty()) return;  // the common case takes no lock
  const int lockFd = lockDomain(path + ".lock");
  if (lockFd < 0) return;
  int removed = 0;
  for (const std::string& file : temporaryFilesOf(path)) {
    if (::unlink(file.c_str()) == 0) ++removed;
  }
  ::close(lockFd);
  if (removed > 0) {
    SystemLog::writeFormat("%s: removed %d temporary file(s) left by an interrupted write\n",
                           path.c_str(), removed);
  }
}

bool isNumberText(std::string_view text, bool& integral) {
  bool digit = false;
  integral = true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if ((c == '+' || c == '-') && (i == 0 || text[i - 1] == 'e' || text[i - 1] == 'E')) {
    } else if (c == '.' || c == 'e' || c == 'E') {
      integral = false;
    } else {
      return false;
    }
  }
  return digit;
}

bool equalsIgnoringCase(std::string_view text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != word[i]) return false;
  }
  return true;
}

}  // namespace

UserDefaults& UserDefaults::standard() {
  static UserDefaults defaults;
  return defaults;
}

void UserDefaults::setPreferencesDirectory(const std::string& directory) {
  std::lock_guard<std::mutex> lock(directoryMutex);
  configuredDirectory() = directory;
  while (configuredDirectory().size() > 1 && configuredDirectory().back() == '/') {
    configuredDirectory().pop_back();
  }
}

void UserDefaults::setKeptInMemory(bool inMemory) {
  keptInMemory = inMemory;
}

std::string UserDefaults::preferencesDirectory() {
  std::lock_guard<std::mutex> lock(directoryMutex);
  return configuredDirectory().empty() ? defaultDirectory() : configuredDirectory();
}

bool UserDefaults::isValidDomainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

std::string UserDefaults::pathForName(const std::string& name) {
  return preferencesDirectory() + "/" + name + ".plist";
}

std::optional<PlistDictionary> UserDefaults::persistentDomainForName(const std::string& name) {
  if (!isValidDomainName(name)) return std::nullopt;
  const std::string path = pathForName(name);
  std::lock_guard<std::mutex> lock(mutex_);
  Domain& domain = domainAt(path);
  if (domain.pending()) {
    if (domain.removeAll && domain.changedKeys.empty()) return std::nullopt;
    return domain.contents;
  }
  if (keptInMemory) {
    if (domain.contents.empty()) return std::nullopt;
    return domain.contents;
  }
  // Nothing of ours is pending: read the file as it is now, so that what
  // other processes wrote meanwhile is seen.
  PlistDictionary contents;
  std::string error;
  domain.seen = true;
  if (readDomainFile(path, contents, error) != FileState::Dictionary) {
    domain.contents.clear();
    return std::nullopt;
  }
  domain.contents = contents;
  return contents;
}

void UserDefaults::setPersistentDomain(const PlistDictionary& contents, const std::string& name) {
  if (!isValidDomainName(name)) {
    SystemLog::writeFormat("User defaults: \"%s\" is not a domain name; not stored\n",
                           name.c_str());
    return;
  }
  const std::string path = pathForName(name);
  std::lock_guard<std::mutex> lock(mutex_);
  Domain& domain = domainAt(path);
  // What changed is judged against the domain as this process last saw it,
  // not against the file now: keys another process wrote since then are
  // not this process's to remove or overwrite.
  PlistDictionary base;
  if (domain.pending() || domain.seen || keptInMemory) {
    base = domain.contents;
  } else {
    std::string error;
    if (readDomainFile(path, base, error) != FileState::Dictionary) base.clear();
  }
  for (const auto& [key, value] : contents) {
    auto it = base.find(key);
    if (it == base.end() || !(it->second == value)) {
      domain.changedKeys.insert(key);
      domain.removedKeys.erase(key);
    }
  }
  for (const auto& [key, value] : base) {
    if (contents.find(key) == contents.end()) {
      domain.removedKeys.insert(key);
      domain.changedKeys.erase(key);
    }
  }
  // A whole key set anew replaces the entries changed inside it.
  for (auto change = domain.valueChanges.begin(); change != domain.valueChanges.end();) {
    const std::string& key = change->keyPath.front();
    if (domain.changedKeys.count(key) == 0 && domain.removedKeys.count(key) == 0) {
      ++change;
      continue;
    }
    domain.changeOfEntry.erase(change->keyPath);
    change = domain.valueChanges.erase(change);
  }
  domain.contents = contents;
  domain.seen = true;
}

void UserDefaults::removePersistentDomainForName(const std::string& name) {
  if (!isValidDomainName(name)) return;
  const std::string path = pathForName(name);
  std::lock_guard<std::mutex> lock(mutex_);
  Domain& domain = domainAt(path);
  domain.contents.clear();
  domain.clearChanges();
  domain.removeAll = true;
  domain.seen = true;
}

UserDefaults::Domain& UserDefaults::domainAt(const std::string& path) {
  Domain& domain = domains_[path];
  if (!domain.swept && !keptInMemory) {
    domain.swept = true;
    removeStaleTemporaryFiles(path);
  }
  return domain;
}

void UserDefaults::setPersistentValue(const PlistValue& value,
                                      const std::vector<std::string>& keyPath,
                                      const std::string& name) {
  changeValue({keyPath, value}, name);
}

void UserDefaults::removePersistentValue(const std::vector<std::string>& keyPath,
                                         const std::string& name) {
  changeValue({keyPath, std::nullopt}, name);
}

void UserDefaults::changeValue(ValueChange change, const std::string& name) {
  if (!isValidDomainName(name) || change.keyPath.empty()) return;
  const std::string path = pathForName(name);
  std::lock_guard<std::mutex> lock(mutex_);
  Domain& domain = domainAt(path);
  if (!domain.pending() && !domain.seen && !keptInMemory) {
    std::string error;
    if (readDomainFile(path, domain.contents, error) != FileState::Dictionary) {
      domain.contents.clear();
    }
  }
  domain.seen = true;
  applyValueChange(domain.contents, change.keyPath, change.value);
  auto earlier = domain.changeOfEntry.find(change.keyPath);
  if (earlier != domain.changeOfEntry.end()) domain.valueChanges.erase(earlier->second);
  const std::vector<std::string> keyPath = change.keyPath;
  domain.valueChanges.push_back(std::move(change));
  domain.changeOfEntry[keyPath] = std::prev(domain.valueChanges.end());
}

bool UserDefaults::synchronize() {
  std::lock_guard<std::mutex> lock(mutex_);
  bool allWritten = true;
  for (auto& [path, domain] : domains_) {
    if (domain.pending() && !synchronizeDomain(path, domain)) allWritten = false;
  }
  return allWritten;
}

bool UserDefaults::synchronize(const std::string& name) {
  if (!isValidDomainName(name)) return true;
  const std::string path = pathForName(name);
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = domains_.find(path);
  return found == domains_.end() || !found->second.pending() ||
         synchronizeDomain(path, found->second);
}

bool UserDefaults::synchronizeDomain(const std::string& path, Domain& domain) {
  if (keptInMemory) {
    domain.clearChanges();
    return true;
  }
  const std::string directory = path.substr(0, path.rfind('/'));
  if (!makeDirectories(directory)) {
    SystemLog::writeFormat("%s: cannot create the preferences folder: %s\n", directory.c_str(),
                           std::strerror(errno));
    return false;
  }
  const int lockFd = lockDomain(path + ".lock");
  if (lockFd < 0) return false;

  // Read-modify-write under the lock: start from the file as it is now and
  // apply only the keys this process changed.
  PlistDictionary merged;
  std::string error;
  bool ok = true;
  const FileState state = readDomainFile(path, merged, error);
  const PlistDictionary before = merged;
  switch (state) {
    case FileState::Absent:
    case FileState::Dictionary:
      break;
    case FileState::Corrupt:
      merged.clear();
      ok = moveAside(path, error);
      break;
    case FileState::Unreadable:
      SystemLog::writeFormat("%s: cannot be read: %s\n", path.c_str(), error.c_str());
      ok = false;
      break;
  }
  if (ok) {
    if (domain.removeAll) merged.clear();
    for (const std::string& key : domain.changedKeys) {
      auto it = domain.contents.find(key);
      if (it != domain.contents.end()) merged[key] = it->second;
    }
    for (const std::string& key : domain.removedKeys) merged.erase(key);
    for (const ValueChange& change : domain.valueChanges) {
      applyValueChange(merged, change.keyPath, change.value);
    }

    const bool unchanged =
        !domain.removeAll && ((state == FileState::Absent && merged.empty()) ||
                              (state == FileState::Dictionary && merged == before));
    if (unchanged) {
      // Nothing to write: the file already says what this process would.
    } else if (domain.removeAll && merged.empty()) {
      if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        SystemLog::writeFormat("%s: cannot be removed: %s\n", path.c_str(), std::strerror(errno));
        ok = false;
      }
    } else if (!writePropertyListFile(path, PlistValue(merged), PlistFormat::XML, &error)) {
      SystemLog::writeFormat("%s: cannot be written: %s\n", path.c_str(), error.c_str());
      ok = false;
    }
  }
  ::close(lockFd);  // releases the lock
  if (!ok) return false;
  domain.contents = std::move(merged);
  domain.clearChanges();
  return true;
}

void UserDefaults::registerStandardDomain(const PlistDictionary& defaults) {
  std::lock_guard<std::mutex> lock(mutex_);
  standardDomain_ = defaults;
}

void UserDefaults::setObject(const PlistValue& value, const std::string& key) {
  std::lock_guard<std::mutex> lock(mutex_);
  standardDomain_[key] = value;
}

void UserDefaults::removeObjectForKey(const std::string& key) {
  std::lock_guard<std::mutex> lock(mutex_);
  standardDomain_.erase(key);
}

PlistValue UserDefaults::parseArgumentValue(std::string_view text) {
  if (equalsIgnoringCase(text, "yes") || equalsIgnoringCase(text, "true")) {
    return PlistValue::boolean(true);
  }
  if (equalsIgnoringCase(text, "no") || equalsIgnoringCase(text, "false")) {
    return PlistValue::boolean(false);
  }
  bool integral = false;
  if (isNumberText(text, integral)) {
    const std::string copy(text);
    char* end = nullptr;
    if (integral) {
      errno = 0;
      const long long number = std::strtoll(copy.c_str(), &end, 10);
      if (errno == 0 && end == copy.c_str() + copy.size()) return PlistValue::integer(number);
    }
    errno = 0;
    const double number = std::strtod(copy.c_str(), &end);
    if (end == copy.c_str() + copy.size() && std::isfinite(number)) return PlistValue::real(number);
  }
  return PlistValue(std::string(text));
}

void UserDefaults::setArgumentDomain(int argc, const char* const* argv) {
  PlistDictionary arguments;
  for (int i = 1; argv != nullptr && i < argc; ++i) {
    const char* argument = argv[i];
    if (argument == nullptr) break;
    // "-Key value"; GNU-style "--option" belongs to the program, not to us.
    if (argument[0] != '-' || argument[1] == '\0' || argument[1] == '-') continue;
    if (i + 1 >= argc || argv[i + 1] == nullptr) break;
    arguments[argument + 1] = parseArgumentValue(argv[i + 1]);
    ++i;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  argumentDomain_ = std::move(arguments);
}

bool UserDefaults::hasKey(const std::string& key) const {
  return objectForKey(key) != nullptr;
}

const PlistValue* UserDefaults::objectForKey(const std::string& key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = argumentDomain_.find(key);
  if (it != argumentDomain_.end()) return &it->second;
  it = standardDomain_.find(key);
  if (it != standardDomain_.end()) return &it->second;
  return nullptr;
}

}  // namespace zor
