// A disk's S.M.A.R.T. data page, identify block and threshold page (in this order):
// decoded alone, then answered by the demo machine's disk in place of its
// own pages and read by the disk's sensors.

#include "smart/ZORATADeviceIdentification.h"
#include "smart/ZORATASMARTThresholdValue.h"
#include "smart/ZORSMARTStorageDevice.h"
#include "smart/ZORSMARTVendorAttribute.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zor;
  fuzz::loadPluginOnce();
  ScopedLogCapture log;
  fuzz::Pieces alone({data, size});
  const fuzz::Bytes page = alone.next(), identify = alone.next(), thresholds = alone.next();
  for (std::size_t n = 0; n <= ZORATASMARTThresholdValue::kEntriesPerPage; ++n) {
    auto attribute = ZORSMARTVendorAttribute::entryOfPage(page, n);
    ZORSMARTStorageDevice::dictionaryForVendorSpecificSMARTAttribute(attribute ? &*attribute
                                                                               : nullptr);
    ZORATASMARTThresholdValue::entryOfPage(thresholds, n);
  }
  if (auto fields = ZORATADeviceIdentification::decode(identify)) {
    ZORATADeviceIdentification::textOfATAString(fields->modelNumberField);
  }
  PlistValue profile = fuzz::checkoutProfile("machines/intel-notebook.plist");
  fuzz::Pieces pieces({data, size});
  fuzz::replaceData(profile, {"Data", "Thresholds", "Identify"}, pieces);
  if (auto machine = fuzz::install(profile)) fuzz::readEverySensor();
  return 0;
}
