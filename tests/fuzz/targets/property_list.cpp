// Property lists in both forms: whatever parses is written in both forms
// again, and what was written must parse (a stored file must stay readable).

#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zor;
  auto value = parsePropertyList(fuzz::textOf({data, size}));
  if (!value) return 0;
  for (PlistFormat format : {PlistFormat::XML, PlistFormat::Binary}) {
    const std::string written = serializePropertyList(*value, format);
    if (!written.empty() && !parsePropertyList(written)) std::abort();
  }
  return 0;
}
