// The key catalogue as a pure lookup: key and model code in, location
// identifier out, one case per row and the documented examples.

#include "smc/ZORSMCKeyCatalogue.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace zor {
namespace {

struct Case {
  const char* key;
  std::optional<std::string> model;
  std::optional<std::string> location;
};

const std::optional<std::string> kNoModel;
const std::optional<std::string> kNotebook = std::string("MacBookPro5,1");
const std::optional<std::string> kTower4 = std::string("MacPro4,1");
const std::optional<std::string> kTower5 = std::string("MacPro5,1");
const std::optional<std::string> kServer = std::string("Xserve3,1");
const std::optional<std::string> kDesktop = std::string("iMac9,1");
const std::optional<std::string> kOldTower = std::string("MacPro3,1");

std::optional<std::string> named(const char* location) {
  return std::string(location);
}

TEST(ZORSMCKeyCatalogueTest, EveryRow) {
  const Case cases[] = {
      {"TA0P", kNoModel, named("SMC AMBIENT AIR")},
      {"TA1P", kNoModel, named("SMC AMBIENT AIR POSITION 2")},
      {"TA3S", kNoModel, named("SMC PCI SLOT 2 POS 2")},
      {"TA0S", kNoModel, named("SMC PCI SLOT 1 POS 1")},
      {"TA0D", kNoModel, std::nullopt},
      {"TB0T", kNoModel, named("SMC BATTERY")},
      {"TB2T", kNoModel, named("SMC BATTERY POSITION 3")},
      {"TCTD", kNotebook, std::nullopt},
      {"TC0D", kNoModel, named("SMC CPU A DIODE")},
      {"TC9D", kNoModel, named("SMC CPU J DIODE")},
      {"TCAD", kTower5, named("SMC CPU A DIODE")},
      {"TCTH", kNoModel, named("SMC CPU T HEAT SINK")},
      {"TC1H", kNoModel, named("SMC CPU B HEAT SINK")},
      {"TCGP", kNoModel, named("SMC CPU G PROXIMITY")},
      {"TC0F", kNoModel, std::nullopt},
      {"Te5S", kNoModel, named("SMC RAID CARD")},
      {"TeES", kNoModel, named("SMC RAID CARD")},
      {"Te1S", kNoModel, named("SMC PCIE SLOT 1")},
      {"Te1P", kNoModel, std::nullopt},
      {"TG0D", kNoModel, named("SMC GPU DIODE")},
      {"TGXD", kNoModel, named("SMC GPU DIODE")},
      {"TG0H", kNoModel, named("SMC GPU 1 HEAT SINK")},
      {"TG1P", kNoModel, named("SMC GPU 2 CHIP")},
      {"TH0P", kNotebook, named("SMC DRIVE BAY 1")},
      {"TH0P", kTower4, named("SMC DRIVE BAY 0")},
      {"TH1P", kTower5, named("SMC DRIVE BAY 1")},
      {"TH1P", kServer, named("SMC DRIVE BAY 1")},
      {"TH1P", kNoModel, named("SMC DRIVE BAY 2")},
      {"Th0H", kNoModel, named("SMC MAIN HEAT SINK 1")},
      {"Th8H", kNoModel, named("SMC MAIN HEAT SINK 9")},
      {"Th9H", kNoModel, named("SMC MAIN HEAT SINK 9")},
      {"Th0P", kNoModel, named("SMC CPU A PROXIMITY")},
      {"Th1P", kNoModel, std::nullopt},
      {"TL0P", kNoModel, named("SMC LCD PROXIMITY")},
      {"TL1P", kNoModel, std::nullopt},
      {"TM0P", kNotebook, named("SMC BATTERY CHARGER PROXIMITY")},
      {"TM1P", kNotebook, named("SMC MEMORY OUTGOING AIR")},
      {"TM2P", kNotebook, named("SMC VOLTAGE REGULATOR AREA")},
      {"TM3P", kNotebook, std::nullopt},
      {"TM0S", kNotebook, std::nullopt},
      {"TMA1", kTower5, named("SMC MEMORY MODULE SLOT 1")},
      {"TMA4", kTower4, named("SMC MEMORY MODULE SLOT 4")},
      {"TMB1", kTower5, named("SMC MEMORY MODULE SLOT 5")},
      {"TM0S", kTower5, std::nullopt},
      {"TM0S", kDesktop, named("SMC MEMORY MODULE A1")},
      {"TM0S", kNoModel, named("SMC MEMORY MODULE A1")},
      {"TM0S", kServer, named("SMC MEMORY MODULE A0")},
      {"TMAS", kDesktop, named("SMC MEMORY MODULE B3")},
      {"TMFS", kOldTower, named("SMC MEMORY MODULE B8")},
      {"TM7P", kDesktop, named("SMC MEMORY BANK A POS 8")},
      {"TM9P", kServer, named("SMC MEMORY BANK B POS 1")},
      {"TMaS", kDesktop, std::nullopt},
      {"TMGS", kDesktop, std::nullopt},
      {"TMA1", kDesktop, std::nullopt},
      {"Tm0P", kNoModel, named("SMC MAIN LOGIC BOARD")},
      {"TN0C", kNoModel, named("SMC NORTHBRIDGE CORE")},
      {"TN1C", kNoModel, std::nullopt},
      {"TN0D", kNoModel, named("SMB NORTHBRIDGE CHIP DIE")},
      {"TN0H", kNoModel, named("SMC NORTHBRIDGE HEAT SINK")},
      {"TN1P", kNoModel, named("SMC NORTHBRIDGE POS 2")},
      {"TO0P", kNoModel, named("SMC OPTICAL DRIVE")},
      {"Tp0C", kNoModel, named("SMC POWER SUPPLY SENSOR 1")},
      {"TpAP", kNoModel, std::nullopt},
      {"Tp2H", kNoModel, named("SMC SECONDARY HEATSINK")},
      {"Tp3H", kNoModel, named("SMC PRIMARY HEATSINK")},
      {"Tp4H", kNoModel, std::nullopt},
      {"TS0C", kNoModel, named("SMC EXPANSION SLOTS")},
      {"Ts0P", kNoModel, named("SMC LEFT PALM REST")},
      {"Ts1P", kNoModel, named("SMC RIGHT PALM REST")},
      {"Ts2P", kNoModel, std::nullopt},
      {"TV0P", kNoModel, named("SMC AIR VENT EXIT")},
      {"TW0P", kNoModel, named("SMC WLAN CARD")},
      // Only the listed groups exist, and the case of G counts.
      {"Ta0P", kNoModel, std::nullopt},
      {"TZ0P", kNoModel, std::nullopt},
      {"TC0", kNoModel, std::nullopt},
      {"TC0DX", kNoModel, std::nullopt},
      {"FC0D", kNoModel, std::nullopt},
      {"", kNoModel, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ZORSMCKeyCatalogue::locationIdentifierForKey(c.key, c.model), c.location)
        << c.key << " on " << c.model.value_or("(no model)");
  }
}

TEST(ZORSMCKeyCatalogueTest, UniqueIdentifiers) {
  struct Id {
    const char* key;
    const char* identifier;
  };
  for (Id c : {Id{"TC0D", "smc.temperature.DF3"}, Id{"TB0T", "smc.temperature.CV3"},
               Id{"Th9H", "smc.temperature.iJ<"}, Id{"TMA1", "smc.temperature.N3D"}}) {
    EXPECT_EQ(ZORSMCKeyCatalogue::uniqueIdentifierForKey(c.key), std::string(c.identifier));
  }
  EXPECT_FALSE(ZORSMCKeyCatalogue::uniqueIdentifierForKey("TC0").has_value());
}

}  // namespace
}  // namespace zor
