#pragma once
// The widget host program run as a user runs it, for the benchmarks that
// measure the host process itself (its memory and its CPU time): started on
// a free loopback port with preferences in a scratch folder, called over HTTP
// as the widget calls it, stopped with SIGTERM. Its resource use comes from
// /proc/<pid>/status and from wait4(). ZOR_WIDGET_HOST names another build of
// the program to measure (an older one, side by side).

#include <httplib.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace zor::bench {

class HostProcess {
 public:
  // `arguments` come after the program's name; --port 0 and --prefs are added.
  explicit HostProcess(std::vector<std::string> arguments = {}) {
    char pattern[] = "/tmp/zor-bench-host-XXXXXX";
    if (const char* dir = mkdtemp(pattern)) preferences_ = dir;
    const char* program = std::getenv("ZOR_WIDGET_HOST");
    arguments.insert(arguments.begin(), program ? program : ZOR_WIDGET_HOST_PROGRAM);
    arguments.insert(arguments.end(), {"--port", "0", "--prefs", preferences_});
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      std::vector<char*> argv;
      for (auto& a : arguments) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    // The address line comes once the server listens.
    std::string output;
    char buffer[512];
    const std::regex address("127\\.0\\.0\\.1:(\\d+)/");
    std::smatch match;
    while (!std::regex_search(output, match, address)) {
      ssize_t n = read(out[0], buffer, sizeof buffer);
      if (n <= 0) break;
      output.append(buffer, static_cast<size_t>(n));
    }
    if (!match.empty()) {
      port_ = std::stoi(match[1].str());
      client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
      // As a browser does: the connection is kept for the next call when the
      // host keeps it open, and made again when the host has closed it.
      client_->set_keep_alive(true);
      client_->set_tcp_nodelay(true);
    }
    output_ = out[0];  // kept open so the host never writes into a closed pipe
  }

  ~HostProcess() {
    client_.reset();
    stop();
    if (output_ >= 0) close(output_);
    if (!preferences_.empty()) std::system(("rm -rf '" + preferences_ + "'").c_str());
  }
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  bool running() const { return pid_ > 0 && port_ > 0; }
  int port() const { return port_; }

  // One bridge call, as the widget's script makes it.
  bool call(const std::string& instance, const std::string& name, const std::string& args) {
    if (!client_) return false;
    const std::string origin = "http://127.0.0.1:" + std::to_string(port_);
    const std::string body = "{\"id\": 1, \"instance\": \"" + instance + "\", \"call\": \"" + name +
                             "\", \"args\": " + args + "}";
    auto response =
        client_->Post("/bridge", httplib::Headers{{"Origin", origin}}, body, "application/json");
    return response && response->status == 200 &&
           response->body.find("\"error\"") == std::string::npos;
  }

  // A widget instance set up as the widget sets itself up, having read both its sensors.
  bool setUpInstance(const std::string& instance) {
    return call(instance, "setWidgetIdentifier", "[\"" + instance + "\"]") &&
           call(instance, "setMaximumSensorNameWidth", "[120]") &&
           call(instance, "localizedReadingAtDisplayIndex", "[0]") &&
           call(instance, "localizedReadingAtDisplayIndex", "[1]");
  }

  // Kilobyte fields of /proc/<pid>/status ("VmRSS", "RssAnon", "RssFile").
  std::map<std::string, double> statusKilobytes() const {
    std::map<std::string, double> fields;
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    std::string key;
    double value = 0;
    std::string unit;
    while (status >> key) {
      if (key.back() == ':' && (status >> value >> unit) && unit == "kB") {
        fields[key.substr(0, key.size() - 1)] = value;
      }
      status.ignore(4096, '\n');
      status.clear();
    }
    return fields;
  }

  // Stops the host; its CPU time over its whole life, in seconds.
  std::optional<double> stop() {
    if (pid_ <= 0) return std::nullopt;
    client_.reset();
    kill(pid_, SIGTERM);
    int status = 0;
    rusage usage{};
    const pid_t ended = wait4(pid_, &status, 0, &usage);
    pid_ = -1;
    if (ended <= 0) return std::nullopt;
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
  }

 private:
  static double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  }

  std::string preferences_;
  pid_t pid_ = -1;
  int port_ = 0;
  int output_ = -1;
  std::unique_ptr<httplib::Client> client_;
};

// Sets the figure, its target and their ratio as the counters scripts/bench.sh tabulates.
template <typename State>
void reportFigure(State& state, double value, double target) {
  state.counters["value"] = value;
  state.counters["target"] = target;
  state.counters["ratio"] = target > 0 ? value / target : 0;
}

}  // namespace zor::bench
