// ATA disks of the running Linux machine served to the S.M.A.R.T. family
// through the SG_IO seam: disks answering from the demo machines' pages must
// read as the simulated disks with those pages do; a sleeping disk is never
// sent a S.M.A.R.T. command; refusals and bad answers give -1 and one log
// line, and the entries come from sysfs alone.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/MachineEntry.h"
#include "platform/linux/ATADiskDriverBehaviour.h"
#include "platform/linux/ATADiskEntries.h"
#include "platform/linux/LinuxMachine.h"
#include "tests/linux/SgIoRecordedDisk.h"
#include "tests/smart/SMARTTestMachine.h"

namespace zor {
namespace {

using linuxfs::ATADiskEntries;
using linuxfs::LinuxRoot;
using linuxfs::SgIoTransport;
using testing::SgIoRecordedDisk;

constexpr const char* kNotebookDisk = "Hitachi HTS545032B9SA02";
constexpr const char* kTowerDisk = "ST3200822A";

LinuxRoot ataTree() {
  return LinuxRoot(linuxtest::recordedTree("ata-disks"));
}

struct Seen {
  std::string identifier;
  std::string location;
  std::int32_t raw;
  bool operator==(const Seen&) const = default;
};

class SgIoATADiskTest : public testing::SMARTTest {
 protected:
  void SetUp() override {
    sda_ = testing::demoDisk("machines/intel-notebook.plist", kNotebookDisk);
    sdb_ = testing::demoDisk("machines/intel-tower.plist", kTowerDisk);
  }
  // The Linux machine's disk entries from the recorded tree, answered by sda_ and sdb_.
  void installLinux() {
    disks_.reset();  // restores the opener before the next one is installed
    disks_ = std::make_unique<testing::ScopedRecordedDisks>(
        std::map<std::string, std::shared_ptr<SgIoRecordedDisk>>{{"sda", sda_}, {"sdb", sdb_}});
    install(linuxfs::LinuxMachine::profile(ataTree()), "");
  }
  std::vector<Seen> sensors() {
    std::vector<Seen> seen;
    for (const auto& sensor : ZORSMARTTemperatureSensor::allSensors()) {
      seen.push_back(
          {sensor->uniqueIdentifier(), sensor->locationIdentifier(), sensor->rawValue()});
    }
    return seen;
  }
  // How many log lines name the disk and say `what`.
  long linesSaying(const std::string& device, const std::string& what) const {
    return std::count_if(log_.lines().begin(), log_.lines().end(), [&](const std::string& line) {
      return line.find(what) != std::string::npos && line.find(device) != std::string::npos;
    });
  }
  ATADiskDriverBehaviour& driver(const std::string& name) {
    return dynamic_cast<ATADiskDriverBehaviour&>(
        machine_->registry().findEntryNamed(name)->behaviour());
  }

