// The manifest of an update installer that carries only what changed (a delta): every file and
// empty folder of the new version, and how the setup program obtains each file. Shared by the
// packer, which writes it, and the setup program, which reads it, so it uses nothing but
// standard C++.
//
// A delta installer's packet has three entries: 0 the configuration, as in any installer; 1 the
// files that are new ("new\<path>") and the binary patches ("patch\<path>", see
// packet/binary_patch.h); 2 the manifest, a 7z archive holding one file,
// "delta.manifest". The manifest is UTF-8 text, one record a line ending in LF, fields
// separated by tabs, paths relative to the version folder with "\" between their parts:
//
//   lumen-delta	1
//   from	<the previous version>
//   to	<the new version>
//   folder	<path>                                          an empty folder
//   new	<path>	<size>	<sha256>                        carried whole in entry 1
//   same	<path>	<size>	<sha256>                        the previous version's file as it is
//   patch	<path>	<size>	<sha256>	<old size>	<old sha256>  the previous file, patched
//
// Sizes are decimal byte counts, SHA-256 digests 64 hexadecimal digits (written lowercase). The
// records after the three header lines are sorted by path; a path appears once (Windows ignores
// case).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace packet {

using Digest = std::array<uint8_t, 32>;

inline constexpr char kDeltaManifestName[] = "delta.manifest";
inline constexpr int kDeltaEntry = 2;                // the manifest's entry in the packet
inline constexpr char kDeltaNewFolder[] = "new";     // entry 1's folders
inline constexpr char kDeltaPatchFolder[] = "patch";

enum class DeltaKind { kFolder, kNew, kSame, kPatch };

struct DeltaItem {
  DeltaKind kind = DeltaKind::kNew;
  std::string path;  // UTF-8, "\"-separated
  uint64_t size = 0;
  Digest sha256{};
  uint64_t oldSize = 0;  // kPatch: the previous file the patch applies to
  Digest oldSha256{};
};

struct DeltaManifest {
  std::string fromVersion;
  std::string toVersion;
  std::vector<DeltaItem> items;
};

// The text described above; the items are written in the order given.
std::string FormatDeltaManifest(const DeltaManifest& manifest);

// Reads the text and checks every field: the header, known kinds, whole numbers, digests, paths
// that stay inside the version folder (no empty, "." or ".." part, no drive, no leading or
// doubled separator, no control characters, no ":*?\"<>|/", no device name such as NUL or COM1,
// valid UTF-8), each path once. False with the
// first fault and its line number in `error`.
bool ParseDeltaManifest(const std::string& text, DeltaManifest* manifest, std::string* error);

// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF):
// what Windows converts with MB_ERR_INVALID_CHARS.
bool IsValidUtf8(const std::string& text);

// Whether a relative "\"-separated path passes the checks above.
bool IsSafeDeltaPath(const std::string& path);

}  // namespace packet
