#pragma once
// The reference count of a plug-in object (IOUnknown) of either backend: it starts
// with the one reference its creator hands out and reports every reference to
// the machine's ledger, so tests see a QueryInterface result that was never
// Released. Used by the S.M.A.R.T. plug-in and interface objects of the
// simulated and the Linux disk drivers:
//
//   std::uint32_t AddRef() override { return references_.addRef(); }
//   std::uint32_t Release() override {
//     std::uint32_t left = references_.release();
//     if (left == 0) delete this;
//     return left;
//   }

#include <cstdint>
#include <memory>

#include "platform/ReferenceLedger.h"

namespace zor {

class LedgerReferenceCount {
 public:
  explicit LedgerReferenceCount(std::shared_ptr<ReferenceLedger> ledger)
      : ledger_(std::move(ledger)) {
    ledger_->took();
  }
  LedgerReferenceCount(const LedgerReferenceCount&) = delete;
  LedgerReferenceCount& operator=(const LedgerReferenceCount&) = delete;

  std::uint32_t addRef() {
    ledger_->took();
    return ++count_;
  }
  // The references left; a release with none left changes nothing.
  std::uint32_t release() {
    if (count_ == 0) return 0;
    ledger_->gaveBack();
    return --count_;
  }
  std::uint32_t count() const { return count_; }

 private:
  std::shared_ptr<ReferenceLedger> ledger_;
  std::uint32_t count_ = 1;
};

}  // namespace zor
