// The head of an HTTP request to the widget host, and percent-decoding of its path.

#include "host/HttpRequest.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zor;
  const std::string_view text = fuzz::textOf({data, size});
  host::HttpRequest request;
  host::HttpRequest::parseHead(text, 64 * 1024, &request);
  host::HttpRequest::percentDecoded(text);
  return 0;
}
