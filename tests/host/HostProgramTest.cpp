// zor-widget-host itself, over stdio: the command line, the machine notice
// and the answers as a script sees them.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

#ifdef ZOR_WIDGET_HOST_PROGRAM

class HostProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zor-host-program-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Runs the host with `arguments` and `input`; its exit code, and what it
  // wrote to stdout and stderr.
  std::tuple<int, std::string, std::string> run(const std::string& arguments,
                                                const std::string& input) {
    std::ofstream(dir_ / "in") << input;
    const std::string command = std::string("'") + ZOR_WIDGET_HOST_PROGRAM + "' " + arguments +
                                " < '" + (dir_ / "in").string() + "' > '" +
                                (dir_ / "out").string() + "' 2> '" + (dir_ / "err").string() + "'";
    const int status = std::system(command.c_str());
    std::stringstream out, err;
    out << std::ifstream(dir_ / "out").rdbuf();
    err << std::ifstream(dir_ / "err").rdbuf();
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out.str(), err.str()};
  }

  std::filesystem::path dir_;
};

// The answers as a script sees them, the notice on standard error; 2 and the
// usage for an unusable command line.
TEST_F(HostProgramTest, AnswersOverStdioAndSaysTheMachineIsSimulated) {
  const auto [code, output, errors] =
      run("--stdio --machine demo --prefs '" + (dir_ / "prefs").string() + "'",
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
}

#endif

}  // namespace
