// The preferences file under entry-by-entry changes: what reaches the file,
// when it is rewritten at all, and what interrupted writers left behind.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/PropertyListSerialization.h"
#include "platform/SystemLog.h"
#include "platform/UserDefaults.h"
#include "services/TestSupport.h"

namespace zor::testing {
namespace {

const std::string kDomain = "org.test.widget";
using Path = std::vector<std::string>;

class PreferencesFileTest : public ::testing::Test {
 protected:
  PreferencesFileTest() { UserDefaults::setPreferencesDirectory(folder_.path()); }
  ~PreferencesFileTest() override { UserDefaults::setPreferencesDirectory(""); }

  std::string path() const { return folder_.file(kDomain + ".plist"); }
  ino_t inode() const {
    struct stat info {};
    return ::stat(path().c_str(), &info) == 0 ? info.st_ino : 0;
  }

  ScopedTempDirectory folder_;
};

// One writer reads the file, another then changes it, and the first changes one
// entry: the file keeps the other's change and is rewritten only when the entry
// differs from what the file holds.
TEST_F(PreferencesFileTest, AnEntryChangeMergesIntoTheFileAsItIsNow) {
  const PlistDictionary start{{"M", PlistDictionary{{"a", "1"}}}, {"Unit", PlistValue::integer(0)}};
  struct Case {
    const char* what;
    Path entry;
    std::optional<PlistValue> value;  // none: removed
    bool rewritten;
    PlistDictionary after;
  };
  // What the other writer made of the file: "b" beside "a", the unit changed.
  const PlistDictionary other{{"M", PlistDictionary{{"a", "1"}, {"b", "2"}}},
                              {"Unit", PlistValue::integer(1)}};
  const Case cases[] = {
      {"a new entry beside the other's",
       {"M", "c"},
       PlistValue("3"),
       true,
       {{"M", PlistDictionary{{"a", "1"}, {"b", "2"}, {"c", "3"}}},
        {"Unit", PlistValue::integer(1)}}},
      {"an entry removed",
       {"M", "a"},
       std::nullopt,
       true,
       {{"M", PlistDictionary{{"b", "2"}}}, {"Unit", PlistValue::integer(1)}}},
      {"a dictionary made on the way",
       {"N", "x", "y"},
       PlistValue("4"),
       true,
       [&] {
         PlistDictionary after = other;
         after["N"] = PlistDictionary{{"x", PlistDictionary{{"y", "4"}}}};
         return after;
       }()},
      {"the value the file holds already", {"M", "b"}, PlistValue("2"), false, other},
      {"removing what is not there", {"M", "z", "q"}, std::nullopt, false, other},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(writePropertyListFile(path(), PlistValue(start), PlistFormat::XML));
    UserDefaults writer;
    ASSERT_EQ(writer.persistentDomainForName(kDomain), start);
    ASSERT_TRUE(writePropertyListFile(path(), PlistValue(other), PlistFormat::XML));
    const ino_t before = inode();
    if (c.value) {
      writer.setPersistentValue(*c.value, c.entry, kDomain);
    } else {
      writer.removePersistentValue(c.entry, kDomain);
    }
    EXPECT_TRUE(writer.synchronize());
    EXPECT_EQ(inode() != before, c.rewritten);
    EXPECT_EQ(readPropertyListFile(path()), PlistValue(c.after));
    EXPECT_EQ(writer.persistentDomainForName(kDomain), c.after);
  }
}

// Temporary files of a writer killed mid-write go when the domain is first
// used; files that only look alike stay.
TEST_F(PreferencesFileTest, TemporaryFilesOfInterruptedWritesAreRemoved) {
  const std::string ours[] = {".plist.tmp-Ab12Cd", ".plist.tmp-000000"};
  const std::string others[] = {".plist.tmp-Ab12C", ".plist.tmp-Ab12Cd7", ".plist.tmp-Ab_2Cd",
                                ".plist.tmpAb12Cd", ".plist.corrupt-20231114T221320Z"};
  for (const std::string& suffix : ours) std::ofstream(folder_.file(kDomain + suffix)) << "<";
  for (const std::string& suffix : others) std::ofstream(folder_.file(kDomain + suffix)) << "<";
  std::ofstream(folder_.file("org.other.plist.tmp-Ab12Cd")) << "<";

  ScopedLogCapture log;
  UserDefaults defaults;
  EXPECT_EQ(defaults.persistentDomainForName(kDomain), std::nullopt);
  for (const std::string& suffix : ours) {
    EXPECT_FALSE(std::filesystem::exists(folder_.file(kDomain + suffix))) << suffix;
  }
  for (const std::string& suffix : others) {
    EXPECT_TRUE(std::filesystem::exists(folder_.file(kDomain + suffix))) << suffix;
  }
  EXPECT_TRUE(std::filesystem::exists(folder_.file("org.other.plist.tmp-Ab12Cd")));
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_NE(log.lines()[0].find("removed 2 temporary"), std::string::npos) << log.lines()[0];
}

}  // namespace
}  // namespace zor::testing
