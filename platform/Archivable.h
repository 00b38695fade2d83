#pragma once
// An object that can write itself into a sequential archive and read itself
// back (the converter, the sensor, the sensor description, later the machine
// description). Objects handed to a port coder may stand in for themselves
// with another object; the default is the object itself, so it travels by copy.

#include <memory>
#include <string>

namespace zor {

class SequentialArchiver;
class PortCoder;

class Archivable : public std::enable_shared_from_this<Archivable> {
 public:
  virtual ~Archivable() = default;

  // Name written before the object's values; a decoder refuses an archive
  // whose object was written under another name.
  virtual std::string archiveClassName() const = 0;
  virtual void encodeWithCoder(SequentialArchiver& coder) const = 0;
  // Overwrites the object's fields from the coder; false when the archive
  // does not hold what the object expects (the object is then unusable).
  virtual bool initWithCoder(SequentialArchiver& coder) = 0;

  // What a port coder sends in place of this object. Null when the object
  // is not owned by a shared pointer (it then cannot be sent at all).
  virtual std::shared_ptr<Archivable> replacementObjectForPortCoder(PortCoder& coder);

 protected:
  // By copy unless the coder asks for a reference, in which case a distant
  // object proxy for this object on the coder's connection.
  std::shared_ptr<Archivable> replacementByCopyUnlessByref(PortCoder& coder);
};

}  // namespace zor
