// ATA disks of the running Linux machine served to the S.M.A.R.T. family
// through the SG_IO seam, answering from the demo machines' pages: a sleeping
// disk is never sent a S.M.A.R.T. command; refusals and bad answers give -1
// and one log line; the entries come from sysfs alone. The ATA PASS-THROUGH(16)
// command blocks and the sense data that returns the ATA registers, against
// the byte layouts of the SCSI/ATA translation standard.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <numeric>
#include <optional>
#include <vector>

#include "platform/MachineEntry.h"
#include "platform/StringFormat.h"
#include "platform/linux/ATADiskDriverBehaviour.h"
#include "platform/linux/ATADiskEntries.h"
#include "platform/linux/AtaDiskSession.h"
#include "platform/linux/AtaPassThrough.h"
#include "platform/linux/LinuxMachine.h"
#include "platform/linux/SgIoTransport.h"
#include "tests/linux/RecordedTrees.h"
#include "tests/smart/SMARTTestMachine.h"

namespace zor {
namespace {

using linuxfs::AtaDiskSession;
using linuxfs::AtaPassThrough;
using linuxfs::LinuxRoot;
using linuxfs::SgIoTransport;

// A disk behind the SCSI/ATA translation layer that answers from recorded
// pages (the demo machines' disks, with the checksum a real disk adds), for
// the tests of the Linux S.M.A.R.T. reader. It reads the ATA PASS-THROUGH(16)
// command blocks it gets at the standard's offsets, answers CHECK POWER MODE,
// IDENTIFY DEVICE and the SMART commands as a translation layer does (the
// registers in an ATA Status Return sense descriptor when CK_COND is set),
// keeps every block it was sent, and fails the test on any command that
// could change the disk other than SMART ENABLE. Tests change its state to
// make it sleep, refuse, time out, vanish or answer badly.

struct SgIoRecordedDisk {
  using Page = std::array<std::uint8_t, 512>;
  Page identify{};
  Page data{};
  Page thresholds{};
  std::uint8_t powerMode = 0xFF;  // CHECK POWER MODE's count: FFh active, 00h standby
  bool exceeded = false;
  struct Fault {
    int openError, requestError;  // errno of opening the device and of every request
    std::uint8_t spoiled;         // the command or S.M.A.R.T. feature whose answer `spoil` changes
    void (*spoil)(SgIoTransport::Answer&, std::span<std::uint8_t>);
  } fault{};
  std::vector<std::vector<std::uint8_t>> sent;

