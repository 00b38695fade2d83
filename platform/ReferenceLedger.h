#pragma once
// Counts the references a machine's registry has handed out and not yet got
// back: registry handles, iterators, user-client connections, plug-in
// interfaces. Tests read it to prove that an operation gave back everything
// it took. Shared by the registry and by the plug-in objects it hands out, so
// an object that outlives its registry still has a ledger to report to.

#include <cstdint>

namespace zor {

class ReferenceLedger {
 public:
  void took() { ++outstanding_; }
  void gaveBack() { --outstanding_; }
  std::int64_t outstanding() const { return outstanding_; }

 private:
  std::int64_t outstanding_ = 0;
};

}  // namespace zor
