// The preferences file under entry-by-entry changes: what reaches the file,
// when it is rewritten at all, and what interrupted writers left behind.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/SystemLog.h"
#include "preferences/PreferencesFixture.h"

namespace zor::testing {
namespace {

using PreferencesFileTest = PreferencesFixture;

ino_t inodeOf(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// A file whose unit is 1 and whose "M" holds `m`, with other top-level keys.
PlistDictionary file(PlistDictionary m, PlistDictionary top = {}) {
  top["M"] = std::move(m);
  top["Unit"] = PlistValue::integer(1);
  return top;
}

// One writer reads the file, another then changes it, and the first changes one
// entry: the file keeps the other's change and is rewritten only when the entry
// differs from what the file holds.
TEST_F(PreferencesFileTest, AnEntryChangeMergesIntoTheFileAsItIsNow) {
  const PlistDictionary start{{"M", PlistDictionary{{"a", "1"}}}, {"Unit", PlistValue::integer(0)}};
  // What the other writer made of the file: "b" beside "a", the unit changed.
  const PlistDictionary ab{{"a", "1"}, {"b", "2"}};
  // The entry, its new value (none: removed), whether the file is rewritten, the file afterwards.
  using Case =
      std::tuple<std::vector<std::string>, std::optional<PlistValue>, bool, PlistDictionary>;
  const Case cases[] = {
      {{"M", "a"}, std::nullopt, true, file({{"b", "2"}})},
      {{"N", "x", "y"},
       PlistValue("4"),
       true,
       file(ab, {{"N", PlistDictionary{{"x", PlistDictionary{{"y", "4"}}}}}})},
      {{"M", "b"}, PlistValue("2"), false, file(ab)},
      {{"M", "z", "q"}, std::nullopt, false, file(ab)},
  };
  for (const auto& [entry, value, rewritten, after] : cases) {
    SCOPED_TRACE(entry.back());
    ASSERT_TRUE(writePropertyListFile(path(), PlistValue(start), PlistFormat::XML));
    UserDefaults writer;
    ASSERT_EQ(writer.persistentDomainForName(kDomain), start);
    ASSERT_TRUE(writePropertyListFile(path(), PlistValue(file(ab)), PlistFormat::XML));
    const ino_t before = inodeOf(path());
    if (value) {
      writer.setPersistentValue(*value, entry, kDomain);
    } else {
      writer.removePersistentValue(entry, kDomain);
    }
    EXPECT_TRUE(writer.synchronize());
    EXPECT_EQ(inodeOf(path()) != before, rewritten);
    EXPECT_EQ(readPropertyListFile(path()), PlistValue(after));
    EXPECT_EQ(writer.persistentDomainForName(kDomain), after);
  }
}

// Temporary files of a writer killed mid-write go when the domain is first
// used; files that only look alike stay.
TEST_F(PreferencesFileTest, TemporaryFilesOfInterruptedWritesAreRemoved) {
  const std::string ours[] = {std::string(kDomain) + ".plist.tmp-Ab12Cd",
                              std::string(kDomain) + ".plist.tmp-000000"};
  const std::string others[] = {std::string(kDomain) + ".plist.tmp-Ab12C",
                                std::string(kDomain) + ".plist.tmp-Ab12Cd7",
                                std::string(kDomain) + ".plist.tmp-Ab_2Cd",
                                std::string(kDomain) + ".plist.tmpAb12Cd",
                                std::string(kDomain) + ".plist.corrupt-20231114T221320Z",
                                "org.other.plist.tmp-Ab12Cd"};
  for (const std::string& name : ours) std::ofstream(folder_.file(name)) << "<";
  for (const std::string& name : others) std::ofstream(folder_.file(name)) << "<";
  ScopedLogCapture log;
  EXPECT_EQ(UserDefaults().persistentDomainForName(kDomain), std::nullopt);
  for (const std::string& name : ours)
    EXPECT_FALSE(std::filesystem::exists(folder_.file(name))) << name;
  for (const std::string& name : others)
    EXPECT_TRUE(std::filesystem::exists(folder_.file(name))) << name;
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_NE(log.lines()[0].find("removed 2 temporary"), std::string::npos) << log.lines()[0];
}

}  // namespace
}  // namespace zor::testing
