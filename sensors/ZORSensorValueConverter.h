#pragma once
// Turns a sensor's raw 32-bit reading into the physical value in the
// sensor's unit. Every sensor hands one out through valueConverter(); the
// widget's reading and the sensor's value() use it. A small value object:
// five parameters, one conversion, copy and archiving.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Archivable.h"

namespace zor {

class ZORSensorValueConverter : public Archivable {
 public:
  // Function types: 0 identity, 1 linear, 2 calibrated slope/offset/shift, 3 100 minus linear.
  ZORSensorValueConverter() = default;

  void setConversionFunctionType(std::int32_t functionType) { functionType_ = functionType; }
  void setLinearFactor(double linearFactor) { linearFactor_ = linearFactor; }
  void setMScaling(std::uint16_t mScaling) { mScaling_ = mScaling; }
  void setBOffset(std::int16_t bOffset) { bOffset_ = bOffset; }
  void setShiftValue(std::int32_t shiftValue) { shiftValue_ = shiftValue; }

  // The raw value -1 (no reading) is converted like any other number;
  // callers test for it first.
  double valueForRawSensorValue(std::int32_t rawValue) const;

  std::shared_ptr<ZORSensorValueConverter> copy() const;
  std::string description() const;

  std::string archiveClassName() const override { return "ZORSensorValueConverter"; }
  void encodeWithCoder(SequentialArchiver& coder) const override;
  bool initWithCoder(SequentialArchiver& coder) override;
  std::shared_ptr<Archivable> replacementObjectForPortCoder(PortCoder& coder) override;

  bool operator==(const ZORSensorValueConverter& other) const;

 private:
  std::int32_t functionType_ = 0;
  double linearFactor_ = 1.0;
  std::uint16_t mScaling_ = 1;
  std::int16_t bOffset_ = 0;
  std::int32_t shiftValue_ = 0;
};

}  // namespace zor
