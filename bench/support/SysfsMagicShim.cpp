// Loaded into lm-sensors' `sensors` (LD_PRELOAD) by the listing benchmark:
// libsensors reads /sys only when statfs() says it is sysfs, and a recorded
// tree bound over /sys is an ordinary folder. Nothing else is changed.

#include <dlfcn.h>
#include <sys/vfs.h>

#include <cstring>

namespace {
constexpr long kSysfsMagic = 0x62656572;

template <typename Stat>
int withSysfsMagic(const char* name, const char* path, Stat* buffer) {
  using Real = int (*)(const char*, Stat*);
  static Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, name));
  const int result = real ? real(path, buffer) : -1;
  if (result == 0 && path != nullptr && std::strcmp(path, "/sys") == 0) {
    buffer->f_type = kSysfsMagic;
  }
  return result;
}
}  // namespace

extern "C" int statfs(const char* path, struct statfs* buffer) {
  return withSysfsMagic("statfs", path, buffer);
}
extern "C" int statfs64(const char* path, struct statfs64* buffer) {
  return withSysfsMagic("statfs64", path, buffer);
}
