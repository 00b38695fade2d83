#pragma once
// The user-defaults store. Persistent domains are dictionaries stored by
// name, each as an XML property list NAME.plist in the preferences folder
// (the widget host's --prefs folder, else $XDG_CONFIG_HOME/zorsensors or
// ~/.config/zorsensors). The widget controller keeps its choices in the
// domain named by the plug-in's bundle identifier.
//
// Several processes may share a domain: setPersistentDomain() records which
// top-level keys this process changed or removed, setPersistentValue() and
// removePersistentValue() one entry deep inside nested dictionaries, and
// synchronize() merges just those into the file as it is on disk, under an
// exclusive lock on NAME.plist.lock, so nobody loses another writer's entries.
// A merge that leaves the file as it was writes nothing. Temporary files of a
// writer that died (NAME.plist.tmp-XXXXXX) are removed, under the lock, when
// this process first uses the domain. A file that is not
// a property-list dictionary reads as no domain; before it is replaced it is
// moved aside to NAME.plist.corrupt-<UTC time>, with one log line.
//
// The standard domain holds the start-up defaults (a machine profile's
// "UserDefaults") and is asked by presence ("DebugSMARTAccess"); values given
// on the command line as "-Key value" take precedence over it.

#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/PropertyList.h"

namespace zor {

class UserDefaults {
 public:
  UserDefaults() = default;
  UserDefaults(const UserDefaults&) = delete;
  UserDefaults& operator=(const UserDefaults&) = delete;

  // The process's store.
  static UserDefaults& standard();

  // Where the domains are stored; an empty path restores the default folder.
  static void setPreferencesDirectory(const std::string& directory);
  static std::string preferencesDirectory();
  // Keeps every persistent domain in this process only: nothing is read from
  // or written to the preferences folder (a listing that must not touch the
  // stored choices). False restores the folder.
  static void setKeptInMemory(bool inMemory);

  // Persistent domains. A name must be usable as a file name (not empty, no
  // "/", not "." or ".."); other names have no domain and are not stored.
  std::optional<PlistDictionary> persistentDomainForName(const std::string& name);
  void setPersistentDomain(const PlistDictionary& domain, const std::string& name);
  void removePersistentDomainForName(const std::string& name);
  // One entry at a path of keys through nested dictionaries (at least one
  // key): set replaces whatever stood there and makes the dictionaries on
  // the way (over anything that is no dictionary); remove takes it away.
  void setPersistentValue(const PlistValue& value, const std::vector<std::string>& keyPath,
                          const std::string& name);
  void removePersistentValue(const std::vector<std::string>& keyPath, const std::string& name);
  // Writes every changed domain; false when one of them could not be written
  // (its changes stay pending for the next call).
  bool synchronize();
  // Writes the changes of that one domain; false when they could not be written.
  bool synchronize(const std::string& name);

  // The standard domain: replaced as a whole by registerStandardDomain().
  void registerStandardDomain(const PlistDictionary& defaults);
  void setObject(const PlistValue& value, const std::string& key);
  void removeObjectForKey(const std::string& key);
  // Reads "-Key value" pairs after argv[0]; replaces the argument domain.
  void setArgumentDomain(int argc, const char* const* argv);
  bool hasKey(const std::string& key) const;
  // Argument domain first, then the standard domain; null when neither has it.
  const PlistValue* objectForKey(const std::string& key) const;

  // A command-line value: integer, real, YES/NO/true/false, else the text.
  static PlistValue parseArgumentValue(std::string_view text);
  static bool isValidDomainName(std::string_view name);

 private:
  struct ValueChange {
    std::vector<std::string> keyPath;
    std::optional<PlistValue> value;  // none: removed
  };
  struct Domain {
    PlistDictionary contents;  // as this process last read or set it
    bool seen = false;         // contents hold a read or a set
    bool swept = false;        // stale temporary files were looked for
    std::set<std::string> changedKeys;
    std::set<std::string> removedKeys;
    std::list<ValueChange> valueChanges;  // in the order made, applied after the keys
    // Each entry's latest change: an entry changed again moves to the end
    // instead of adding a change, so changes that cannot be written stay bounded.
    std::map<std::vector<std::string>, std::list<ValueChange>::iterator> changeOfEntry;
    bool removeAll = false;  // the whole domain was removed
    bool pending() const {
      return removeAll || !changedKeys.empty() || !removedKeys.empty() || !valueChanges.empty();
    }
    // Forgets every recorded change (written, or superseded by a removal).
    void clearChanges() {
      changedKeys.clear();
      removedKeys.clear();
      valueChanges.clear();
      changeOfEntry.clear();
      removeAll = false;
    }
  };
  Domain& domainAt(const std::string& path);
  void changeValue(ValueChange change, const std::string& name);
  bool synchronizeDomain(const std::string& path, Domain& domain);
  static std::string pathForName(const std::string& name);

  mutable std::mutex mutex_;
  std::map<std::string, Domain> domains_;  // by file path
  PlistDictionary standardDomain_;
  PlistDictionary argumentDomain_;
};

}  // namespace zor
