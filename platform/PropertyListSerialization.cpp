#include "platform/PropertyListSerialization.h"

#include <fcntl.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/BinaryPropertyListStrings.h"
#include "platform/PropertyListLimits.h"
#include "platform/RegularFileReader.h"
#include "platform/Utf8.h"

namespace zor {
namespace {

struct PlistDeleter {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistHandle = std::unique_ptr<void, PlistDeleter>;

// True when `text` is well-formed UTF-8: what is written again must be readable.
bool isUtf8(std::string_view text) {
  std::string again;
  for (char32_t codePoint : Utf8::decode(text)) Utf8::append(again, codePoint);
  return again == text;
}

std::optional<PlistValue> fromNode(plist_t node, std::string* error) {
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t flag = 0;
      plist_get_bool_val(node, &flag);
      return PlistValue::boolean(flag != 0);
    }
    case PLIST_UINT: {
      // libplist keeps integers as 64 bits plus a width; 16 marks a value
      // read as unsigned above the signed range.
      uint64_t bits = 0;
      plist_get_uint_val(node, &bits);
      return PlistValue::integer(static_cast<int64_t>(bits));
    }
    case PLIST_REAL: {
      double number = 0;
      plist_get_real_val(node, &number);
      return PlistValue::real(number);
    }
    case PLIST_STRING: {
      // By pointer and length: the copying getter asserts (and aborts the
      // process) on a string with a NUL byte inside, which a damaged binary
      // property list can hold.
      uint64_t length = 0;
      // The XML reader takes any bytes, but the binary writer cannot convert
      // ill-formed UTF-8, so such a string is refused rather than kept.
      const char* text = plist_get_string_ptr(node, &length);
      std::string value = text != nullptr ? std::string(text, length) : std::string();
      if (!isUtf8(value)) {
        if (error) *error = "a string that is not UTF-8";
        return std::nullopt;
      }
      return PlistValue(std::move(value));
    }
    case PLIST_DATA: {
      char* bytes = nullptr;
      uint64_t length = 0;
      plist_get_data_val(node, &bytes, &length);
      PlistData data(reinterpret_cast<uint8_t*>(bytes), reinterpret_cast<uint8_t*>(bytes) + length);
      std::free(bytes);
      return PlistValue(std::move(data));
    }
    case PLIST_DATE: {
      int32_t seconds = 0, micro = 0;
      plist_get_date_val(node, &seconds, &micro);
      return PlistValue::date(seconds + micro / 1e6);
    }
    case PLIST_ARRAY: {
      PlistArray array;
      uint32_t count = plist_array_get_size(node);
      array.reserve(count);
      for (uint32_t i = 0; i < count; ++i) {
        auto item = fromNode(plist_array_get_item(node, i), error);
        if (!item) return std::nullopt;
        array.push_back(std::move(*item));
      }
      return PlistValue(std::move(array));
    }
    case PLIST_DICT: {
      PlistDictionary dictionary;
      plist_dict_iter iter = nullptr;
      plist_dict_new_iter(node, &iter);
      for (;;) {
        char* key = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(node, iter, &key, &item);
        if (item == nullptr) {
          std::free(key);
          break;
        }
        std::string name(key != nullptr ? key : "");
        std::free(key);
        if (!isUtf8(name)) {
          if (error) *error = "a key that is not UTF-8";
          std::free(iter);
          return std::nullopt;
        }
        auto value = fromNode(item, error);
        if (!value) {
          std::free(iter);
          return std::nullopt;
        }
        dictionary[name] = std::move(*value);
      }
      std::free(iter);
      return PlistValue(std::move(dictionary));
    }
    default:
      if (error) *error = "unsupported property-list element";
      return std::nullopt;
  }
}

plist_t toNode(const PlistValue& value) {
  switch (value.type()) {
    case PlistValue::Type::String:
      return plist_new_string(value.asString()->c_str());
    case PlistValue::Type::Integer:
      return plist_new_uint(static_cast<uint64_t>(*value.integerValue()));
    case PlistValue::Type::Real:
      return plist_new_real(*value.realValue());
    case PlistValue::Type::Boolean:
      return plist_new_bool(*value.boolValue() ? 1 : 0);
    case PlistValue::Type::Data: {
      const PlistData& data = *value.asData();
      return plist_new_data(reinterpret_cast<const char*>(data.data()), data.size());
    }
    case PlistValue::Type::Date: {
      // libplist holds a date as 32-bit whole seconds and microseconds; a
      // date beyond them is written as the nearest one they hold.
      double seconds = std::clamp(*value.dateValue(), double{INT32_MIN}, double{INT32_MAX});
      if (std::isnan(seconds)) seconds = 0;
      double whole = std::floor(seconds);
      return plist_new_date(static_cast<int32_t>(whole),
                            static_cast<int32_t>(std::lround((seconds - whole) * 1e6)));
    }
    case PlistValue::Type::Array: {
      plist_t array = plist_new_array();
      for (const PlistValue& item : *value.asArray()) {
        if (plist_t child = toNode(item)) plist_array_append_item(array, child);
      }
      return array;
    }
    case PlistValue::Type::Dictionary: {
      plist_t dictionary = plist_new_dict();
      for (const auto& [key, item] : *value.asDictionary()) {
        if (plist_t child = toNode(item)) plist_dict_set_item(dictionary, key.c_str(), child);
      }
      return dictionary;
    }
    case PlistValue::Type::None:
      break;
  }
  return nullptr;
}

bool looksLikePropertyList(std::string_view bytes) {
  if (bytes.substr(0, 6) == "bplist") return true;
  // libplist's XML reader accepts almost anything; insist on XML plist markup.
  return bytes.find("<plist") != std::string_view::npos;
}

}  // namespace

