#include "platform/linux/AtaPassThrough.h"

#include <algorithm>

namespace zor::linuxfs {
namespace {

// Command block (SAT, ATA PASS-THROUGH(16)).
constexpr std::size_t kProtocolByte = 1;  // bits 4-1 protocol, bit 0 EXTEND
constexpr std::size_t kFlagsByte = 2;     // OFF_LINE, CK_COND, T_TYPE, T_DIR, BYT_BLOK, T_LENGTH
constexpr std::size_t kFeaturesLow = 4;
constexpr std::size_t kCountLow = 6;
constexpr std::size_t kLbaLow = 8;
constexpr std::size_t kLbaMid = 10;
constexpr std::size_t kLbaHigh = 12;
constexpr std::size_t kDevice = 13;
constexpr std::size_t kCommand = 14;
constexpr std::uint8_t kCheckCondition = 0x20;
constexpr std::uint8_t kFromDevice = 0x08;     // T_DIR
constexpr std::uint8_t kInBlocks = 0x04;       // BYT_BLOK
constexpr std::uint8_t kLengthInCount = 0x02;  // T_LENGTH: the count field

// Sense data (SPC): response codes and the descriptor format's header.
constexpr std::uint8_t kFixedCurrent = 0x70;
constexpr std::uint8_t kFixedDeferred = 0x71;
constexpr std::uint8_t kDescriptorCurrent = 0x72;
constexpr std::uint8_t kDescriptorDeferred = 0x73;
constexpr std::size_t kDescriptorHeader = 8;
constexpr std::size_t kDescriptorLengthByte = 7;
// ATA Status Return descriptor (SAT): code 09h, additional length 0Ch.
constexpr std::uint8_t kAtaReturnCode = 0x09;
constexpr std::uint8_t kAtaReturnLength = 0x0C;
// Fixed format: ERROR, STATUS, DEVICE and COUNT(7:0) in INFORMATION (bytes
// 3-6), LBA(7:0), (15:8), (23:16) in COMMAND-SPECIFIC INFORMATION (9-11).
constexpr std::size_t kFixedSize = 14;

constexpr std::uint8_t kBusy = 0x80;
constexpr std::uint8_t kDeviceFault = 0x20;
constexpr std::uint8_t kError = 0x01;

AtaPassThrough::Registers ataReturn(std::span<const std::uint8_t> d) {
  // d[2] bit 0 EXTEND, d[3] ERROR, d[4..5] COUNT, d[6..11] LBA by byte pairs
  // (upper then lower half of low, mid, high), d[12] DEVICE, d[13] STATUS.
  AtaPassThrough::Registers r;
  r.features = d[3];
  r.count = d[5];
  r.lba = std::uint32_t{d[7]} | (std::uint32_t{d[9]} << 8) | (std::uint32_t{d[11]} << 16) |
          (std::uint32_t{d[12] & 0x0Fu} << 24);
  r.device = d[12];
  r.command = d[13];
  return r;
}

}  // namespace

std::array<std::uint8_t, AtaPassThrough::kCommandBlockSize> AtaPassThrough::commandBlock(
    const Registers& registers, Protocol protocol, bool checkCondition) {
  std::array<std::uint8_t, kCommandBlockSize> cdb{};
  cdb[0] = kOperationCode;
  cdb[kProtocolByte] = static_cast<std::uint8_t>(static_cast<std::uint8_t>(protocol) << 1);
  std::uint8_t flags = checkCondition ? kCheckCondition : 0;
  if (protocol == Protocol::PioDataIn) flags |= kFromDevice | kInBlocks | kLengthInCount;
  cdb[kFlagsByte] = flags;
  cdb[kFeaturesLow] = registers.features;
  cdb[kCountLow] = registers.count;
  cdb[kLbaLow] = static_cast<std::uint8_t>(registers.lba);
  cdb[kLbaMid] = static_cast<std::uint8_t>(registers.lba >> 8);
  cdb[kLbaHigh] = static_cast<std::uint8_t>(registers.lba >> 16);
  cdb[kDevice] = static_cast<std::uint8_t>(registers.device | ((registers.lba >> 24) & 0x0Fu));
  cdb[kCommand] = registers.command;
  return cdb;
}

std::optional<AtaPassThrough::Sense> AtaPassThrough::decodeSense(
    std::span<const std::uint8_t> sense) {
  if (sense.empty()) return std::nullopt;
  const std::uint8_t response = sense[0] & 0x7F;
  Sense decoded;
  if (response == kDescriptorCurrent || response == kDescriptorDeferred) {
    if (sense.size() < kDescriptorHeader) return std::nullopt;
    decoded.key = sense[1] & 0x0F;
    decoded.code = sense[2];
    decoded.qualifier = sense[3];
    // Walk the descriptors within both the stated and the returned length.
    std::size_t end = std::min(sense.size(), kDescriptorHeader + sense[kDescriptorLengthByte]);
    std::size_t at = kDescriptorHeader;
    while (at + 2 <= end) {
      std::size_t length = 2 + std::size_t{sense[at + 1]};
      if (at + length > end) break;
      if (sense[at] == kAtaReturnCode && sense[at + 1] == kAtaReturnLength) {
        decoded.registers = ataReturn(sense.subspan(at, length));
        break;
      }
      at += length;
    }
    return decoded;
  }
  if (response == kFixedCurrent || response == kFixedDeferred) {
    if (sense.size() < kFixedSize) return std::nullopt;
    decoded.key = sense[2] & 0x0F;
    decoded.code = sense[12];
    decoded.qualifier = sense[13];
    Registers r;
    r.features = sense[3];
    r.command = sense[4];
    r.device = sense[5];
    r.count = sense[6];
    r.lba = std::uint32_t{sense[9]} | (std::uint32_t{sense[10]} << 8) |
            (std::uint32_t{sense[11]} << 16) | (std::uint32_t{sense[5] & 0x0Fu} << 24);
    decoded.registers = r;
    return decoded;
  }
  return std::nullopt;
}

bool AtaPassThrough::isRegisterReturn(const Sense& sense) {
  constexpr std::uint8_t kNoSense = 0x00;
  constexpr std::uint8_t kRecoveredError = 0x01;
  if (sense.key != kNoSense && sense.key != kRecoveredError) return false;
  if (sense.code != 0x00 || sense.qualifier != 0x1D || !sense.registers) return false;
  return (sense.registers->command & (kBusy | kDeviceFault | kError)) == 0;
}

}  // namespace zor::linuxfs
