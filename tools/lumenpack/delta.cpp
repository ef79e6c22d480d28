#include "delta.h"

#include <bzlib.h>
#include <zstd.h>

#include "tinyxml2.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "file_io.h"
#include "packet/binary_patch.h"
#include "packet/delta_manifest.h"
#include "packet/sha256.h"

namespace lumenpack {

namespace {

constexpr uint64_t kMaxPatchedFile = uint64_t{256} << 20;
constexpr int kEstimateLevel = 9;
constexpr unsigned kPatchThreads = 2;  // fixed: the bytes do not depend on the machine anyway

std::string Quote(const std::string& s) { return "'" + s + "'"; }

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return s;
}

std::string Backslashed(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::vector<unsigned char> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> bytes(static_cast<size_t>(RegularFileSize(path)));
  if (!bytes.empty() && !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
    throw Error("cannot read " + Quote(path.string()));
  return bytes;
}

void WriteFile(const fs::path& path, const void* data, size_t size) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size)) || !out.flush())
    throw Error("cannot write " + Quote(path.string()));
}

// The file itself where entry 1's folder is made, as a hard link when the file system allows.
void PlaceWhole(const fs::path& from, const fs::path& to) {
  fs::create_directories(to.parent_path());
  std::error_code ec;
  fs::create_hard_link(from, to, ec);
  if (ec) fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

// Relative paths ("/"-separated) of the files and of the empty folders below `root`.
void Walk(const fs::path& root, std::map<std::string, bool>* items /* path -> is a file */) {
  for (fs::recursive_directory_iterator it(root), end; it != end; ++it) {
    const std::string relative = it->path().lexically_relative(root).generic_string();
    const fs::file_status st = it->symlink_status();
    if (fs::is_regular_file(st)) (*items)[relative] = true;
    else if (fs::is_directory(st) && fs::is_empty(it->path())) (*items)[relative] = false;
  }
}

size_t ZstdCheck(size_t result, const char* doing) {
  if (ZSTD_isError(result)) throw Error(std::string("zstd failed ") + doing + ": " + ZSTD_getErrorName(result));
  return result;
}

// What zstd makes of `bytes`: the measure by which a patch and its whole file are compared (the
// archive packs both with LZMA, which lands close to it).
size_t CompressedSize(const std::vector<unsigned char>& bytes) {
  std::vector<unsigned char> out(ZSTD_compressBound(bytes.size()));
  return ZstdCheck(ZSTD_compress(out.data(), out.size(), bytes.data(), bytes.size(), kEstimateLevel), "compressing");
}

// A number of bsdiff's format: 64 bits, sign and magnitude, little-endian.
int64_t BsdiffNumber(const unsigned char* p) {
  uint64_t magnitude = p[7] & 0x7F;
  for (int i = 6; i >= 0; --i) magnitude = magnitude << 8 | p[i];
  if (magnitude > (uint64_t{1} << 62)) throw Error("bsdiff wrote a number out of range");
  return p[7] & 0x80 ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
}

std::vector<uint8_t> Bunzip(const unsigned char* data, size_t size) {
  bz_stream stream{};
  if (BZ2_bzDecompressInit(&stream, 0, 0) != BZ_OK) throw Error("bzip2 has no memory");
  std::vector<uint8_t> out;
  stream.next_in = const_cast<char*>(reinterpret_cast<const char*>(data));
  stream.avail_in = static_cast<unsigned>(size);
  int result = BZ_OK;
  while (result == BZ_OK) {
    const size_t done = out.size();
    out.resize(done + (1 << 20));
    stream.next_out = reinterpret_cast<char*>(out.data() + done);
    stream.avail_out = 1 << 20;
    result = BZ2_bzDecompress(&stream);
    out.resize(out.size() - stream.avail_out);
  }
  BZ2_bzDecompressEnd(&stream);
  if (result != BZ_STREAM_END) throw Error("bsdiff wrote a block bzip2 cannot read");
  return out;
}

// Debian's bsdiff writes "BSDIFF40": a head of 32 bytes (the magic; the compressed lengths of the
// step and difference blocks and the new file's size, as bsdiff numbers), then the step block
// (three numbers a step: add, copy, seek), the difference block and the extra block, each
// compressed with bzip2. The steps and streams are the patch's own.
packet::BinaryPatch ReadBsdiff(const std::vector<unsigned char>& file) {
  if (file.size() < 32 || std::memcmp(file.data(), "BSDIFF40", 8) != 0) throw Error("bsdiff wrote no patch");
  const int64_t steps_size = BsdiffNumber(&file[8]), diff_size = BsdiffNumber(&file[16]), new_size = BsdiffNumber(&file[24]);
  if (steps_size < 0 || diff_size < 0 || new_size < 0 || static_cast<uint64_t>(steps_size) > file.size() - 32 ||
      static_cast<uint64_t>(diff_size) > file.size() - 32 - steps_size)
    throw Error("bsdiff wrote a patch whose head does not fit it");
  const unsigned char* at = file.data() + 32;
  const std::vector<uint8_t> steps = Bunzip(at, static_cast<size_t>(steps_size));
  packet::BinaryPatch patch;
  patch.newSize = static_cast<uint64_t>(new_size);
  patch.diff = Bunzip(at + steps_size, static_cast<size_t>(diff_size));
  patch.extra = Bunzip(at + steps_size + diff_size, file.size() - 32 - steps_size - diff_size);
  if (steps.size() % 24 != 0) throw Error("bsdiff wrote a step block of a broken length");
  for (size_t i = 0; i < steps.size(); i += 24) {
    const int64_t add = BsdiffNumber(&steps[i]), copy = BsdiffNumber(&steps[i + 8]);
    if (add < 0 || copy < 0) throw Error("bsdiff wrote a step of a negative length");
    patch.steps.push_back({static_cast<uint64_t>(add), static_cast<uint64_t>(copy), BsdiffNumber(&steps[i + 16])});
  }
  return patch;
}

// A patch that turns the previous file into the new one, made with bsdiff and checked by
// applying it.
std::vector<unsigned char> MakePatch(const fs::path& bsdiff, const fs::path& old_path, const fs::path& new_path,
                                     const std::vector<unsigned char>& old, const std::vector<unsigned char>& now,
                                     const fs::path& work) {
  const fs::path out = work / "patch", log = work / "bsdiff.log";
  RunTool(bsdiff, {old_path.string(), new_path.string(), out.string()}, work, log, "patching " + Quote(new_path.string()));
  const std::vector<unsigned char> patch = packet::SerializePatch(ReadBsdiff(ReadFile(out)));
  fs::remove(out);
  std::vector<unsigned char> check(now.size());
  std::string why;
  if (!packet::ApplyPatch(old.data(), old.size(), patch.data(), patch.size(), check.data(), check.size(), &why) || check != now)
    throw Error("the patch of " + Quote(new_path.string()) + " does not make the new file" + (why.empty() ? "" : ": it " + why));
  return patch;
}

struct Candidate {
  std::string path;
  std::vector<unsigned char> patch;  // empty: carried whole
  size_t packed = 0;                 // what the patch compresses to, about
  packet::Digest oldSha{}, newSha{};
  uint64_t oldSize = 0, newSize = 0;
  bool same = false;
};

// Compares one file with its previous version and makes its patch when one pays. `work` is the
// thread's own folder.
void Weigh(const fs::path& bsdiff, const fs::path& product, const fs::path& previous, const fs::path& work, Candidate* c) {
  const std::vector<unsigned char> now = ReadFile(product / c->path);
  const std::vector<unsigned char> old = ReadFile(previous / c->path);
  c->newSize = now.size();
  c->oldSize = old.size();
  c->newSha = packet::Sha256Of(now.data(), now.size());
  c->oldSha = packet::Sha256Of(old.data(), old.size());
  if (now == old) {
    c->same = true;
    return;
  }
  if (now.size() > kMaxPatchedFile || old.size() > kMaxPatchedFile) return;
  std::vector<unsigned char> patch = MakePatch(bsdiff, fs::absolute(previous / c->path), fs::absolute(product / c->path), old, now, work);
  const size_t packed = CompressedSize(patch);
  if (packed >= CompressedSize(now)) return;
  c->patch = std::move(patch);
  c->packed = packed;
}

}  // namespace

