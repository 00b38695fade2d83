#include "platform/SystemLog.h"

#include <syslog.h>

#include <cstdarg>
#include <cstdio>

#include "platform/StringFormat.h"

namespace zor {
namespace {
ScopedLogCapture* activeCapture = nullptr;
}

void SystemLog::write(const std::string& line) {
  if (activeCapture != nullptr) {
    activeCapture->lines_.push_back(line);
    return;
  }
  syslog(LOG_NOTICE, "%s", line.c_str());
  std::fputs(line.c_str(), stderr);
  if (line.empty() || line.back() != '\n') std::fputc('\n', stderr);
}

void SystemLog::writeFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string line = formatStringV(format, args);
  va_end(args);
  write(line);
}

std::string SystemLog::escapedText(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      escaped += c;
    } else if (c == '\n') {
      escaped += "\\n";
    } else if (c == '\r') {
      escaped += "\\r";
    } else if (c == '\t') {
      escaped += "\\t";
    } else {
      constexpr char kHex[] = "0123456789abcdef";
      escaped += "\\x";
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 0x0F];
    }
  }
  return escaped;
}

ScopedLogCapture::ScopedLogCapture() : previous_(activeCapture) {
  activeCapture = this;
}

ScopedLogCapture::~ScopedLogCapture() {
  activeCapture = previous_;
}

bool ScopedLogCapture::contains(const std::string& fragment) const {
  for (const std::string& line : lines_) {
    if (line.find(fragment) != std::string::npos) return true;
  }
  return false;
}

}  // namespace zor
