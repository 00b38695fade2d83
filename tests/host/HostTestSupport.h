#pragma once
// Shared ground for the host tests: the demo machine installed, preferences
// in a fresh folder, the plug-in loaded, a sensor family of the tests' own
// (so the host is tested apart from the hardware families), time frozen; and
// the three ways a request reaches the dispatcher (directly, as a stdio line,
// POSTed over HTTP).

#include <gtest/gtest.h>
#include <httplib.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "host/BridgeDispatcher.h"
#include "host/HttpBridgeServer.h"
#include "host/StdioBridge.h"
#include "platform/Clock.h"
#include "platform/Machine.h"
#include "platform/ScopedMachine.h"
#include "platform/UserDefaults.h"
#include "platform/simulated/SimulatedMachine.h"
#include "plugin/PluginLoader.h"
#include "sensors/ScopedSensorClassRegistry.h"
#include "sensors/ZORSensor.h"

namespace zor::host::testing {

// A sensor whose reading moves with the clock: whole degrees (or millivolts)
// from a base value, one step per ten seconds.
class HostTestSensor final : public ZORSensor {
 public:
  HostTestSensor(const std::string& location, std::int32_t quantityType, std::int32_t base,
                 std::string unit)
      : base_(base), unit_(std::move(unit)) {
    setUniqueIdentifier("HostTest:" + location);
    setLocationIdentifier(location);
    setSensorName(location);
    setQuantityType(quantityType);
    setPrecision(0.5, 1.0);
  }
  const ZORSensorClass& sensorClass() const override { return family(); }
  std::int32_t rawValue() override {
    return base_ +
           static_cast<std::int32_t>(static_cast<std::int64_t>(Clock::current().now() / 10) % 5);
  }
  std::string unit() const override { return unit_; }

  static const ZORSensorClass& family() {
    static const ZORSensorClass family{
        "HostTestSensor", [] {
          return std::vector<std::shared_ptr<ZORSensor>>{
              std::make_shared<HostTestSensor>("CPU Core 1", 1, 52, "C"),
              std::make_shared<HostTestSensor>("CPU Core 2", 1, 55, "C"),
              std::make_shared<HostTestSensor>("Ambient", 1, 24, "C"),
              std::make_shared<HostTestSensor>("Battery", 2, 12, "V"),
              std::make_shared<HostTestSensor>("Processor clock", 13, 2400, "MHz"),
          };
        }};
    return family;
  }

 private:
  std::int32_t base_;
  std::string unit_;
};

// A demo machine, an empty preferences folder, the tests' sensors and a
// frozen clock for one test.
class HostEnvironment {
 public:
  HostEnvironment() {
    char pattern[] = "/tmp/zor-host-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    preferences_ = made ? made : "";
    UserDefaults::setPreferencesDirectory(preferences_);
    std::string error;
    auto machine = SimulatedMachine::load("demo", &error);
    EXPECT_TRUE(machine) << error;
    if (machine) machine_ = std::make_unique<ScopedMachine>(machine);
    loadPlugin();
    families_ = std::make_unique<ScopedSensorClassRegistry>();
    ZORSensor::registerSensorClass(HostTestSensor::family());
  }
  ~HostEnvironment() {
    families_.reset();
    machine_.reset();
    UserDefaults::setPreferencesDirectory("");
    std::error_code ignored;
    if (!preferences_.empty()) std::filesystem::remove_all(preferences_, ignored);
  }
  HostEnvironment(const HostEnvironment&) = delete;
  HostEnvironment& operator=(const HostEnvironment&) = delete;

  ScopedManualClock& clock() { return clock_; }
  const std::string& preferencesDirectory() const { return preferences_; }

 private:
  ScopedManualClock clock_;
  std::string preferences_;
  std::unique_ptr<ScopedMachine> machine_;
  std::unique_ptr<ScopedSensorClassRegistry> families_;
};

enum class Transport { Direct, Stdio, Http };

inline const char* transportName(Transport t) {
  switch (t) {
    case Transport::Direct:
      return "Direct";
    case Transport::Stdio:
      return "Stdio";
    case Transport::Http:
      return "Http";
  }
  return "?";
}

// Sends requests to one dispatcher over the chosen transport.
class BridgeClient {
 public:
  BridgeClient(BridgeDispatcher& dispatcher, Transport transport)
      : dispatcher_(dispatcher), transport_(transport) {
    if (transport_ == Transport::Http) {
      server_ = std::make_unique<HttpBridgeServer>(dispatcher_);
      std::string error;
      EXPECT_TRUE(server_->start(0, &error)) << error;
      client_ = std::make_unique<httplib::Client>("127.0.0.1", server_->port());
    }
  }

  nlohmann::json send(const nlohmann::json& request) {
    switch (transport_) {
      case Transport::Direct:
        return dispatcher_.handle(request);
      case Transport::Stdio: {
        std::istringstream in(request.dump() + "\n");
        std::ostringstream out;
        EXPECT_EQ(StdioBridge(dispatcher_).run(in, out), 1u);
        return nlohmann::json::parse(out.str());
      }
      case Transport::Http: {
        httplib::Headers headers{{"Origin", origin()}};
        auto response = client_->Post("/bridge", headers, request.dump(), "application/json");
        EXPECT_TRUE(response);
        if (!response) return nullptr;
        EXPECT_EQ(response->status, 200);
        EXPECT_EQ(response->get_header_value("Content-Type"), "application/json");
        return nlohmann::json::parse(response->body);
      }
    }
    return nullptr;
  }

  nlohmann::json call(const std::string& instance, const std::string& name,
                      nlohmann::json args = nlohmann::json::array()) {
    return send({{"id", ++lastId_}, {"instance", instance}, {"call", name}, {"args", args}});
  }

  std::string origin() const {
    return server_ ? "http://127.0.0.1:" + std::to_string(server_->port()) : "";
  }
  HttpBridgeServer* server() { return server_.get(); }
  httplib::Client* http() { return client_.get(); }

 private:
  BridgeDispatcher& dispatcher_;
  Transport transport_;
  std::unique_ptr<HttpBridgeServer> server_;
  std::unique_ptr<httplib::Client> client_;
  int lastId_ = 0;
};

}  // namespace zor::host::testing
