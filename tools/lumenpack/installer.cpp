#include "installer.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "file_io.h"
#include "delta.h"
#include "folder_archive.h"
#include "packet/packet_format.h"
#include "pe_image.h"

namespace lumenpack {

namespace {

constexpr uint64_t kPacketAlignment = 8;
constexpr uint16_t kEntryCount = 2;
constexpr size_t kCopyChunk = 1 << 20;
const unsigned char k7zSignature[6] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};

std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

uint64_t AlignUp(uint64_t v, uint64_t a) { return (v + a - 1) / a * a; }

std::string Hex32(uint32_t v) {
  char s[16];
  std::snprintf(s, sizeof s, "0x%08" PRIx32, v);
  return s;
}

// Streams `size` bytes of `in` to `sink` in chunks, returning their CRC-32.
template <typename Sink>
uint32_t StreamCrc(std::istream& in, uint64_t size, const fs::path& name, Sink&& sink) {
  std::vector<char> buffer(kCopyChunk);
  uint32_t crc = 0;
  while (size > 0) {
    ThrowIfInterrupted();
    const size_t n = static_cast<size_t>(std::min<uint64_t>(size, buffer.size()));
    if (!in.read(buffer.data(), static_cast<std::streamsize>(n))) throw Error("cannot read " + Quote(name));
    crc = packet::Crc32(buffer.data(), n, crc);
    sink(buffer.data(), n);
    size -= n;
  }
  return crc;
}

struct Entry {
  fs::path file;
  uint32_t size = 0;
  uint32_t crc = 0;
};

Entry MeasureEntry(const fs::path& file, const char* name) {
  const uint64_t size = RegularFileSize(file);
  if (size > UINT32_MAX) throw Error(std::string("the ") + name + " archive is larger than the packet allows (4 GiB - 1)");
  std::ifstream in(file, std::ios::binary);
  Entry entry{file, static_cast<uint32_t>(size), 0};
  entry.crc = StreamCrc(in, size, file, [](const char*, size_t) {});
  return entry;
}

// Offset of the packet behind a stub of `stub_size` bytes (see installer.h).
uint64_t PacketOffset(uint64_t stub_size, uint64_t packet_size) {
  uint64_t offset = stub_size;
  if (offset + packet_size < packet::kMinFileSize) offset = packet::kMinFileSize - packet_size;
  return AlignUp(offset, kPacketAlignment);
}

void WriteInstaller(const std::vector<unsigned char>& stub, const PeLayout& pe, const std::vector<Entry>& entries,
                    const fs::path& out) {
  uint64_t packet_size = sizeof packet::kMagic + packet::kCountSize;
  for (const Entry& e : entries) packet_size += packet::kEntryHeadSize + e.size;
  const uint64_t offset = PacketOffset(stub.size(), packet_size);
  if (offset > UINT32_MAX) throw Error("the stub is too large for the packet offset to fit TimeDateStamp");

  std::vector<unsigned char> image = stub;
  SetU32(&image[pe.time_date_stamp_offset], static_cast<uint32_t>(offset));
  SetU32(&image[pe.checksum_offset], 0);

  AtomicOutputFile file(out);
  PeChecksum checksum;
  auto emit = [&](const void* data, size_t size) {
    checksum.Add(data, size);
    file.Write(data, size);
  };
  emit(image.data(), image.size());
  const std::vector<unsigned char> zeros(static_cast<size_t>(offset - image.size()), 0);
  emit(zeros.data(), zeros.size());

  std::vector<unsigned char> head(packet::kMagic, packet::kMagic + sizeof packet::kMagic);
  PutU16(head, static_cast<uint16_t>(entries.size()));
  emit(head.data(), head.size());
  for (const Entry& e : entries) {
    head.clear();
    PutU32(head, e.size);
    PutU32(head, e.crc);
    emit(head.data(), head.size());
    std::ifstream in(e.file, std::ios::binary);
    // The CRC written above came from a first reading; a file changing in between is caught here.
    if (StreamCrc(in, e.size, e.file, emit) != e.crc) throw Error(Quote(e.file) + " changed while it was being packed");
  }

  unsigned char sum[4];
  SetU32(sum, checksum.Finish());
  file.WriteAt(pe.checksum_offset, sum, sizeof sum);
  ThrowIfInterrupted();
  file.Commit();
}

// Either the given .7z after checking it, or the archive made from the given folder.
struct EntrySource {
  fs::path path;
  bool folder = false;
};

EntrySource ClassifySource(const fs::path& path, const char* option) {
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  if (!fs::exists(st)) throw Error(std::string(option) + ": no such folder or file " + Quote(path));
  if (fs::is_directory(st)) return {path, true};
  if (!fs::is_regular_file(st)) throw Error(std::string(option) + ": " + Quote(path) + " is neither a folder nor a file");
  CheckSevenZipFile(path, std::string(option) + ":");
  return {path, false};
}

bool IsInside(const fs::path& inner, const fs::path& outer) {
  const auto mismatch = std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end());
  return mismatch.first == outer.end();
}

