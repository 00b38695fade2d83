#pragma once
// The value types and constants of the hardware registry and driver services
// (see IOKit.h). Handles are unsigned 32-bit numbers that carry a reference;
// results are kern_return_t codes where 0 means success.

#include <array>
#include <cstdint>

namespace zor::iokit {

using kern_return_t = std::int32_t;
using mach_port_t = std::uint32_t;
using task_port_t = std::uint32_t;
using io_object_t = std::uint32_t;
using io_iterator_t = io_object_t;
using io_registry_entry_t = io_object_t;
using io_service_t = io_object_t;
using io_connect_t = io_object_t;
using IOOptionBits = std::uint32_t;

// A plug-in or interface type identifier: its 16 bytes in order.
using CFUUIDBytes = std::array<std::uint8_t, 16>;

inline constexpr mach_port_t kIOMasterPortDefault = 0;
inline constexpr io_object_t IO_OBJECT_NULL = 0;

inline constexpr kern_return_t kIOReturnSuccess = 0;
inline constexpr kern_return_t kIOReturnError = static_cast<kern_return_t>(0xe00002bcu);
inline constexpr kern_return_t kIOReturnNoMemory = static_cast<kern_return_t>(0xe00002bdu);
inline constexpr kern_return_t kIOReturnBadArgument = static_cast<kern_return_t>(0xe00002c2u);
inline constexpr kern_return_t kIOReturnNoDevice = static_cast<kern_return_t>(0xe00002c0u);
inline constexpr kern_return_t kIOReturnUnsupported = static_cast<kern_return_t>(0xe00002c7u);
inline constexpr kern_return_t kIOReturnNotOpen = static_cast<kern_return_t>(0xe00002cdu);
inline constexpr kern_return_t kIOReturnNotFound = static_cast<kern_return_t>(0xe00002f0u);
inline constexpr kern_return_t kIOReturnNoResources = static_cast<kern_return_t>(0xe00002beu);
inline constexpr kern_return_t kIOReturnNotReady = static_cast<kern_return_t>(0xe00002d8u);
inline constexpr kern_return_t kIOReturnNotPermitted = static_cast<kern_return_t>(0xe00002e2u);

inline constexpr const char* kIOServicePlane = "IOService";
inline constexpr const char* kIODeviceTreePlane = "IODeviceTree";
// The key of a matching dictionary that names the registry class.
inline constexpr const char* kIOProviderClassKey = "IOProviderClass";
// A driver's own registry entry carries its bundle identifier under this key.
inline constexpr const char* kCFBundleIdentifierKey = "CFBundleIdentifier";

}  // namespace zor::iokit
