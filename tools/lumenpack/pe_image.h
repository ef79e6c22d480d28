// What the packer needs to know about a Windows executable: where its headers keep the
// TimeDateStamp (which the setup program reads as the packet's offset), the CheckSum and the
// certificate-table entry, and how to compute the CheckSum.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace lumenpack {

struct PeLayout {
  uint32_t pe_offset = 0;              // the "PE\0\0" signature
  uint32_t time_date_stamp_offset = 0; // file header's TimeDateStamp: the packet's offset
  uint32_t checksum_offset = 0;        // optional header's CheckSum
  uint32_t cert_entry_offset = 0;      // certificate table's data directory entry; 0 if none
};

// Bytes of the headers that ParsePe() reads past the "PE\0\0" signature at most: file header and
// the largest optional header (PE32+ with all 16 data directories).
inline constexpr uint32_t kPeHeadersSize = 4 + 20 + 240;

// Checks that `head` (a file's first bytes; the whole file or at least through the headers,
// `file_size` the file's full size) starts a PE file and finds its fields. Throws Error with a
// one-line reason ("<what> is not a PE file: ...") otherwise.
PeLayout ParsePe(const std::vector<unsigned char>& head, uint64_t file_size, const std::string& what);

// True when the file starts like a Windows program or library: "MZ", an in-range offset at 0x3C
// and "PE\0\0" there. This is how the packer tells programs from data in the suite's files.
bool IsPeFile(const std::filesystem::path& path);

// The certificate table's file offset and size as its data directory entry gives them (0, 0 for
// an unsigned file). `head` must cover the entry.
void CertificateTable(const std::vector<unsigned char>& head, const PeLayout& pe, uint32_t* offset, uint32_t* size);

// The PE CheckSum as Windows computes it (imagehlp's CheckSumMappedFile): the one's-complement
// sum of the file's 16-bit little-endian words with the CheckSum field itself counted as zero,
// folded to 16 bits, plus the file's length. Feed every byte of the file in order, with the
// CheckSum field's four bytes zero.
class PeChecksum {
 public:
  void Add(const void* data, size_t size);
  uint32_t Finish() const;

 private:
  uint32_t sum_ = 0;
  uint64_t length_ = 0;
  int pending_ = -1;  // an odd byte waiting for its high half, or -1
};

}  // namespace lumenpack
