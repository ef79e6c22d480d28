// SHA-256 as the packer and the setup program compute it: known digests, pieces, digest text.
#include "packet/sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <iterator>
#include <string>

namespace {

std::string Hex(const std::string& message) {
  return packet::HexDigest(packet::Sha256Of(message.data(), message.size()));
}

TEST(Sha256, KnownMessages) {
  EXPECT_EQ(Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  // 55 bytes leave room for the length in the last block; 56 and 64 push it into one more.
  EXPECT_EQ(Hex(std::string(55, 'a')), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
  EXPECT_EQ(Hex(std::string(56, 'a')), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");
  EXPECT_EQ(Hex(std::string(64, 'a')), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
}

// Files are hashed as they are read, in pieces that seldom end on a block.
TEST(Sha256, MillionBytesInUnevenPieces) {
  const std::string a(1000000, 'a');
  const size_t pieces[] = {1, 63, 64, 65, 0, 127, 3, 4096, 200000, 7};
  packet::Sha256 hash;
  size_t at = 0;
  for (size_t i = 0; at < a.size(); ++i) {
    const size_t n = std::min(pieces[i % std::size(pieces)], a.size() - at);
    hash.Update(a.data() + at, n);
    at += n;
  }
  EXPECT_EQ(packet::HexDigest(hash.Final()), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, ParseDigest) {
  const std::string lower = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  std::string upper = lower;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::array<uint8_t, 32> digest{};
  ASSERT_TRUE(packet::ParseDigest(upper, &digest));
  EXPECT_EQ(digest, packet::Sha256Of("abc", 3));
  ASSERT_TRUE(packet::ParseDigest(lower, &digest));
  EXPECT_EQ(packet::HexDigest(digest), lower);

  const std::array<uint8_t, 32> before = digest;
  const std::string refused[] = {lower.substr(1), lower + "0", std::string(),
                                 "0x" + lower.substr(2), " " + lower.substr(1),
                                 lower.substr(0, 63) + "g", upper.substr(0, 63) + "G",
                                 lower.substr(0, 30) + "-+" + lower.substr(32)};
  for (const std::string& bad : refused) EXPECT_FALSE(packet::ParseDigest(bad, &digest)) << bad;
  EXPECT_EQ(digest, before) << "a refused text leaves the digest as it was";
}

}  // namespace
