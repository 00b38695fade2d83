#pragma once
// A small machine for the registry entry tests, built from XML in the test:
// a platform entry with typed properties, an I2C controller driver with
// hardware sensor services below it, and a device tree.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/Machine.h"
#include "platform/PropertyListSerialization.h"

namespace zor::testing {

inline const char* kRegistryTestProfile = R"(<plist version="1.0"><dict>
<key>Registry</key><dict>
  <key>IOObjectClass</key><string>IORegistryEntry</string>
  <key>IORegistryEntryName</key><string>Root</string>
  <key>IORegistryEntryChildren</key><array>
    <dict><key>IOObjectClass</key><string>IOPlatformExpertDevice</string>
      <key>IORegistryEntryName</key><string>Expert</string>
      <key>model</key><data>YWIAY2Q=</data><key>nozero</key><data>YWJj</data>
      <key>text</key><string>hello</string><key>count</key><integer>7</integer>
      <key>big</key><integer>4294967301</integer><key>neg</key><integer>-3</integer>
      <key>real</key><real>2.9</real><key>flag</key><true/>
      <key>list</key><array>
        <dict><key>a</key><integer>1</integer><key>s</key><string>one</string></dict>
        <dict><key>a</key><integer>2</integer><key>d</key><data>YWIA</data></dict></array>
      <key>mixed</key><array><dict/><integer>5</integer></array><key>empty</key><array/>
      <key>IORegistryEntryChildren</key><array>
        <dict><key>IOObjectClass</key><string>AppleI2CController</string>
          <key>IOSuperclasses</key><array><string>IOService</string></array>
          <key>IORegistryEntryName</key><string>Controller</string>
          <key>CFBundleIdentifier</key><string>com.example.i2c</string>
          <key>IOClass</key><string>AppleI2CController</string>
          <key>IORegistryEntryChildren</key><array>
            <dict><key>IOObjectClass</key><string>IOHWSensor</string>
              <key>IORegistryEntryName</key><string>cpu-sensor</string>
              <key>type</key><string>temperature</string><key>sensor-id</key><integer>3</integer>
              <key>location</key><string>CPU BOTTOM</string>
              <key>current-value</key><integer>2949120</integer>
              <key>ZORSimulation</key><dict><key>Wave</key><dict><key>current-value</key><dict>
                <key>Base</key><real>2949120</real><key>Amplitude</key><real>65536</real>
                <key>PeriodSeconds</key><real>40</real></dict></dict></dict></dict>
            <dict><key>IOObjectClass</key><string>IOHWSensor</string>
              <key>IORegistryEntryName</key><string>adc-sensor</string>
              <key>type</key><string>adc</string><key>sensor-id</key><integer>4</integer>
              <key>location</key><string>AD7417 AD1</string>
              <key>current-value</key><integer>100</integer></dict>
            <dict><key>IOObjectClass</key><string>IOHWSensor</string>
              <key>IORegistryEntryName</key><string>fan-control</string>
              <key>type</key><string>temperature</string><key>control-id</key><integer>9</integer>
              <key>location</key><string>FAN</string><key>current-value</key><integer>5</integer>
            </dict>
            <dict><key>IOObjectClass</key><string>IOHWSensor</string>
              <key>IORegistryEntryName</key><string>silent-sensor</string>
              <key>type</key><string>temperature</string><key>sensor-id</key><integer>5</integer>
              <key>location</key><string>NOWHERE</string></dict>
          </array></dict>
      </array></dict>
    <dict><key>IOObjectClass</key><string>WeirdDriver</string>
      <key>IORegistryEntryName</key><string>Weird</string>
      <key>CFBundleIdentifier</key><string>com.example.weird</string>
      <key>IOClass</key><integer>5</integer></dict>
  </array></dict>
<key>DeviceTree</key><dict>
  <key>IOObjectClass</key><string>IOPlatformExpertDevice</string>
  <key>IORegistryEntryName</key><string>device-tree</string>
  <key>IORegistryEntryChildren</key><array>
    <dict><key>IOObjectClass</key><string>IOService</string>
      <key>IORegistryEntryName</key><string>rom</string>
      <key>IORegistryEntryChildren</key><array>
        <dict><key>IOObjectClass</key><string>IOService</string>
          <key>IORegistryEntryName</key><string>boot-rom</string>
          <key>vendor</key><string>Example</string><key>ZORSimulation</key><dict/></dict>
      </array></dict>
  </array></dict>
</dict></plist>
)";

inline std::shared_ptr<Machine> machineFromXml(const std::string& xml) {
  std::string error;
  auto profile = parsePropertyList(xml, &error);
  EXPECT_TRUE(profile.has_value()) << error;
  if (!profile) return nullptr;
  auto machine = Machine::fromProfile(*profile, "test profile", &error);
  EXPECT_NE(machine, nullptr) << error;
  return machine;
}

// Installs the registry test machine and, at the end of every test, checks
// that every reference taken during the test was given back.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_ = machineFromXml(kRegistryTestProfile);
    ASSERT_NE(machine_, nullptr);
    Machine::install(machine_);
  }
  void TearDown() override {
    EXPECT_EQ(machine_->registry().outstandingReferences(), 0)
        << "a registry reference was not given back";
    Machine::install(nullptr);
  }
  MachineRegistry& registry() { return machine_->registry(); }
  std::shared_ptr<Machine> machine_;
};

}  // namespace zor::testing
