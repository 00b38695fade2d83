#include "smc/ZORSystemManagementController.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <limits>

#include "platform/IOKit.h"
#include "platform/SystemLog.h"
#include "registry/ZORIORegistryEntry.h"
#include "smc/MacRomanText.h"

namespace zor {
namespace {

using namespace iokit;

constexpr const char* kServiceClass = "AppleSMC";
constexpr const char* kVersionProperty = "smc-version";
constexpr const char* kPlatformPluginClass = "ACPI_SMC_PlatformPlugin";
constexpr std::uint32_t kUserClientMethod = 2;
// The SMC's first CPU diode; no real controller reports it above 256.
constexpr const char* kCPUDiodeKey = "TC0D";
constexpr double kHighestPlausibleDiode = 256;
// The most keys listed. A real SMC has a few hundred; a "#KEY" that decodes
// to billions (a signed byte of -1 read as unsigned, a defective SMC) would
// otherwise cost one failing driver call and one log line per index.
constexpr std::uint32_t kMostKeys = 0x10000;
// Failing key-at-index calls logged one by one while listing the keys.
constexpr std::uint32_t kLoggedIndexFailures = 3;

std::shared_ptr<ZORSystemManagementController>& keptController() {
  // Never destroyed: the shared connection stays open until the process
  // ends, and no static destructor must close it after the platform is gone.
  static auto* kept = new std::shared_ptr<ZORSystemManagementController>();
  return *kept;
}

std::int32_t& storedAccessPolicy() {
  static std::int32_t policy = 0;
  return policy;
}

// The leading integer of a text as the platform's strings read it: spaces,
// an optional sign, digits; saturated at the 32-bit limits; 0 without digits.
std::int64_t leadingInteger(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t magnitude = 0;
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    magnitude = std::min(kLimit, magnitude * 10 + (text[i] - '0'));
  }
  if (negative) return -magnitude;
  return std::min(magnitude, kLimit - 1);
}

// The integer part of a decoded diode value, or nothing for a byte block.
std::optional<double> integerPart(const PlistValue& value) {
  if (const std::string* text = value.asString()) {
    return static_cast<double>(leadingInteger(*text));
  }
  if (value.isReal()) return std::trunc(*value.realValue());
  if (value.isNumber()) return static_cast<double>(*value.integerValue());
  return std::nullopt;
}

}  // namespace

ZORSystemManagementController::~ZORSystemManagementController() {
  registryEntry_.reset();
  connectionReference_.reset();
}

std::vector<std::shared_ptr<ZORSystemManagementController>>
ZORSystemManagementController::availableSystemManagementControllers() {
  std::vector<std::shared_ptr<ZORSystemManagementController>> controllers;
  auto services = ZORIORegistryEntry::serviceObjectsMatchingName(std::string(kServiceClass));
  if (!services) return controllers;
  for (const auto& service : *services) {
    if (!service->hasValueWithName(kVersionProperty)) continue;
    if (auto controller = controllerWithIORegistryEntry(service)) {
      controllers.push_back(std::move(controller));
    }
  }
  return controllers;
}

std::shared_ptr<ZORSystemManagementController>
ZORSystemManagementController::sharedSystemManagementController() {
  std::shared_ptr<ZORSystemManagementController>& kept = keptController();
  if (kept) return kept;
  auto controllers = availableSystemManagementControllers();
  if (controllers.empty()) return nullptr;
  kept = controllers.front();
  return kept;
}

void ZORSystemManagementController::forgetSharedSystemManagementController() {
  keptController().reset();
}

void ZORSystemManagementController::setAccessPolicy(std::int32_t policy) {
  storedAccessPolicy() = policy;
  double seconds = 1.0;
  if (policy == 1) seconds = 10.0;
  if (policy == 2) seconds = 60.0;
  ZORSMCCachedValue::setCacheExpireTime(seconds);
}

std::int32_t ZORSystemManagementController::accessPolicy() {
  return storedAccessPolicy();
}

bool ZORSystemManagementController::isLowAccessRatePolicyRecommended() {
  auto plugins = ZORIORegistryEntry::serviceObjectsMatchingName(std::string(kPlatformPluginClass));
  if (!plugins || plugins->empty()) return false;
  return plugins->front()->childServiceEntry() != nullptr;
}

std::shared_ptr<ZORSystemManagementController>
ZORSystemManagementController::controllerWithIORegistryEntry(
    const std::shared_ptr<ZORIORegistryEntry>& entry) {
  auto controller = std::make_shared<ZORSystemManagementController>();
  if (!controller->initWithIORegistryEntry(entry)) return nullptr;
  return controller;
}

