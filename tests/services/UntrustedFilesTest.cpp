#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/PropertyListSerialization.h"
#include "platform/SystemLog.h"
#include "platform/UserDefaults.h"
#include "platform/simulated/SimulatedMachine.h"
#include "services/TestSupport.h"

namespace zor {
namespace {

using testing::ScopedTempDirectory;

// What may stand where a machine profile or a preferences file is read.
enum class Thing { Fifo, EndlessDevice, Oversized, DeeplyNested };

void place(Thing thing, const std::string& path) {
  switch (thing) {
    case Thing::Fifo:
      ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
      break;
    case Thing::EndlessDevice:
      ASSERT_EQ(symlink("/dev/zero", path.c_str()), 0);
      break;
    case Thing::Oversized: {
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ASSERT_GE(fd, 0);
      EXPECT_EQ(ftruncate(fd, 16 * 1024 * 1024 + 1), 0);  // sparse: costs no disk
      ::close(fd);
      break;
    }
    case Thing::DeeplyNested: {
      std::ofstream out(path, std::ios::binary);
      out << "<plist version=\"1.0\">";
      for (int i = 0; i < 50000; ++i) out << "<dict><key>a</key>";
      break;
    }
  }
}

// A reader that waits for a FIFO's writer would hang the test; this writer
// comes after a second, so such a wait ends in a failure instead.
class FifoWriterLateComer {
 public:
  explicit FifoWriterLateComer(std::vector<std::string> paths)
      : thread_([this, paths] {
          std::unique_lock<std::mutex> lock(mutex_);
          const auto late = std::chrono::steady_clock::now() + std::chrono::seconds(1);
          while (!cv_.wait_for(lock, std::chrono::milliseconds(100), [this] { return done_; })) {
            if (std::chrono::steady_clock::now() < late) continue;
            for (const std::string& path : paths) {
              const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
              if (fd >= 0) ::close(fd);
            }
          }
        }) {}
  ~FifoWriterLateComer() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;
  std::thread thread_;
};

// Profiles are refused with their one line; a preferences file that is no
// regular file is left alone and the write fails, a damaged one is moved aside.
TEST(UntrustedFilesTest, OnlyBoundedRegularFilesAreReadAsProfilesAndPreferences) {
  struct Case {
    const char* what;
    Thing thing;
    std::string reason;
    bool movedAside;
  };
  const Case cases[] = {
      {"a FIFO", Thing::Fifo, "not a regular file", false},
      {"a device that never ends", Thing::EndlessDevice, "not a regular file", false},
      {"a file over 16 MB", Thing::Oversized, "larger than 16 MB", true},
      {"50,000 levels of dictionaries", Thing::DeeplyNested, "nested deeper than 512 levels", true},
  };
  const std::string domain = "org.zorsensors.widget.sensors";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedTempDirectory directory;
    const std::string profile = directory.file("machine.plist");
    const std::string preferences = directory.file(domain + ".plist");
    place(c.thing, profile);
    place(c.thing, preferences);
    FifoWriterLateComer writer({profile, preferences});

    std::string error;
    EXPECT_EQ(SimulatedMachine::load(profile, &error), nullptr);
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;

    UserDefaults::setPreferencesDirectory(directory.path());
    ScopedLogCapture log;
    UserDefaults defaults;
    EXPECT_EQ(defaults.persistentDomainForName(domain), std::nullopt);
    defaults.setPersistentDomain({{"k", PlistValue::integer(1)}}, domain);
    EXPECT_EQ(defaults.synchronize(), c.movedAside);
    EXPECT_TRUE(log.contains(c.reason));
    if (c.movedAside) {
      EXPECT_EQ(readPropertyListFile(preferences),
                PlistValue(PlistDictionary{{"k", PlistValue::integer(1)}}));
    } else {
      EXPECT_FALSE(std::filesystem::is_regular_file(preferences));
    }
    UserDefaults::setPreferencesDirectory("");
  }
}

}  // namespace
}  // namespace zor
