#include "registry/PropertyListText.h"

#include <cctype>
#include <cstdio>

#include "platform/StringFormat.h"

namespace zor {
namespace {

std::string quotedIfNeeded(const std::string& text) {
  bool plain = !text.empty();
  for (unsigned char c : text) {
    if (!(std::isalnum(c) || c == '_' || c == '.' || c == '$' || c == '/' || c == ':')) {
      plain = false;
    }
  }
  if (plain) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted.push_back('\\');
    if (c == '\n') {
      quoted += "\\n";
      continue;
    }
    quoted.push_back(c);
  }
  return quoted + "\"";
}

void append(const PlistValue& value, int depth, std::string* out) {
  std::string indent(4 * static_cast<std::size_t>(depth + 1), ' ');
  std::string closing(4 * static_cast<std::size_t>(depth), ' ');
  switch (value.type()) {
    case PlistValue::Type::None:
      *out += "(null)";
      return;
    case PlistValue::Type::String:
      *out += quotedIfNeeded(*value.asString());
      return;
    case PlistValue::Type::Integer:
      *out += value.isUnsignedInteger()
                  ? std::to_string(static_cast<std::uint64_t>(*value.integerValue()))
                  : std::to_string(*value.integerValue());
      return;
    case PlistValue::Type::Real:
      *out += formatString("%g", *value.realValue());
      return;
    case PlistValue::Type::Boolean:
      *out += *value.boolValue() ? "1" : "0";
      return;
    case PlistValue::Type::Date:
      *out += formatString("%.0f", *value.dateValue());
      return;
    case PlistValue::Type::Data: {
      *out += "<";
      const PlistData& bytes = *value.asData();
      for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0 && i % 4 == 0) *out += " ";
        *out += formatString("%02x", bytes[i]);
      }
      *out += ">";
      return;
    }
    case PlistValue::Type::Array: {
      *out += "(\n";
      const PlistArray& items = *value.asArray();
      for (std::size_t i = 0; i < items.size(); ++i) {
        *out += indent;
        append(items[i], depth + 1, out);
        *out += i + 1 < items.size() ? ",\n" : "\n";
      }
      *out += closing + ")";
      return;
    }
    case PlistValue::Type::Dictionary: {
      *out += "{\n";
      for (const auto& [key, item] : *value.asDictionary()) {
        *out += indent + quotedIfNeeded(key) + " = ";
        append(item, depth + 1, out);
        *out += ";\n";
      }
      *out += closing + "}";
      return;
    }
  }
}

}  // namespace

std::string textOfPropertyList(const PlistValue* value) {
  if (value == nullptr) return "(null)";
  std::string out;
  append(*value, 0, &out);
  return out;
}

}  // namespace zor
