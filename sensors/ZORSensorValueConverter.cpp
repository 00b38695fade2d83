#include "sensors/ZORSensorValueConverter.h"

#include <bit>

#include "platform/SequentialArchiver.h"
#include "platform/StringFormat.h"

namespace zor {

double ZORSensorValueConverter::valueForRawSensorValue(std::int32_t rawValue) const {
  switch (functionType_) {
    case 0:
      return static_cast<double>(rawValue);
    case 1:
      return static_cast<double>(rawValue) * linearFactor_;
    case 2: {
      // The card's calibration is integer arithmetic in 32 bits that wraps;
      // only the low five bits of the shift count count.
      std::uint32_t scaled =
          static_cast<std::uint32_t>(mScaling_) * static_cast<std::uint32_t>(rawValue);
      std::uint32_t offset = static_cast<std::uint32_t>(static_cast<std::int32_t>(bOffset_))
                             << (static_cast<std::uint32_t>(shiftValue_) & 31u);
      std::int32_t sum = static_cast<std::int32_t>(scaled + offset);
      return static_cast<double>(sum) / linearFactor_;
    }
    case 3:
      return 100.0 - static_cast<double>(rawValue) * linearFactor_;
    default:
      return 0.0;
  }
}

std::shared_ptr<ZORSensorValueConverter> ZORSensorValueConverter::copy() const {
  return std::make_shared<ZORSensorValueConverter>(*this);
}

std::string ZORSensorValueConverter::description() const {
  return formatString("f: %d l: %f m: %u b: %d s: %d\n", functionType_, linearFactor_,
                      static_cast<unsigned>(mScaling_), static_cast<int>(bOffset_), shiftValue_);
}

void ZORSensorValueConverter::encodeWithCoder(SequentialArchiver& coder) const {
  coder.encodeInt32(functionType_);
  coder.encodeDouble(linearFactor_);
  coder.encodeUInt16(mScaling_);
  coder.encodeInt16(bOffset_);
  coder.encodeInt32(shiftValue_);
}

bool ZORSensorValueConverter::initWithCoder(SequentialArchiver& coder) {
  *this = ZORSensorValueConverter();
  return coder.decodeInt32(functionType_) && coder.decodeDouble(linearFactor_) &&
         coder.decodeUInt16(mScaling_) && coder.decodeInt16(bOffset_) &&
         coder.decodeInt32(shiftValue_);
}

std::shared_ptr<Archivable> ZORSensorValueConverter::replacementObjectForPortCoder(
    PortCoder& coder) {
  return replacementByCopyUnlessByref(coder);
}

bool ZORSensorValueConverter::operator==(const ZORSensorValueConverter& other) const {
  // Bitwise on the factor, so a not-a-number factor still equals its own copy.
  return functionType_ == other.functionType_ &&
         std::bit_cast<std::uint64_t>(linearFactor_) ==
             std::bit_cast<std::uint64_t>(other.linearFactor_) &&
         mScaling_ == other.mScaling_ && bOffset_ == other.bOffset_ &&
         shiftValue_ == other.shiftValue_;
}

}  // namespace zor
