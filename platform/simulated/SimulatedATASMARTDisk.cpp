#include "platform/simulated/SimulatedATASMARTDisk.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zor {

using namespace iokit;

namespace {

constexpr const char* kOperationNames[] = {"Enable",         "Status",   "ReadData",
                                           "ReadThresholds", "Identify", "QueryInterface"};
// The data page holds 30 attribute entries of 12 bytes from offset 2; the
// raw value is bytes 5 to 10 of an entry.
constexpr std::size_t kFirstEntryOffset = 2;
constexpr std::size_t kEntrySize = 12;
constexpr std::size_t kEntryCount = 30;
constexpr std::size_t kRawValueOffset = 5;

bool readPage(const PlistValue& description, const char* key,
              std::optional<std::array<std::uint8_t, 512>>* page, std::string* error) {
  const PlistValue* value = description.find(key);
  if (value == nullptr) return true;
  const PlistData* bytes = value->asData();
  if (bytes == nullptr || bytes->size() != 512) {
    if (error) {
      *error = std::string("\"ATASMART\" \"") + key + "\" must be data of 512 bytes";
      if (bytes != nullptr) *error += " (has " + std::to_string(bytes->size()) + ")";
    }
    return false;
  }
  std::array<std::uint8_t, 512> copy{};
  std::copy(bytes->begin(), bytes->end(), copy.begin());
  *page = copy;
  return true;
}

}  // namespace

bool SimulatedATASMARTDisk::isOperationName(const std::string& name) {
  return std::find(std::begin(kOperationNames), std::end(kOperationNames), name) !=
         std::end(kOperationNames);
}

std::shared_ptr<SimulatedATASMARTDisk> SimulatedATASMARTDisk::parse(const PlistValue& description,
                                                                    const SimulatedWave& wave,
                                                                    std::string* error) {
  if (!description.isDictionary()) {
    if (error) {
      *error = std::string("\"ATASMART\" is a ") + plistTypeName(description.type()) +
               ", expected a dictionary";
    }
    return nullptr;
  }
  auto disk = std::make_shared<SimulatedATASMARTDisk>();
  if (!readPage(description, "Data", &disk->data_, error) ||
      !readPage(description, "Thresholds", &disk->thresholds_, error) ||
      !readPage(description, "Identify", &disk->identification_, error)) {
    return nullptr;
  }
  if (const PlistValue* exceeded = description.find("ThresholdExceeded")) {
    if (!exceeded->isBoolean()) {
      if (error) *error = "\"ATASMART\" \"ThresholdExceeded\" must be a boolean";
      return nullptr;
    }
    disk->thresholdExceeded_ = *exceeded->boolValue();
  }
  if (const PlistValue* fail = description.find("Fail")) {
    const PlistArray* names = fail->asArray();
    if (names == nullptr) {
      if (error) *error = "\"ATASMART\" \"Fail\" must be an array of operation names";
      return nullptr;
    }
    for (const PlistValue& name : *names) {
      if (!name.isString() || !isOperationName(*name.asString())) {
        if (error) {
          *error = "\"ATASMART\" \"Fail\" holds ";
          *error += name.isString() ? "the unknown operation \"" + *name.asString() + "\""
                                    : std::string("a ") + plistTypeName(name.type());
        }
        return nullptr;
      }
      disk->failing_.insert(*name.asString());
    }
  }
  disk->wave_ = wave;
  return disk;
}

void SimulatedATASMARTDisk::setFails(const std::string& operation, bool fail) {
  if (fail) {
    failing_.insert(operation);
  } else {
    failing_.erase(operation);
  }
}

kern_return_t SimulatedATASMARTDisk::enable(bool enable) {
  ++counters_.enableRequests;
  if (fails("Enable")) return kIOReturnError;
  enabled_ = enable;
  return kIOReturnSuccess;
}

kern_return_t SimulatedATASMARTDisk::returnStatus(bool* exceededCondition) {
  ++counters_.statusReads;
  if (exceededCondition == nullptr) return kIOReturnBadArgument;
  if (fails("Status")) return kIOReturnError;
  *exceededCondition = thresholdExceeded_;
  return kIOReturnSuccess;
}

kern_return_t SimulatedATASMARTDisk::readData(ATASMARTData* data) {
  ++counters_.dataReads;
  if (data == nullptr) return kIOReturnBadArgument;
  if (fails("ReadData") || !data_) return kIOReturnError;
  *data = *data_;
  if (wave_.empty()) return kIOReturnSuccess;
  for (std::size_t n = 0; n < kEntryCount; ++n) {
    std::size_t entry = kFirstEntryOffset + n * kEntrySize;
    std::uint8_t id = (*data)[entry];
    if (id == 0) continue;
    auto value = wave_.valueNow(std::to_string(id));
    if (!value) continue;
    // A temperature counter holds whole degrees in its two low raw bytes.
    double rounded = std::clamp(std::round(*value), 0.0, 65535.0);
    auto degrees = static_cast<std::uint16_t>(rounded);
    (*data)[entry + kRawValueOffset] = static_cast<std::uint8_t>(degrees & 0xffu);
    (*data)[entry + kRawValueOffset + 1] = static_cast<std::uint8_t>(degrees >> 8);
  }
  return kIOReturnSuccess;
}

kern_return_t SimulatedATASMARTDisk::readThresholds(ATASMARTDataThresholds* data) {
  ++counters_.thresholdReads;
  if (data == nullptr) return kIOReturnBadArgument;
  if (fails("ReadThresholds") || !thresholds_) return kIOReturnError;
  *data = *thresholds_;
  return kIOReturnSuccess;
}

kern_return_t SimulatedATASMARTDisk::identify(void* buffer, std::uint32_t inSize,
                                              std::uint32_t* outSize) {
  ++counters_.identifyReads;
  if (outSize != nullptr) *outSize = 0;
  if (buffer == nullptr) return kIOReturnBadArgument;
  if (fails("Identify") || !identification_) return kIOReturnError;
  std::uint32_t size = std::min<std::uint32_t>(inSize, kATADefaultSectorSize);
  std::memcpy(buffer, identification_->data(), size);
  if (outSize != nullptr) *outSize = size;
  return kIOReturnSuccess;
}

}  // namespace zor
