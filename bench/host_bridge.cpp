// The cost of one bridge call, side by side: the controller called directly,
// the same call as a JSON request through the dispatcher in process, and
// POSTed over HTTP on loopback (keep-alive). Run on the demo machine.

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "host/BridgeDispatcher.h"
#include "host/HttpBridgeServer.h"
#include "platform/Machine.h"
#include "platform/UserDefaults.h"
#include "platform/simulated/SimulatedMachine.h"
#include "plugin/PluginLoader.h"
#include "widget/PluginController.h"

namespace {

using zor::host::BridgeDispatcher;
using zor::host::HttpBridgeServer;

// The demo machine with preferences in a scratch folder, once per process.
void prepareMachine() {
  static bool prepared = [] {
    char pattern[] = "/tmp/zor-bench-host-XXXXXX";
    if (const char* dir = mkdtemp(pattern)) zor::UserDefaults::setPreferencesDirectory(dir);
    std::string error;
    zor::Machine::install(zor::SimulatedMachine::load("demo", &error));
    zor::loadPlugin();
    return true;
  }();
  (void)prepared;
}

std::string request(const char* call, const char* args) {
  return std::string("{\"id\": 1, \"instance\": \"bench\", \"call\": \"") + call +
         "\", \"args\": " + args + "}";
}

void BM_DirectReading(benchmark::State& state) {
  prepareMachine();
  auto controller = std::make_shared<zor::PluginController>();
  controller->init();
  controller->setWidgetIdentifier("bench");
  for (auto _ : state) benchmark::DoNotOptimize(controller->localizedReadingAtDisplayIndex(0));
}
BENCHMARK(BM_DirectReading);

void BM_BridgeInProcessReading(benchmark::State& state) {
  prepareMachine();
  BridgeDispatcher dispatcher;
  dispatcher.handleText(request("setWidgetIdentifier", "[\"bench\"]"));
  const std::string text = request("localizedReadingAtDisplayIndex", "[0]");
  for (auto _ : state) benchmark::DoNotOptimize(dispatcher.handleText(text));
}
BENCHMARK(BM_BridgeInProcessReading);

// Times one bridge request over HTTP on loopback, after an optional set-up request.
void timeOverHttp(benchmark::State& state, const std::string& setUp, const std::string& text) {
  prepareMachine();
  BridgeDispatcher dispatcher;
  HttpBridgeServer server(dispatcher);
  std::string error;
  if (!server.start(0, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  httplib::Client client("127.0.0.1", server.port());
  client.set_keep_alive(true);
  client.set_tcp_nodelay(true);  // as browsers do
  if (!setUp.empty()) client.Post("/bridge", setUp, "application/json");
  for (auto _ : state) {
    auto response = client.Post("/bridge", text, "application/json");
    if (!response || response->status != 200) {
      state.SkipWithError("the bridge did not answer");
      break;
    }
    benchmark::DoNotOptimize(response->body);
  }
}

void BM_BridgeHttpReading(benchmark::State& state) {
  timeOverHttp(state, request("setWidgetIdentifier", "[\"bench\"]"),
               request("localizedReadingAtDisplayIndex", "[0]"));
}
BENCHMARK(BM_BridgeHttpReading);

// The cheapest call shows the transport's own cost.
void BM_DirectCount(benchmark::State& state) {
  prepareMachine();
  auto controller = std::make_shared<zor::PluginController>();
  controller->init();
  for (auto _ : state) benchmark::DoNotOptimize(controller->numberOfAvailableSensors());
}
BENCHMARK(BM_DirectCount);

void BM_BridgeInProcessCount(benchmark::State& state) {
  prepareMachine();
  BridgeDispatcher dispatcher;
  const std::string text = request("numberOfAvailableSensors", "[]");
  for (auto _ : state) benchmark::DoNotOptimize(dispatcher.handleText(text));
}
BENCHMARK(BM_BridgeInProcessCount);

void BM_BridgeHttpCount(benchmark::State& state) {
  timeOverHttp(state, "", request("numberOfAvailableSensors", "[]"));
}
BENCHMARK(BM_BridgeHttpCount);

}  // namespace
