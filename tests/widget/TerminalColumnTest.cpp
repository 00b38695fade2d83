// The CLI's table keeps its columns: names and readings are fitted to their
// columns by terminal cells, whatever their length and script.

#include <gtest/gtest.h>

#include "widget/ControllerFixture.h"
#include "widget/OwnSensorSettings.h"
#include "widget/SensorListing.h"
#include "widget/TerminalColumn.h"

namespace zor {
namespace {

using Align = TerminalColumn::Align;

TEST(TerminalColumnTest, TextIsFittedToItsCells) {
  struct Case {
    std::string text;
    std::size_t width;
    Align align;
    std::string fitted;
  };
  const Case cases[] = {
      {"CPU", 6, Align::Left, "CPU   "},
      {"55\u00B0C", 6, Align::Right, "  55\u00B0C"},  // the degree sign is one cell
      {"Hitachi HTS545032B9SA02", 10, Align::Left, "Hitachi H\u2026"},
      {"\u6E29\u5EA6\u8A08", 6, Align::Left, "\u6E29\u5EA6\u8A08"},  // wide: two cells each
      {"\u6E29\u5EA6\u8A08", 5, Align::Left, "\u6E29\u5EA6\u2026"},
      {"\u6E29\u5EA6\u8A08", 4, Align::Left, "\u6E29\u2026 "},  // no half of a wide one
      {"e\u0301te\u0301", 3, Align::Left, "e\u0301te\u0301"},   // combining marks take none
      {"caf\xE9", 5, Align::Left, "caf\uFFFD "},                // not UTF-8: shown as U+FFFD
      {"a\x1b[2Jb", 6, Align::Left, "a[2Jb "},                  // no terminal control gets through
      {"abc", 0, Align::Left, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string fitted = TerminalColumn::fit(c.text, c.width, c.align);
    EXPECT_EQ(fitted, c.fitted);
    EXPECT_EQ(TerminalColumn::widthOf(fitted), c.width);
  }
}

using ListingColumnsTest = testing::ControllerFixture;

TEST_F(ListingColumnsTest, ReadingsStayInTheirColumnWhateverTheName) {
  add("disk", "SMART Disk Hitachi HTS545032B9SA02 (100415PBN40017G2L7KE)", 1, 42, "C", 1.0);
  add("core", "CPU Core 1", 1, 55, "C", 1.0);
  add("wide", "\u6E29\u5EA6\u8A08\u6E29\u5EA6\u8A08\u6E29\u5EA6\u8A08\u6E29\u5EA6\u8A08\u6E29", 1,
      7, "C", 1.0);
  add("odd", "Fan \xFF\xFE", 6, 1200, "RPM", 1.0);
  fakes.bundle->tables["Localizable"]["C"] = "\u00B0C";
  auto controller = makeController();
  std::string text = SensorListing::text(*controller, OwnSensorSettings());
  std::size_t lines = 0;
  for (std::size_t start = 0; start < text.size(); ++lines) {
    std::size_t end = text.find('\n', start);
    const std::string line = text.substr(start, end - start);
    // Index, name and reading take 3 + 2 + 36 + 1 + 12 cells; the identifier follows.
    const std::string identifier = controller->sensorArray()[lines]->uniqueIdentifier();
    EXPECT_EQ(line.substr(line.size() - identifier.size()), identifier);
    EXPECT_EQ(TerminalColumn::widthOf(line.substr(0, line.size() - identifier.size())), 56u)
        << line;
    start = end + 1;
  }
  EXPECT_EQ(lines, 4u);
}

}  // namespace
}  // namespace zor
