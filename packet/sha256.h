// SHA-256, shared by the setup program and the release team's packer, so it uses nothing but
// standard C++.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace packet {

// Incremental SHA-256 (FIPS 180-4): Update() any number of times with pieces of any size, then
// Final() once; the object is spent afterwards.
class Sha256 {
 public:
  Sha256();
  void Update(const void* data, size_t size);
  std::array<uint8_t, 32> Final();

 private:
  void Blocks(const uint8_t* p, size_t count);  // whole 64-byte blocks

  uint32_t state_[8];
  uint8_t buffer_[64];  // the start of a block that is not complete yet
  size_t buffered_ = 0;
  uint64_t length_ = 0;  // bytes hashed so far
};

std::array<uint8_t, 32> Sha256Of(const void* data, size_t size);

// 64 lowercase hexadecimal digits.
std::string HexDigest(const std::array<uint8_t, 32>& digest);
// Parses 64 hexadecimal digits (either case) into *digest; false, and *digest untouched, for
// anything else (other lengths, signs, spaces).
bool ParseDigest(const std::string& text, std::array<uint8_t, 32>* digest);

}  // namespace packet
