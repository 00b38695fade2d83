#include "smc/ZORSMCKeyCatalogue.h"

#include <array>
#include <span>

#include "platform/Utf8.h"

namespace zor {
namespace {

// Which machines a row applies to, by the model code's prefix.
enum class Models {
  Any,
  Notebooks,       // "MacBook"
  NehalemTowers,   // "MacPro4", "MacPro5"
  OtherThanThose,  // none of "MacBook", "MacPro4", "MacPro5"
};

// What a "%C"/"%c" placeholder is filled with (G, N, K: the key's second,
// third and fourth characters).
enum class Fill {
  None,
  N,
  NPlus1,
  K,
  KPlus4,
  CPULetter,       // N + 17 for a digit ('0' gives 'A'), else N itself
  SlotPair,        // d = N - '0': '1' + d / 2 ...
  SlotPosition,    // ... and '1' + d mod 2
  DriveBay,        // N on servers and Nehalem towers, N + 1 elsewhere
  HeatSink,        // N + 1 for '0' to '8', N otherwise
  MemoryBank,      // 'A' + v / 8 for the hexadecimal digit v in N
  MemoryPosition,  // '1' + v mod 8, '0' + v mod 8 on servers
};

struct Row {
  char32_t group;  // G
  Models models;
  char32_t k;            // required K, or 0 for any
  const char* nIn;       // N must be one of these characters; null for any
  const char* location;  // null: the key is known but names no sensor
  Fill first = Fill::None;
  Fill second = Fill::None;
};

constexpr const char* kDigits = "0123456789";
constexpr const char* kUpperHex = "0123456789ABCDEF";

// First matching row wins, so a row with a narrower N comes first.
constexpr Row kRows[] = {
    {'A', Models::Any, 'P', "0", "SMC AMBIENT AIR"},
    {'A', Models::Any, 'P', nullptr, "SMC AMBIENT AIR POSITION %C", Fill::NPlus1},
    {'A', Models::Any, 'S', nullptr, "SMC PCI SLOT %C POS %C", Fill::SlotPair, Fill::SlotPosition},
    {'B', Models::Any, 'T', "0", "SMC BATTERY"},
    {'B', Models::Any, 'T', nullptr, "SMC BATTERY POSITION %C", Fill::NPlus1},
    {'C', Models::Any, 'D', "T", nullptr},  // "TCTD" names no sensor
    {'C', Models::Any, 'D', nullptr, "SMC CPU %c DIODE", Fill::CPULetter},
    {'C', Models::Any, 'H', nullptr, "SMC CPU %c HEAT SINK", Fill::CPULetter},
    {'C', Models::Any, 'P', nullptr, "SMC CPU %c PROXIMITY", Fill::CPULetter},
    {'e', Models::Any, 'S', "5E", "SMC RAID CARD"},
    {'e', Models::Any, 'S', nullptr, "SMC PCIE SLOT %C", Fill::N},
    {'G', Models::Any, 'D', nullptr, "SMC GPU DIODE"},
    {'G', Models::Any, 'H', nullptr, "SMC GPU %C HEAT SINK", Fill::NPlus1},
    {'G', Models::Any, 'P', nullptr, "SMC GPU %C CHIP", Fill::NPlus1},
    {'H', Models::Any, 'P', nullptr, "SMC DRIVE BAY %C", Fill::DriveBay},
    {'h', Models::Any, 'H', nullptr, "SMC MAIN HEAT SINK %C", Fill::HeatSink},
    {'h', Models::Any, 'P', "0", "SMC CPU A PROXIMITY"},
    {'L', Models::Any, 'P', "0", "SMC LCD PROXIMITY"},
    {'M', Models::Notebooks, 'P', "0", "SMC BATTERY CHARGER PROXIMITY"},
    {'M', Models::Notebooks, 'P', "1", "SMC MEMORY OUTGOING AIR"},
    {'M', Models::Notebooks, 'P', "2", "SMC VOLTAGE REGULATOR AREA"},
    {'M', Models::NehalemTowers, 0, "A", "SMC MEMORY MODULE SLOT %C", Fill::K},
    {'M', Models::NehalemTowers, 0, "B", "SMC MEMORY MODULE SLOT %C", Fill::KPlus4},
    {'M', Models::OtherThanThose, 'S', kUpperHex, "SMC MEMORY MODULE %C%C", Fill::MemoryBank,
     Fill::MemoryPosition},
    {'M', Models::OtherThanThose, 'P', kUpperHex, "SMC MEMORY BANK %C POS %C", Fill::MemoryBank,
     Fill::MemoryPosition},
    {'m', Models::Any, 'P', nullptr, "SMC MAIN LOGIC BOARD"},
    {'N', Models::Any, 'C', "0", "SMC NORTHBRIDGE CORE"},
    {'N', Models::Any, 'D', nullptr, "SMB NORTHBRIDGE CHIP DIE"},
    {'N', Models::Any, 'H', nullptr, "SMC NORTHBRIDGE HEAT SINK"},
    {'N', Models::Any, 'P', nullptr, "SMC NORTHBRIDGE POS %C", Fill::NPlus1},
    {'O', Models::Any, 'P', nullptr, "SMC OPTICAL DRIVE"},
    {'p', Models::Any, 'C', nullptr, "SMC POWER SUPPLY SENSOR %C", Fill::NPlus1},
    {'p', Models::Any, 'P', kDigits, "SMC POWER SUPPLY POSITION %C", Fill::NPlus1},
    {'p', Models::Any, 'H', "2", "SMC SECONDARY HEATSINK"},
    {'p', Models::Any, 'H', "3", "SMC PRIMARY HEATSINK"},
    {'S', Models::Any, 'C', nullptr, "SMC EXPANSION SLOTS"},
    {'s', Models::Any, 'P', "0", "SMC LEFT PALM REST"},
    {'s', Models::Any, 'P', "1", "SMC RIGHT PALM REST"},
    {'V', Models::Any, 'P', "0", "SMC AIR VENT EXIT"},
    {'W', Models::Any, 'P', nullptr, "SMC WLAN CARD"},
};

bool hasPrefix(const std::optional<std::string>& model, std::string_view prefix) {
  return model && std::string_view(*model).starts_with(prefix);
}

bool isNotebook(const std::optional<std::string>& model) {
  return hasPrefix(model, "MacBook");
}

bool isNehalemTower(const std::optional<std::string>& model) {
  return hasPrefix(model, "MacPro4") || hasPrefix(model, "MacPro5");
}

bool isServer(const std::optional<std::string>& model) {
  return hasPrefix(model, "Xserve");
}

bool modelsMatch(Models models, const std::optional<std::string>& model) {
  switch (models) {
    case Models::Any:
      return true;
    case Models::Notebooks:
      return isNotebook(model);
    case Models::NehalemTowers:
      return isNehalemTower(model);
    case Models::OtherThanThose:
      return !isNotebook(model) && !isNehalemTower(model);
  }
  return false;
}

bool nMatches(const char* nIn, char32_t n) {
  if (nIn == nullptr) return true;
  for (const char* c = nIn; *c != '\0'; ++c) {
    if (static_cast<char32_t>(*c) == n) return true;
  }
  return false;
}

// The value 0 to 15 of an upper-case hexadecimal digit (rows using it only
// match such digits).
unsigned hexValue(char32_t n) {
  return n <= '9' ? static_cast<unsigned>(n - '0') : static_cast<unsigned>(n - 'A' + 10);
}

char32_t fill(Fill how, char32_t n, char32_t k, const std::optional<std::string>& model) {
  switch (how) {
    case Fill::None:
      return 0;
    case Fill::N:
      return n;
    case Fill::NPlus1:
      return n + 1;
    case Fill::K:
      return k;
    case Fill::KPlus4:
      return k + 4;
    case Fill::CPULetter:
      return n >= '0' && n <= '9' ? n + 17 : n;
    // d may be negative for an N below '0'; it wraps as the unsigned
    // character arithmetic does and still gives some character.
    case Fill::SlotPair:
      return U'1' + static_cast<char32_t>(static_cast<std::int32_t>(n - U'0') / 2);
    case Fill::SlotPosition:
      return U'1' + static_cast<char32_t>(static_cast<std::int32_t>(n - U'0') % 2);
    case Fill::DriveBay:
      return isServer(model) || isNehalemTower(model) ? n : n + 1;
    case Fill::HeatSink:
      return n >= '0' && n <= '8' ? n + 1 : n;
    case Fill::MemoryBank:
      return U'A' + hexValue(n) / 8;
    case Fill::MemoryPosition:
      return (isServer(model) ? U'0' : U'1') + hexValue(n) % 8;
  }
  return 0;
}

// Fills each "%C" or "%c" of `format` with the next character.
std::string format(const char* text, std::span<const char32_t> characters) {
  std::string out;
  std::size_t next = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (c[0] == '%' && (c[1] == 'C' || c[1] == 'c') && next < characters.size()) {
      Utf8::append(out, characters[next++]);
      ++c;
    } else {
      out.push_back(*c);
    }
  }
  return out;
}

}  // namespace

