#include "widget/PluginController.h"

#include <unicode/utf8.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <utility>
#include <vector>

#include "platform/Bundle.h"
#include "platform/Clock.h"
#include "platform/CurrentLocale.h"
#include "platform/StringFormat.h"
#include "platform/SystemLog.h"
#include "platform/UserDefaults.h"
#include "platform/Utf8.h"
#include "sensors/ZORSensor.h"
#include "sensors/ZORSensorValueConverter.h"
#include "system/ZORMachineInfo.h"
#include "widget/MachinePreferenceKey.h"
#include "widget/ScriptBridge.h"
#include "widget/StoredInstances.h"
#include "widget/WindowScriptObject.h"

namespace zor {
namespace {

constexpr const char* kMasterApplicationIdentifier = "com.talvero.system.quorvane";
constexpr const char* kMasterApplicationPage = "https://zorsensors.org/quorvane/";
constexpr const char* kNoSensorsMessage = "No accessible sensors found";
constexpr const char* kTemperatureUnitKeys[] = {"C", "F", "K"};

std::optional<std::string>& ellipsisStorage() {
  static std::optional<std::string> text;
  return text;
}

// Display indices and unit indices are tested as unsigned, so negative ones fail too.
bool isDisplayIndex(std::int32_t displayIndex) {
  return static_cast<std::uint32_t>(displayIndex) < 2u;
}

// Replaces each "%@" of a localized format, in order, with the next argument; "%%" is a percent
// sign.
std::string fillObjectFormat(const std::string& format,
                             std::initializer_list<std::string_view> arguments) {
  std::string out;
  auto next = arguments.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      if (format[i + 1] == '@') {
        if (next != arguments.end()) out += *next++;
        ++i;
        continue;
      }
      if (format[i + 1] == '%') {
        out += '%';
        ++i;
        continue;
      }
    }
    out += format[i];
  }
  return out;
}

// printf's "%7.<decimals>f" (decimals < 0: "%g"), independent of the C
// library's locale, with the current language's decimal separator.
std::string formatNumber(double value, int decimals) {
  char buffer[512];
  std::to_chars_result result = decimals < 0 ? std::to_chars(buffer, buffer + sizeof buffer, value,
                                                             std::chars_format::general, 6)
                                             : std::to_chars(buffer, buffer + sizeof buffer, value,
                                                             std::chars_format::fixed, decimals);
  std::string digits(buffer, result.ec == std::errc() ? result.ptr : buffer);
  if (decimals >= 0 && digits.size() < 7) digits.insert(0, 7 - digits.size(), ' ');
  std::size_t point = digits.find('.');
  if (point != std::string::npos) digits.replace(point, 1, localeDecimalSeparator());
  return digits;
}

int decimalsForFormatTag(std::int32_t tag) {
  switch (tag) {
    case 0:
      return 0;
    case 1:
      return 1;
    case 2:
      return 2;
    case 3:
      return 3;
    case 4:
      return 4;
    default:
      return -1;
  }
}

const char* iconForQuantityType(std::uint32_t quantityType) {
  static constexpr const char* kIcons[] = {
      "Images/TUnkn.png",  "Images/TTemp.png", "Images/TElec.png", "Images/TElec.png",
      "Images/TElec.png",  "Images/TElec.png", "Images/TFan.png",  "Images/TFan.png",
      "Images/TLight.png", "Images/TLoad.png", "Images/TNull.png", "Images/TInfo.png",
      "Images/TNull.png",  "Images/TFreq.png"};
  if (quantityType >= std::size(kIcons)) return "Images/TNull.png";
  return kIcons[quantityType];
}

}  // namespace

// --- Class load and construction ---------------------------------------------

void PluginController::cacheEllipsis() {
  if (!ellipsisStorage())
    ellipsisStorage() = Bundle::pluginBundle().localizedString("ELLIPSIS", "...");
}

const std::string& PluginController::ellipsis() {
  // A controller used without the plug-in load still shortens names sensibly.
  cacheEllipsis();
  return *ellipsisStorage();
}

