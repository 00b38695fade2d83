// The bundle's string tables (".strings", UTF-8 or UTF-16): every entry
// parsed must be found again by its key.

#include "platform/StringsTable.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zor;
  ScopedLogCapture log;
  const StringsTable table = StringsTable::parse(fuzz::textOf({data, size}), "fuzz.strings");
  for (const auto& [key, value] : table.entries()) {
    const std::string* found = table.find(key);
    if (found == nullptr || *found != value) std::abort();
  }
  return 0;
}
