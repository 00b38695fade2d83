#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/PropertyListSerialization.h"
#include "platform/SystemLog.h"
#include "platform/UserDefaults.h"
#include "platform/simulated/SimulatedMachine.h"
#include "services/TestSupport.h"

namespace zor {
namespace {

using testing::ScopedTempDirectory;

// What may stand where a machine profile or a preferences file is read.
enum class Thing { Fifo, EndlessDevice, Oversized };

void place(Thing thing, const std::string& path) {
  EXPECT_EQ(thing == Thing::Fifo            ? mkfifo(path.c_str(), 0644)
            : thing == Thing::EndlessDevice ? symlink("/dev/zero", path.c_str())
                                            : 0,
            0);
  if (thing == Thing::Oversized) {
    std::ofstream{path};
    std::filesystem::resize_file(path, 16 * 1024 * 1024 + 1);  // sparse: costs no disk
  }
}

// Profiles are refused with their one line; a preferences file that is no
// regular file is left alone and the write fails, a damaged one is moved aside.
TEST(UntrustedFilesTest, OnlyBoundedRegularFilesAreReadAsProfilesAndPreferences) {
  const std::tuple<Thing, std::string, bool> cases[] = {
      {Thing::Fifo, "not a regular file", false},
      {Thing::EndlessDevice, "not a regular file", false},
      {Thing::Oversized, "larger than 16 MB", true},
  };
  const std::string domain = "org.zorsensors.widget.sensors";
  for (const auto& [thing, reason, movedAside] : cases) {
    SCOPED_TRACE(reason);
    ScopedTempDirectory directory;
    const std::string profile = directory.file("machine.plist");
    const std::string preferences = directory.file(domain + ".plist");
    place(thing, profile);
    place(thing, preferences);
    // A reader that waits for a FIFO's writer would hang the test: from a second on, one comes.
    std::jthread writer([&](std::stop_token stop) {
      for (int tick = 0; !stop.stop_requested(); ++tick) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        for (const std::string* path : {&profile, &preferences}) {
          const int fd = tick < 10 ? -1 : ::open(path->c_str(), O_WRONLY | O_NONBLOCK);
          if (fd >= 0) ::close(fd);
        }
      }
    });

    std::string error;
    EXPECT_EQ(SimulatedMachine::load(profile, &error), nullptr);
    EXPECT_NE(error.find(reason), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;

    UserDefaults::setPreferencesDirectory(directory.path());
    ScopedLogCapture log;
    UserDefaults defaults;
    EXPECT_EQ(defaults.persistentDomainForName(domain), std::nullopt);
    defaults.setPersistentDomain({{"k", PlistValue::integer(1)}}, domain);
    EXPECT_EQ(defaults.synchronize(), movedAside);
    EXPECT_TRUE(log.contains(reason));
    // Only a damaged regular file was replaced by the write.
    EXPECT_EQ(readPropertyListFile(preferences) ==
                  PlistValue(PlistDictionary{{"k", PlistValue::integer(1)}}),
              movedAside);
    UserDefaults::setPreferencesDirectory("");
  }
}

}  // namespace
}  // namespace zor
