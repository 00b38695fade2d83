#pragma once
// What the simulated S.M.A.R.T. driver of one disk was asked to do: plug-in
// interfaces created (opens) and destroyed (closes), and each kind of disk
// access. Tests read it to prove that the disk sensors open and close the
// disk around every access and leave the disk alone while they answer from
// their cache.

#include <cstdint>

namespace zor {

struct SimulatedATASMARTCounters {
  std::uint64_t opens = 0;
  std::uint64_t closes = 0;
  std::uint64_t enableRequests = 0;
  std::uint64_t statusReads = 0;
  std::uint64_t dataReads = 0;
  std::uint64_t thresholdReads = 0;
  std::uint64_t identifyReads = 0;

  // Every call that reached the disk's S.M.A.R.T. data (status and enable requests excluded).
  std::uint64_t pageReads() const { return dataReads + thresholdReads + identifyReads; }
};

}  // namespace zor
