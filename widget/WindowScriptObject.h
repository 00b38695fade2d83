#pragma once
// The widget script's global object as the host hands it to the plug-in: the
// controller publishes itself on it under a name ("PluginController"). The
// widget host implements it per widget instance; tests use a recording double.

#include <memory>
#include <string>

namespace zor {

class PluginController;

class WindowScriptObject {
 public:
  virtual ~WindowScriptObject() = default;
  virtual void setValueForKey(std::shared_ptr<PluginController> value, const std::string& key) = 0;
};

}  // namespace zor
