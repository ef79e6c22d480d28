#include "packet/sha256.h"

#include <cstring>

namespace packet {

namespace {

constexpr uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

inline uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

inline uint32_t LoadBigEndian(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

Sha256::Sha256()
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab,
             0x5be0cd19},
      buffer_{} {}

void Sha256::Blocks(const uint8_t* p, size_t count) {
  uint32_t w[64];
  uint32_t s0 = state_[0], s1 = state_[1], s2 = state_[2], s3 = state_[3];
  uint32_t s4 = state_[4], s5 = state_[5], s6 = state_[6], s7 = state_[7];
  for (; count > 0; --count, p += 64) {
    for (int i = 0; i < 16; ++i) w[i] = LoadBigEndian(p + 4 * i);
    for (int i = 16; i < 64; ++i) {
      const uint32_t x = w[i - 15], y = w[i - 2];
      w[i] = w[i - 16] + (Rotr(x, 7) ^ Rotr(x, 18) ^ (x >> 3)) + w[i - 7] +
             (Rotr(y, 17) ^ Rotr(y, 19) ^ (y >> 10));
    }
    uint32_t a = s0, b = s1, c = s2, d = s3, e = s4, f = s5, g = s6, h = s7;
    for (int i = 0; i < 64; ++i) {
      const uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
      const uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
      h = g;
      g = f;
      f = e;
      e = d + t1;
      d = c;
      c = b;
      b = a;
      a = t1 + t2;
    }
    s0 += a; s1 += b; s2 += c; s3 += d;
    s4 += e; s5 += f; s6 += g; s7 += h;
  }
  state_[0] = s0; state_[1] = s1; state_[2] = s2; state_[3] = s3;
  state_[4] = s4; state_[5] = s5; state_[6] = s6; state_[7] = s7;
}

void Sha256::Update(const void* data, size_t size) {
  if (size == 0) return;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  length_ += size;
  if (buffered_ > 0) {
    const size_t take = size < 64 - buffered_ ? size : 64 - buffered_;
    std::memcpy(buffer_ + buffered_, p, take);
    buffered_ += take;
    p += take;
    size -= take;
    if (buffered_ < 64) return;
    Blocks(buffer_, 1);
    buffered_ = 0;
  }
  // Whole blocks straight from the caller's memory; only a tail is copied.
  Blocks(p, size / 64);
  p += size / 64 * 64;
  size %= 64;
  std::memcpy(buffer_, p, size);
  buffered_ = size;
}

std::array<uint8_t, 32> Sha256::Final() {
  // Padding: 0x80, zeros up to 56 bytes into a block, then the length in bits, big-endian.
  const uint64_t bits = length_ * 8;
  uint8_t tail[72] = {0x80};
  const size_t pad = (buffered_ < 56 ? 56 : 120) - buffered_;
  for (int i = 0; i < 8; ++i) tail[pad + i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
  Update(tail, pad + 8);

  std::array<uint8_t, 32> digest;
  for (int i = 0; i < 8; ++i) {
    digest[4 * i] = static_cast<uint8_t>(state_[i] >> 24);
    digest[4 * i + 1] = static_cast<uint8_t>(state_[i] >> 16);
    digest[4 * i + 2] = static_cast<uint8_t>(state_[i] >> 8);
    digest[4 * i + 3] = static_cast<uint8_t>(state_[i]);
  }
  return digest;
}

std::array<uint8_t, 32> Sha256Of(const void* data, size_t size) {
  Sha256 hash;
  hash.Update(data, size);
  return hash.Final();
}

std::string HexDigest(const std::array<uint8_t, 32>& digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text(64, '0');
  for (size_t i = 0; i < 32; ++i) {
    text[2 * i] = kDigits[digest[i] >> 4];
    text[2 * i + 1] = kDigits[digest[i] & 15];
  }
  return text;
}

bool ParseDigest(const std::string& text, std::array<uint8_t, 32>* digest) {
  if (text.size() != 64) return false;
  std::array<uint8_t, 32> parsed;
  for (size_t i = 0; i < 32; ++i) {
    const int high = HexValue(text[2 * i]), low = HexValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    parsed[i] = static_cast<uint8_t>(high << 4 | low);
  }
  *digest = parsed;
  return true;
}

}  // namespace packet