bool PluginController::init() {
  currentState_ = 0;
  widgetIdentifier_.reset();
  maxLabelWidth_ = 1000.0f;
  labelFont_ = Font{"Lucida Grande", 10.0f};

  sensorArray_ = ZORSensor::allSensors();
  // Stable, so sensors equal in both keys keep their discovery order from run to run.
  std::stable_sort(sensorArray_.begin(), sensorArray_.end(),
                   [](const auto& left, const auto& right) { return left->compare(*right) < 0; });

  sensorIndicesByID_.clear();
  sensorIndicesByID_.reserve(sensorArray_.size());
  for (std::size_t i = 0; i < sensorArray_.size(); ++i) {
    // A later sensor with the same identifier takes the entry over.
    sensorIndicesByID_.insert_or_assign(sensorArray_[i]->uniqueIdentifierRef(),
                                        static_cast<std::uint32_t>(i));
  }
  machineInfo_ = ZORMachineInfo::sharedMachineInfo();

  sensorIndices_[0] = -1;
  sensorIndices_[1] = -1;
  preferredTemperatureUnit_ = 0;
  if (sensorArray_.empty()) currentState_ = 1;
  return true;
}

// --- Host and script bridge --------------------------------------------------

void PluginController::windowScriptObjectAvailable(WindowScriptObject& window) {
  std::shared_ptr<PluginController> self = weak_from_this().lock();
  if (!self) return;  // never publish a controller the script could outlive
  window.setValueForKey(std::move(self), "PluginController");
}

std::optional<std::string> PluginController::webScriptNameForSelector(std::string_view selector) {
  for (const WebScriptMethod& method : webScriptMethods()) {
    if (selector == method.selector) return std::string(method.scriptName);
  }
  return std::nullopt;
}

bool PluginController::isSelectorExcludedFromWebScript(std::string_view selector) {
  return !webScriptNameForSelector(selector).has_value();
}

bool PluginController::isKeyExcludedFromWebScript(std::string_view) {
  return true;
}

// --- Sensors, positions, informational texts ---------------------------------

std::int32_t PluginController::numberOfAvailableSensors() {
  return static_cast<std::int32_t>(sensorArray_.size());
}

std::uint32_t PluginController::sensorIndexForSensorID(std::string_view sensorID) const {
  if (sensorID.empty()) return 0xFFFFFFFFu;
  auto found = sensorIndicesByID_.find(sensorID);
  return found == sensorIndicesByID_.end() ? 0xFFFFFFFFu : found->second;
}

ZORSensor* PluginController::sensorAt(std::int32_t sensorIndex) const {
  if (sensorIndex < 0 || static_cast<std::size_t>(sensorIndex) >= sensorArray_.size())
    return nullptr;
  return sensorArray_[static_cast<std::size_t>(sensorIndex)].get();
}

std::int32_t PluginController::sensorIndexAtDisplayIndex(std::int32_t displayIndex) const {
  return isDisplayIndex(displayIndex) ? sensorIndices_[displayIndex] : -1;
}

std::string PluginController::sensorIDForDisplayIndex(std::int32_t displayIndex) const {
  ZORSensor* sensor = sensorAt(sensorIndexAtDisplayIndex(displayIndex));
  return sensor ? sensor->uniqueIdentifier() : std::string();
}

std::string PluginController::localizedStatusMessage() {
  if (currentState_ != 1) return "";
  return Bundle::pluginBundle().localizedString(kNoSensorsMessage, kNoSensorsMessage);
}

std::string PluginController::localizedVersionMessage() {
  const PlistDictionary& info = Bundle::pluginBundle().infoDictionary();
  auto found = info.find("CFBundleShortVersionString");
  if (found == info.end() || found->second.asString() == nullptr ||
      found->second.asString()->empty()) {
    return "";
  }
  std::string format = Bundle::pluginBundle().localizedString("Version: %@", "Version: %@");
  return fillObjectFormat(format, {*found->second.asString()});
}

std::string PluginController::bundleIdentifierForMasterApplication() {
  return kMasterApplicationIdentifier;
}

std::string PluginController::localizedURLForMasterApplication() {
  return Bundle::pluginBundle().localizedString(kMasterApplicationPage, kMasterApplicationPage);
}

void PluginController::logDebugString(const std::string& text) {
  // The script's text may hold line breaks: it must stay one line of the log.
  SystemLog::write(formatString("Debug message('%s')\n", SystemLog::escapedText(text).c_str()));
}

// --- Identity and choices ----------------------------------------------------

void PluginController::setWidgetIdentifier(const std::string& identifier) {
  widgetIdentifier_ = identifier;
  readPreferences();
  if (sensorArray_.empty() || sensorIndices_[0] != -1 || sensorIndices_[1] != -1) return;
  sensorIndices_[0] = 0;
  if (sensorArray_.size() >= 2) sensorIndices_[1] = 1;
  writePreferences();
}