void CheckOutput(const fs::path& out, const std::vector<std::pair<fs::path, bool>>& inputs) {
  std::error_code ec;
  if (fs::is_directory(out, ec)) throw Error("--out: " + Quote(out) + " is a folder");
  const fs::path parent = out.has_parent_path() ? out.parent_path() : fs::path(".");
  if (!fs::is_directory(parent, ec)) throw Error("--out: no such folder " + Quote(parent));
  const fs::path out_full = fs::weakly_canonical(out, ec);
  for (const auto& [input, folder] : inputs) {
    const fs::path in_full = fs::weakly_canonical(input, ec);
    if (out_full == in_full || fs::equivalent(out, input, ec))
      throw Error("--out: " + Quote(out) + " is one of the inputs");
    if (folder && IsInside(out_full, in_full))
      throw Error("--out: " + Quote(out) + " is inside the input folder " + Quote(input) + ", where the next run would pack it");
  }
}

}  // namespace

namespace {

struct EntrySpan {
  uint64_t offset = 0;  // of the 7z data
  uint32_t length = 0;
  uint32_t crc = 0;
};

struct PacketWalk {
  uint64_t offset = 0;  // of the magic
  std::vector<EntrySpan> entries;
  uint64_t end = 0;     // behind the last entry
  uint64_t size = 0;    // of the file
  uint32_t cert_offset = 0, cert_size = 0;
};

// Walks the packet as the setup program does and checks each entry's CRC-32 and 7z signature.
PacketWalk WalkPacket(const fs::path& installer) {
  PacketWalk walk;
  const uint64_t size = walk.size = RegularFileSize(installer);
  std::vector<unsigned char> head = ReadFilePrefix(installer, 0x40);
  if (head.size() == 0x40)
    head = ReadFilePrefix(installer, std::min(size, uint64_t{packet::ReadU32(&head[packet::kPeOffsetField])} + kPeHeadersSize));
  const PeLayout pe = ParsePe(head, size, Quote(installer));
  if (size < packet::kMinFileSize)
    throw Error(Quote(installer) + " is smaller than 1 MiB, so the setup program would see no packet in it");

  const uint64_t offset = walk.offset = packet::ReadU32(&head[pe.time_date_stamp_offset]);
  std::ifstream in(installer, std::ios::binary);
  unsigned char bytes[packet::kEntryHeadSize];
  const size_t start_size = sizeof packet::kMagic + packet::kCountSize;
  if (offset + start_size > size || !in.seekg(static_cast<std::streamoff>(offset)) ||
      !in.read(reinterpret_cast<char*>(bytes), start_size) ||
      std::memcmp(bytes, packet::kMagic, sizeof packet::kMagic) != 0)
    throw Error("no packet at offset " + std::to_string(offset) + " (the TimeDateStamp field)");
  const uint16_t count = packet::ReadU16(bytes + sizeof packet::kMagic);
  if (count < kEntryCount) throw Error("the packet has " + std::to_string(count) + " entries; the setup program needs 2");

  uint64_t at = offset + start_size;
  for (uint16_t i = 0; i < count; ++i) {
    const std::string name = "entry " + std::to_string(i);
    if (at + packet::kEntryHeadSize > size || !in.read(reinterpret_cast<char*>(bytes), packet::kEntryHeadSize))
      throw Error(name + ": cut off at offset " + std::to_string(at));
    const uint32_t length = packet::ReadU32(bytes);
    const uint32_t crc = packet::ReadU32(bytes + 4);
    at += packet::kEntryHeadSize;
    if (at + length > size) throw Error(name + ": " + std::to_string(length) + " bytes would run past the end of the file");
    bool is_7z = length >= sizeof k7zSignature;
    size_t seen = 0;
    const uint32_t actual = StreamCrc(in, length, installer, [&](const char* data, size_t n) {
      for (size_t k = 0; k < n && seen < sizeof k7zSignature; ++k, ++seen)
        is_7z &= static_cast<unsigned char>(data[k]) == k7zSignature[seen];
    });
    if (actual != crc) throw Error(name + ": CRC-32 is " + Hex32(actual) + ", the packet says " + Hex32(crc));
    if (!is_7z) throw Error(name + ": the data is not a 7z archive");
    walk.entries.push_back({at, length, crc});
    at += length;
  }
  walk.end = at;

  CertificateTable(head, pe, &walk.cert_offset, &walk.cert_size);
  if (walk.cert_size != 0) {
    if (walk.cert_offset < at) throw Error("the certificate table at offset " + std::to_string(walk.cert_offset) + " overlaps the packet");
    if (uint64_t{walk.cert_offset} + walk.cert_size > size) throw Error("the certificate table runs past the end of the file");
  }
  return walk;
}

// Copies entry `index` of a checked packet into `out` (a .7z file).
void CopyEntry(const fs::path& installer, const EntrySpan& entry, const fs::path& out) {
  std::ifstream in(installer, std::ios::binary);
  std::ofstream file(out, std::ios::binary | std::ios::trunc);
  if (!in.seekg(static_cast<std::streamoff>(entry.offset))) throw Error("cannot read " + Quote(installer));
  StreamCrc(in, entry.length, installer, [&](const char* data, size_t n) { file.write(data, static_cast<std::streamsize>(n)); });
  if (!file.flush()) throw Error("cannot write " + Quote(out));
}

// The product version in a program's version resource ("9.1.0.4720"), found by the signature of
// its fixed part; "" when the program has none.
std::string ProductVersion(const std::vector<unsigned char>& image) {
  static const unsigned char kSignature[] = {0xBD, 0x04, 0xEF, 0xFE, 0x00, 0x00, 0x01, 0x00};
  const auto at = std::search(image.begin(), image.end(), std::begin(kSignature), std::end(kSignature));
  if (image.end() - at < 24) return std::string();
  const uint32_t high = packet::ReadU32(&*at + 16), low = packet::ReadU32(&*at + 20);
  return std::to_string(high >> 16) + "." + std::to_string(high & 0xFFFF) + "." + std::to_string(low >> 16) + "." +
         std::to_string(low & 0xFFFF);
}

// setup.xml of a configuration folder or archive; "" when there is none.
std::string ReadSetupXml(const fs::path& seven_zip, const fs::path& install, bool folder, const fs::path& work) {
  fs::path file = install / "setup.xml";
  if (!folder) {
    const fs::path top = work / "setup-xml";
    fs::create_directories(top);
    UnpackArchive(seven_zip, install, top, work, "setup.xml of " + Quote(install), {"setup.xml"});
    file = top / "setup.xml";
  }
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) return std::string();
  const std::vector<unsigned char> bytes = ReadWholeFile(file);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

void VerifyInstaller(const fs::path& installer, std::ostream& out) {
  const PacketWalk walk = WalkPacket(installer);
  out << "packet: offset " << walk.offset << ", " << walk.entries.size() << " entries\n";
  for (size_t i = 0; i < walk.entries.size(); ++i)
    out << "entry " << i << ": offset " << walk.entries[i].offset << ", length " << walk.entries[i].length << ", crc32 "
        << Hex32(walk.entries[i].crc) << ", ok\n";
  if (walk.cert_size != 0) out << "certificate table: offset " << walk.cert_offset << ", length " << walk.cert_size << "\n";
  out << "end of packet: offset " << walk.end << ", file size " << walk.size << "\n";
}

void Pack(const PackRequest& request) {
  // Everything that can be checked quickly comes before the slow part.
  const std::vector<unsigned char> stub = ReadWholeFile(request.stub);
  const std::string stub_name = "the stub " + Quote(request.stub);
  const PeLayout pe = ParsePe(stub, stub.size(), stub_name);
  const uint32_t old_offset = packet::ReadU32(&stub[pe.time_date_stamp_offset]);
  if (uint64_t{old_offset} + sizeof packet::kMagic <= stub.size() &&
      std::memcmp(&stub[old_offset], packet::kMagic, sizeof packet::kMagic) == 0)
    throw Error(stub_name + " already carries a packet; give the setup program as built");
  uint32_t cert_offset, cert_size;
  CertificateTable(stub, pe, &cert_offset, &cert_size);
  if (cert_size != 0) throw Error(stub_name + " is signed; pack the unsigned setup program and sign the installer");

  const EntrySource install = ClassifySource(request.install, "--install");
  const EntrySource product = ClassifySource(request.product, "--product");
  std::vector<std::pair<fs::path, bool>> inputs = {{request.stub, false}, {install.path, install.folder}, {product.path, product.folder}};
  const bool delta = !request.deltaFrom.empty();
  std::error_code ec;
  const bool previous_folder = delta && fs::is_directory(request.deltaFrom, ec);
  if (delta && !previous_folder && !fs::is_regular_file(request.deltaFrom, ec))
    throw Error("--delta-from: no such folder or installer " + Quote(request.deltaFrom));
  if (delta) inputs.push_back({request.deltaFrom, previous_folder});
  CheckOutput(request.out, inputs);
  // A previous installer is checked whole before anything is packed.
  PacketWalk previous_packet;
  if (delta && !previous_folder) previous_packet = WalkPacket(request.deltaFrom);

  std::vector<fs::path> archives = {install.path, product.path};
  const fs::path seven_zip = FindSevenZip();
  const auto work = std::make_unique<TempFolder>();
  if (!request.uncheckedXml) CheckConfigurationXml(seven_zip, install.path, install.folder, work->path());
  if (install.folder) {
    archives[0] = work->path() / "install.7z";
    ArchiveFolder(seven_zip, install.path, EntryKind::kInstall, work->path(), archives[0], request.blockLimitMiB);
  }
  if (delta) {
    // Both versions as folders: the new one as given or unpacked, the previous one as given or
    // unpacked from its installer's product entry.
    fs::path now = product.path, before = request.deltaFrom;
    if (!product.folder) {
      now = work->path() / "product";
      UnpackArchive(seven_zip, product.path, now, work->path(), "the product archive " + Quote(product.path));
    }
    CheckFolder(now);
    std::vector<std::string> consumed = ConsumedFiles(ReadSetupXml(seven_zip, install.path, install.folder, work->path()));
    std::string from_version = "unknown";
    if (!previous_folder) {
      const fs::path entry0 = work->path() / "previous-install.7z", entry1 = work->path() / "previous-product.7z";
      CopyEntry(request.deltaFrom, previous_packet.entries[0], entry0);
      CopyEntry(request.deltaFrom, previous_packet.entries[1], entry1);
      before = work->path() / "previous";
      UnpackArchive(seven_zip, entry1, before, work->path(), "the product of " + Quote(request.deltaFrom));
      const std::string xml = ReadSetupXml(seven_zip, entry0, false, work->path() / "previous-xml");
      for (const std::string& file : ConsumedFiles(xml)) consumed.push_back(file);
      const std::string version = ProductVersion(ReadFilePrefix(request.deltaFrom, previous_packet.offset));
      if (!version.empty()) from_version = version;
    }
    const std::string to_version = ProductVersion(stub);
    if (to_version.empty()) throw Error(stub_name + " has no product version");
    const fs::path entry_folder = work->path() / "delta-entry", manifest_folder = work->path() / "delta-manifest";
    const DeltaSummary summary = MakeDelta(now, before, from_version, to_version, consumed, entry_folder, manifest_folder,
                                           work->path());
    std::cout << "delta from " << from_version << " to " << to_version << ": " << summary.same << " files the same, "
              << summary.patched << " patched (about " << summary.patchBytes << " bytes of patches compressed), " << summary.whole
              << " changed and carried whole, " << summary.added << " new (" << summary.newBytes << " bytes whole), "
              << summary.folders << " empty folders\n";
    archives[1] = work->path() / "product.7z";
    ArchiveFolder(seven_zip, entry_folder, EntryKind::kProduct, work->path(), archives[1], request.blockLimitMiB);
    archives.push_back(work->path() / "manifest.7z");
    ArchiveFolder(seven_zip, manifest_folder, EntryKind::kInstall, work->path(), archives[2], request.blockLimitMiB);
  } else if (product.folder) {
    archives[1] = work->path() / "product.7z";
    ArchiveFolder(seven_zip, product.path, EntryKind::kProduct, work->path(), archives[1], request.blockLimitMiB);
  }
  std::vector<Entry> entries;
  for (size_t i = 0; i < archives.size(); ++i) entries.push_back(MeasureEntry(archives[i], i == 0 ? "install" : i == 1 ? "product" : "manifest"));
  WriteInstaller(stub, pe, entries, request.out);
}

}  // namespace lumenpack
