#pragma once
// The operating system's own services, called the way the platform's C
// interfaces are called: kernel variables by numeric path and by name
// (sysctl), the process table, the host's basic information, the host UUID
// (a function that may be missing), the computer name and the system's files.
// Every call forwards to the installed SystemBackend and fails while none is
// installed. Used by the machine description and the OS and process
// information in system/, and by whoever reads a system file.

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>

#include "platform/PropertyList.h"

namespace zor::os {

// Numeric paths of kernel variables.
inline constexpr int CTL_KERN = 1;
inline constexpr int CTL_HW = 6;
inline constexpr int KERN_OSRELEASE = 2;
inline constexpr int KERN_VERSION = 4;
inline constexpr int KERN_PROC = 14;
inline constexpr int KERN_PROC_ALL = 0;
inline constexpr int HW_MACHINE = 1;
inline constexpr int HW_MODEL = 2;
inline constexpr int HW_NCPU = 3;
inline constexpr int HW_VECTORUNIT = 13;
inline constexpr int HW_BUS_FREQ = 14;
inline constexpr int HW_CPU_FREQ = 15;
inline constexpr int HW_L1ICACHESIZE = 17;
inline constexpr int HW_L1DCACHESIZE = 18;
inline constexpr int HW_L2CACHESIZE = 20;
inline constexpr int HW_L3CACHESIZE = 22;
inline constexpr int HW_MEMSIZE = 24;
inline constexpr int HW_AVAILCPU = 25;

// The name of the variable at a two-element numeric path, or nothing.
std::optional<std::string> kernelVariableNameForPath(int first, int second);

// Kernel variables. With `oldp` null only the size is stored in `*oldlenp`.
// Integers are stored in the machine's byte order, 8 bytes for the 64-bit
// variables (memory size, clock frequencies) and 4 for the others; strings
// with their terminating NUL. 0 on success; -1 with errno set on failure:
// ENOENT (no such variable), ENOMEM (buffer too small; a string is then
// filled as far as it goes), EPERM (a write was asked), EINVAL.
// {CTL_KERN, KERN_PROC, KERN_PROC_ALL} is the process table.
int sysctl(const int* name, unsigned namelen, void* oldp, std::size_t* oldlenp,
           const void* newp = nullptr, std::size_t newlen = 0);
int sysctlbyname(const char* name, void* oldp, std::size_t* oldlenp, const void* newp = nullptr,
                 std::size_t newlen = 0);

// The process table's records: the 32-bit layout of kinfo_proc.
inline constexpr std::size_t kKinfoProcSize = 492;
inline constexpr std::size_t kKinfoProcPIDOffset = 24;       // int32, machine byte order
inline constexpr std::size_t kKinfoProcCommandOffset = 163;  // 16 characters and a NUL
inline constexpr std::size_t kKinfoProcCommandSize = 17;
inline constexpr std::size_t kKinfoProcEffectiveUIDOffset = 304;  // uint32, machine byte order
// Appends one record for a process; a longer command is cut to 16 bytes.
void appendKinfoProcRecord(std::string& table, std::int32_t pid, const std::string& command,
                           std::uint32_t effectiveUID);

// Host information.
using kern_return_t = std::int32_t;
using host_t = std::uint32_t;
using integer_t = std::int32_t;
inline constexpr kern_return_t KERN_SUCCESS = 0;
inline constexpr kern_return_t KERN_INVALID_ARGUMENT = 4;
inline constexpr kern_return_t KERN_FAILURE = 5;
inline constexpr int HOST_BASIC_INFO = 1;
inline constexpr std::uint32_t HOST_BASIC_INFO_COUNT = 12;
// Word positions in the basic information.
inline constexpr std::size_t kHostBasicInfoMaxCPUs = 0;
inline constexpr std::size_t kHostBasicInfoAvailCPUs = 1;
inline constexpr std::size_t kHostBasicInfoCPUType = 3;
inline constexpr std::size_t kHostBasicInfoCPUSubType = 4;
inline host_t mach_host_self() {
  return 1;
}
// Writes at most `*count` words (and sets `*count` to the number written).
kern_return_t host_info(host_t host, int flavor, integer_t* info, std::uint32_t* count);

// The host UUID function: 0 and the 16 bytes on success, -1 with errno set
// (ETIMEDOUT when the wait limit passed first). The platform may lack it:
// lookupGethostuuid() is then null, as a symbol lookup would be.
using gethostuuid_t = int (*)(unsigned char* uuid, const std::timespec* wait);
gethostuuid_t lookupGethostuuid();

// The computer name the user gave the machine, or nothing.
std::optional<std::string> CSCopyMachineName();

// The bytes of a system file (an absolute path), or nothing when absent.
std::optional<std::string> contentsOfSystemFile(const std::string& path);
// A system file read as a property list whose root is a dictionary; nothing
// when the file is absent, unreadable or holds something else.
std::optional<PlistDictionary> dictionaryWithContentsOfSystemFile(const std::string& path);

}  // namespace zor::os
