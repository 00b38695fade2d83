// The known-disk table: every row that makes a record is matched against a
// model name and described.

#include "smart/ZORKnownSMARTHardDisk.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zor;
  ScopedLogCapture log;
  for (const auto& disk :
       ZORKnownSMARTHardDisk::smartDiskTableWithContents(fuzz::textOf({data, size}))) {
    disk->matchesProductName("ST3250823AS");
    disk->description();
  }
  return 0;
}
