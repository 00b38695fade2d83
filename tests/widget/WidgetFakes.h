#pragma once
// Doubles for the platform services the controller uses: a bundle with
// string tables and an information dictionary set by the test, and a text
// measurer whose widths are a fixed amount per code point.

#include <map>
#include <memory>
#include <string>

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
    ++lookups;
    auto found = tables.find(table.empty() ? "Localizable" : table);
    if (found != tables.end()) {
      auto entry = found->second.find(key);
      if (entry != found->second.end()) return entry->second;
    }
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
  mutable int lookups = 0;
};

class FakeMeasurer : public TextMeasurer {
 public:
  float widthOfText(std::string_view text, const Font& font) override {
    ++measurements;
    lastFont = font;
    measured.emplace_back(text);
    float width = 0;
    for (unsigned char byte : text) {
      if (byte < 0x80u) {
        width += perCharacter;
      } else if ((byte & 0xC0u) != 0x80u) {
        width += perCharacter / 2;  // other code points (the ellipsis among them) are narrower
      }
    }
    return width;
  }
  float perCharacter = 10.0f;
  int measurements = 0;
  Font lastFont;
  std::vector<std::string> measured;
};

// Installs both doubles for one test and removes them afterwards.
class ScopedWidgetFakes {
 public:
  ScopedWidgetFakes()
      : bundle(std::make_shared<FakeBundle>()), measurer(std::make_shared<FakeMeasurer>()) {
    Bundle::setPluginBundle(bundle);
    TextMeasurer::setCurrent(measurer);
  }
  ~ScopedWidgetFakes() {
    Bundle::setPluginBundle(nullptr);
    TextMeasurer::setCurrent(nullptr);
  }
  std::shared_ptr<FakeBundle> bundle;
  std::shared_ptr<FakeMeasurer> measurer;
};

}  // namespace zor::testing
