#pragma once
// One end of a distributed-object connection: the table of local objects
// exported by reference, each under a reference number that the other
// process uses to reach it. Used by the port coder and by distant-object
// proxies; the transport itself is not modelled.

#include <cstdint>
#include <memory>
#include <vector>

namespace zor {

class Archivable;

class PortConnection {
 public:
  // The reference number of `local`, exporting it on first use. Numbers start at 1.
  std::uint32_t exportObject(const std::shared_ptr<Archivable>& local);
  // The exported object with that reference number, or null.
  std::shared_ptr<Archivable> localObjectForReference(std::uint32_t reference) const;
  std::size_t exportedObjectCount() const { return exported_.size(); }

 private:
  std::vector<std::shared_ptr<Archivable>> exported_;
};

}  // namespace zor
