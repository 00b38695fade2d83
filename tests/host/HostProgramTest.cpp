// zor-widget-host itself, over stdio: the answers as a script sees them, the
// machine notice on standard error, and 2 with the usage for an unusable
// command line.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

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
  const auto [code, output, errors] =
      run("--stdio --machine demo --prefs '" + (dir / "prefs").string() + "'",
          R"({"id": 1, "instance": "A", "call": "setWidgetIdentifier", "args": ["A"]})"
          "\n"
          R"({"id": 2, "instance": "A", "call": "setTemperatureUnitIndex", "args": ["1"]})"
          "\n"
          R"({"id": 3, "instance": "A", "call": "localizedReadingAtDisplayIndex", "args": [0]})");
  EXPECT_EQ(code, 0) << errors;
  EXPECT_NE(errors.find("SIMULATED"), std::string::npos) << errors;
  std::vector<nlohmann::json> answers;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) answers.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(answers.size(), 3u) << output;
  EXPECT_EQ(answers[0].value("newInstance", false), true);
  EXPECT_TRUE(answers[1].contains("error"));
  EXPECT_TRUE(answers[2]["result"].is_string());
  const auto [refused, nothing, reason] = run("--port 70000", "");
  EXPECT_EQ(std::tuple(refused, nothing), std::tuple(2, std::string()));
  EXPECT_NE(reason.find("usage: zor-widget-host"), std::string::npos) << reason;
  std::filesystem::remove_all(dir);
}

#endif

}  // namespace
