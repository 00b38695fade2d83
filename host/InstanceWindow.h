#pragma once
// The script environment of one widget instance as the host keeps it: the
// window object on which the plug-in publishes its controller. The bridge
// dispatcher sends the instance's calls to whatever object was published
// under "PluginController".

#include <map>
#include <memory>
#include <string>

#include "widget/PluginController.h"
#include "widget/ScriptBridge.h"
#include "widget/WindowScriptObject.h"

namespace zor::host {

class InstanceWindow final : public WindowScriptObject {
 public:
  void setValueForKey(std::shared_ptr<PluginController> value, const std::string& key) override;
  // The object published under `key`, or null.
  std::shared_ptr<PluginController> valueForKey(const std::string& key) const;

 private:
  std::map<std::string, std::shared_ptr<PluginController>> values_;
};

}  // namespace zor::host
