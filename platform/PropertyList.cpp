#include "platform/PropertyList.h"

namespace zor {

std::optional<std::int64_t> PlistValue::integerValue() const {
  if (auto* number = std::get_if<Integer>(&value_)) return number->bits;
  if (auto* real = std::get_if<double>(&value_)) {
    // Out-of-range reals have no integer value rather than undefined behaviour.
    if (!(*real > -9.3e18 && *real < 9.3e18)) return std::nullopt;
    return static_cast<std::int64_t>(*real);
  }
  if (auto* flag = std::get_if<Boolean>(&value_)) return flag->flag ? 1 : 0;
  return std::nullopt;
}

std::optional<double> PlistValue::realValue() const {
  if (auto* number = std::get_if<Integer>(&value_)) {
    return number->isUnsigned ? static_cast<double>(static_cast<std::uint64_t>(number->bits))
                              : static_cast<double>(number->bits);
  }
  if (auto* real = std::get_if<double>(&value_)) return *real;
  if (auto* flag = std::get_if<Boolean>(&value_)) return flag->flag ? 1.0 : 0.0;
  return std::nullopt;
}

std::optional<bool> PlistValue::boolValue() const {
  if (auto* flag = std::get_if<Boolean>(&value_)) return flag->flag;
  if (auto number = integerValue()) return *number != 0;
  return std::nullopt;
}

bool PlistValue::isUnsignedInteger() const {
  auto* number = std::get_if<Integer>(&value_);
  return number != nullptr && number->isUnsigned;
}

std::optional<double> PlistValue::dateValue() const {
  if (auto* date = std::get_if<Date>(&value_)) return date->seconds;
  return std::nullopt;
}

const PlistValue* PlistValue::find(const std::string& key) const {
  const PlistDictionary* dictionary = asDictionary();
  if (dictionary == nullptr) return nullptr;
  auto it = dictionary->find(key);
  return it == dictionary->end() ? nullptr : &it->second;
}

PlistValue* PlistValue::find(const std::string& key) {
  PlistDictionary* dictionary = asDictionary();
  if (dictionary == nullptr) return nullptr;
  auto it = dictionary->find(key);
  return it == dictionary->end() ? nullptr : &it->second;
}

const char* plistTypeName(PlistValue::Type type) {
  switch (type) {
    case PlistValue::Type::None:
      return "nothing";
    case PlistValue::Type::String:
      return "string";
    case PlistValue::Type::Integer:
      return "integer";
    case PlistValue::Type::Real:
      return "real";
    case PlistValue::Type::Boolean:
      return "boolean";
    case PlistValue::Type::Data:
      return "data";
    case PlistValue::Type::Array:
      return "array";
    case PlistValue::Type::Dictionary:
      return "dictionary";
    case PlistValue::Type::Date:
      return "date";
  }
  return "unknown";
}

}  // namespace zor