std::string PluginController::widgetInstanceKeyForPreferenceKey(const std::string& key) const {
  if (!widgetIdentifier_) return key;
  return *widgetIdentifier_ + ":" + key;
}

void PluginController::setPreferredSensorIndex(std::int32_t sensorIndex,
                                               std::int32_t forDisplayIndex) {
  if (!isDisplayIndex(forDisplayIndex) || sensorIndex < -1 ||
      static_cast<std::int64_t>(sensorIndex) >= static_cast<std::int64_t>(sensorArray_.size())) {
    return;
  }
  sensorIndices_[forDisplayIndex] = sensorIndex;
  if (!writePreferences(/*withUnit=*/false)) unsavedChoice_ = true;
}

void PluginController::setTemperatureUnitIndex(std::int32_t unitIndex) {
  if (static_cast<std::uint32_t>(unitIndex) > 2u) return;
  preferredTemperatureUnit_ = unitIndex;
  if (!writePreferences()) unsavedChoice_ = true;
}

bool PluginController::takeUnsavedChoice() {
  return std::exchange(unsavedChoice_, false);
}

std::int32_t PluginController::preferredSensorIndexAtDisplayIndex(std::int32_t displayIndex) {
  return sensorIndexAtDisplayIndex(displayIndex);
}

std::int32_t PluginController::preferredTemperatureUnitIndex() {
  return preferredTemperatureUnit_;
}

// --- Stored choices ----------------------------------------------------------

namespace {

constexpr const char* kTemperatureUnitKey = "IndexOfTemperatureUnit";
constexpr const char* kSensorIDKeys[2] = {"SensorIDForDisplayPosition1",
                                          "SensorIDForDisplayPosition2"};
constexpr const char* kSensorIndexKeys[2] = {"SensorIndexForDisplayPosition1",
                                             "SensorIndexForDisplayPosition2"};

const PlistValue* memberOf(const PlistDictionary& dictionary, const std::string& key) {
  auto found = dictionary.find(key);
  return found == dictionary.end() ? nullptr : &found->second;
}

// Seconds between 1970 and 2001, the reference date of property-list dates.
constexpr double kReferenceDateOffset = 978307200.0;

// A stored number as a signed 32-bit integer (the low bits of a wider one).
std::int32_t int32Of(const PlistValue& value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value.integerValue().value_or(0)));
}

}  // namespace

void PluginController::readPreferences() {
  const auto sensorCount = static_cast<std::int64_t>(sensorArray_.size());
  const std::optional<std::string> domainName = Bundle::pluginBundle().bundleIdentifier();
  if (!domainName || !machineInfo_) return;
  const std::optional<PlistDictionary> domain =
      UserDefaults::standard().persistentDomainForName(*domainName);
  if (!domain) return;
  const PlistValue* machineEntry =
      memberOf(*domain, machinePreferenceKey(machineInfo_->machineSerialNumber()));
  if (machineEntry == nullptr || !machineEntry->isDictionary()) return;
  const PlistDictionary& machine = *machineEntry->asDictionary();

  for (int position = 0; position < 2; ++position) {
    std::int32_t sensorIndex = -1;
    if (const PlistValue* id =
            memberOf(machine, widgetInstanceKeyForPreferenceKey(kSensorIDKeys[position]))) {
      // A stored identifier of another type matches no sensor.
      sensorIndex = static_cast<std::int32_t>(
          sensorIndexForSensorID(id->asString() ? std::string_view(*id->asString()) : ""));
    } else if (const PlistValue* index = memberOf(
                   machine, widgetInstanceKeyForPreferenceKey(kSensorIndexKeys[position]))) {
      const std::int32_t value = int32Of(*index);
      sensorIndex = value >= -1 && value < sensorCount ? value : -1;
    }
    sensorIndices_[position] = sensorIndex;
  }

  const PlistValue* unit = memberOf(*domain, kTemperatureUnitKey);
  if (unit == nullptr) unit = memberOf(machine, kTemperatureUnitKey);
  const std::int32_t unitIndex = unit != nullptr ? int32Of(*unit) : 0;
  preferredTemperatureUnit_ = static_cast<std::uint32_t>(unitIndex) <= 2u ? unitIndex : 0;
}