std::vector<std::string> ConsumedFiles(const std::string& setup_xml) {
  tinyxml2::XMLDocument document;
  if (document.Parse(setup_xml.data(), setup_xml.size()) != tinyxml2::XML_SUCCESS)
    throw Error(std::string("setup.xml is not well-formed XML: ") + document.ErrorName());
  std::set<std::string> files;
  const tinyxml2::XMLElement* config = document.FirstChildElement("config");
  const tinyxml2::XMLElement* office = config ? config->FirstChildElement("office") : nullptr;
  const tinyxml2::XMLElement* install = office ? office->FirstChildElement("install") : nullptr;
  for (const tinyxml2::XMLElement* item = install ? install->FirstChildElement("item") : nullptr; item;
       item = item->NextSiblingElement("item")) {
    const char* p = item->Attribute("path");
    const char* q = item->Attribute("param");
    const std::string path = Lower(p ? p : ""), param = q ? q : "";
    std::string slashed = param;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    if (path == "movefile" && !param.empty()) files.insert("utility/" + slashed);
    else if (path == "deletetempfile" && !param.empty()) files.insert(slashed);
    else if (path == "office6\\cirrussetup.exe") files.insert("office6/cirrussetup.exe");
    else if (path == "moverecommendfiles" || path == "office6\\lumenrecommended.exe")
      files.insert({"office6/lumenrecommended.exe", "office6/downloadtool.exe"});
  }
  return {files.begin(), files.end()};
}

