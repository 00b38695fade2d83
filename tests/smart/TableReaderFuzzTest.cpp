// Randomised mutation of the table corpus (tests/smart/corpus): whatever
// bytes a known-disk table or an attribute-name table holds, the readers
// must neither crash nor read out of bounds (run it under the sanitize
// preset), and what they give back must stay usable.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/Bundle.h"
#include "platform/PropertyListSerialization.h"
#include "platform/ResourceBundle.h"
#include "platform/SystemLog.h"
#include "smart/ZORKnownSMARTHardDisk.h"
#include "smart/ZORSMARTStorageDevice.h"

namespace zor {
namespace {

constexpr int kMutationsPerInput = 4000;

std::vector<std::string> corpusFiles(const std::string& extension) {
  std::vector<std::string> paths;
  for (const auto& entry :
       std::filesystem::directory_iterator(ZOR_SOURCE_DIR "/tests/smart/corpus")) {
    if (entry.path().extension() == extension) paths.push_back(entry.path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

// One random edit: flip a bit, overwrite, insert or delete a byte, insert a
// byte that means something to the table format, or duplicate a slice.
void mutate(std::string& bytes, std::mt19937& random) {
  static const char kTokens[] = {'"', '#', '\n', '\r', ' ', '\t', '\xff', '\0', '0',
                                 '9', 'C', 'F',  '(',  '[', '\\', '*',    '{',  '<'};
  auto pick = [&](std::size_t bound) {
    return std::uniform_int_distribution<std::size_t>(0, bound)(random);
  };
  switch (pick(5)) {
    case 0:
      if (!bytes.empty()) bytes[pick(bytes.size() - 1)] ^= static_cast<char>(1u << pick(7));
      break;
    case 1:
      if (!bytes.empty()) bytes[pick(bytes.size() - 1)] = static_cast<char>(pick(255));
      break;
    case 2:
      bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(pick(bytes.size())),
                   kTokens[pick(sizeof kTokens - 1)]);
      break;
    case 3:
      if (!bytes.empty()) bytes.erase(pick(bytes.size() - 1), 1 + pick(8));
      break;
    case 4:
      if (!bytes.empty() && bytes.size() < 8192) {
        std::size_t from = pick(bytes.size() - 1);
        std::string slice = bytes.substr(from, 1 + pick(300));
        bytes.insert(pick(bytes.size()), slice);
      }
      break;
    default:
      bytes.resize(pick(bytes.size()));
      break;
  }
}

// Feeds `read` mutations of every corpus file with `extension`: mostly stacked
// edits, starting again from the corpus file every `restartEvery` inputs.
void fuzzCorpus(const std::string& extension, std::uint32_t seed, int mutations, int restartEvery,
                const std::function<void(const std::string&)>& read) {
  ScopedLogCapture log;
  std::mt19937 random(seed);
  auto inputs = corpusFiles(extension);
  ASSERT_GE(inputs.size(), 3u);
  for (const auto& path : inputs) {
    auto original = readWholeFile(path);
    ASSERT_TRUE(original.has_value()) << path;
    std::string bytes = *original;
    for (int i = 0; i < mutations; ++i) {
      if (i % restartEvery == 0) bytes = *original;
      mutate(bytes, random);
      read(bytes);
      log.clear();
    }
  }
}

TEST(TableReaderFuzzTest, MutatedKnownDiskTablesNeverBreakTheReader) {
  std::size_t records = 0;
  fuzzCorpus(".db", 0x5eed, kMutationsPerInput, 16, [&](const std::string& bytes) {
    for (const auto& disk : ZORKnownSMARTHardDisk::smartDiskTableWithContents(bytes)) {
      ASSERT_NE(disk->regularMatchExpression(), nullptr);
      ASSERT_TRUE(disk->productName().has_value());
      // Fields keep at most 256 characters (a name may grow in its 8-bit conversion).
      ASSERT_LE(disk->productName()->size(), 2u * 256u);
      disk->matchesProductName("WDC WD3200BEVT-22ZCT0");
      ++records;
    }
  });
  // The mutations must leave many rows readable, or the run proves little.
  EXPECT_GT(records, 1000u);
}

TEST(TableReaderFuzzTest, MutatedAttributeTablesNeverBreakTheNameLookup) {
  int tablesRead = 0;
  fuzzCorpus(".plist", 0xa77, kMutationsPerInput / 3, 8, [&](const std::string& bytes) {
    Bundle::setPluginBundle(ResourceBundle::forFiles({{"SMARTProperties.plist", bytes}}));
    ZORSMARTStorageDevice::forgetLoadedTables();
    if (ZORSMARTStorageDevice::knownSMARTVendorAttributes()) ++tablesRead;
    for (std::int32_t id : {1, 5, 9, 194, -1, 256}) {
      ZORSMARTStorageDevice::vendorAttributeNameForSMARTIdentifier(id);
    }
  });
  Bundle::setPluginBundle(nullptr);
  ZORSMARTStorageDevice::forgetLoadedTables();
  EXPECT_GT(tablesRead, 0);
}

}  // namespace
}  // namespace zor
