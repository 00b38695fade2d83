// The preferences file: the input is the stored file the widget's
// controllers read when an instance names itself, and change and write back.

#include "host/BridgeDispatcher.h"
#include "platform/UserDefaults.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zor;
  fuzz::loadPluginOnce([] { UserDefaults::setPreferencesDirectory(fuzz::scratchFolder()); });
  static auto machine = fuzz::install(fuzz::checkoutProfile("machines/intel-notebook.plist"));
  ScopedLogCapture log;
  std::filesystem::remove_all(fuzz::scratchFolder());
  fuzz::writeFile(
      std::filesystem::path(fuzz::scratchFolder()) / "org.zorsensors.widget.sensors.plist",
      {data, size});
  host::BridgeDispatcher dispatcher;
  for (const char* call :
       {R"({"id":1,"instance":"A","call":"setWidgetIdentifier","args":["A"]})",
        R"({"id":2,"instance":"A","call":"preferredSensorIndexAtDisplayIndex","args":[0]})",
        R"({"id":3,"instance":"A","call":"setTemperatureUnitIndex","args":[1]})"}) {
    dispatcher.handleText(call);
  }
  return 0;
}
