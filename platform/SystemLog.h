#pragma once
// The system log: one sink for every diagnostic line of the system. Lines go
// to syslog and to standard error; tests capture them instead (ScopedLogCapture).
// The texts are fixed by their callers and usually end with "\n".

#include <string>
#include <string_view>
#include <vector>

namespace zor {

class SystemLog {
 public:
  static void write(const std::string& line);
  // printf-style convenience; the format's "%@" placeholders are written as "%s" by callers.
  static void writeFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
  // Text from outside (a script, a file) made fit to sit inside one line:
  // control characters, line breaks and NUL among them, are written as
  // \n, \r, \t or \xHH, so the text can neither end the line nor forge another.
  static std::string escapedText(std::string_view text);
};

// While alive, log lines are collected here and not sent to syslog or stderr.
class ScopedLogCapture {
 public:
  ScopedLogCapture();
  ~ScopedLogCapture();
  ScopedLogCapture(const ScopedLogCapture&) = delete;
  ScopedLogCapture& operator=(const ScopedLogCapture&) = delete;

  const std::vector<std::string>& lines() const { return lines_; }
  bool contains(const std::string& fragment) const;
  void clear() { lines_.clear(); }

 private:
  friend class SystemLog;
  std::vector<std::string> lines_;
  ScopedLogCapture* previous_;
};

}  // namespace zor
