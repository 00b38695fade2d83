#pragma once
// printf-style formatting into std::string, used for the system's fixed
// message and identifier formats.

#include <cstdarg>
#include <string>

namespace zor {

std::string formatString(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string formatStringV(const char* format, va_list args);

}  // namespace zor
