#include "pe_image.h"

#include <fstream>

#include "file_io.h"
#include "packet/packet_format.h"

namespace lumenpack {

namespace {

constexpr uint32_t kFileHeaderSize = 20;
constexpr uint32_t kOptionalHeaderSizeField = 16;  // in the file header
constexpr uint32_t kChecksumInOptionalHeader = 64;  // same place for PE32 and PE32+
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kCertificateDirectory = 4;       // IMAGE_DIRECTORY_ENTRY_SECURITY

}  // namespace

PeLayout ParsePe(const std::vector<unsigned char>& head, uint64_t file_size, const std::string& what) {
  const std::string refuse = what + " is not a PE file: ";
  if (head.size() < 0x40 || head[0] != 'M' || head[1] != 'Z') throw Error(refuse + "no MZ header");
  const uint32_t pe = packet::ReadU32(&head[packet::kPeOffsetField]);
  const uint64_t file_header = uint64_t{pe} + 4;
  const uint64_t optional = file_header + kFileHeaderSize;
  if (optional > file_size || optional > head.size())
    throw Error(refuse + "the PE header offset at 0x3C (" + std::to_string(pe) + ") is outside the file");
  if (head[pe] != 'P' || head[pe + 1] != 'E' || head[pe + 2] != 0 || head[pe + 3] != 0)
    throw Error(refuse + "no PE signature");

  const uint16_t optional_size = packet::ReadU16(&head[file_header + kOptionalHeaderSizeField]);
  if (optional_size < kChecksumInOptionalHeader + 4 || optional + optional_size > file_size ||
      optional + kChecksumInOptionalHeader + 4 > head.size())
    throw Error(refuse + "the optional header is missing or cut short");
  const uint16_t magic = packet::ReadU16(&head[optional]);
  if (magic != kPe32Magic && magic != kPe32PlusMagic) throw Error(refuse + "unknown optional header");

  PeLayout layout;
  layout.pe_offset = pe;
  layout.time_date_stamp_offset = pe + packet::kTimeDateStampAfterPe;
  layout.checksum_offset = static_cast<uint32_t>(optional + kChecksumInOptionalHeader);
  const uint32_t count_field = magic == kPe32Magic ? 92 : 108;
  const uint32_t directories = count_field + 4;
  const uint32_t cert_entry = directories + 8 * kCertificateDirectory;
  if (optional_size >= cert_entry + 8 && optional + cert_entry + 8 <= head.size() &&
      packet::ReadU32(&head[optional + count_field]) > kCertificateDirectory)
    layout.cert_entry_offset = static_cast<uint32_t>(optional + cert_entry);
  return layout;
}

bool IsPeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char dos[0x40];
  if (!in.read(reinterpret_cast<char*>(dos), sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
  const uint32_t pe = packet::ReadU32(&dos[packet::kPeOffsetField]);
  unsigned char sig[4];
  if (!in.seekg(pe) || !in.read(reinterpret_cast<char*>(sig), sizeof sig)) return false;
  return sig[0] == 'P' && sig[1] == 'E' && sig[2] == 0 && sig[3] == 0;
}

void CertificateTable(const std::vector<unsigned char>& head, const PeLayout& pe, uint32_t* offset, uint32_t* size) {
  *offset = *size = 0;
  if (pe.cert_entry_offset == 0) return;
  *offset = packet::ReadU32(&head[pe.cert_entry_offset]);
  *size = packet::ReadU32(&head[pe.cert_entry_offset + 4]);
}

void PeChecksum::Add(const void* data, size_t size) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  length_ += size;
  size_t i = 0;
  if (pending_ >= 0 && size > 0) {
    sum_ += static_cast<uint32_t>(pending_) | static_cast<uint32_t>(p[0]) << 8;
    sum_ = (sum_ & 0xFFFF) + (sum_ >> 16);
    pending_ = -1;
    i = 1;
  }
  for (; i + 1 < size; i += 2) {
    sum_ += static_cast<uint32_t>(p[i]) | static_cast<uint32_t>(p[i + 1]) << 8;
    sum_ = (sum_ & 0xFFFF) + (sum_ >> 16);
  }
  if (i < size) pending_ = p[i];
}

uint32_t PeChecksum::Finish() const {
  uint32_t sum = sum_;
  if (pending_ >= 0) sum += static_cast<uint32_t>(pending_);  // an odd length ends with a zero high byte
  sum = (sum & 0xFFFF) + (sum >> 16);
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + length_);
}

}  // namespace lumenpack
