#include "host/BridgeDispatcher.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "host/ScriptValueJson.h"
#include "platform/Clock.h"
#include "widget/OwnScriptCalls.h"

namespace zor::host {

namespace {

const char* const kPublishedName = "PluginController";
// The script recognises this answer by its text and tells the user once.
const char* const kUnsavedChoice = "the choice is not saved: the preferences cannot be written";

bool hasControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  });
}

nlohmann::json errorAnswer(const nlohmann::json& id, const std::string& message) {
  return nlohmann::json{{"id", id}, {"error", message}};
}

}  // namespace

nlohmann::json BridgeDispatcher::handle(const nlohmann::json& request) {
  dropSilentInstances();

  if (!request.is_object()) return errorAnswer(nullptr, "request must be a JSON object");
  nlohmann::json id = nullptr;
  if (auto found = request.find("id"); found != request.end()) {
    // Echoed back as it came; only flat values, so an answer stays small.
    if (!found->is_null() && !found->is_number() && !found->is_string()) {
      return errorAnswer(nullptr, "\"id\" must be a number or a string");
    }
    id = *found;
  }

  auto instanceField = request.find("instance");
  if (instanceField == request.end() || !instanceField->is_string()) {
    return errorAnswer(id, "\"instance\" must be a string");
  }
  const std::string instanceName = instanceField->get<std::string>();
  if (instanceName.empty() || instanceName.size() > limits_.maxInstanceLength) {
    return errorAnswer(id, "\"instance\" must have 1 to " +
                               std::to_string(limits_.maxInstanceLength) + " characters");
  }

  if (auto drop = request.find("drop"); drop != request.end()) {
    if (!drop->is_boolean() || !drop->get<bool>()) {
      return errorAnswer(id, "\"drop\" must be true");
    }
    bool dropped = instances_.erase(instanceName) != 0;
    return nlohmann::json{{"id", id}, {"result", dropped}};
  }

  auto callField = request.find("call");
  if (callField == request.end() || !callField->is_string()) {
    return errorAnswer(id, "\"call\" must be a string");
  }
  const std::string callName = callField->get<std::string>();
  const WebScriptMethod* method = webScriptMethodNamed(callName);
  if (!method) method = ownScriptMethodNamed(callName);
  if (!method) return errorAnswer(id, "no such call: \"" + callName + "\"");

  static const nlohmann::json kNoArguments = nlohmann::json::array();
  const nlohmann::json* args = &kNoArguments;
  if (auto found = request.find("args"); found != request.end()) {
    if (!found->is_array()) return errorAnswer(id, "\"args\" must be an array");
    args = &*found;
  }
  if (args->size() != method->arguments.size()) {
    return errorAnswer(id, callName + " takes " + std::to_string(method->arguments.size()) +
                               " argument(s), not " + std::to_string(args->size()));
  }
  std::vector<ScriptValue> arguments(args->size());
  for (size_t i = 0; i < args->size(); ++i) {
    std::string why;
    if (!ScriptValueJson::fromJson((*args)[i], method->arguments[i], &arguments[i], &why)) {
      return errorAnswer(id, callName + ": argument " + std::to_string(i + 1) + " " + why);
    }
  }

  if (method->selector == std::string_view("setWidgetIdentifier:") &&
      hasControlCharacter(std::get<std::string>(arguments[0]))) {
    return errorAnswer(id, callName + ": the identifier must not contain control characters");
  }

  // Only a well-formed call reaches (and may create) a controller.
  bool created = false;
  auto found = instances_.find(instanceName);
  if (found == instances_.end()) {
    if (instances_.size() >= limits_.maxInstances && !dropQuietestInstance()) {
      return errorAnswer(
          id, "too many widget instances (at most " + std::to_string(limits_.maxInstances) + ")");
    }
    auto instance = std::make_unique<Instance>();
    auto controller = std::make_shared<PluginController>();
    if (!controller->init()) return errorAnswer(id, "the widget controller could not start");
    controller->windowScriptObjectAvailable(instance->window);
    found = instances_.emplace(instanceName, std::move(instance)).first;
    created = true;
  }
  std::shared_ptr<PluginController> controller = found->second->window.valueForKey(kPublishedName);
  if (!controller) {
    instances_.erase(found);
    return errorAnswer(id, "the plug-in published no controller");
  }
  found->second->lastUsed = Clock::current().now();

  std::optional<ScriptValue> result = callWebScriptMethod(*controller, *method, arguments);
  if (!result) return errorAnswer(id, callName + ": the arguments do not match the call");
  nlohmann::json answer{{"id", id}, {"result", ScriptValueJson::toJson(*result)}};
  if (controller->takeUnsavedChoice()) {
    answer = errorAnswer(id, callName + ": " + kUnsavedChoice);
  }
  if (created) answer["newInstance"] = true;
  return answer;
}

std::string BridgeDispatcher::handleText(std::string_view requestText) {
  if (requestText.size() > limits_.maxRequestBytes) {
    return serialize(errorAnswer(
        nullptr, "request larger than " + std::to_string(limits_.maxRequestBytes) + " bytes"));
  }
  nlohmann::json request = nlohmann::json::parse(requestText, nullptr, /*allow_exceptions=*/false);
  if (request.is_discarded()) return serialize(errorAnswer(nullptr, "request is not valid JSON"));
  return serialize(handle(request));
}

bool BridgeDispatcher::dropQuietestInstance() {
  auto quietest = std::min_element(instances_.begin(), instances_.end(),
                                   [](const auto& left, const auto& right) {
                                     return left.second->lastUsed < right.second->lastUsed;
                                   });
  if (quietest == instances_.end() ||
      !(Clock::current().now() - quietest->second->lastUsed > limits_.quietSeconds)) {
    return false;
  }
  instances_.erase(quietest);
  return true;
}

void BridgeDispatcher::dropSilentInstances() {
  double now = Clock::current().now();
  for (auto it = instances_.begin(); it != instances_.end();) {
    if (now - it->second->lastUsed > limits_.silenceSeconds) {
      it = instances_.erase(it);
    } else {
      ++it;
    }
  }
}

std::string BridgeDispatcher::serialize(const nlohmann::json& answer) {
  return answer.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace zor::host
