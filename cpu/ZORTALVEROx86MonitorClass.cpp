#include "cpu/ZORTALVEROx86MonitorClass.h"

#include <array>

#include "cpu/ZORTALVEROx86MonitorCPU132688.h"
#include "cpu/ZORTALVEROx86MonitorCPU132800.h"
#include "cpu/ZORTALVEROx86MonitorCPU1760.h"
#include "cpu/ZORTALVEROx86MonitorCPU1776.h"
#include "cpu/ZORTALVEROx86MonitorCPU67184.h"
#include "cpu/ZORTALVEROx86MonitorCPU67232.h"
#include "cpu/ZORTALVEROx86MonitorCPU67296.h"

namespace zor {

std::span<const ZORTALVEROx86MonitorClass* const> ZORTALVEROx86MonitorClass::variants() {
  static const std::array<const ZORTALVEROx86MonitorClass*, 7> table = {
      &ZORTALVEROx86MonitorCPU1760::monitorClassObject(),
      &ZORTALVEROx86MonitorCPU1776::monitorClassObject(),
      &ZORTALVEROx86MonitorCPU67184::monitorClassObject(),
      &ZORTALVEROx86MonitorCPU67232::monitorClassObject(),
      &ZORTALVEROx86MonitorCPU67296::monitorClassObject(),
      &ZORTALVEROx86MonitorCPU132688::monitorClassObject(),
      &ZORTALVEROx86MonitorCPU132800::monitorClassObject(),
  };
  return table;
}

const ZORTALVEROx86MonitorClass* ZORTALVEROx86MonitorClass::variantNamed(std::string_view name) {
  for (const ZORTALVEROx86MonitorClass* variant : variants()) {
    if (variant->name() == name) return variant;
  }
  return nullptr;
}

}  // namespace zor