bool ZORSystemManagementController::initWithIORegistryEntry(
    const std::shared_ptr<ZORIORegistryEntry>& entry) {
  if (!entry || !entry->hasValueWithName(kVersionProperty)) return false;
  registryEntry_ = entry;
  io_connect_t connection = 0;
  kern_return_t result = IOServiceOpen(entry->ioKitHandle(), mach_task_self(), 0, &connection);
  if (result != kIOReturnSuccess) {
    SystemLog::writeFormat("%s: could not open service connection (error %d)\n", className(),
                           result);
    return false;
  }
  serviceConnection_ = connection;
  connectionReference_ = IOReference::adoptConnection(connection);
  if (auto diode = objectValueForPropertyWithKey(std::string(kCPUDiodeKey))) {
    auto whole = integerPart(*diode);
    if (whole && *whole > kHighestPlausibleDiode) {
      SystemLog::write(
          "Strange entry for SMC CPU diode sensor 0 detected: Assuming defective or fake System "
          "Management Controller. Rejecting communication!\n");
      return false;
    }
  }
  return true;
}

std::optional<std::string> ZORSystemManagementController::versionNumber() const {
  if (!registryEntry_) return std::nullopt;
  return registryEntry_->stringValueWithName(kVersionProperty);
}

bool ZORSystemManagementController::callServiceFunctionWithInput(const _ZORSMCKeyData* input,
                                                                 _ZORSMCKeyData* andOutput) {
  return callServiceFunction(input, andOutput, true);
}

bool ZORSystemManagementController::callServiceFunction(const _ZORSMCKeyData* input,
                                                        _ZORSMCKeyData* andOutput,
                                                        bool logFailure) {
  if (serviceConnection_ == 0 || input == nullptr || andOutput == nullptr) return false;
  // The number names a connection of the machine that opened it only.
  if (!connectionReference_.belongsToCurrentBackend()) {
    if (logFailure) {
      SystemLog::writeFormat("%s: function call failed with error %d\n", className(),
                             kIOReturnNotOpen);
    }
    return false;
  }
  std::array<std::uint8_t, _ZORSMCKeyData::kSize> in{};
  std::array<std::uint8_t, _ZORSMCKeyData::kSize> out{};
  input->encode(in);
  // The output record starts as the caller's, so fields the driver leaves
  // alone keep their values.
  andOutput->encode(out);
  std::size_t outputSize = out.size();
  kern_return_t result = IOConnectMethodStructureIStructureO(
      serviceConnection_, kUserClientMethod, in.size(), &outputSize, in.data(), out.data());
  if (result != kIOReturnSuccess) {
    if (logFailure) {
      SystemLog::writeFormat("%s: function call failed with error %d\n", className(), result);
    }
    return false;
  }
  *andOutput = _ZORSMCKeyData::decode(out);
  return true;
}

bool ZORSystemManagementController::getValue(_ZORSMCValue* value, std::uint32_t forKey) {
  if (value == nullptr || forKey == 0) return false;
  auto cached = valueCache_.find(forKey);
  if (cached != valueCache_.end() && cached->second.isValid()) {
    *value = cached->second.cachedValue();
    return true;
  }
  _ZORSMCKeyData input;
  _ZORSMCKeyData output;
  *value = _ZORSMCValue{};
  value->key = forKey;
  input.key = forKey;
  input.command = _ZORSMCKeyData::kReadKeyInformation;
  if (!callServiceFunctionWithInput(&input, &output)) return false;
  value->dataSize = output.keyInfo.dataSize;
  value->dataType = output.keyInfo.dataType;
  input.keyInfo.dataSize = output.keyInfo.dataSize;
  input.command = _ZORSMCKeyData::kReadBytes;
  if (!callServiceFunctionWithInput(&input, &output)) return false;
  value->bytes = output.bytes;
  valueCache_[forKey].setCachedValue(value);
  return true;
}

