#pragma once
// The abstract sensor: identity and description fields common to every
// sensor, ordering, equality, copying and archiving, and the conversion of
// a subclass's raw reading through its value converter. As a class it keeps
// the registry of sensor families, which the widget controller asks for all
// sensors of the machine. Every sensor family (SMC, S.M.A.R.T., CPU monitor,
// PowerPC-era sensors) derives from it; the base itself reads nothing.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Archivable.h"
#include "platform/PropertyList.h"
#include "sensors/SensorLimits.h"
#include "sensors/ZORSensorClass.h"

namespace zor {

class ZORSensorDescription;
class ZORSensorValueConverter;

class ZORSensor : public Archivable {
 public:
  // Defaults: unique identifier "nil", location "UNKNOWN LOCATION", name
  // "Unknown", types 0, precision and accuracy 0.0.
  ZORSensor() = default;
  ~ZORSensor() override = default;

  // --- Class registry -------------------------------------------------------
  // The base class's own class object ("ZORSensor").
  static const ZORSensorClass& classObject();
  // Class-load hook of the base: creates the registry.
  static void load();
  static void createClassList();
  // Appends a family (no duplicate check); the class object must outlive the process.
  static void registerSensorClass(const ZORSensorClass& sensorClass);
  // The registry itself, in registration order.
  static const std::vector<const ZORSensorClass*>& knownSensorClasses();
  // Makes a family findable by name without registering it (families that
  // are chosen by name or whose sensors another family creates).
  static void declareSensorClass(const ZORSensorClass& sensorClass);
  // A registered or declared family by its class name, or null.
  static const ZORSensorClass* sensorClassNamed(std::string_view name);
  // Every registered family's sensors, in registration order. Where two
  // sensors read the same hardware (equal non-empty hardwareIdentity()), only
  // the first one, of the family registered first, is listed.
  static std::vector<std::shared_ptr<ZORSensor>> allSensors();
  // The same without the "ZORSMARTTemperatureSensor" family.
  static std::vector<std::shared_ptr<ZORSensor>> allNonSMARTSensors();
  // Removes from `dictionary` every key that `reference` lacks; nothing when either is null.
  static void removeUnknownSensorEntriesFromDictionary(PlistDictionary* dictionary,
                                                       const PlistDictionary* reference);

  // --- Instance -------------------------------------------------------------
  // The family this sensor belongs to; subclasses return their own.
  virtual const ZORSensorClass& sensorClass() const { return classObject(); }
  // What the sensor reads when another family can read the same thing (an
  // SMC key is also a hardware-monitor channel on Linux); empty otherwise.
  virtual std::string hardwareIdentity() const { return ""; }
  // The hardware identity of an SMC key, the same for every family reading it.
  static std::string hardwareIdentityOfSMCKey(const std::string& key) { return "SMC key " + key; }

  // One line with class, identity, kinds and a fresh reading (as slow as a reading).
  std::string description();
  // Equal when the unique identifiers are equal as text, whatever the classes.
  bool isEqual(const ZORSensor& other) const {
    return uniqueIdentifier_ == other.uniqueIdentifier_;
  }
  // -1, 0 or 1: quantity type (as unsigned), then the location identifier's plain text order.
  int compare(const ZORSensor& other) const;
  std::size_t hash() const;
  // A base-class sensor with the same fields: raw value 0, unit " ", equal to this one.
  std::shared_ptr<ZORSensor> copy() const;

  std::string archiveClassName() const override { return "ZORSensor"; }
  // Precision and accuracy travel as 32-bit floats.
  void encodeWithCoder(SequentialArchiver& coder) const override;
  bool initWithCoder(SequentialArchiver& coder) override;

  // A detached description of this sensor's configuration.
  std::shared_ptr<ZORSensorDescription> configurationDescription() const;

  // A new identity converter in the base; subclasses return their own.
  virtual std::shared_ptr<ZORSensorValueConverter> valueConverter() const;

  void setUniqueIdentifier(std::string identifier) { uniqueIdentifier_ = std::move(identifier); }
  void setLocationIdentifier(std::string identifier) {
    locationIdentifier_ = std::move(identifier);
  }
  void setSensorName(std::string name) { sensorName_ = std::move(name); }
  void setSensorType(std::int32_t sensorType) { sensorType_ = sensorType; }
  void setQuantityType(std::int32_t quantityType) { quantityType_ = quantityType; }
  void setPrecision(double precision, double accuracy) {
    precision_ = precision;
    accuracy_ = accuracy;
  }

  std::string uniqueIdentifier() const { return uniqueIdentifier_; }
  std::string locationIdentifier() const { return locationIdentifier_; }
  std::string sensorName() const { return sensorName_; }
  // Borrowed views for hot paths (sorting, identifier maps) that must not copy.
  const std::string& uniqueIdentifierRef() const { return uniqueIdentifier_; }
  const std::string& locationIdentifierRef() const { return locationIdentifier_; }
  std::int32_t sensorType() const { return sensorType_; }
  std::int32_t quantityType() const { return quantityType_; }
  double precision() const { return precision_; }
  double accuracy() const { return accuracy_; }

  // Reads the hardware: the raw reading, -1 when there is none. 0 in the base.
  virtual std::int32_t rawValue() { return 0; }
  // The converted raw value; no test for -1 here (callers test rawValue first).
  double value();
  // The unit text; " " in the base.
  virtual std::string unit() const { return " "; }
  // The limits the hardware publishes for this sensor; none in the base.
  virtual SensorLimits hardwareLimits() const { return {}; }
  // CRC-32 register of the location identifier without the final inversion
  // (0xCADBBE3D for "abc"; 0xFFFFFFFF for an empty location).
  std::uint32_t substituteIDForLocationIdentifier() const;

 private:
  friend class ScopedSensorClassRegistry;
  struct ClassRegistry {
    std::vector<const ZORSensorClass*> registered;
    std::vector<const ZORSensorClass*> declared;
  };
  static ClassRegistry*& registry();
  static std::vector<std::shared_ptr<ZORSensor>> sensorsOfClasses(bool skipSMART);

  std::string uniqueIdentifier_ = "nil";
  std::string locationIdentifier_ = "UNKNOWN LOCATION";
  std::string sensorName_ = "Unknown";
  std::int32_t sensorType_ = 0;
  std::int32_t quantityType_ = 0;
  double precision_ = 0.0;
  double accuracy_ = 0.0;
};

// Plain text order of two texts by UTF-16 code unit, as the platform's
// literal string comparison orders them: -1, 0 or 1.
int compareLiteral(std::string_view left, std::string_view right);

}  // namespace zor
