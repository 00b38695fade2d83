#pragma once
// One open user client of the SMC of an Intel Mac running Linux. It answers
// the SMC's 80-byte key-data record exactly as the simulated SMC does (it
// hands every call to an SMCUserClientConnection over the same key list), but
// before a "read bytes" call it takes the key's value afresh from its
// applesmc channel: one pread per read, and the SMC family's cache keeps that
// to one a second. A key whose channel cannot be read fails the call, so its
// reading is "---", not a stale number.

#include <memory>
#include <vector>

#include "platform/UserClientConnection.h"
#include "platform/linux/AppleSMCKeyChannel.h"
#include "platform/simulated/SMCDriverBehaviour.h"
#include "platform/simulated/SMCUserClientConnection.h"

namespace zor {

class AppleSMCUserClientConnection final : public UserClientConnection {
 public:
  // `channels` are in the order of the keys of `state`.
  AppleSMCUserClientConnection(
      std::shared_ptr<SMCDriverBehaviour::State> state,
      std::shared_ptr<const std::vector<linuxfs::AppleSMCKeyChannel>> channels);

  iokit::kern_return_t callStructureMethod(std::uint32_t selector,
                                           std::span<const std::uint8_t> input,
                                           std::span<std::uint8_t> output,
                                           std::size_t* outputSize) override;

 private:
  // Brings the bytes of the key a "read bytes" record names up to date; false
  // when its channel gives no reading.
  bool refreshKeyRead(std::span<const std::uint8_t> input);

  std::shared_ptr<SMCDriverBehaviour::State> state_;
  std::shared_ptr<const std::vector<linuxfs::AppleSMCKeyChannel>> channels_;
  SMCUserClientConnection records_;
};

}  // namespace zor
