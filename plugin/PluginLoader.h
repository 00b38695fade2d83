#pragma once
// The plug-in's composition root and its one load function: the only code
// that names every sensor family. Runs every class-load hook once, in the
// order the plug-in's classes load (the sensor registry first, then each
// sensor family's registration, then the controller's ellipsis and the
// later services). Called by the widget host and the sensor CLI before the
// first controller is made; calling it again does nothing. The controller
// (widget/) reaches the families only through the sensor model.

#include <string>
#include <vector>

namespace zor {

void loadPlugin();

// The hooks in their run order, by the class that owns each (for diagnostics
// and tests); a hook without a function belongs to a family not built yet.
struct PluginLoadHook {
  const char* className;
  const char* what;
  void (*run)();
};
const std::vector<PluginLoadHook>& pluginLoadHooks();

}  // namespace zor