std::vector<std::string> ZORSystemManagementController::allPropertyKeys() {
  if (keys_) return *keys_;
  std::vector<std::string> keys;
  std::uint32_t count = 0;
  _ZORSMCValue countValue;
  if (getValue(&countValue, fourCharCodeForKeyString(std::string("#KEY")))) {
    auto number = objectValueForSMCValue(&countValue);
    if (number && number->isNumber() && !number->isReal()) {
      count = static_cast<std::uint32_t>(*number->integerValue());
    } else if (number && number->isReal()) {
      // A fixed-point count is truncated like any number read as an integer.
      double real = *number->realValue();
      count = real > 0 && real < 4294967296.0 ? static_cast<std::uint32_t>(real) : 0;
    }
  }
  count = std::min(count, kMostKeys);
  // A "#KEY" far above the keys the driver has fails every index past them:
  // the first few failures are logged, the rest in one line with their count.
  std::uint32_t failures = 0;
  for (std::uint32_t index = 0; index < count; ++index) {
    _ZORSMCKeyData input;
    _ZORSMCKeyData output;
    input.command = _ZORSMCKeyData::kKeyAtIndex;
    input.keyIndex = index;
    if (callServiceFunction(&input, &output, failures < kLoggedIndexFailures)) {
      keys.push_back(stringForFourCharCode(output.key));
    } else {
      ++failures;
    }
  }
  if (failures > kLoggedIndexFailures) {
    SystemLog::writeFormat("%s: function call failed for %u more of %u key indices\n", className(),
                           failures - kLoggedIndexFailures, count);
  }
  if (count != 0 && keys.size() == count) keys_ = keys;
  return keys;
}

std::optional<PlistValue> ZORSystemManagementController::objectValueForPropertyWithKey(
    const std::optional<std::string>& key) {
  std::uint32_t code = fourCharCodeForKeyString(key);
  _ZORSMCValue value;
  if (code == 0 || !getValue(&value, code)) return std::nullopt;
  return objectValueForSMCValue(&value);
}

std::optional<std::string> ZORSystemManagementController::typeCodeForPropertyWithKey(
    const std::optional<std::string>& key) {
  std::uint32_t code = fourCharCodeForKeyString(key);
  _ZORSMCValue value;
  if (code == 0 || !getValue(&value, code)) return std::nullopt;
  return stringForFourCharCode(value.dataType);
}

std::optional<std::string> ZORSystemManagementController::descriptionForPropertyWithKey(
    const std::optional<std::string>& key) {
  std::uint32_t code = fourCharCodeForKeyString(key);
  _ZORSMCValue value;
  if (code == 0 || !getValue(&value, code)) return std::nullopt;
  return descriptionForSMCValue(&value);
}

double ZORSystemManagementController::precisionForPropertyWithKey(
    const std::optional<std::string>& key) {
  std::uint32_t code = fourCharCodeForKeyString(key);
  if (code == 0) return -1.0;
  _ZORSMCValue value;
  if (!getValue(&value, code)) return -1.0;
  std::uint32_t prefix = value.dataType >> 16;
  if (prefix != 0x7370u /* "sp" */ && prefix != 0x6670u /* "fp" */) return 0.0;
  float divisor = divisorForFloatingPointCode(value.dataType);
  if (divisor == 0.0f) return -1.0;
  return 1.0 / static_cast<double>(divisor);
}

std::uint32_t ZORSystemManagementController::fourCharCodeForKeyString(
    const std::optional<std::string>& key) {
  if (!key) return 0;
  // Keys are plain ASCII nearly always; they are their own Mac OS Roman bytes.
  bool ascii = key->size() == 4 && std::all_of(key->begin(), key->end(), [](char c) {
                 return static_cast<unsigned char>(c) < 0x80;
               });
  std::optional<std::string> bytes = *key;
  if (!ascii) {
    if (MacRomanText::characterCount(*key) != 4) return 0;
    bytes = MacRomanText::encode(*key);
    if (!bytes || bytes->size() != 4) return 0;
  }
  std::uint32_t code = 0;
  bool ended = false;
  for (char byte : *bytes) {
    // A zero byte ends the text; what follows it counts as zero.
    if (byte == '\0') ended = true;
    code = (code << 8) | (ended ? 0u : static_cast<std::uint8_t>(byte));
  }
  return code;
}

std::string ZORSystemManagementController::stringForFourCharCode(std::uint32_t code) {
  std::array<std::uint8_t, 4> bytes = {
      static_cast<std::uint8_t>(code >> 24), static_cast<std::uint8_t>(code >> 16),
      static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code)};
  std::size_t length = 0;
  while (length < bytes.size() && bytes[length] != 0) ++length;
  std::string text = MacRomanText::decode(std::span(bytes).first(length));
  // "%-4s": pad to four with spaces on the right.
  text.append(4 - length, ' ');
  return text;
}

}  // namespace zor
