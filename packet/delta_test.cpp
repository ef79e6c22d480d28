// The two inputs of an update by delta that come with the download: the manifest and the
// binary patches.
#include "packet/binary_patch.h"
#include "packet/delta_manifest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kDigestA(64, 'a');
const std::string kDigestB = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

std::string Manifest(const std::string& records) { return "lumen-delta\t1\nfrom\t9.0.0.1\nto\t9.1.0.4720\n" + records; }

TEST(DeltaManifest, ReadsWhatItWrites) {
  const std::string text = Manifest("folder\toffice6\\addons\n" "new\toffice6\\2052\\新.dat\t0\t" + kDigestA + "\n" +
                                    "patch\toffice6\\deck.exe\t1048576\t" + kDigestA + "\t1048555\t" + kDigestB + "\n" +
                                    "same\tutility\\config.exe\t7\t" + kDigestB + "\n");
  packet::DeltaManifest manifest;
  std::string error;
  ASSERT_TRUE(packet::ParseDeltaManifest(text, &manifest, &error)) << error;
  EXPECT_EQ(manifest.fromVersion, "9.0.0.1");
  EXPECT_EQ(manifest.toVersion, "9.1.0.4720");
  ASSERT_EQ(manifest.items.size(), 4u);
  EXPECT_EQ(manifest.items[0].kind, packet::DeltaKind::kFolder);
  EXPECT_EQ(manifest.items[2].kind, packet::DeltaKind::kPatch);
  EXPECT_EQ(manifest.items[2].size, 1048576u);
  EXPECT_EQ(manifest.items[2].oldSize, 1048555u);
  EXPECT_EQ(manifest.items[2].oldSha256[0], 0x01);
  EXPECT_EQ(packet::FormatDeltaManifest(manifest), text);
}

// Whatever a damaged or forged manifest says, nothing outside the version folder is named, and
// no field is taken half-read.
TEST(DeltaManifest, RefusesEveryMalformedRecord) {
  const char* const paths[] = {"..\\x", "a\\..\\b", ".\\a", "C:\\x", "\\x", "a\\\\b", "a\\", "a/b", "a ", "a.", "a\tb",
                               "x:y", "a*", "", "office6\\NUL", "com1.txt", "a\\Lpt9\\b", "con.", "\xFF\xFE",
                               "\xE0\x80\xAF", "a\xED\xA0\x80", "\xF4\x90\x80\x80"};
  for (const char* path : paths) {
    packet::DeltaManifest manifest;
    std::string error;
    EXPECT_FALSE(packet::ParseDeltaManifest(Manifest(std::string("folder\t") + path + "\n"), &manifest, &error)) << path;
  }
  const std::string records[] = {
      "new\ta\t01\t" + kDigestA + "\n",                      // a leading zero
      "new\ta\t-1\t" + kDigestA + "\n",
      "new\ta\t99999999999999\t" + kDigestA + "\n",          // beyond any file of a suite
      "new\ta\t1\t" + kDigestA.substr(1) + "\n",             // 63 digits
      "new\ta\t1\t" + kDigestA.substr(1) + "g\n",
      "new\ta\t1\n",
      "patch\ta\t1\t" + kDigestA + "\n",                     // without its previous file
      "same\ta\t1\t" + kDigestA + "\t1\t" + kDigestA + "\n",
      "move\ta\t1\t" + kDigestA + "\n",
      "new\tA\t1\t" + kDigestA + "\nsame\ta\t1\t" + kDigestA + "\n",  // one path twice (Windows ignores case)
      "new\ta\t1\t" + kDigestA,                              // the last line cut
  };
  for (const std::string& record : records) {
    packet::DeltaManifest manifest;
    std::string error;
    EXPECT_FALSE(packet::ParseDeltaManifest(Manifest(record), &manifest, &error)) << record;
    EXPECT_FALSE(error.empty());
  }
  packet::DeltaManifest manifest;
  std::string error;
  EXPECT_FALSE(packet::ParseDeltaManifest("lumen-delta\t2\nfrom\ta\nto\tb\n", &manifest, &error));
  EXPECT_FALSE(packet::ParseDeltaManifest("lumen-delta\t1\nfrom\ta\n", &manifest, &error));
  EXPECT_TRUE(packet::ParseDeltaManifest(Manifest(""), &manifest, &error)) << error;
  EXPECT_TRUE(packet::IsSafeDeltaPath("office6\\console.dll") && packet::IsSafeDeltaPath("com10\\lpt.txt") &&
              packet::IsSafeDeltaPath("\xE5\xB7\xA5\\\xF0\x9F\x98\x80.txt"));
}

