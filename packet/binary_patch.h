// Binary patches of an update by delta: how a changed file of the suite is made from its
// previous version. Shared by the packer, which writes them (and applies each once to check it),
// and the setup program, which applies them, so it uses nothing but standard C++.
//
// A patch is a list of steps over the previous file ("old") and the new one, each step
//   add  n bytes: new[i] = old[at + i] + diff[i] (byte-wise, mod 256; an old byte outside the
//                 previous file counts as 0), then `at` and the new file move on by n;
//   copy n bytes: the next n bytes of the extra stream go to the new file as they are;
//   seek by s:    `at` moves by s (negative: back).
// The difference bytes are mostly zero where a program only moved, so the patch is stored
// uncompressed and left to the archive's LZMA, which packs such runs far better than the patch
// could on its own.
//
// Layout (numbers little-endian):
//   0   4 bytes   "LDP1"
//   4   8 bytes   size of the new file
//   12  8 bytes   number of steps N
//   20  8 bytes   length of the difference stream D
//   28  8 bytes   length of the extra stream E
//   36  N * 24    the steps: add (u64), copy (u64), seek (i64, two's complement)
//   ..  D bytes   difference stream, then E bytes extra stream; nothing follows
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace packet {

struct PatchStep {
  uint64_t add = 0;
  uint64_t copy = 0;
  int64_t seek = 0;
};

struct BinaryPatch {
  uint64_t newSize = 0;
  std::vector<PatchStep> steps;
  std::vector<uint8_t> diff;
  std::vector<uint8_t> extra;
};

inline constexpr size_t kPatchHeadSize = 36;

std::vector<uint8_t> SerializePatch(const BinaryPatch& patch);

// The size of the new file a patch makes, read from its head; false when it is no patch.
bool PatchedSize(const uint8_t* patch, size_t size, uint64_t* newSize);

// Makes the new file from `old` into `out` (exactly the patch's new size, which the caller has
// checked and reserved: out must hold it). Every count is checked against the patch's length
// and the new size before anything is read or written, so a damaged or forged patch fails (with
// the reason in `why`) and never reads or writes outside the buffers.
bool ApplyPatch(const uint8_t* old, size_t oldSize, const uint8_t* patch, size_t patchSize, uint8_t* out,
                size_t outSize, std::string* why);

}  // namespace packet
