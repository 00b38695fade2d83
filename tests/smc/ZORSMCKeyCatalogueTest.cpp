// The key catalogue as a pure lookup: key and model code in, location
// identifier out, one case per row and the documented examples.

#include "smc/ZORSMCKeyCatalogue.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>

namespace zor {
namespace {

std::optional<std::string> text(const char* value) {
  return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

TEST(ZORSMCKeyCatalogueTest, EveryRow) {
  // Per model code (null: none), rows "KEY LOCATION" or just "KEY" for no sensor.
  // Only the listed groups exist and the case of G counts.
  const std::pair<const char*, const char*> cases[] = {
      {nullptr,
       "TA0P SMC AMBIENT AIR; TA1P SMC AMBIENT AIR POSITION 2; TA3S SMC PCI SLOT 2 POS 2; "
       "TA0S SMC PCI SLOT 1 POS 1; TA0D; TB0T SMC BATTERY; TB2T SMC BATTERY POSITION 3; "
       "TC0D SMC CPU A DIODE; TC9D SMC CPU J DIODE; TCTH SMC CPU T HEAT SINK; "
       "TC1H SMC CPU B HEAT SINK; TCGP SMC CPU G PROXIMITY; TC0F; Te5S SMC RAID CARD; "
       "TeES SMC RAID CARD; Te1S SMC PCIE SLOT 1; Te1P; TG0D SMC GPU DIODE; "
       "TGXD SMC GPU DIODE; TG0H SMC GPU 1 HEAT SINK; TG1P SMC GPU 2 CHIP; "
       "TH1P SMC DRIVE BAY 2; Th0H SMC MAIN HEAT SINK 1; Th8H SMC MAIN HEAT SINK 9; "
       "Th9H SMC MAIN HEAT SINK 9; Th0P SMC CPU A PROXIMITY; Th1P; TL0P SMC LCD PROXIMITY; "
       "TL1P; TM0S SMC MEMORY MODULE A1; Tm0P SMC MAIN LOGIC BOARD; "
       "TN0C SMC NORTHBRIDGE CORE; TN1C; TN0D SMB NORTHBRIDGE CHIP DIE; "
       "TN0H SMC NORTHBRIDGE HEAT SINK; TN1P SMC NORTHBRIDGE POS 2; TO0P SMC OPTICAL DRIVE; "
       "Tp0C SMC POWER SUPPLY SENSOR 1; TpAP; Tp2H SMC SECONDARY HEATSINK; "
       "Tp3H SMC PRIMARY HEATSINK; Tp4H; TS0C SMC EXPANSION SLOTS; Ts0P SMC LEFT PALM REST; "
       "Ts1P SMC RIGHT PALM REST; Ts2P; TV0P SMC AIR VENT EXIT; TW0P SMC WLAN CARD; Ta0P; "
       "TZ0P; FC0D;"},
      {"MacBookPro5,1",
       "TCTD; TH0P SMC DRIVE BAY 1; TM0P SMC BATTERY CHARGER PROXIMITY; "
       "TM1P SMC MEMORY OUTGOING AIR; TM2P SMC VOLTAGE REGULATOR AREA; TM3P; TM0S;"},
      {"MacPro4,1", "TH0P SMC DRIVE BAY 0; TMA4 SMC MEMORY MODULE SLOT 4;"},
      {"MacPro5,1",
       "TCAD SMC CPU A DIODE; TH1P SMC DRIVE BAY 1; TMA1 SMC MEMORY MODULE SLOT 1; "
       "TMB1 SMC MEMORY MODULE SLOT 5; TM0S;"},
      {"Xserve3,1",
       "TH1P SMC DRIVE BAY 1; TM0S SMC MEMORY MODULE A0; TM9P SMC MEMORY BANK B POS 1;"},
      {"iMac9,1",
       "TM0S SMC MEMORY MODULE A1; TMAS SMC MEMORY MODULE B3; TM7P SMC MEMORY BANK A POS 8; "
       "TMaS; TMGS; TMA1;"},
      {"MacPro3,1", "TMFS SMC MEMORY MODULE B8;"}};
  int checked = 0;
  for (const auto& [model, rows] : cases) {
    std::istringstream table(rows);
    for (std::string row; std::getline(table >> std::ws, row, ';');) {
      const std::string key = row.substr(0, 4);
      const auto location = row.size() > 4 ? std::optional(row.substr(5)) : std::nullopt;
      EXPECT_EQ(ZORSMCKeyCatalogue::locationIdentifierForKey(key, text(model)), location)
          << key << " on " << (model ? model : "(no model)");
      ++checked;
    }
  }
  EXPECT_EQ(checked, 75);
  for (const char* key : {"TC0", "TC0DX", ""}) {
    EXPECT_EQ(ZORSMCKeyCatalogue::locationIdentifierForKey(key, std::nullopt), std::nullopt);
  }
}

TEST(ZORSMCKeyCatalogueTest, UniqueIdentifiers) {
  const std::pair<const char*, const char*> cases[] = {{"TC0D", "smc.temperature.DF3"},
                                                       {"TB0T", "smc.temperature.CV3"},
                                                       {"Th9H", "smc.temperature.iJ<"},
                                                       {"TMA1", "smc.temperature.N3D"},
                                                       {"TC0", nullptr}};
  for (const auto& [key, identifier] : cases) {
    EXPECT_EQ(ZORSMCKeyCatalogue::uniqueIdentifierForKey(key), text(identifier)) << key;
  }
}

}  // namespace
}  // namespace zor
