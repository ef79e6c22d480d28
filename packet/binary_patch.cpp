#include "packet/binary_patch.h"

#include <cstring>

namespace packet {

namespace {

const char kMagic[4] = {'L', 'D', 'P', '1'};
constexpr size_t kStepSize = 24;

void Put64(std::vector<uint8_t>& out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint64_t Get64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

}  // namespace

std::vector<uint8_t> SerializePatch(const BinaryPatch& patch) {
  std::vector<uint8_t> out(kMagic, kMagic + 4);
  out.reserve(kPatchHeadSize + patch.steps.size() * kStepSize + patch.diff.size() + patch.extra.size());
  Put64(out, patch.newSize);
  Put64(out, patch.steps.size());
  Put64(out, patch.diff.size());
  Put64(out, patch.extra.size());
  for (const PatchStep& step : patch.steps) {
    Put64(out, step.add);
    Put64(out, step.copy);
    Put64(out, static_cast<uint64_t>(step.seek));
  }
  out.insert(out.end(), patch.diff.begin(), patch.diff.end());
  out.insert(out.end(), patch.extra.begin(), patch.extra.end());
  return out;
}

bool PatchedSize(const uint8_t* patch, size_t size, uint64_t* newSize) {
  if (size < kPatchHeadSize || std::memcmp(patch, kMagic, 4) != 0) return false;
  *newSize = Get64(patch + 4);
  return true;
}

bool ApplyPatch(const uint8_t* old, size_t oldSize, const uint8_t* patch, size_t patchSize, uint8_t* out,
                size_t outSize, std::string* why) {
  uint64_t newSize = 0;
  if (!PatchedSize(patch, patchSize, &newSize)) {
    *why = "is no patch";
    return false;
  }
  const uint64_t steps = Get64(patch + 12), diffSize = Get64(patch + 20), extraSize = Get64(patch + 28);
  // The streams must fill the patch exactly; each count is checked before it is multiplied or added.
  const uint64_t room = patchSize - kPatchHeadSize;
  if (newSize != outSize || steps > room / kStepSize || diffSize > room - steps * kStepSize ||
      extraSize != room - steps * kStepSize - diffSize) {
    *why = "has a head that does not fit its length";
    return false;
  }
  const uint8_t* step = patch + kPatchHeadSize;
  const uint8_t* diff = step + steps * kStepSize;
  const uint8_t* extra = diff + diffSize;
  uint64_t made = 0, diffUsed = 0, extraUsed = 0;
  int64_t at = 0;  // in the old file; may stray outside it, where its bytes count as 0
  for (uint64_t s = 0; s < steps; ++s, step += kStepSize) {
    const uint64_t add = Get64(step), copy = Get64(step + 8);
    const int64_t seek = static_cast<int64_t>(Get64(step + 16));
    if (add > outSize - made || add > diffSize - diffUsed) {
      *why = "adds more than the new file or its difference stream holds";
      return false;
    }
    for (uint64_t i = 0; i < add; ++i) {
      const int64_t o = at + static_cast<int64_t>(i);
      const uint8_t base = o >= 0 && static_cast<uint64_t>(o) < oldSize ? old[o] : 0;
      out[made + i] = static_cast<uint8_t>(base + diff[diffUsed + i]);
    }
    made += add;
    diffUsed += add;
    at += static_cast<int64_t>(add);
    if (copy > outSize - made || copy > extraSize - extraUsed) {
      *why = "copies more than the new file or its extra stream holds";
      return false;
    }
    std::memcpy(out + made, extra + extraUsed, static_cast<size_t>(copy));
    made += copy;
    extraUsed += copy;
    // Old positions stay far from the ends of the number range whatever the patch says.
    const int64_t limit = int64_t{1} << 48;
    if (seek > limit || seek < -limit || at + seek > limit || at + seek < -limit) {
      *why = "seeks out of any file";
      return false;
    }
    at += seek;
  }
  if (made != outSize || diffUsed != diffSize || extraUsed != extraSize) {
    *why = "ends before the new file does";
    return false;
  }
  return true;
}

}  // namespace packet
