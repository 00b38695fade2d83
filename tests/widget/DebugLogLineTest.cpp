#include <gtest/gtest.h>

#include "platform/SystemLog.h"
#include "widget/ControllerFixture.h"

namespace zor::testing {
namespace {

class DebugLogLineTest : public ControllerFixture {};

// Whatever the script sends, one call is one line of the log.
TEST_F(DebugLogLineTest, ScriptTextCannotBreakOrForgeLogLines) {
  struct Case {
    const char* what;
    std::string text;
    std::string line;
  };
  const Case cases[] = {
      {"a line break forging a line", "done\nSMC: fan failed",
       "Debug message('done\\nSMC: fan failed')\n"},
      {"CR LF and a tab", "a\r\n\tb", "Debug message('a\\r\\n\\tb')\n"},
      {"NUL, escape and DEL", std::string("a\0\x1b[2J\x7f", 7),
       "Debug message('a\\x00\\x1b[2J\\x7f')\n"},
      {"UTF-8 stays as it is",
       "42 \xC2\xB0"
       "C",
       "Debug message('42 \xC2\xB0"
       "C')\n"},
  };
  auto controller = makeController();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedLogCapture log;
    controller->logDebugString(c.text);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0], c.line);
  }
}

}  // namespace
}  // namespace zor::testing
