#include "host/StdioBridge.h"

#include <istream>
#include <ostream>
#include <string>

namespace zor::host {

size_t StdioBridge::run(std::istream& input, std::ostream& output) {
  const size_t limit = dispatcher_.limits().maxRequestBytes;
  size_t answered = 0;
  std::string line;
  while (input) {
    // Read by hand so an endless line cannot take all memory.
    line.clear();
    bool tooLong = false;
    bool sawAny = false;
    for (int c = input.get(); c != std::char_traits<char>::eof(); c = input.get()) {
      sawAny = true;
      if (c == '\n') break;
      if (line.size() < limit + 1) {
        line.push_back(static_cast<char>(c));
      } else {
        tooLong = true;
      }
    }
    if (!sawAny) break;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!tooLong && line.find_first_not_of(" \t") == std::string::npos) continue;
    // The dispatcher refuses an oversized request itself; a line cut short
    // here is still over the limit, so it is never parsed as a shorter one.
    output << dispatcher_.handleText(line) << '\n';
    output.flush();
    ++answered;
  }
  return answered;
}

}  // namespace zor::host
