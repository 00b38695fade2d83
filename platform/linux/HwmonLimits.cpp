#include "platform/linux/HwmonLimits.h"

#include <charconv>

namespace zor::linuxfs {
namespace {

std::optional<std::int32_t> readLimit(const LinuxRoot& root, const std::string& file,
                                      const HwmonKind& kind) {
  std::optional<std::string> text = root.readText(file);
  if (!text) return std::nullopt;
  std::int64_t kernelValue = 0;
  auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), kernelValue);
  if (error != std::errc() || end != text->data() + text->size()) return std::nullopt;
  std::optional<std::int32_t> published = kind.publish(kernelValue);
  if (!published || *published <= 0) return std::nullopt;
  return published;
}

}  // namespace

HwmonLimits HwmonLimits::read(const LinuxRoot& root, const std::string& folder,
                              const std::string& channel, const HwmonKind& kind) {
  const std::string stem = folder + "/" + channel;
  return {readLimit(root, stem + "_max", kind), readLimit(root, stem + "_crit", kind)};
}

}  // namespace zor::linuxfs
