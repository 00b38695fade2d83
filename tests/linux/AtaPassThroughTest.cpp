// The ATA PASS-THROUGH(16) command blocks and the sense data that returns
// the ATA registers, against the byte layouts of the SCSI/ATA translation
// standard.

#include "platform/linux/AtaPassThrough.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/StringFormat.h"
#include "platform/linux/AtaDiskSession.h"
#include "tests/linux/SgIoRecordedDisk.h"

namespace zor::linuxfs {
namespace {

using Block = std::array<std::uint8_t, 16>;
using Outcome = AtaDiskSession::Outcome;

TEST(AtaPassThroughTest, EachCommandIsSentInTheStandardsLayout) {
  // Byte 1: PROTOCOL << 1 (3 non-data, 4 PIO data-in); byte 2: CK_COND 20h,
  // T_DIR 08h, BYT_BLOK 04h, T_LENGTH 2 (the count); 4 FEATURES, 6 COUNT,
  // 8/10/12 LBA low/mid/high, 13 DEVICE, 14 COMMAND.
  AtaDiskSession::Page page{};
  bool exceeded = false;
  const std::pair<std::function<Outcome(AtaDiskSession&)>, Block> rows[] = {
      {[&](AtaDiskSession& s) { return s.identify(&page); },
       {0x85, 0x08, 0x0E, 0, 0x00, 0, 1, 0, 0x00, 0, 0x00, 0, 0x00, 0, 0xEC, 0}},
      {[&](AtaDiskSession& s) { return s.readData(&page); },
       {0x85, 0x08, 0x0E, 0, 0xD0, 0, 1, 0, 0x00, 0, 0x4F, 0, 0xC2, 0, 0xB0, 0}},
      {[&](AtaDiskSession& s) { return s.readThresholds(&page); },
       {0x85, 0x08, 0x0E, 0, 0xD1, 0, 1, 0, 0x00, 0, 0x4F, 0, 0xC2, 0, 0xB0, 0}},
      {[&](AtaDiskSession& s) { return s.returnStatus(&exceeded); },
       {0x85, 0x06, 0x20, 0, 0xDA, 0, 0, 0, 0x00, 0, 0x4F, 0, 0xC2, 0, 0xB0, 0}},
      {[&](AtaDiskSession& s) { return s.enable(); },
       {0x85, 0x06, 0x00, 0, 0xD8, 0, 0, 0, 0x00, 0, 0x4F, 0, 0xC2, 0, 0xB0, 0}},
  };
  const Block checkPowerMode{0x85, 0x06, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xE5, 0};
  for (const auto& [run, block] : rows) {
    auto disk = testing::demoDisk("machines/intel-tower.plist", "ST3200822A");
    AtaDiskSession session(std::make_unique<testing::SgIoRecordedTransport>(disk));
    EXPECT_EQ(run(session), Outcome::Done) << int(block[4]);
    EXPECT_EQ(disk->sent, (std::vector<Block>{checkPowerMode, block})) << int(block[4]);
  }
}

// The sense as "key code qualifier", then the registers as "features count lba device status".
std::string described(const std::optional<AtaPassThrough::Sense>& sense) {
  if (!sense) return "none";
  std::string text = formatString("%02x %02x %02x", sense->key, sense->code, sense->qualifier);
  if (const auto& r = sense->registers) {
    text += formatString(" | %02x %02x %07x %02x %02x", r->features, r->count, r->lba, r->device,
                         r->command);
  }
  return text;
}

TEST(AtaPassThroughTest, SenseReturnsTheRegistersInEitherFormat) {
  // Descriptor format: 8-byte header (72h, key, ASC, ASCQ, ..., additional
  // length), then descriptors; ATA Status Return: 09h 0Ch, EXTEND, ERROR,
  // COUNT 15:8 7:0, LBA 31:24 7:0 39:32 15:8 47:40 23:16, DEVICE, STATUS.
  const std::vector<std::uint8_t> ataReturn{0x09, 0x0C, 0x00, 0x04, 0x00, 0xFF, 0x00,
                                            0x11, 0x00, 0x4F, 0x00, 0xC2, 0xE5, 0x51};
  auto withHeader = [&](std::vector<std::uint8_t> header, std::vector<std::uint8_t> before) {
    header.insert(header.end(), before.begin(), before.end());
    header.insert(header.end(), ataReturn.begin(), ataReturn.end());
    return header;
  };
  const std::string returned = "01 00 1d | 04 ff 5c24f11 e5 51";
  const std::pair<std::vector<std::uint8_t>, std::string> rows[] = {
      {withHeader({0x72, 0x01, 0x00, 0x1D, 0, 0, 0, 14}, {}), returned},
      // After another descriptor.
      {withHeader({0x72, 0x01, 0x00, 0x1D, 0, 0, 0, 26},
                  {0x00, 0x0A, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
       returned},
      // The descriptor cut short.
      {withHeader({0x72, 0x01, 0x00, 0x1D, 0, 0, 0, 10}, {}), "01 00 1d"},
      // Fixed: 70h, key in byte 2, ERROR STATUS DEVICE COUNT in 3-6, LBA
      // 7:0 15:8 23:16 in 9-11, ASC/ASCQ in 12-13.
      {{0x70, 0, 0x01, 0x04, 0x51, 0xE5, 0xFF, 10, 0x00, 0x11, 0x4F, 0xC2, 0x00, 0x1D}, returned},
      {{0x70, 0, 0x01, 0x04, 0x51, 0xE5, 0xFF, 10, 0x00, 0x11, 0x4F}, "none"},
      {{0x7F, 0x01, 0x00, 0x1D, 0, 0, 0, 0}, "none"},
      {{}, "none"},
  };
  for (const auto& [bytes, expected] : rows) {
    EXPECT_EQ(described(AtaPassThrough::decodeSense(bytes)), expected) << bytes.size();
  }
}

}  // namespace
}  // namespace zor::linuxfs
