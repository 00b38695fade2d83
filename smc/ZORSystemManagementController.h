#pragma once
// A connection to the System Management Controller's user client (the
// "AppleSMC" service), turned into a small key/value interface: list the
// keys, read a key's decoded value, its type, its text form and its
// precision. Reads go through a per-key value cache with the process-wide
// expiry time. One shared controller serves every SMC sensor of the
// process; a controller whose CPU diode key gives an impossible reading is
// refused.
//
// Objects are made in two steps: make_shared, then initWithIORegistryEntry;
// controllerWithIORegistryEntry does both and gives null on failure.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/IOReference.h"
#include "platform/PropertyList.h"
#include "smc/ZORSMCCachedValue.h"
#include "smc/_ZORSMCKeyData.h"
#include "smc/_ZORSMCValue.h"

namespace zor {

class ZORIORegistryEntry;

class ZORSystemManagementController {
 public:
  // `init`: no entry, connection 0, empty cache.
  ZORSystemManagementController() = default;
  ~ZORSystemManagementController();
  ZORSystemManagementController(const ZORSystemManagementController&) = delete;
  ZORSystemManagementController& operator=(const ZORSystemManagementController&) = delete;

  // --- Class operations -----------------------------------------------------
  // A working controller for every "AppleSMC" service with an "smc-version",
  // in registry order; possibly none.
  static std::vector<std::shared_ptr<ZORSystemManagementController>>
  availableSystemManagementControllers();
  // The process's controller: the first available one, kept for the life of
  // the process once found; null (and nothing kept) while there is none.
  static std::shared_ptr<ZORSystemManagementController> sharedSystemManagementController();
  // Drops the kept controller so the next call searches again. For tests and
  // programs that replace the machine under the process.
  static void forgetSharedSystemManagementController();
  // Policy 1 keeps values 10 seconds, 2 keeps them 60 seconds, anything
  // else 1 second.
  static void setAccessPolicy(std::int32_t policy);
  static std::int32_t accessPolicy();
  // True when the platform's SMC plug-in service has a child (it then polls
  // the SMC itself and readers should poll less).
  static bool isLowAccessRatePolicyRecommended();

  // make_shared + initWithIORegistryEntry; null when that fails.
  static std::shared_ptr<ZORSystemManagementController> controllerWithIORegistryEntry(
      const std::shared_ptr<ZORIORegistryEntry>& entry);

  // --- Instance -------------------------------------------------------------
  // Opens the user client and checks the CPU diode; false on any failure.
  bool initWithIORegistryEntry(const std::shared_ptr<ZORIORegistryEntry>& entry);

  // The name of this object's class, as log lines show it.
  const char* className() const { return "ZORSystemManagementController"; }
  const std::shared_ptr<ZORIORegistryEntry>& registryEntry() const { return registryEntry_; }
  std::uint32_t serviceConnection() const { return serviceConnection_; }

  // The service's "smc-version", or null.
  std::optional<std::string> versionNumber() const;
  // Every key in the SMC's index order; empty when "#KEY" is unreadable.
  // A listing read without a failed call is kept: the SMC's keys do not
  // change while it runs, and every widget instance asks for them.
  std::vector<std::string> allPropertyKeys();
  // The decoded value (number, string or data), or null.
  std::optional<PlistValue> objectValueForPropertyWithKey(const std::optional<std::string>& key);
  // The value's type as four characters ("sp78", "ui8 "), or null.
  std::optional<std::string> typeCodeForPropertyWithKey(const std::optional<std::string>& key);
  // The value's text form, or null.
  std::optional<std::string> descriptionForPropertyWithKey(const std::optional<std::string>& key);
  // One step of the key's fixed-point type; 0 for other types; -1 on failure.
  double precisionForPropertyWithKey(const std::optional<std::string>& key);

  // --- Private --------------------------------------------------------------
  // One structure call (method 2, 80 bytes each way); false and a log line
  // when the driver fails it, false silently when there is no connection.
  bool callServiceFunctionWithInput(const _ZORSMCKeyData* input, _ZORSMCKeyData* andOutput);
  // Reads one key, from the cache while it is valid, else with two calls.
  bool getValue(_ZORSMCValue* value, std::uint32_t forKey);
  // The key packed first character most significant; 0 unless exactly four
  // characters with a Mac OS Roman form.
  static std::uint32_t fourCharCodeForKeyString(const std::optional<std::string>& key);
  // The code's bytes as text up to the first zero byte, padded to four with spaces.
  static std::string stringForFourCharCode(std::uint32_t code);

  // Decoding of value records (null record, or size 0: null).
  static std::optional<PlistValue> objectValueForSMCValue(const _ZORSMCValue* value);
  // 2 to the power of the fraction bits of the 31 fixed-point codes; -1 otherwise.
  static float divisorForFloatingPointCode(std::uint32_t code);
  // "nil" for a null record, null when nothing decodes, else the text form.
  static std::optional<std::string> descriptionForSMCValue(const _ZORSMCValue* value);
  // "%02x " per byte; "" for no bytes; null for a null block.
  static std::optional<std::string> readableHexStringForData(const PlistData* data);
  // The standard decimal text of a decoded number ("45.5", "10", "1").
  static std::string numberText(const PlistValue& number);

  // The cache entries by key code (tests look at them).
  const std::map<std::uint32_t, ZORSMCCachedValue>& valueCache() const { return valueCache_; }

 private:
  std::shared_ptr<ZORIORegistryEntry> registryEntry_;
  std::uint32_t serviceConnection_ = 0;
  // Closes the connection on the machine that opened it, whichever is installed.
  iokit::IOReference connectionReference_;
  std::map<std::uint32_t, ZORSMCCachedValue> valueCache_;
  std::optional<std::vector<std::string>> keys_;

  // callServiceFunctionWithInput(), its failure logged only when asked.
  bool callServiceFunction(const _ZORSMCKeyData* input, _ZORSMCKeyData* andOutput, bool logFailure);
};

}  // namespace zor
