// The file work of an update by delta: reading and hashing the installed version's files,
// copying them with their SHA-256 computed on the way, and applying a binary patch
// (packet/binary_patch.h). Every function says false on a fault and leaves
// the reason in `why` for the log.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "packet/delta_manifest.h"

namespace delta_files {

// Largest file read whole into memory (a patched file, its previous version, a patch).
inline constexpr UINT64 kMaxWholeFile = 512ull << 20;

// A file's size and SHA-256, read through once.
bool HashFile(const std::wstring& path, UINT64* size, packet::Digest* digest, std::string* why);

// The whole file, at most kMaxWholeFile bytes.
bool ReadWhole(const std::wstring& path, std::vector<BYTE>* bytes, std::string* why);

// Writes a new file (an existing one is replaced) and flushes it to the disk.
bool WriteWhole(const std::wstring& path, const BYTE* data, size_t size, std::string* why);

// Copies `from` to a new file `to`, computing the SHA-256 and size of what it copied (with an
// empty `to`, only reads it: HashFile).
bool CopyHashing(const std::wstring& from, const std::wstring& to, UINT64* size, packet::Digest* digest, std::string* why);

// Applies `patch` to `old`; the result must be exactly `size` bytes.
bool ApplyPatch(const std::vector<BYTE>& old, const std::vector<BYTE>& patch, UINT64 size, std::vector<BYTE>* result,
                std::string* why);

}  // namespace delta_files