DeltaSummary MakeDelta(const fs::path& product, const fs::path& previous, const std::string& from_version,
                       const std::string& to_version, const std::vector<std::string>& consumed,
                       const fs::path& entry_folder, const fs::path& manifest_folder, const fs::path& work_folder) {
  std::map<std::string, bool> now, before;
  Walk(product, &now);
  Walk(previous, &before);
  std::set<std::string> carried;
  for (const std::string& path : consumed) carried.insert(Lower(path));

  // The files present in both versions are weighed on two threads, each taking the next.
  std::vector<Candidate> candidates;
  for (const auto& [path, file] : now) {
    const auto old = before.find(path);
    if (!file || old == before.end() || !old->second || carried.count(Lower(path))) continue;
    candidates.emplace_back();
    candidates.back().path = path;
  }
  const fs::path bsdiff = FindOnPath("bsdiff", "bsdiff");
  std::atomic<size_t> next{0};
  std::vector<std::string> failures(kPatchThreads);
  auto work = [&](unsigned id) {
    try {
      const fs::path folder = work_folder / ("patching-" + std::to_string(id));
      fs::create_directories(folder);
      for (size_t i; !Interrupted() && (i = next++) < candidates.size();) Weigh(bsdiff, product, previous, folder, &candidates[i]);
    } catch (const std::exception& e) {
      failures[id] = e.what();
      next = candidates.size();
    }
  };
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < kPatchThreads; ++t) threads.emplace_back(work, t);
  for (std::thread& t : threads) t.join();
  ThrowIfInterrupted();
  for (const std::string& failure : failures)
    if (!failure.empty()) throw Error(failure);

  std::map<std::string, const Candidate*> weighed;
  for (const Candidate& c : candidates) weighed[c.path] = &c;
  packet::DeltaManifest manifest{from_version, to_version, {}};
  DeltaSummary summary;
  fs::create_directories(entry_folder / packet::kDeltaNewFolder);
  fs::create_directories(entry_folder / packet::kDeltaPatchFolder);
  for (const auto& [path, file] : now) {
    packet::DeltaItem item;
    item.path = Backslashed(path);
    if (!packet::IsSafeDeltaPath(item.path)) throw Error("cannot pack " + Quote(path) + ": not a plain relative name");
    if (!file) {
      item.kind = packet::DeltaKind::kFolder;
      ++summary.folders;
    } else if (const auto found = weighed.find(path); found != weighed.end() && found->second->same) {
      item.kind = packet::DeltaKind::kSame;
      item.size = found->second->newSize;
      item.sha256 = found->second->newSha;
      ++summary.same;
    } else if (found != weighed.end() && !found->second->patch.empty()) {
      const Candidate& c = *found->second;
      item.kind = packet::DeltaKind::kPatch;
      item.size = c.newSize;
      item.sha256 = c.newSha;
      item.oldSize = c.oldSize;
      item.oldSha256 = c.oldSha;
      WriteFile(entry_folder / packet::kDeltaPatchFolder / path, c.patch.data(), c.patch.size());
      ++summary.patched;
      summary.patchBytes += c.packed;
    } else {
      item.kind = packet::DeltaKind::kNew;
      if (found != weighed.end()) {
        item.size = found->second->newSize;
        item.sha256 = found->second->newSha;
        ++summary.whole;
      } else {
        const std::vector<unsigned char> bytes = ReadFile(product / path);
        item.size = bytes.size();
        item.sha256 = packet::Sha256Of(bytes.data(), bytes.size());
        ++summary.added;
      }
      PlaceWhole(product / path, entry_folder / packet::kDeltaNewFolder / path);
      summary.newBytes += item.size;
    }
    manifest.items.push_back(std::move(item));
  }
  // Sorted by the manifest's own paths (the "\" form), as the format promises.
  std::sort(manifest.items.begin(), manifest.items.end(),
            [](const packet::DeltaItem& a, const packet::DeltaItem& b) { return a.path < b.path; });
  const std::string text = packet::FormatDeltaManifest(manifest);
  // What the setup program will read of it: a manifest it refuses would make an installer that
  // no machine can use.
  packet::DeltaManifest check;
  std::string fault;
  if (!packet::ParseDeltaManifest(text, &check, &fault)) throw Error("the delta's manifest would be refused: " + fault);
  fs::create_directories(manifest_folder);
  WriteFile(manifest_folder / packet::kDeltaManifestName, text.data(), text.size());
  return summary;
}

}  // namespace lumenpack
