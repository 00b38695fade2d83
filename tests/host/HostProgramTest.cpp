// zor-widget-host itself, over stdio: the command line, the machine notice
// and the answers as a script sees them.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

#ifdef ZOR_WIDGET_HOST_PROGRAM

struct ProgramRun {
  int exitCode = -1;
  std::string output;
  std::string errors;
};

class HostProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zor-host-program-XXXXXX";
    const char* made = mkdtemp(pattern);
    ASSERT_NE(made, nullptr);
    dir_ = made;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  ProgramRun run(const std::string& arguments, const std::string& input) {
    std::ofstream(dir_ / "in") << input;
    std::string command = std::string("'") + ZOR_WIDGET_HOST_PROGRAM + "' " + arguments + " < '" +
                          (dir_ / "in").string() + "' > '" + (dir_ / "out").string() + "' 2> '" +
                          (dir_ / "err").string() + "'";
    ProgramRun result;
    int status = std::system(command.c_str());
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::stringstream out, err;
    out << std::ifstream(dir_ / "out").rdbuf();
    err << std::ifstream(dir_ / "err").rdbuf();
    result.output = out.str();
    result.errors = err.str();
    return result;
  }

  std::filesystem::path dir_;
};

TEST_F(HostProgramTest, AnswersOverStdioAndSaysTheMachineIsSimulated) {
  const std::string prefs = (dir_ / "prefs").string();
  ProgramRun r =
      run("--stdio --machine demo --prefs '" + prefs + "'",
          "{\"id\": 1, \"instance\": \"A\", \"call\": \"numberOfAvailableSensors\", "
          "\"args\": []}\n"
          "{\"id\": 2, \"instance\": \"A\", \"call\": \"setWidgetIdentifier\", "
          "\"args\": [\"A\"]}\n"
          "{\"id\": 3, \"instance\": \"A\", \"call\": \"localizedReadingAtDisplayIndex\", "
          "\"args\": [0]}\n"
          "{\"id\": 4, \"instance\": \"A\", \"call\": \"localizedReadingAtDisplayIndex\", "
          "\"args\": [\"0\"]}\n"
          "{\"id\": 5, \"instance\": \"A\", \"call\": \"setTemperatureUnitIndex\", "
          "\"args\": [1]}\n"
          "{\"id\": 6, \"instance\": \"A\", \"call\": \"preferredTemperatureUnitIndex\"}\n");
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_NE(r.errors.find("SIMULATED"), std::string::npos) << r.errors;
  std::vector<nlohmann::json> answers;
  std::istringstream lines(r.output);
  for (std::string line; std::getline(lines, line);) answers.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(answers.size(), 6u) << r.output;
  EXPECT_TRUE(answers[0]["result"].is_number_integer());
  EXPECT_EQ(answers[0].value("newInstance", false), true);
  EXPECT_TRUE(answers[1]["result"].is_null());
  EXPECT_TRUE(answers[2]["result"].is_string());
  EXPECT_TRUE(answers[3].contains("error"));
  EXPECT_TRUE(answers[4]["result"].is_null());
  EXPECT_EQ(answers[5]["result"], 1);
}

TEST_F(HostProgramTest, RefusesAMachineProfileItCannotRead) {
  std::string missing = (dir_ / "no-such-machine.plist").string();
  ProgramRun r = run("--stdio --machine '" + missing + "'", "");
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.errors.find("no-such-machine.plist"), std::string::npos) << r.errors;
  EXPECT_EQ(r.output, "");
}

TEST_F(HostProgramTest, RefusesABadCommandLineWithUsage) {
  ProgramRun r = run("--port 70000", "");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.errors.find("usage: zor-widget-host"), std::string::npos) << r.errors;
}

#endif

}  // namespace
