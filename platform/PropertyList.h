#pragma once
// The one property-list value type of the system: registry properties, user
// defaults, bundle information dictionaries, string tables and machine
// profiles are all trees of PlistValue. Copies are deep; values compare by
// content (an integer's signedness is part of it).

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace zor {

class PlistValue;
using PlistArray = std::vector<PlistValue>;
using PlistDictionary = std::map<std::string, PlistValue>;
using PlistData = std::vector<std::uint8_t>;

class PlistValue {
 public:
  enum class Type { None, String, Integer, Real, Boolean, Data, Array, Dictionary, Date };

  PlistValue() = default;
  PlistValue(std::string text) : value_(std::move(text)) {}
  PlistValue(const char* text) : value_(std::string(text)) {}
  PlistValue(PlistArray array) : value_(std::move(array)) {}
  PlistValue(PlistDictionary dictionary) : value_(std::move(dictionary)) {}
  PlistValue(PlistData data) : value_(std::move(data)) {}

  static PlistValue integer(std::int64_t number) { return PlistValue(Integer{number, false}); }
  static PlistValue unsignedInteger(std::uint64_t number) {
    return PlistValue(Integer{static_cast<std::int64_t>(number), true});
  }
  static PlistValue real(double number) { return PlistValue(number); }
  static PlistValue boolean(bool flag) { return PlistValue(Boolean{flag}); }
  // Seconds since 2001-01-01 00:00:00 UTC, the reference date of property lists.
  // The XML form keeps whole seconds only.
  static PlistValue date(double secondsSinceReferenceDate) {
    return PlistValue(Date{secondsSinceReferenceDate});
  }

  Type type() const { return static_cast<Type>(value_.index()); }
  bool isNone() const { return type() == Type::None; }
  bool isString() const { return type() == Type::String; }
  bool isInteger() const { return type() == Type::Integer; }
  bool isReal() const { return type() == Type::Real; }
  bool isBoolean() const { return type() == Type::Boolean; }
  bool isData() const { return type() == Type::Data; }
  bool isArray() const { return type() == Type::Array; }
  bool isDictionary() const { return type() == Type::Dictionary; }
  bool isDate() const { return type() == Type::Date; }
  // Integers, reals and booleans: what the platform calls a number.
  bool isNumber() const { return isInteger() || isReal() || isBoolean(); }

  // Typed access: null when the value is of another type.
  const std::string* asString() const { return std::get_if<std::string>(&value_); }
  const PlistData* asData() const { return std::get_if<PlistData>(&value_); }
  const PlistArray* asArray() const { return std::get_if<PlistArray>(&value_); }
  PlistArray* asArray() { return std::get_if<PlistArray>(&value_); }
  const PlistDictionary* asDictionary() const { return std::get_if<PlistDictionary>(&value_); }
  PlistDictionary* asDictionary() { return std::get_if<PlistDictionary>(&value_); }

  // Numbers read as the platform's number class reads them: integers, reals
  // (truncated toward zero) and booleans (0 or 1); nothing for other types.
  std::optional<std::int64_t> integerValue() const;
  std::optional<double> realValue() const;
  std::optional<bool> boolValue() const;
  bool isUnsignedInteger() const;
  std::optional<double> dateValue() const;

  // Dictionary member, or null when this is no dictionary or has no such key.
  const PlistValue* find(const std::string& key) const;
  PlistValue* find(const std::string& key);

  bool operator==(const PlistValue& other) const = default;

 private:
  struct Integer {
    std::int64_t bits;
    bool isUnsigned;
    bool operator==(const Integer&) const = default;
  };
  struct Boolean {
    bool flag;
    bool operator==(const Boolean&) const = default;
  };
  struct Date {
    double seconds;
    bool operator==(const Date&) const = default;
  };
  explicit PlistValue(Integer number) : value_(number) {}
  explicit PlistValue(double number) : value_(number) {}
  explicit PlistValue(Boolean flag) : value_(flag) {}
  explicit PlistValue(Date date) : value_(date) {}

  // Alternative order matches Type.
  std::variant<std::monostate, std::string, Integer, double, Boolean, PlistData, PlistArray,
               PlistDictionary, Date>
      value_;
};

// Name of a type for error lines ("string", "dictionary", ...).
const char* plistTypeName(PlistValue::Type type);

}  // namespace zor
