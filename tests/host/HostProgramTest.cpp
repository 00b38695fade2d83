// zor-widget-host itself, over stdio: every request line answered in order as
// a script sees it, the machine notice on standard error, and 2 with the usage
// for an unusable command line.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "host/BridgeDispatcher.h"

namespace {

#ifdef ZOR_WIDGET_HOST_PROGRAM

TEST(HostProgramTest, AnswersOverStdioAndSaysTheMachineIsSimulated) {
  char pattern[] = "/tmp/zor-host-program-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::filesystem::path dir = pattern;
  // The host's exit code, and what it wrote to stdout and stderr.
  auto run = [&dir](const std::string& arguments, const std::string& input) {
    std::ofstream(dir / "in") << input;
    const int status =
        std::system((std::string("'") + ZOR_WIDGET_HOST_PROGRAM + "' " + arguments + " < '" +
                     (dir / "in").string() + "' > '" + (dir / "out").string() + "' 2> '" +
                     (dir / "err").string() + "'")
                        .c_str());
    std::stringstream out, err;
    out << std::ifstream(dir / "out").rdbuf();
    err << std::ifstream(dir / "err").rdbuf();
    return std::tuple(WIFEXITED(status) ? WEXITSTATUS(status) : -1, out.str(), err.str());
  };
  // Blank lines are skipped, a line that is no request or too long is answered
  // with an error, and reading goes on to the last line even without its newline.
  const auto [code, output, errors] =
      run("--stdio --machine demo --prefs '" + (dir / "prefs").string() + "'",
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
  EXPECT_EQ(std::tuple(refused, nothing), std::tuple(2, std::string()));
  EXPECT_NE(reason.find("usage: zor-widget-host"), std::string::npos) << reason;
  std::filesystem::remove_all(dir);
}

#endif

}  // namespace