// "old" + one byte changed + a run of new bytes + the old file's first part again.
packet::BinaryPatch SamplePatch() {
  packet::BinaryPatch patch;
  patch.newSize = 3 + 2 + 2;
  patch.steps = {{3, 2, -3}, {2, 0, 0}};
  patch.diff = {0, 1, 0, 0, 0};  // 'o' 'l'+1 'd', then 'o' 'l'
  patch.extra = {'!', '?'};
  return patch;
}

TEST(BinaryPatch, MakesTheNewFile) {
  const std::string old = "old";
  const std::vector<uint8_t> patch = packet::SerializePatch(SamplePatch());
  uint64_t size = 0;
  ASSERT_TRUE(packet::PatchedSize(patch.data(), patch.size(), &size));
  std::vector<uint8_t> out(size);
  std::string why;
  ASSERT_TRUE(packet::ApplyPatch(reinterpret_cast<const uint8_t*>(old.data()), old.size(), patch.data(), patch.size(),
                                 out.data(), out.size(), &why)) << why;
  EXPECT_EQ(std::string(out.begin(), out.end()), "omd!?ol");
}

// A damaged or forged patch fails before it reads or writes past a buffer: every count of its
// head and of each step, too large, too small, or cut.
TEST(BinaryPatch, RefusesPatchesThatDoNotAddUp) {
  const std::string old = "old";
  const std::vector<uint8_t> good = packet::SerializePatch(SamplePatch());
  auto applies = [&old](const std::vector<uint8_t>& patch, size_t outSize) {
    std::vector<uint8_t> out(outSize + 64, 0xEE);  // room to catch a write past the end
    std::string why;
    const bool ok = packet::ApplyPatch(reinterpret_cast<const uint8_t*>(old.data()), old.size(), patch.data(), patch.size(),
                                       out.data(), outSize, &why);
    for (size_t i = outSize; i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE) << "written past the end";
    return ok;
  };
  EXPECT_FALSE(applies(good, 6));  // the caller's size is not the patch's
  for (size_t field : {4u, 12u, 20u, 28u, 36u, 44u, 60u}) {  // sizes, counts, a step's add and copy
    for (uint8_t value : {uint8_t{0}, uint8_t{1}, uint8_t{9}, uint8_t{0xFF}}) {
      std::vector<uint8_t> bad = good;
      if (bad[field] == value) continue;
      bad[field] = value;
      if (field >= 36) bad[field + 7] = value == 0xFF ? 0xFF : 0;  // large numbers too
      uint64_t size = 7;
      EXPECT_FALSE(applies(bad, packet::PatchedSize(bad.data(), bad.size(), &size) ? static_cast<size_t>(size) : 7))
          << "byte " << field << " = " << int(value);
    }
  }
  std::vector<uint8_t> seeking = good;  // the first step's seek: far beyond any file
  seeking[52 + 7] = 0x40;
  EXPECT_FALSE(applies(seeking, 7));
  for (size_t cut = 0; cut < good.size(); ++cut)
    EXPECT_FALSE(applies(std::vector<uint8_t>(good.begin(), good.begin() + cut), 7)) << "cut at " << cut;
}

}  // namespace
