// Listing every sensor of a recorded Linux tree (the nct6798 desktop) with
// zor-sensors beside lm-sensors' `sensors` on the same tree, in one run: the
// benchmark enters a private mount namespace, binds the tree's sys/ over /sys
// and its sensors3.conf and sensors.d/ over /etc's, and starts each program
// as a shell would. Needs root (for the namespace) and the lm-sensors package.
// The figure is zor-sensors' time per listing over sensors'; the aim is half.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace {

const std::string kTree = ZOR_SOURCE_DIR "/tests/linux/trees/desktop-nct6798";

bool bind(const std::string& from, const char* to) {
  return mount(from.c_str(), to, nullptr, MS_BIND, nullptr) == 0;
}

// The tree over /sys and /etc's sensor configuration, for this process only.
bool enterTree() {
  static const bool entered = unshare(CLONE_NEWNS) == 0 &&
                              mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                              bind(kTree + "/sys", "/sys") &&
                              bind(kTree + "/etc/sensors3.conf", "/etc/sensors3.conf") &&
                              bind(kTree + "/etc/sensors.d", "/etc/sensors.d");
  return entered;
}

// Runs the program with its output thrown away; its exit status.
int run(const std::vector<std::string>& arguments, const std::vector<std::string>& environment) {
  std::vector<char*> argv;
  for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (char** e = environ; *e != nullptr; ++e) envp.push_back(*e);
  for (const auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int status = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
    waitpid(pid, &status, 0);
  }
  posix_spawn_file_actions_destroy(&actions);
  return status;
}

double secondsPerListing(const std::vector<std::string>& arguments,
                         const std::vector<std::string>& environment, int times) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < times; ++i) {
    if (run(arguments, environment) != 0) return -1;
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / times;
}

void BM_ListingAgainstLmSensors(benchmark::State& state) {
  if (!enterTree()) {
    state.SkipWithError("cannot bind the tree over /sys (needs root and a mount namespace)");
    return;
  }
  const std::vector<std::string> ours{ZOR_SENSORS_PROGRAM, "--machine", "this"};
  const std::vector<std::string> theirs{"/usr/bin/sensors"};
  const std::vector<std::string> shim{std::string("LD_PRELOAD=") + ZOR_SYSFS_SHIM};
  constexpr int kTimes = 50;
  double zor = 0;
  double lm = 0;
  for (auto _ : state) {
    // Side by side, alternating, so both see the same machine load.
    zor = secondsPerListing(ours, {}, kTimes);
    lm = secondsPerListing(theirs, shim, kTimes);
    if (zor < 0 || lm < 0) {
      state.SkipWithError(zor < 0 ? "zor-sensors failed"
                                  : "sensors failed (lm-sensors installed?)");
      return;
    }
  }
  state.counters["zor_sensors_ms"] = zor * 1e3;
  state.counters["sensors_ms"] = lm * 1e3;
  state.counters["value"] = zor / lm;
  state.counters["target"] = 0.5;
  state.counters["ratio"] = zor / lm / 0.5;
}
BENCHMARK(BM_ListingAgainstLmSensors)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