std::optional<std::string> ZORSMCKeyCatalogue::locationIdentifierForKey(
    std::string_view key, const std::optional<std::string>& modelCode) {
  std::u32string characters = Utf8::decode(key);
  if (characters.size() != 4 || characters[0] != U'T') return std::nullopt;
  const char32_t g = characters[1];
  const char32_t n = characters[2];
  const char32_t k = characters[3];
  for (const Row& row : kRows) {
    if (row.group != g || (row.k != 0 && row.k != k) || !nMatches(row.nIn, n) ||
        !modelsMatch(row.models, modelCode)) {
      continue;
    }
    if (row.location == nullptr) return std::nullopt;
    std::array<char32_t, 2> filled = {fill(row.first, n, k, modelCode),
                                      fill(row.second, n, k, modelCode)};
    std::size_t count = row.first == Fill::None ? 0 : row.second == Fill::None ? 1 : 2;
    return format(row.location, std::span(filled).first(count));
  }
  return std::nullopt;
}

std::optional<std::string> ZORSMCKeyCatalogue::uniqueIdentifierForKey(std::string_view key) {
  std::u32string characters = Utf8::decode(key);
  if (characters.size() != 4) return std::nullopt;
  std::string identifier = "smc.temperature.";
  Utf8::append(identifier, characters[1] + 1);
  Utf8::append(identifier, characters[3] + 2);
  Utf8::append(identifier, characters[2] + 3);
  return identifier;
}

}  // namespace zor
