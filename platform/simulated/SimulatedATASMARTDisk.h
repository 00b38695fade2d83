#pragma once
// The disk behind a simulated ATA S.M.A.R.T. entry: its three 512-byte pages
// (data, thresholds, identification), its threshold status, the operations
// the profile makes fail, and the live temperature ("Wave" curves named by
// attribute ID, "194" for example, which set that attribute's raw value
// bytes 0 and 1 at every data read). Shared by the driver behaviour, the
// plug-in interface and the S.M.A.R.T. interface objects, so that an object
// outliving its registry still has its disk. Counts every access.
//
// Profile form ("ZORSimulation" "ATASMART"): "Data", "Thresholds", "Identify"
// (data, 512 bytes each; a missing page makes its read fail),
// "ThresholdExceeded" (boolean), "Fail" (array of "Enable", "Status",
// "ReadData", "ReadThresholds", "Identify", "QueryInterface").

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/IOATASMARTInterface.h"
#include "platform/PropertyList.h"
#include "platform/simulated/SimulatedATASMARTCounters.h"
#include "platform/simulated/SimulatedWave.h"

namespace zor {

class SimulatedATASMARTDisk {
 public:
  // Null and a reason when a key has the wrong type, a page is not 512
  // bytes, or "Fail" names an unknown operation.
  static std::shared_ptr<SimulatedATASMARTDisk> parse(const PlistValue& description,
                                                      const SimulatedWave& wave,
                                                      std::string* error);

  // The names "Fail" accepts.
  static bool isOperationName(const std::string& name);
  bool fails(const std::string& operation) const { return failing_.count(operation) != 0; }
  // Makes an operation fail (true) or succeed (false) from now on (tests).
  void setFails(const std::string& operation, bool fail);
  // Replaces the data page (tests); its curves still apply at every read.
  void setDataPage(const iokit::ATASMARTData& page) { data_ = page; }

  iokit::kern_return_t enable(bool enable);
  iokit::kern_return_t returnStatus(bool* exceededCondition);
  iokit::kern_return_t readData(iokit::ATASMARTData* data);
  iokit::kern_return_t readThresholds(iokit::ATASMARTDataThresholds* data);
  iokit::kern_return_t identify(void* buffer, std::uint32_t inSize, std::uint32_t* outSize);

  SimulatedATASMARTCounters& counters() { return counters_; }
  const SimulatedATASMARTCounters& counters() const { return counters_; }
  bool enabled() const { return enabled_; }

 private:
  std::optional<iokit::ATASMARTData> data_;
  std::optional<iokit::ATASMARTDataThresholds> thresholds_;
  std::optional<iokit::ATASMARTData> identification_;
  bool thresholdExceeded_ = false;
  std::set<std::string> failing_;
  SimulatedWave wave_;
  bool enabled_ = false;
  SimulatedATASMARTCounters counters_;
};

}  // namespace zor
