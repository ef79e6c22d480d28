// Putting the installer together, and checking one.
//
// Layout of the installer that Pack() writes:
//   the stub (setup.exe as built), with two header fields changed:
//     TimeDateStamp = the packet's file offset (the setup program finds its payload through it)
//     CheckSum      = recomputed over the whole installer, as a linker would; a signing tool
//                     recomputes it again when it appends the certificate table
//   zero bytes up to the packet: the packet starts at the stub's size rounded up to a multiple
//     of 8 (the alignment a certificate table needs too); when stub and packet together would be
//     under 1 MiB, it starts later, so that the installer is 1 MiB (plus at most 7 bytes of
//     alignment), because the setup program takes a smaller file for one without a packet. Only
//     small test payloads get there; a real suite is far larger.
//   the packet: "zzd.", entry count 2, then for the install entry and the product entry each:
//     length (u32 LE), CRC-32 of the data (u32 LE), the 7z archive
// Nothing depends on the time or the host: the same inputs give the same installer, byte for byte.
#pragma once

#include <filesystem>
#include <ostream>

namespace lumenpack {

// Solid blocks of at most 256 MiB: a large product still decodes on two cores at once, and pays
// for its split about a third of what blocks of 128 MiB cost in download size (bench-pack).
inline constexpr unsigned kDefaultBlockLimitMiB = 256;

struct PackRequest {
  std::filesystem::path stub;     // the built setup.exe
  std::filesystem::path install;  // folder or ready .7z for entry 0
  std::filesystem::path product;  // folder or ready .7z for entry 1
  std::filesystem::path out;      // the installer to write
  // The configuration's XML goes in unchecked: only for installers that test the setup
  // program's own refusal of a broken configuration, never for a release.
  bool uncheckedXml = false;
  // The largest solid block, in MiB of files; 0 for no limit (one block per kind of file).
  unsigned blockLimitMiB = kDefaultBlockLimitMiB;
  // An update installer that carries only what changed since this previous version (its
  // product folder, or its installer): see delta.h. Empty: a full installer.
  std::filesystem::path deltaFrom;
};

// Checks every input first, makes the archives from folders, writes the installer under a
// temporary name in the output's folder and renames it into place. Throws Error.
void Pack(const PackRequest& request);

// Walks the packet of `installer` as the setup program does (TimeDateStamp offset, magic, count,
// each entry's length and CRC-32) and prints where everything is; also where the certificate
// table is, if the file is signed. Throws Error at the first fault.
void VerifyInstaller(const std::filesystem::path& installer, std::ostream& out);

}  // namespace lumenpack
