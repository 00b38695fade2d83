#pragma once
// The widget's script calls of our own, beside the controller's seventeen
// (ScriptBridge): own sensor names and upper limits (OwnSensorOperations).
// Entries have the seventeen's form, so the host checks and converts their
// arguments and answers exactly as for those; the seventeen's table, and
// with it what the controller publishes by selector, stays as it is. Used by
// the widget host's bridge dispatcher.

#include <string_view>
#include <vector>

#include "widget/ScriptBridge.h"

namespace zor {

// Our calls, in table order.
const std::vector<WebScriptMethod>& ownScriptMethods();
// The call of ours with that script name, or null.
const WebScriptMethod* ownScriptMethodNamed(std::string_view scriptName);

}  // namespace zor
