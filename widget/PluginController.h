#pragma once
// The plug-in's principal object, one per widget instance: it gathers and
// sorts every sensor of the machine once, publishes seventeen operations to
// the widget's script (see ScriptBridge), and answers them: sensor count and
// names, the formatted readings of the two display positions, units, icons,
// the user's choices, status and version texts. Created by the widget host
// and the sensor CLI with std::make_shared<PluginController>() followed by
// init(); everything runs on the host's main thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/TextMeasurer.h"

namespace zor {

class WindowScriptObject;
class ZORMachineInfo;
class ZORSensor;

class PluginController : public std::enable_shared_from_this<PluginController> {
 public:
  PluginController() = default;
  // Gathers, sorts and indexes the sensors. Always succeeds (a machine
  // without sensors gives a controller in the "no accessible sensors" state).
  bool init();

  // Class-load hook: caches the localized ellipsis for the life of the process.
  static void cacheEllipsis();
  static const std::string& ellipsis();

  // --- Host and script bridge --------------------------------------------
  // Publishes this controller on `window` under "PluginController"; the
  // controller must be owned by a shared pointer.
  void windowScriptObjectAvailable(WindowScriptObject& window);
  static std::optional<std::string> webScriptNameForSelector(std::string_view selector);
  static bool isSelectorExcludedFromWebScript(std::string_view selector);
  static bool isKeyExcludedFromWebScript(std::string_view key);

  // --- Sensors, positions, informational texts ----------------------------
  std::int32_t numberOfAvailableSensors();
  // Position of the sensor with that unique identifier; all bits set for "" and unknown ones.
  std::uint32_t sensorIndexForSensorID(std::string_view sensorID) const;
  // Unique identifier of the sensor at a display position, "" when there is none.
  std::string sensorIDForDisplayIndex(std::int32_t displayIndex) const;
  std::string localizedStatusMessage();
  std::string localizedVersionMessage();
  std::string bundleIdentifierForMasterApplication();
  std::string localizedURLForMasterApplication();
  void logDebugString(const std::string& text);

  // --- Identity and choices -----------------------------------------------
  void setWidgetIdentifier(const std::string& identifier);
  // "identifier:key", or the key itself before an identifier is set.
  std::string widgetInstanceKeyForPreferenceKey(const std::string& key) const;
  void setPreferredSensorIndex(std::int32_t sensorIndex, std::int32_t forDisplayIndex);
  void setTemperatureUnitIndex(std::int32_t unitIndex);
  std::int32_t preferredSensorIndexAtDisplayIndex(std::int32_t displayIndex);
  std::int32_t preferredTemperatureUnitIndex();
  // The stored choices live in the user-defaults domain named by the plug-in
  // bundle's identifier: "IndexOfTemperatureUnit" at the top level and one
  // dictionary per machine serial number with this instance's sensor
  // identifiers. Read when the identifier is set; written on every change,
  // entry by entry, so that a change never writes another instance's (or
  // another host's) choice back with what this one last read: the unit only
  // when `withUnit`. Each write stamps the instance's last use and forgets
  // the least recently used instances beyond StoredInstances::kMaximum.
  // False when the preferences could not be written.
  void readPreferences();
  bool writePreferences(bool withUnit = true);
  // True once after a choice of the script's (a position or the unit) was
  // taken but could not be stored; the bridge answers that call with an error.
  bool takeUnsavedChoice();

  // --- Display texts ------------------------------------------------------
  void setMaximumSensorNameWidth(float width);
  std::string localizedStringForElementWithName(const std::string& name);
  std::string localizedSensorNameAtIndex(std::int32_t sensorIndex);
  // The display name from the string tables of `localization` ("en"),
  // whatever the user's language: the metrics label sensors with it, so a
  // series keeps its name when the host runs under another locale.
  std::string sensorNameAtIndexInLocalization(std::int32_t sensorIndex,
                                              const std::string& localization);
  std::string localizedDifferentiatingSensorNameAtIndex(std::int32_t sensorIndex);
  // The name shortened to the label width. A one-character name that does
  // not fit has no shortened form (nullopt) here; the script-facing
  // operation then shows that character followed by the ellipsis.
  std::string localizedSensorNameAtDisplayIndex(std::int32_t displayIndex);
  // Shortened in UTF-16 code units, never inside a surrogate pair; nullopt
  // when no shortened candidate exists (a single character that is too wide).
  std::optional<std::string> prunedSensorNameForName(const std::string& name);
  std::string localizedSensorUnitAtIndex(std::int32_t sensorIndex);
  std::string localizedReadingAtDisplayIndex(std::int32_t displayIndex);
  // The reading text of any sensor, as a display position shows it. Reads
  // the sensor unless `rawValue` is given (a reading already taken).
  std::string localizedReadingForSensorAtIndex(std::int32_t sensorIndex,
                                               std::optional<std::int32_t> rawValue = std::nullopt);
  // The reading text of `value` (in the sensor's own unit) as a display
  // position would show it for that sensor: a limit next to its readings.
  std::string localizedReadingForValue(std::int32_t sensorIndex, double value);
  static std::int32_t defaultFormatTagForQuantityType(std::int32_t quantityType);
  std::string relativePathForTypeIconAtDisplayIndex(std::int32_t displayIndex);

  // --- Accessors ----------------------------------------------------------
  const std::vector<std::shared_ptr<ZORSensor>>& sensorArray() const { return sensorArray_; }
  const std::optional<std::string>& widgetIdentifier() const { return widgetIdentifier_; }
  std::int32_t currentState() const { return currentState_; }
  float maxLabelWidth() const { return maxLabelWidth_; }
  const Font& labelFont() const { return labelFont_; }
  const std::shared_ptr<ZORMachineInfo>& machineInfo() const { return machineInfo_; }

 private:
  ZORSensor* sensorAt(std::int32_t sensorIndex) const;
  std::int32_t sensorIndexAtDisplayIndex(std::int32_t displayIndex) const;

  std::optional<std::string> widgetIdentifier_;
  std::vector<std::shared_ptr<ZORSensor>> sensorArray_;
  // Looked up by string_view without building a string (transparent hash).
  struct IdentifierHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>()(text);
    }
  };
  std::unordered_map<std::string, std::uint32_t, IdentifierHash, std::equal_to<>>
      sensorIndicesByID_;
  std::shared_ptr<ZORMachineInfo> machineInfo_;
  std::int32_t currentState_ = 0;
  std::int32_t sensorIndices_[2] = {-1, -1};
  std::int32_t preferredTemperatureUnit_ = 0;
  bool unsavedChoice_ = false;
  float maxLabelWidth_ = 1000.0f;
  Font labelFont_{"Lucida Grande", 10.0f};
};

}  // namespace zor
