#pragma once
// Shared ground for the host tests: the demo machine installed, preferences
// in a fresh folder, the plug-in loaded and time frozen for one test; a call
// through a dispatcher; a raw loopback connection for what a browser or a
// slow client does on the wire.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <filesystem>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "host/BridgeDispatcher.h"
#include "platform/Clock.h"
#include "platform/PropertyListSerialization.h"
#include "platform/ScopedMachine.h"
#include "platform/UserDefaults.h"
#include "platform/simulated/SimulatedMachine.h"
#include "plugin/PluginLoader.h"
#include "services/TestSupport.h"

namespace zor::host::testing {

using nlohmann::json;

class HostEnvironment {
 public:
  HostEnvironment() {
    UserDefaults::setPreferencesDirectory(preferences_.path());
    std::string error;
    auto machine = SimulatedMachine::load("demo", &error);
    EXPECT_TRUE(machine) << error;
    if (machine) machine_ = std::make_unique<ScopedMachine>(machine);
    loadPlugin();
  }
  ~HostEnvironment() {
    machine_.reset();
    UserDefaults::setPreferencesDirectory("");
  }
  ScopedManualClock& clock() { return clock_; }
  // Every stored preferences file, one after the other.
  std::string stored() const {
    std::string text;
    for (const auto& file : std::filesystem::directory_iterator(preferences_.path()))
      text += readWholeFile(file.path().string()).value_or("?");
    return text;
  }

 private:
  ScopedManualClock clock_;
  zor::testing::ScopedTempDirectory preferences_;
  std::unique_ptr<ScopedMachine> machine_;
};

inline json call(BridgeDispatcher& dispatcher, const std::string& instance, const std::string& name,
                 json args = json::array()) {
  return dispatcher.handle({{"id", 1}, {"instance", instance}, {"call", name}, {"args", args}});
}

// A socket connected to `port` on 127.0.0.1.
inline int connectedSocket(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  return fd;
}

}  // namespace zor::host::testing
