#pragma once
// One open user client of the simulated SMC driver: answers the method-2
// structure call on the 80-byte key-data record, decoded and encoded field
// by field (host byte order; value bytes most significant first). A key the
// SMC lacks is answered with size 0 and the SMC's "key not found" code in
// the record's result byte; the call itself succeeds, as the hardware's does.

#include <memory>

#include "platform/UserClientConnection.h"
#include "platform/simulated/SMCDriverBehaviour.h"

namespace zor {

class SMCUserClientConnection final : public UserClientConnection {
 public:
  static constexpr std::uint32_t kMethod = 2;
  static constexpr std::size_t kRecordSize = 80;
  // Result byte of an answer for a key the SMC does not have.
  static constexpr std::uint8_t kKeyNotFound = 0x84;

  explicit SMCUserClientConnection(std::shared_ptr<SMCDriverBehaviour::State> state)
      : state_(std::move(state)) {}

  iokit::kern_return_t callStructureMethod(std::uint32_t selector,
                                           std::span<const std::uint8_t> input,
                                           std::span<std::uint8_t> output,
                                           std::size_t* outputSize) override;

 private:
  const SMCDriverBehaviour::Key* findKey(std::uint32_t code) const;
  // The key's value bytes now: the stored ones, or the "Wave" curve's value
  // in the key's own numeric encoding.
  std::vector<std::uint8_t> currentBytes(const SMCDriverBehaviour::Key& key) const;

  std::shared_ptr<SMCDriverBehaviour::State> state_;
};

}  // namespace zor
