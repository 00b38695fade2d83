#include "host/InstanceWindow.h"

namespace zor::host {

void InstanceWindow::setValueForKey(std::shared_ptr<PluginController> value,
                                    const std::string& key) {
  if (value) {
    values_[key] = std::move(value);
  } else {
    values_.erase(key);
  }
}

std::shared_ptr<PluginController> InstanceWindow::valueForKey(const std::string& key) const {
  auto found = values_.find(key);
  return found == values_.end() ? nullptr : found->second;
}

}  // namespace zor::host
