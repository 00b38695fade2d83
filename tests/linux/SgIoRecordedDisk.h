#pragma once
// A disk behind the SCSI/ATA translation layer that answers from recorded
// pages (the demo machines' disks, with the checksum a real disk adds), for
// the tests of the Linux S.M.A.R.T. reader. It reads the ATA PASS-THROUGH(16)
// command blocks it gets at the standard's offsets, answers CHECK POWER MODE,
// IDENTIFY DEVICE and the SMART commands as a translation layer does (the
// registers in an ATA Status Return sense descriptor when CK_COND is set),
// keeps every block it was sent, and fails the test on any command that
// could change the disk other than SMART ENABLE. Tests change its state to
// make it sleep, refuse, time out, vanish or answer badly.

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "platform/linux/SgIoTransport.h"
#include "tests/linux/RecordedTrees.h"

namespace zor::testing {

struct SgIoRecordedDisk {
  using Page = std::array<std::uint8_t, 512>;
  Page identify{};
  Page data{};
  Page thresholds{};
  std::uint8_t powerMode = 0xFF;  // CHECK POWER MODE's count: FFh active, 00h standby
  bool exceeded = false;
  int openError = 0;     // errno of opening the device
  int requestError = 0;  // errno of every SG_IO request
  // Changes an answer after it is made: (command, feature, answer, data).
  std::function<void(std::uint8_t, std::uint8_t, linuxfs::SgIoTransport::Answer&,
                     std::span<std::uint8_t>)>
      tamper;
  std::vector<std::array<std::uint8_t, 16>> sent;

  // Anything but CHECK POWER MODE (the ATA command is byte 14).
  bool sentSMARTCommand() const {
    return std::any_of(sent.begin(), sent.end(), [](const auto& cdb) { return cdb[14] != 0xE5; });
  }
};

// The sum byte a real disk puts last so the page sums to 0.
inline void completeChecksum(SgIoRecordedDisk::Page* page) {
  (*page)[511] = 0;
  (*page)[511] =
      static_cast<std::uint8_t>(256 - std::accumulate(page->begin(), page->end(), 0u) % 256);
}

// The "ATASMART" pages of the disk named `product` in an embedded demo machine.
inline std::shared_ptr<SgIoRecordedDisk> demoDisk(const char* profilePath,
                                                  const std::string& product) {
  const PlistValue entry = linuxtest::demoEntry(profilePath, [&](const PlistValue& e) {
    const PlistValue* characteristics = e.find("Device Characteristics");
    return characteristics && *characteristics->find("Product Name") == PlistValue(product);
  });
  auto disk = std::make_shared<SgIoRecordedDisk>();
  if (!entry.find("ZORSimulation")) return disk;
  const PlistValue* pages = entry.find("ZORSimulation")->find("ATASMART");
  for (auto [name, page] : {std::pair{"Identify", &disk->identify}, std::pair{"Data", &disk->data},
                            std::pair{"Thresholds", &disk->thresholds}}) {
    const PlistData& bytes = *pages->find(name)->asData();
    std::copy(bytes.begin(), bytes.end(), page->begin());
  }
  completeChecksum(&disk->data);
  completeChecksum(&disk->thresholds);
  return disk;
}

// Sense data returning ATA registers (COUNT, LBA 23:0, STATUS) in descriptor
// format with the ATA Status Return descriptor, as SAT lays them out.
inline std::vector<std::uint8_t> registerSense(std::uint8_t count, std::uint32_t lba,
                                               std::uint8_t status) {
  const std::uint8_t low = lba & 0xFF, mid = (lba >> 8) & 0xFF, high = (lba >> 16) & 0xFF;
  return {0x72, 0x01, 0x00,  0x1D, 0,   0,    0,   14,   0x09, 0x0C, 0x00,
          0x00, 0x00, count, 0x00, low, 0x00, mid, 0x00, high, 0x00, status};
}

class SgIoRecordedTransport final : public linuxfs::SgIoTransport {
 public:
  explicit SgIoRecordedTransport(std::shared_ptr<SgIoRecordedDisk> disk) : disk_(std::move(disk)) {}

  Answer execute(std::span<const std::uint8_t> cdb, std::span<std::uint8_t> dataIn,
                 std::uint32_t /*timeoutMilliseconds*/) override {
    SgIoRecordedDisk& disk = *disk_;
    std::array<std::uint8_t, 16> block{};
    std::copy(cdb.begin(), cdb.end(), block.begin());
    disk.sent.push_back(block);
    Answer answer;
    if (disk.requestError != 0) {
      answer.error = disk.requestError;
      return answer;
    }
    const std::uint8_t protocol = (cdb[1] >> 1) & 0x0F, command = cdb[14], feature = cdb[4];
    const bool checkCondition = (cdb[2] & 0x20) != 0;
    const std::uint32_t lba = cdb[8] | (cdb[10] << 8) | (cdb[12] << 16);
    // Only reads and SMART ENABLE: no data-out protocol, no other command.
    EXPECT_TRUE(cdb[0] == 0x85 && (protocol == 3 || protocol == 4)) << int(cdb[0]);
    const bool smart = command == 0xB0 && lba == 0xC24F00;
    EXPECT_TRUE(
        command == 0xE5 || command == 0xEC ||
        (smart && (feature == 0xD0 || feature == 0xD1 || feature == 0xD8 || feature == 0xDA)))
        << "sent command " << int(command) << " feature " << int(feature);
    const SgIoRecordedDisk::Page* page = nullptr;
    std::uint8_t count = 0;
    std::uint32_t answerLba = 0;
    if (command == 0xE5) count = disk.powerMode;
    if (command == 0xEC) page = &disk.identify;
    if (smart && feature == 0xD0) page = &disk.data;
    if (smart && feature == 0xD1) page = &disk.thresholds;
    if (smart && feature == 0xDA) answerLba = disk.exceeded ? 0x2CF400 : 0xC24F00;
    if (page != nullptr) {
      std::copy_n(page->begin(), std::min(dataIn.size(), page->size()), dataIn.begin());
    }
    if (checkCondition) {
      answer.status = kCheckCondition;
      answer.sense = registerSense(count, answerLba, 0x50);
    }
    if (disk.tamper) disk.tamper(command, feature, answer, dataIn);
    return answer;
  }

 private:
  std::shared_ptr<SgIoRecordedDisk> disk_;
};

}  // namespace zor::testing
