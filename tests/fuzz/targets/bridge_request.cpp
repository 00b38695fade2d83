// The bridge's JSON requests, as a widget page sends them: decoded, their
// arguments converted and the call made on the demo machine's controllers.

#include "host/BridgeDispatcher.h"
#include "platform/UserDefaults.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zor;
  fuzz::loadPluginOnce([] { UserDefaults::setKeptInMemory(true); });
  ScopedLogCapture log;
  static auto machine = fuzz::install(fuzz::checkoutProfile("machines/intel-notebook.plist"));
  host::BridgeDispatcher dispatcher;
  fuzz::Pieces requests({data, size});
  while (!requests.empty()) dispatcher.handleText(fuzz::textOf(requests.next()));
  // The choices are kept in memory; forgetting them keeps one input from the next.
  UserDefaults::standard().removePersistentDomainForName("org.zorsensors.widget.sensors");
  return 0;
}
