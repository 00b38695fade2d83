#pragma once
// The SCSI ATA PASS-THROUGH(16) command of the SCSI/ATA translation layer
// (the kernel's libata and SATA bridges): the 16-byte command block that
// carries one ATA command, and the sense data that carries the ATA
// registers back, in descriptor format (ATA Status Return descriptor 09h)
// or fixed format. Both are built and read field by field at the offsets
// the translation standard gives. Used by AtaDiskSession.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace zor::linuxfs {

class AtaPassThrough {
 public:
  static constexpr std::uint8_t kOperationCode = 0x85;
  static constexpr std::size_t kCommandBlockSize = 16;

  // How the ATA command moves data: none, or 512-byte blocks from the disk.
  enum class Protocol : std::uint8_t { NonData = 3, PioDataIn = 4 };

  // The ATA registers of a 28-bit command (what goes out) or of the answer.
  struct Registers {
    std::uint8_t features = 0;  // the error register in an answer
    std::uint8_t count = 0;
    std::uint32_t lba = 0;  // 28 bits: low, mid and high bytes and 4 bits of the device register
    std::uint8_t device = 0;
    std::uint8_t command = 0;  // the status register in an answer
  };

  // What the sense data says: the sense key, additional sense code and
  // qualifier, and the ATA registers when the sense holds them.
  struct Sense {
    std::uint8_t key = 0;
    std::uint8_t code = 0;
    std::uint8_t qualifier = 0;
    std::optional<Registers> registers;
  };

  // The command block for `registers`. `blocks` is the number of 512-byte
  // blocks read (the count field) for PioDataIn; `checkCondition` asks the
  // translation layer to return the ATA registers as sense data.
  static std::array<std::uint8_t, kCommandBlockSize> commandBlock(const Registers& registers,
                                                                  Protocol protocol,
                                                                  bool checkCondition);
  // The sense data decoded; nothing when it is too short for its own format
  // or its response code is neither fixed (70h/71h) nor descriptor (72h/73h).
  static std::optional<Sense> decodeSense(std::span<const std::uint8_t> sense);
  // True for the sense of a command that ended with its registers returned
  // as asked: no sense or recovered error, "ATA PASS-THROUGH INFORMATION
  // AVAILABLE" (00h/1Dh), the registers present and the status register
  // neither busy nor reporting an error or a device fault.
  static bool isRegisterReturn(const Sense& sense);
};

}  // namespace zor::linuxfs