  // Anything but CHECK POWER MODE (the ATA command is byte 14).
  bool sentSMARTCommand() const {
    return std::any_of(sent.begin(), sent.end(), [](const auto& cdb) { return cdb[14] != 0xE5; });
  }
};

// The "ATASMART" pages of the disk named `product` in an embedded demo machine.
inline std::shared_ptr<SgIoRecordedDisk> demoDisk(const char* profilePath,
                                                  const std::string& product) {
  const PlistValue entry = linuxtest::demoEntry(profilePath, [&](const PlistValue& e) {
    const PlistValue* characteristics = e.find("Device Characteristics");
    return characteristics && *characteristics->find("Product Name") == PlistValue(product);
  });
  auto disk = std::make_shared<SgIoRecordedDisk>();
  const PlistValue* pages = entry.find("ZORSimulation")->find("ATASMART");
  for (auto [name, page] : {std::pair{"Identify", &disk->identify}, std::pair{"Data", &disk->data},
                            std::pair{"Thresholds", &disk->thresholds}}) {
    const PlistData& bytes = *pages->find(name)->asData();
    std::copy(bytes.begin(), bytes.end(), page->begin());
    // The sum byte a real disk puts last so the page sums to 0.
    if (page != &disk->identify) (*page)[511] -= std::accumulate(page->begin(), page->end(), 0u);
  }
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

class SgIoRecordedTransport final : public SgIoTransport {
 public:
  explicit SgIoRecordedTransport(std::shared_ptr<SgIoRecordedDisk> disk) : disk_(std::move(disk)) {}

  Answer execute(std::span<const std::uint8_t> cdb, std::span<std::uint8_t> dataIn,
                 std::uint32_t /*timeoutMilliseconds*/) override {
    SgIoRecordedDisk& disk = *disk_;
    disk.sent.emplace_back(cdb.begin(), cdb.end());
    Answer answer;
    answer.error = disk.fault.requestError;
    if (answer.error != 0) return answer;
    const std::uint8_t command = cdb[14], feature = cdb[4];
    const std::uint32_t lba = cdb[8] | (cdb[10] << 8) | (cdb[12] << 16);
    const bool smart = command == 0xB0 && lba == 0xC24F00;
    // Only reads and SMART ENABLE, in the standard's layout: byte 1 PROTOCOL << 1 (3 non-data,
    // 4 PIO data-in); byte 2 CK_COND 20h where the registers answer, T_DIR 08h, BYT_BLOK 04h,
    // T_LENGTH 2 (the count) for a page; 4 FEATURES, 6 COUNT, 8/10/12 LBA, 13 DEVICE, 14 COMMAND.
    const bool pio = command == 0xEC || (smart && (feature == 0xD0 || feature == 0xD1));
    const bool registers = command == 0xE5 || (smart && feature == 0xDA);
    EXPECT_TRUE(pio || registers || (smart && feature == 0xD8)) << "sent " << int(command);
    EXPECT_EQ(std::vector<std::uint8_t>(cdb.begin(), cdb.end()),
              (std::vector<std::uint8_t>{0x85, std::uint8_t(pio ? 0x08 : 0x06),
                                         std::uint8_t((registers ? 0x20 : 0) | (pio ? 0x0E : 0)), 0,
                                         feature, 0, pio, 0, cdb[8], 0, cdb[10], 0, cdb[12], 0,
                                         command, 0}));
    const SgIoRecordedDisk::Page* page = nullptr;
    std::uint8_t count = 0;
    std::uint32_t answerLba = 0;
    if (command == 0xE5) count = disk.powerMode;
    if (command == 0xEC) page = &disk.identify;
    if (smart && feature == 0xD0) page = &disk.data;
    if (smart && feature == 0xD1) page = &disk.thresholds;
    if (smart && feature == 0xDA) answerLba = disk.exceeded ? 0x2CF400 : 0xC24F00;
    if (page) std::copy_n(page->begin(), std::min(dataIn.size(), page->size()), dataIn.begin());
    if (cdb[2] & 0x20) {  // CK_COND
      answer.status = kCheckCondition;
      answer.sense = registerSense(count, answerLba, 0x50);
    }
    if (disk.fault.spoil && (command == disk.fault.spoiled || feature == disk.fault.spoiled)) {
      disk.fault.spoil(answer, dataIn);
    }
    return answer;
  }

 private:
  std::shared_ptr<SgIoRecordedDisk> disk_;
};

LinuxRoot ataTree() {
  return LinuxRoot(linuxtest::recordedTree("ata-disks"));
}

class SgIoATADiskTest : public testing::SMARTTest {
 protected:
  // The Linux machine's disk entries from the recorded tree, answered by
  // fresh copies of the demo notebook's (sda) and tower's (sdb) disks.
  void installLinux(const std::function<void(SgIoRecordedDisk&)>& change = {}) {
    sda_ = demoDisk("machines/intel-notebook.plist", "Hitachi HTS545032B9SA02");
    sdb_ = demoDisk("machines/intel-tower.plist", "ST3200822A");
    if (change) change(*sda_);
    // Transports on sda_ and sdb_ by device name; other devices do not exist.
    opener_.reset();  // restores the opener before the next one is installed
    opener_.emplace([this](const std::string& path, int* error) -> std::unique_ptr<SgIoTransport> {
      const auto disk = path.ends_with("/sda") ? sda_ : path.ends_with("/sdb") ? sdb_ : nullptr;
      *error = disk ? disk->fault.openError : ENOENT;
      return *error ? nullptr : std::make_unique<SgIoRecordedTransport>(disk);
    });
    log_.clear();
    install(linuxfs::LinuxMachine::profile(ataTree()), "");
  }
  // How many log lines name sda and say `what`.
  long linesSaying(const std::string& what) const {
    return std::count_if(log_.lines().begin(), log_.lines().end(), [&](const std::string& line) {
      return line.find(what) != std::string::npos && line.find("/dev/sda") != std::string::npos;
    });
  }
  PlistDictionary recorded(const std::string& name) {
    MachineEntry& entry = *machine_->registry().findEntryNamed(name);
    return dynamic_cast<ATADiskDriverBehaviour&>(entry.behaviour()).recordedSettings(entry);
  }

  std::shared_ptr<SgIoRecordedDisk> sda_, sdb_;
  std::optional<SgIoTransport::ScopedOpener> opener_;
};

TEST(ATADiskEntriesTest, AreTheATADisksOfSysfsWithADeviceNode) {
  // No card reader, NVMe drive or optical drive: they are not ATA disks; and
  // the same tree without stand-ins for the device nodes has no disk to ask.
  linuxtest::ScratchTree withoutNodes("ata-disks");
  std::filesystem::remove_all(withoutNodes / "dev");
  std::string devices;
  for (const std::string& root : {ataTree().directory(), withoutNodes.path()}) {
    PlistArray services;
    linuxfs::ATADiskEntries::append(LinuxRoot(root), &services);
    for (const PlistValue& entry : services) {
      devices += *entry.find("ZORSimulation")->find("ATADisk")->find("Device")->asString() + " ";
    }
  }
  EXPECT_EQ(devices, ataTree().path("/dev/sda") + " " + ataTree().path("/dev/sdb") + " ");
}

TEST_F(SgIoATADiskTest, ASleepingDiskIsNeverSentASMARTCommandNorWokenToBeRecorded) {
  installLinux([](SgIoRecordedDisk& disk) { disk.powerMode = 0x00; });  // standby
  EXPECT_EQ(ZORSMARTTemperatureSensor::allSensors().size(), 1u)
      << "only the spinning disk has a sensor";
  EXPECT_FALSE(sda_->sentSMARTCommand());

  // A disk that goes to sleep after discovery keeps asleep: its reading
  // stays the last one for the retries, then is no reading.
  installLinux();
  auto sensor = ZORSMARTTemperatureSensor::allSensors().at(0);
  EXPECT_GT(sensor->rawValue(), 0);
  for (std::uint8_t mode : {0x00, 0x01, 0x40}) {
    sda_->powerMode = mode;
    sda_->sent.clear();
    clock_.advance(400);
    sensor->rawValue();
    EXPECT_FALSE(sda_->sentSMARTCommand()) << int(mode);
  }
  EXPECT_EQ(linesSaying(""), 0) << "standby is no failure";
  // Nor does recording the machine wake it; a disk awake records the pages it reads now.
  sda_->sent.clear();
  EXPECT_EQ(recorded("sda"), (PlistDictionary{{"ATASMART", PlistValue(PlistDictionary{})}}));
  EXPECT_FALSE(sda_->sentSMARTCommand());
  sdb_->exceeded = true;
  auto bytes = [](const auto& page) { return PlistValue(PlistData(page.begin(), page.end())); };
  EXPECT_EQ(recorded("sdb")["ATASMART"],
            PlistValue(PlistDictionary{{"Identify", bytes(sdb_->identify)},
                                       {"Data", bytes(sdb_->data)},
                                       {"Thresholds", bytes(sdb_->thresholds)},
                                       {"ThresholdExceeded", PlistValue::boolean(true)}}));
}

TEST_F(SgIoATADiskTest, RefusalsAndBadAnswersReadMinusOneAndAreLoggedOnce) {
  using Answer = SgIoTransport::Answer;
  // Where the failure shows: at discovery (the disk gets no sensor and the
  // line says how to grant access), in the temperature, or in the status.
  enum Shows { kDiscovery, kTemperature, kStatus };
  struct Case {
    Shows shows;
    const char* line;
    SgIoRecordedDisk::Fault fault;
  };
  const Case cases[] = {
      {kDiscovery, "no permission to open", {EACCES, 0, 0, nullptr}},
      {kDiscovery, "refused ATA pass-through", {0, EPERM, 0, nullptr}},
      {kTemperature, "short page", {0, 0, 0xD0, [](Answer& a, auto) { a.residual = 200; }}},
      {kTemperature, "wrong checksum", {0, 0, 0xD0, [](Answer&, auto data) { data[511] ^= 1; }}},
      {kTemperature,
       "malformed page",
       {0, 0, 0xD0, [](Answer&, auto data) { std::fill(data.begin(), data.end(), 0); }}},
      {kTemperature, "in time", {0, 0, 0xD0, [](Answer& a, auto) { a.hostStatus = 0x03; }}},
      {kTemperature,
       "reported an error",
       {0, 0, 0xD0,
        [](Answer& a, auto) {
          a.status = SgIoTransport::kCheckCondition;
          a.sense = {0x72, 0x0B, 0x00, 0x00, 0, 0, 0, 0};  // ABORTED COMMAND
        }}},
      {kTemperature, "is gone", {0, 0, 0xD0, [](Answer& a, auto) { a.error = ENODEV; }}},
      {kTemperature, "is gone", {ENOENT, 0, 0, nullptr}},  // removed before the reading opens it
      {kTemperature,
       "does not fit",
       {0, 0, 0xE5, [](Answer& a, auto) { a.sense = {0x72, 0x01, 0x00, 0x1D, 0, 0, 0, 0}; }}},
      // A status return whose registers are no S.M.A.R.T. signature.
      {kStatus,
       "does not fit",
       {0, 0, 0xDA, [](Answer& a, auto) { a.sense = registerSense(0, 0x123400, 0x50); }}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    if (c.shows == kDiscovery) {
      installLinux([&](SgIoRecordedDisk& disk) { disk.fault = c.fault; });
      EXPECT_EQ(ZORSMARTTemperatureSensor::allSensors().size(), 1u);
      EXPECT_EQ(linesSaying("CAP_SYS_RAWIO"), 1);
    } else {
      installLinux();
      auto device = deviceNamed("sda");
      ASSERT_NE(device, nullptr);
      log_.clear();
      sda_->fault = c.fault;
      EXPECT_EQ(c.shows == kStatus ? device->currentSMARTStatus() : device->temperature(),
                c.shows == kStatus ? 0 : -1);
      device->temperature();
      device->currentSMARTStatus();
    }
    EXPECT_EQ(linesSaying(c.line), 1);
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
}  // namespace zor
