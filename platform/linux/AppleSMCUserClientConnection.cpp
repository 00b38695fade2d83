#include "platform/linux/AppleSMCUserClientConnection.h"

#include <cstring>

namespace zor {
namespace {

// The two fields of the key-data record this connection looks at before the
// record is answered: the key (host byte order) and the command.
constexpr std::size_t kKeyOffset = 0;
constexpr std::size_t kCommandOffset = 42;
constexpr std::uint8_t kReadBytes = 5;

}  // namespace

AppleSMCUserClientConnection::AppleSMCUserClientConnection(
    std::shared_ptr<SMCDriverBehaviour::State> state,
    std::shared_ptr<const std::vector<linuxfs::AppleSMCKeyChannel>> channels)
    : state_(state), channels_(std::move(channels)), records_(std::move(state)) {}

bool AppleSMCUserClientConnection::refreshKeyRead(std::span<const std::uint8_t> input) {
  if (input.size() < SMCUserClientConnection::kRecordSize || input[kCommandOffset] != kReadBytes) {
    return true;
  }
  std::uint32_t code;
  std::memcpy(&code, input.subspan(kKeyOffset, 4).data(), 4);
  for (std::size_t i = 0; i < state_->keys.size() && i < channels_->size(); ++i) {
    if (state_->keys[i].code != code) continue;
    auto bytes = (*channels_)[i].currentBytes();
    if (!bytes) return false;
    state_->keys[i].bytes.assign(bytes->begin(), bytes->end());
    return true;
  }
  // Keys without a channel ("#KEY") are answered as listed.
  return true;
}

iokit::kern_return_t AppleSMCUserClientConnection::callStructureMethod(
    std::uint32_t selector, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
    std::size_t* outputSize) {
  if (selector == SMCUserClientConnection::kMethod && !refreshKeyRead(input)) {
    // Counted as the simulated SMC counts its calls, failed or not.
    ++state_->calls;
    ++state_->callsByCommand[kReadBytes];
    *outputSize = 0;
    return iokit::kIOReturnError;
  }
  return records_.callStructureMethod(selector, input, output, outputSize);
}

}  // namespace zor
