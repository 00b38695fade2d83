// The controller's start-up work (gather, sort, map identifiers to
// positions) for 1000 sensors and its name shortening, each beside a
// baseline doing the least possible work for the same result in the same
// run, so the ratio shows what the controller adds.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/TextMeasurer.h"
#include "sensors/ScopedSensorClassRegistry.h"
#include "tests/sensors/TestSensorFamily.h"
#include "widget/PluginController.h"

namespace {

using zor::testing::TestFamily;
using zor::testing::TestSensor;

constexpr int kSensors = 1000;

std::vector<std::shared_ptr<zor::ZORSensor>> makeSensors() {
  std::mt19937 random(7);
  const std::int32_t quantities[] = {1, 1, 1, 2, 3, 13};
  std::vector<std::shared_ptr<zor::ZORSensor>> sensors;
  for (int i = 0; i < kSensors; ++i) {
    std::string location = "SMC " + std::to_string(random() % 500) + " DIODE " + std::to_string(i);
    sensors.push_back(
        TestSensor::make("smc.T" + std::to_string(i), location, quantities[random() % 6]));
  }
  return sensors;
}

// Counts code points at 6 points each: cheap, so the benchmark shows the
// shortening loop itself rather than font rasterisation.
class CountingMeasurer : public zor::TextMeasurer {
 public:
  float widthOfText(std::string_view text, const zor::Font&) override {
    float width = 0;
    for (unsigned char byte : text) width += (byte & 0xC0u) != 0x80u ? 6.0f : 0.0f;
    return width;
  }
};

void BM_ControllerSortAndMap(benchmark::State& state) {
  zor::ScopedSensorClassRegistry scope;
  TestFamily family("ZORBenchSensor");
  family.sensors = makeSensors();
  zor::ZORSensor::registerSensorClass(family.object);
  for (auto _ : state) {
    auto controller = std::make_shared<zor::PluginController>();
    controller->init();
    benchmark::DoNotOptimize(controller->sensorIndexForSensorID("smc.T999"));
  }
}
BENCHMARK(BM_ControllerSortAndMap);

void BM_BaselineSortAndMap(benchmark::State& state) {
  auto source = makeSensors();
  for (auto _ : state) {
    auto sensors = source;
    std::sort(sensors.begin(), sensors.end(), [](const auto& a, const auto& b) {
      auto qa = static_cast<std::uint32_t>(a->quantityType()),
           qb = static_cast<std::uint32_t>(b->quantityType());
      return qa != qb ? qa < qb : a->locationIdentifierRef() < b->locationIdentifierRef();
    });
    std::unordered_map<std::string, std::uint32_t> map;
    map.reserve(sensors.size());
    for (std::size_t i = 0; i < sensors.size(); ++i)
      map[sensors[i]->uniqueIdentifierRef()] = static_cast<std::uint32_t>(i);
    benchmark::DoNotOptimize(map.find("smc.T999"));
  }
}
BENCHMARK(BM_BaselineSortAndMap);

const std::string kLongName =
    "Northbridge Heatsink Proximity \xC3\xA9t\xC3\xA9 Sensor \xF0\x9F\x94\xA5 Position 12";

void BM_ControllerPruneName(benchmark::State& state) {
  zor::TextMeasurer::setCurrent(std::make_shared<CountingMeasurer>());
  zor::ScopedSensorClassRegistry scope;
  auto controller = std::make_shared<zor::PluginController>();
  controller->init();
  controller->setMaximumSensorNameWidth(static_cast<float>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(controller->prunedSensorNameForName(kLongName));
  zor::TextMeasurer::setCurrent(nullptr);
}
BENCHMARK(BM_ControllerPruneName)->Arg(300)->Arg(60);

// Byte-wise cutting at code-point starts with the same measurer: no UTF-16 round trip.
void BM_BaselinePruneName(benchmark::State& state) {
  CountingMeasurer measurer;
  zor::Font font{"Lucida Grande", 10.0f};
  const float maxWidth = static_cast<float>(state.range(0));
  for (auto _ : state) {
    std::string result = kLongName;
    float width = measurer.widthOfText(result, font);
    std::size_t k = kLongName.size();
    while (width > maxWidth && k > 1) {
      do --k;
      while (k > 1 && (static_cast<unsigned char>(kLongName[k]) & 0xC0u) == 0x80u);
      result.assign(kLongName, 0, k);
      result += "\xE2\x80\xA6";
      width = measurer.widthOfText(result, font);
    }
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_BaselinePruneName)->Arg(300)->Arg(60);

}  // namespace
