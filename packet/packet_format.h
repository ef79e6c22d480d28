// The payload packet: how the installer carries the suite behind its executable image.
// Shared by the setup program (which reads it) and the release team's packer (which writes it),
// so it uses nothing but standard C++.
//
// Locating the packet: the 32-bit value at file offset 0x3C is the offset of the "PE\0\0"
// signature; the file header's TimeDateStamp field, 8 bytes after that signature, holds the
// file offset of the packet. A file of less than 1 MiB has no packet.
//
// Packet (all numbers little-endian):
//   offset 0   4 bytes   magic "zzd." (0x7A 0x7A 0x64 0x2E)
//   offset 4   2 bytes   entry count N (unsigned)
//   offset 6   entry 0, then each further entry directly after the one before it
// Entry:
//   offset 0   4 bytes   L, length of the data in bytes (unsigned)
//   offset 4   4 bytes   CRC-32 of the L data bytes (zlib's crc32 started from 0)
//   offset 8   L bytes   a complete 7z archive
// Entry 0 holds the installation's configuration and the wizard's images, entry 1 the suite's
// files. A code-signing certificate table may follow the last entry; the loader never reads it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace packet {

inline constexpr unsigned char kMagic[4] = {0x7A, 0x7A, 0x64, 0x2E};
inline constexpr uint32_t kPeOffsetField = 0x3C;       // where the "PE\0\0" offset is stored
inline constexpr uint32_t kTimeDateStampAfterPe = 8;  // TimeDateStamp, counted from "PE\0\0"
inline constexpr uint32_t kMinFileSize = 1048576;      // smaller files carry no packet
inline constexpr uint32_t kEntryHeadSize = 8;          // length and CRC-32
inline constexpr uint32_t kCountSize = 2;

// Standard reflected CRC-32 (polynomial 0xEDB88320), table-driven; `crc` continues a previous
// value, 0 to start.
uint32_t Crc32(const void* data, size_t size, uint32_t crc = 0);

inline uint32_t ReadU32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
inline uint16_t ReadU16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace packet