  std::shared_ptr<SgIoRecordedDisk> sda_, sdb_;
  std::unique_ptr<testing::ScopedRecordedDisks> disks_;
};

TEST_F(SgIoATADiskTest, EntriesAreTheATADisksOfSysfs) {
  PlistArray services;
  ATADiskEntries::append(ataTree(), &services);
  struct Row {
    const char* name;
    const char* location;
  };
  // No card reader, NVMe drive or optical drive: they are not ATA disks.
  const Row rows[] = {{"sda", "Internal"}, {"sdb", "External"}};
  ASSERT_EQ(services.size(), std::size(rows));
  for (std::size_t i = 0; i < services.size(); ++i) {
    const PlistValue& entry = services[i];
    EXPECT_EQ(*entry.find("IORegistryEntryName"), PlistValue(rows[i].name));
    EXPECT_EQ(*entry.find("Protocol Characteristics")->find("Physical Interconnect Location"),
              PlistValue(rows[i].location));
    EXPECT_EQ(*entry.find("ZORSimulation")->find("ATADisk")->find("Device"),
              PlistValue(ataTree().path(std::string("/dev/") + rows[i].name)));
  }
  // The same tree without stand-ins for the device nodes has no disk to ask.
  linuxtest::ScratchTree copy("ata-disks");
  std::filesystem::remove_all(copy / "dev");
  PlistArray none;
  ATADiskEntries::append(LinuxRoot(copy.path()), &none);
  EXPECT_TRUE(none.empty());
}

TEST_F(SgIoATADiskTest, DisksReadAsTheSimulatedDisksWithTheSamePages) {
  installLinux();
  std::vector<Seen> live = sensors();
  EXPECT_EQ(sda_->commands().front(), (std::pair<std::uint8_t, std::uint8_t>{0xE5, 0x00}))
      << "the first command asks the power mode";

  PlistArray simulated;
  for (const auto& disk : {sda_, sdb_}) {
    PlistDictionary pages{
        {"Identify", PlistValue(PlistData(disk->identify.begin(), disk->identify.end()))},
        {"Data", PlistValue(PlistData(disk->data.begin(), disk->data.end()))},
        {"Thresholds", PlistValue(PlistData(disk->thresholds.begin(), disk->thresholds.end()))}};
    simulated.push_back(PlistDictionary{
        {"IOObjectClass", "IOATABlockStorageDevice"},
        {"IORegistryEntryName", "disk"},
        {"SMART Capable", PlistValue::boolean(true)},
        {"Protocol Characteristics", PlistDictionary{{"Physical Interconnect", "SATA"}}},
        {"ZORSimulation", PlistDictionary{{"ATASMART", PlistValue(std::move(pages))}}}});
  }
  install(testing::profileWithEntries(simulated), "");
  EXPECT_EQ(live, sensors());
  ASSERT_EQ(live.size(), 2u);
  EXPECT_EQ(live[0].identifier, std::string("smart.") + kNotebookDisk + ".100415PBN40017G2L7KE");
}

TEST_F(SgIoATADiskTest, ASleepingDiskIsNeverSentASMARTCommand) {
  sda_->powerMode = 0x00;  // standby
  installLinux();
  std::vector<Seen> seen = sensors();
  ASSERT_EQ(seen.size(), 1u) << "only the spinning disk has a sensor";
  EXPECT_FALSE(sda_->sentSMARTCommand());
  EXPECT_GT(sda_->sent.size(), 0u);

  // A disk that goes to sleep after discovery keeps asleep: its reading
  // stays the last one for the retries, then is no reading.
  sda_->powerMode = 0xFF;
  auto sensors = ZORSMARTTemperatureSensor::allSensors();
  ASSERT_EQ(sensors.size(), 2u);
  const std::int32_t before = sensors[0]->rawValue();
  for (std::uint8_t mode : {0x00, 0x01, 0x40}) {
    sda_->powerMode = mode;
    sda_->sent.clear();
    clock_.advance(400);
    sensors[0]->rawValue();
    EXPECT_FALSE(sda_->sentSMARTCommand()) << int(mode);
  }
  EXPECT_GT(before, 0);
  EXPECT_FALSE(log_.contains("/dev/sda")) << "standby is no failure";
}

TEST_F(SgIoATADiskTest, PermissionErrorsAreLoggedOnceWithHowToGrantAccess) {
  struct Case {
    int openError;
    int requestError;
    const char* line;
  };
  const Case cases[] = {
      {EACCES, 0, "no permission to open"},
      {EPERM, 0, "no permission to open"},
      {0, EPERM, "refused ATA pass-through"},
  };
  for (const Case& c : cases) {
    SetUp();
    sda_->openError = c.openError;
    sda_->requestError = c.requestError;
    log_.clear();
    installLinux();
    EXPECT_EQ(sensors().size(), 1u) << c.line;
    EXPECT_EQ(sensors().size(), 1u) << c.line;
    EXPECT_EQ(linesSaying("/dev/sda", c.line), 1) << c.line;
    EXPECT_EQ(linesSaying("/dev/sda", "CAP_SYS_RAWIO"), 1) << c.line;
  }
}

TEST_F(SgIoATADiskTest, BadAnswersReadMinusOneAndAreLoggedOnce) {
  using Answer = SgIoTransport::Answer;
  struct Case {
    const char* what;
    std::function<void(SgIoRecordedDisk&)> spoil;
    const char* line;
    bool status = false;  // the failure shows in the status, not the temperature
  };
  auto onData = [](std::function<void(Answer&, std::span<std::uint8_t>)> change) {
    return [change](SgIoRecordedDisk& disk) {
      disk.tamper = [change](std::uint8_t command, std::uint8_t feature, Answer& answer,
                             std::span<std::uint8_t> data) {
        if (command == 0xB0 && feature == 0xD0) change(answer, data);
      };
    };
  };
  const Case cases[] = {
      {"short page", onData([](Answer& a, auto) { a.residual = 200; }), "short page"},
      {"wrong checksum", onData([](Answer&, auto data) { data[511] ^= 1; }), "wrong checksum"},
      {"empty page", onData([](Answer&, auto data) { std::fill(data.begin(), data.end(), 0); }),
       "malformed page"},
      {"timeout", onData([](Answer& a, auto) { a.hostStatus = 0x03; }), "did not answer in time"},
      {"disk error", onData([](Answer& a, auto) {
         a.status = SgIoTransport::kCheckCondition;
         a.sense = {0x72, 0x0B, 0x00, 0x00, 0, 0, 0, 0};  // ABORTED COMMAND
       }),
       "reported an error"},
      {"removed", onData([](Answer& a, auto) { a.error = ENODEV; }), "is gone"},
      {"removed before the open", [](SgIoRecordedDisk& disk) { disk.openError = ENOENT; },
       "is gone"},
      {"sense without registers",
       [](SgIoRecordedDisk& disk) {
         disk.tamper = [](std::uint8_t command, std::uint8_t, Answer& answer, auto) {
           if (command == 0xE5) answer.sense = {0x72, 0x01, 0x00, 0x1D, 0, 0, 0, 0};
         };
       },
       "does not fit"},
      {"status from nowhere",
       [](SgIoRecordedDisk& disk) {
         disk.tamper = [](std::uint8_t, std::uint8_t feature, Answer& answer, auto) {
           if (feature == 0xDA) answer.sense = testing::registerSense(0, 0x123400, 0x50);
         };
       },
       "does not fit", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    installLinux();
    auto device = deviceNamed("sda");
    ASSERT_NE(device, nullptr);
    log_.clear();
    c.spoil(*sda_);
    if (c.status) {
      EXPECT_EQ(device->currentSMARTStatus(), 0);
    } else {
      EXPECT_EQ(device->temperature(), -1);
    }
    device->temperature();
    device->currentSMARTStatus();
    EXPECT_EQ(linesSaying("/dev/sda", c.line), 1);
  }
}

TEST_F(SgIoATADiskTest, RecordedSettingsHoldThePagesReadNow) {
  installLinux();
  sdb_->exceeded = true;
  PlistDictionary awake =
      driver("sdb").recordedSettings(*machine_->registry().findEntryNamed("sdb"));
  const PlistValue& pages = awake["ATASMART"];
  EXPECT_EQ(*pages.find("Data"), PlistValue(PlistData(sdb_->data.begin(), sdb_->data.end())));
  EXPECT_EQ(*pages.find("Identify"),
            PlistValue(PlistData(sdb_->identify.begin(), sdb_->identify.end())));
  EXPECT_EQ(*pages.find("ThresholdExceeded"), PlistValue::boolean(true));

  sda_->powerMode = 0x00;
  sda_->sent.clear();
  EXPECT_EQ(driver("sda").recordedSettings(*machine_->registry().findEntryNamed("sda")),
            (PlistDictionary{{"ATASMART", PlistValue(PlistDictionary{})}}));
  EXPECT_FALSE(sda_->sentSMARTCommand());
}

}  // namespace
}  // namespace zor
