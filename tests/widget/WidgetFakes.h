#pragma once
// Doubles for the platform services the controller uses: a bundle with
// string tables and an information dictionary set by the test, and a text
// measurer whose widths are a fixed amount per code point.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Bundle.h"
#include "platform/TextMeasurer.h"

namespace zor::testing {

class FakeBundle : public Bundle {
 public:
  // Every fake has the same ellipsis, since the controller caches it once per process.
  FakeBundle() { tables["Localizable"]["ELLIPSIS"] = "\u2026"; }
  const PlistDictionary& infoDictionary() const override { return info; }
  std::string localizedString(const std::string& key, const std::string& fallback,
                              const std::string& table = "") const override {
    auto found = tables.find(table.empty() ? "Localizable" : table);
    if (found != tables.end() && found->second.count(key)) return found->second.at(key);
    return fallback.empty() ? key : fallback;
  }
  std::optional<std::string> resourceContents(const std::string&,
                                              const std::string&) const override {
    return std::nullopt;
  }
  std::optional<std::string> fileContents(const std::string&) const override {
    return std::nullopt;
  }

  PlistDictionary info;
  std::map<std::string, std::map<std::string, std::string>> tables;
};

// Ten points per ASCII character, five per other code point (the ellipsis among them).
class FakeMeasurer : public TextMeasurer {
 public:
  float widthOfText(std::string_view text, const Font&) override {
    measured.emplace_back(text);
    float width = 0;
    for (unsigned char byte : text) {
      if ((byte & 0xC0u) != 0x80u) width += byte < 0x80u ? 10.0f : 5.0f;
    }
    return width;
  }
  std::vector<std::string> measured;
};

// Installs both doubles for one test and removes them afterwards.
class ScopedWidgetFakes {
 public:
  ScopedWidgetFakes() {
    Bundle::setPluginBundle(bundle);
    TextMeasurer::setCurrent(measurer);
  }
  ~ScopedWidgetFakes() {
    Bundle::setPluginBundle(nullptr);
    TextMeasurer::setCurrent(nullptr);
  }
  std::shared_ptr<FakeBundle> bundle = std::make_shared<FakeBundle>();
  std::shared_ptr<FakeMeasurer> measurer = std::make_shared<FakeMeasurer>();
};

}  // namespace zor::testing
