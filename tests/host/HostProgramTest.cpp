// zor-widget-host itself, over stdio: every request line answered in order as
// a script sees it, the machine notice on standard error, and 2 with the usage
// for an unusable command line.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "host/BridgeDispatcher.h"
#include "platform/PropertyListSerialization.h"
#include "services/TestSupport.h"

namespace {

#ifdef ZOR_WIDGET_HOST_PROGRAM

TEST(HostProgramTest, AnswersOverStdioAndSaysTheMachineIsSimulated) {
  zor::testing::ScopedTempDirectory dir;
  // The host's exit code, and what it wrote to stdout and stderr.
  auto run = [&dir](const std::string& arguments, const std::string& input) {
    std::ofstream(dir.file("in")) << input;
    const int status =
        std::system((std::string("'") + ZOR_WIDGET_HOST_PROGRAM + "' " + arguments + " < '" +
                     dir.file("in") + "' > '" + dir.file("out") + "' 2> '" + dir.file("err") + "'")
                        .c_str());
    return std::tuple(WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                      zor::readWholeFile(dir.file("out")).value_or("?"),
                      zor::readWholeFile(dir.file("err")).value_or("?"));
  };
  // Blank lines are skipped, a line that is no request or too long is answered
  // with an error, and reading goes on to the last line even without its newline.
  const auto [code, output, errors] =
      run("--stdio --machine demo --prefs '" + dir.file("prefs") + "'",
          R"({"id": 1, "instance": "A", "call": "setWidgetIdentifier", "args": ["A"]})"
          "\n\n   \n"
          R"({"id": 2, "instance": "A", "call": "setTemperatureUnitIndex", "args": ["1"]})"
          "\r\n" +
              std::string(2 * zor::host::BridgeDispatcher::Limits().maxRequestBytes, 'x') +
              "\nthis is not json\n"
              R"({"id": 4, "instance": "A", "call": "localizedReadingAtDisplayIndex", "args": [0]})"
              "\n"
              R"({"id": 5, "instance": "A", "drop": true})");
  EXPECT_EQ(code, 0) << errors;
  EXPECT_NE(errors.find("SIMULATED"), std::string::npos) << errors;
  std::vector<std::string> answers;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    const nlohmann::json answer = nlohmann::json::parse(line);
    answers.push_back(answer.contains("error")       ? "error " + answer["id"].dump()
                      : answer["result"].is_string() ? "text"
                                                     : answer.dump());
  }
  EXPECT_EQ(answers, (std::vector<std::string>{R"({"id":1,"newInstance":true,"result":null})",
                                               "error 2", "error null", "error null", "text",
                                               R"({"id":5,"result":true})"}));
  const auto [refused, nothing, reason] = run("--port 70000", "");
  EXPECT_EQ(
      std::tuple(refused, nothing, reason.find("usage: zor-widget-host") != std::string::npos),
      std::tuple(2, std::string(), true))
      << reason;
}

#endif

}  // namespace