bool PluginController::writePreferences(bool withUnit) {
  const std::optional<std::string> domainName = Bundle::pluginBundle().bundleIdentifier();
  if (!domainName || !machineInfo_) return true;  // a plug-in without a store keeps nothing
  UserDefaults& defaults = UserDefaults::standard();
  const std::string machineKey = machinePreferenceKey(machineInfo_->machineSerialNumber());
  // The domain as it stands now, before this write: whom to forget is judged on it.
  const std::optional<PlistDictionary> domain = defaults.persistentDomainForName(*domainName);

  if (withUnit) {
    defaults.setPersistentValue(PlistValue::integer(preferredTemperatureUnit_),
                                {kTemperatureUnitKey}, *domainName);
  }
  for (int position = 0; position < 2; ++position) {
    defaults.setPersistentValue(
        PlistValue(sensorIDForDisplayIndex(position)),
        {machineKey, widgetInstanceKeyForPreferenceKey(kSensorIDKeys[position])}, *domainName);
    defaults.removePersistentValue(
        {machineKey, widgetInstanceKeyForPreferenceKey(kSensorIndexKeys[position])}, *domainName);
  }
  if (widgetIdentifier_) {
    defaults.setPersistentValue(
        PlistValue::date(Clock::current().now() - kReferenceDateOffset),
        {machineKey, widgetInstanceKeyForPreferenceKey(StoredInstances::kLastUsedKey)},
        *domainName);
    const PlistValue* stored = domain ? memberOf(*domain, machineKey) : nullptr;
    if (stored != nullptr && stored->isDictionary()) {
      const StoredInstances::Forgotten forgotten =
          StoredInstances::leastRecentlyUsed(*stored->asDictionary(), *widgetIdentifier_);
      for (const std::string& key : forgotten.keys) {
        defaults.removePersistentValue({machineKey, key}, *domainName);
      }
      if (forgotten.instances > 0) {
        SystemLog::writeFormat(
            "Widget preferences: forgot the choices of %zu least recently used widget "
            "instance(s); at most %zu are kept per machine\n",
            forgotten.instances, StoredInstances::kMaximum);
      }
    }
  }
  return defaults.synchronize(*domainName);
}

// --- Display texts -----------------------------------------------------------

void PluginController::setMaximumSensorNameWidth(float width) {
  maxLabelWidth_ = width;
}

std::string PluginController::localizedStringForElementWithName(const std::string& name) {
  return Bundle::pluginBundle().localizedString(name, name);
}

std::string PluginController::localizedSensorNameAtIndex(std::int32_t sensorIndex) {
  ZORSensor* sensor = sensorAt(sensorIndex);
  if (sensor == nullptr) return "";
  const Bundle& bundle = Bundle::pluginBundle();
  const std::string& location = sensor->locationIdentifierRef();
  std::string displayName = bundle.localizedString(location, location, "SensorLocations");
  return bundle.localizedString(displayName, displayName);
}

std::string PluginController::sensorNameAtIndexInLocalization(std::int32_t sensorIndex,
                                                              const std::string& localization) {
  ZORSensor* sensor = sensorAt(sensorIndex);
  if (sensor == nullptr) return "";
  const Bundle& bundle = Bundle::pluginBundle();
  const std::string& location = sensor->locationIdentifierRef();
  std::string displayName =
      bundle.localizedStringInLocalization(localization, location, location, "SensorLocations");
  return bundle.localizedStringInLocalization(localization, displayName, displayName);
}

std::string PluginController::localizedDifferentiatingSensorNameAtIndex(std::int32_t sensorIndex) {
  return localizedSensorNameAtIndex(sensorIndex);
}

std::string PluginController::localizedSensorNameAtDisplayIndex(std::int32_t displayIndex) {
  if (!isDisplayIndex(displayIndex)) return "";
  std::string name = localizedSensorNameAtIndex(sensorIndices_[displayIndex]);
  std::optional<std::string> pruned = prunedSensorNameForName(name);
  if (pruned) return *pruned;
  // Only a single character wider than the label has no shortened form: the
  // script shows it followed by the ellipsis, as for every other name that does not fit.
  return name + ellipsis();
}