std::optional<PlistValue> parsePropertyList(std::string_view bytes, std::string* error) {
  if (bytes.empty() || bytes.size() > UINT32_MAX || !looksLikePropertyList(bytes)) {
    if (error) *error = "not a property list";
    return std::nullopt;
  }
  // Converting recurses once per level, in the library and here.
  if (auto refused = PropertyListLimits::refusal(bytes)) {
    if (error) *error = *refused;
    return std::nullopt;
  }
  if (BinaryPropertyListStrings::holdNul(bytes)) {
    if (error) *error = "a string with a NUL character";
    return std::nullopt;
  }
  plist_t root = nullptr;
  plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
  if (root == nullptr) {
    if (error) *error = "not a property list";
    return std::nullopt;
  }
  PlistHandle owner(root);
  return fromNode(root, error);
}

std::string serializePropertyList(const PlistValue& value, PlistFormat format) {
  plist_t node = toNode(value);
  if (node == nullptr) return {};
  PlistHandle owner(node);
  char* out = nullptr;
  uint32_t length = 0;
  if (format == PlistFormat::XML) {
    plist_to_xml(node, &out, &length);
  } else {
    plist_to_bin(node, &out, &length);
  }
  std::string bytes(out != nullptr ? out : "", out != nullptr ? length : 0);
  std::free(out);
  return bytes;
}

std::optional<std::string> readWholeFile(const std::string& path, std::string* error) {
  RegularFileReader::Result file = RegularFileReader::read(path);
  if (file.outcome != RegularFileReader::Outcome::Read) {
    if (error) *error = std::move(file.error);
    return std::nullopt;
  }
  return std::move(file.bytes);
}

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
  std::string temporary = path + ".tmp-XXXXXX";
  int fd = mkstemp(temporary.data());
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  const char* cursor = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t written = ::write(fd, cursor, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      if (error) *error = std::strerror(errno);
      ::close(fd);
      ::unlink(temporary.c_str());
      return false;
    }
    cursor += written;
    left -= static_cast<size_t>(written);
  }
  fchmod(fd, 0644);
  bool synced = ::fsync(fd) == 0;
  bool closed = ::close(fd) == 0;
  if (!synced || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
    if (error) *error = std::strerror(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

std::optional<PlistValue> readPropertyListFile(const std::string& path, std::string* error) {
  auto bytes = readWholeFile(path, error);
  if (!bytes) return std::nullopt;
  return parsePropertyList(*bytes, error);
}

bool writePropertyListFile(const std::string& path, const PlistValue& value, PlistFormat format,
                           std::string* error) {
  std::string bytes = serializePropertyList(value, format);
  if (bytes.empty()) {
    if (error) *error = "value has no property-list form";
    return false;
  }
  return writeFileAtomically(path, bytes, error);
}

}  // namespace zor
