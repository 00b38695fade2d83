#include <gtest/gtest.h>

#include "platform/SystemLog.h"
#include "smc/SMCTestMachine.h"

namespace zor {
namespace {

using testing::smcKey;
using testing::SMCTest;
using testing::sp78Key;
using SMC = ZORSystemManagementController;

class SMCKeyListingLogTest : public SMCTest {};

// Listing the keys logs a few failing indices one by one and the rest in one line.
TEST_F(SMCKeyListingLogTest, FailingKeyIndicesAreLoggedAFewAtATime) {
  struct Case {
    const char* what;
    PlistArray keys;
    PlistDictionary simulation;
    std::vector<std::string> lines;
  };
  const std::string failed = "ZORSystemManagementController: function call failed with error ";
  const PlistValue diode = sp78Key("TC0D", 40.0);
  const Case cases[] = {
      {"one failing index",
       {smcKey("#KEY", "ui32", {0, 0, 0, 2}), diode},
       {{"SMCFailIndices", PlistArray{PlistValue::integer(1)}}},
       {failed}},
      // 65,536 indices asked (the most listed), two answered.
      {"a \"#KEY\" of 0xFFFFFFFF",
       {smcKey("#KEY", "ui32", {0xFF, 0xFF, 0xFF, 0xFF}), diode},
       {},
       {failed, failed, failed,
        "ZORSystemManagementController: function call failed for 65531 more of 65536 key "
        "indices\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(installKeys(c.keys, c.simulation));
    auto controller = SMC::sharedSystemManagementController();
    ASSERT_NE(controller, nullptr);
    ScopedLogCapture log;
    controller->allPropertyKeys();
    ASSERT_EQ(log.lines().size(), c.lines.size());
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
      EXPECT_EQ(log.lines()[i].substr(0, c.lines[i].size()), c.lines[i]);
    }
    controller.reset();
    SMC::forgetSharedSystemManagementController();
  }
}

}  // namespace
}  // namespace zor