std::optional<std::string> PluginController::prunedSensorNameForName(const std::string& name) {
  TextMeasurer& measurer = TextMeasurer::current();
  float width = measurer.widthOfText(name, labelFont_);
  if (!(width > maxLabelWidth_) || name.empty()) return name;

  // Names shorten one UTF-16 code unit at a time. Candidates are cut from the
  // UTF-8 text directly: prefixEnd[k] is the byte length of the first k code
  // units, or npos where k would split a surrogate pair (no candidate there).
  // A malformed UTF-8 sequence counts as the one unit it decodes to (U+FFFD).
  std::vector<std::size_t> prefixEnd;
  prefixEnd.reserve(name.size() + 1);
  prefixEnd.push_back(0);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(name.data());
  const auto length = static_cast<std::int32_t>(std::min<std::size_t>(name.size(), INT32_MAX));
  for (std::int32_t offset = 0; offset < length;) {
    UChar32 c;
    U8_NEXT(bytes, offset, length, c);
    if (c > 0xFFFF) prefixEnd.push_back(std::string::npos);
    prefixEnd.push_back(static_cast<std::size_t>(offset));
  }

  const std::string& tail = ellipsis();
  std::string candidate;
  bool measuredAny = false;
  for (std::size_t k = prefixEnd.size() - 2; width > maxLabelWidth_ && k > 0; --k) {
    if (prefixEnd[k] == std::string::npos) continue;
    candidate.assign(name, 0, prefixEnd[k]);
    candidate += tail;
    width = measurer.widthOfText(candidate, labelFont_);
    measuredAny = true;
  }
  if (!measuredAny) return std::nullopt;
  return candidate;
}

std::string PluginController::localizedSensorUnitAtIndex(std::int32_t sensorIndex) {
  ZORSensor* sensor = sensorAt(sensorIndex);
  if (sensor == nullptr) return "";
  std::string unit;
  if (sensor->quantityType() == 1) {
    if (static_cast<std::uint32_t>(preferredTemperatureUnit_) < 3u) {
      unit = kTemperatureUnitKeys[preferredTemperatureUnit_];
    }
  } else {
    unit = sensor->unit();
  }
  return Bundle::pluginBundle().localizedString(unit, unit);
}

std::string PluginController::localizedReadingAtDisplayIndex(std::int32_t displayIndex) {
  if (!isDisplayIndex(displayIndex)) return "";
  return localizedReadingForSensorAtIndex(sensorIndices_[displayIndex]);
}

namespace {

// Steps 6 to 10 of a reading: `value` of a sensor of quantity type
// `quantityType` and unit `unit`, in the temperature unit `unitIndex`.
std::string readingText(const ZORSensor& sensor, std::int32_t quantityType, std::string unit,
                        double value, std::int32_t unitIndex) {
  if (quantityType == 1) {
    switch (unitIndex) {
      case 0:
        unit = "C";
        break;
      case 1:
        value = (9.0 * value) / 5.0 + 32.0;
        unit = "F";
        break;
      case 2:
        value = value + 273.15;
        unit = "K";
        break;
      default:
        break;
    }
  }
  int decimals =
      sensor.precision() == 1.0
          ? 0
          : decimalsForFormatTag(PluginController::defaultFormatTagForQuantityType(quantityType));
  std::string localizedUnit = Bundle::pluginBundle().localizedString(unit, unit);
  // Temperature units follow the number directly; other units after one space.
  return formatNumber(value, decimals) + (quantityType == 1 ? "" : " ") + localizedUnit;
}

}  // namespace

std::string PluginController::localizedReadingForSensorAtIndex(
    std::int32_t sensorIndex, std::optional<std::int32_t> rawValue) {
  ZORSensor* sensor = sensorAt(sensorIndex);
  if (sensor == nullptr) return "";
  std::int32_t quantityType = sensor->quantityType();
  std::string unit = sensor->unit();
  std::int32_t raw = rawValue ? *rawValue : sensor->rawValue();
  if (raw == -1) return "---";

  double value = sensor->valueConverter()->valueForRawSensorValue(raw);
  return readingText(*sensor, quantityType, std::move(unit), value, preferredTemperatureUnit_);
}

std::string PluginController::localizedReadingForValue(std::int32_t sensorIndex, double value) {
  ZORSensor* sensor = sensorAt(sensorIndex);
  if (sensor == nullptr) return "";
  return readingText(*sensor, sensor->quantityType(), sensor->unit(), value,
                     preferredTemperatureUnit_);
}

std::int32_t PluginController::defaultFormatTagForQuantityType(std::int32_t quantityType) {
  switch (quantityType) {
    case 1:
    case 4:
    case 7:
      return 1;
    case 2:
      return 4;
    case 3:
      return 2;
    default:
      return 0;
  }
}

std::string PluginController::relativePathForTypeIconAtDisplayIndex(std::int32_t displayIndex) {
  ZORSensor* sensor = sensorAt(sensorIndexAtDisplayIndex(displayIndex));
  if (sensor == nullptr) return "Images/TNull.png";
  return iconForQuantityType(static_cast<std::uint32_t>(sensor->quantityType()));
}

}  // namespace zor
