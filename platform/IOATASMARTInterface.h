#pragma once
// The ATA S.M.A.R.T. interface of a disk, as the platform's S.M.A.R.T.
// user-client library hands it out: the S.M.A.R.T. disk access creates a
// plug-in interface for the disk's service with the user-client type below,
// asks it (QueryInterface) for this interface and gives both back after one
// read. Every call returns 0 on success. Implemented by the simulated disk
// driver (platform/simulated) and, later, by the running machine's backend.

#include <array>
#include <cstdint>

#include "platform/IOUnknown.h"

namespace zor::iokit {

// One 512-byte S.M.A.R.T. page (data page or threshold page) as the disk sends it.
using ATASMARTData = std::array<std::uint8_t, 512>;
using ATASMARTDataThresholds = std::array<std::uint8_t, 512>;

// The size of the ATA identify-device block.
inline constexpr std::uint32_t kATADefaultSectorSize = 512;

// The S.M.A.R.T. user-client plug-in type.
inline constexpr CFUUIDBytes kIOATASMARTUserClientTypeID = {
    0x24, 0x51, 0x4B, 0x7A, 0x28, 0x04, 0x11, 0xD6, 0x8A, 0x02, 0x00, 0x30, 0x65, 0x70, 0x48, 0x66};
// The plug-in interface every plug-in type hands out first.
inline constexpr CFUUIDBytes kIOCFPlugInInterfaceID = {
    0xC2, 0x44, 0xE8, 0x58, 0x10, 0x9C, 0x11, 0xD4, 0x91, 0xD4, 0x00, 0x50, 0xE4, 0xC6, 0x42, 0x6F};
// The ATA S.M.A.R.T. interface, asked for through QueryInterface.
inline constexpr CFUUIDBytes kIOATASMARTInterfaceID = {
    0x08, 0xAB, 0xE2, 0x1C, 0x20, 0xD4, 0x11, 0xD6, 0x8D, 0xF6, 0x00, 0x03, 0x93, 0x5A, 0x76, 0xB2};

class IOATASMARTInterface : public IOUnknown {
 public:
  // Switches the disk's S.M.A.R.T. feature set on (true) or off.
  virtual kern_return_t SMARTEnableDisableOperations(bool enable) = 0;
  // `*exceededCondition` becomes true when some attribute is at or below its threshold.
  virtual kern_return_t SMARTReturnStatus(bool* exceededCondition) = 0;
  virtual kern_return_t SMARTReadData(ATASMARTData* data) = 0;
  virtual kern_return_t SMARTReadDataThresholds(ATASMARTDataThresholds* data) = 0;
  // Copies at most `inSize` bytes of the identify-device block to `buffer`;
  // `outSize` (may be null) becomes the number of bytes copied.
  virtual kern_return_t GetATAIdentifyData(void* buffer, std::uint32_t inSize,
                                           std::uint32_t* outSize) = 0;
};

}  // namespace zor::iokit
