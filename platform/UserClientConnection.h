#pragma once
// One open user client of a simulated driver: the object behind an
// io_connect_t. Driver behaviours return their own subclass from
// DriverBehaviour::openUserClient; the registry closes it by destroying it.

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/IOKitTypes.h"

namespace zor {

class UserClientConnection {
 public:
  virtual ~UserClientConnection() = default;
  // One structure call by method index. `output` is the caller's whole buffer;
  // set `*outputSize` to the bytes written. Decode `input` field by field with
  // bounds checks: a short input is the caller's fault, not a crash.
  virtual iokit::kern_return_t callStructureMethod(std::uint32_t selector,
                                                   std::span<const std::uint8_t> input,
                                                   std::span<std::uint8_t> output,
                                                   std::size_t* outputSize) = 0;
};

}  // namespace zor
