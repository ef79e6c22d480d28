#include "packet/delta_files.h"

#include "base/handles.h"
#include "packet/binary_patch.h"
#include "packet/sha256.h"

namespace delta_files {

namespace {

constexpr DWORD kChunk = 1 << 20;

std::string Because(const char* what) { return std::string(what) + " (error " + std::to_string(GetLastError()) + ")"; }

sys::UniqueFile OpenForReading(const std::wstring& path) {
  return sys::UniqueFile(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

sys::UniqueFile CreateForWriting(const std::wstring& path) {
  return sys::UniqueFile(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool WriteAll(HANDLE file, const BYTE* data, size_t size) {
  while (size > 0) {
    const DWORD piece = static_cast<DWORD>(size < kChunk ? size : kChunk);
    DWORD written = 0;
    if (!WriteFile(file, data, piece, &written, nullptr) || written != piece) return false;
    data += piece;
    size -= piece;
  }
  return true;
}

}  // namespace

bool HashFile(const std::wstring& path, UINT64* size, packet::Digest* digest, std::string* why) {
  return CopyHashing(path, std::wstring(), size, digest, why);
}

bool ReadWhole(const std::wstring& path, std::vector<BYTE>* bytes, std::string* why) {
  const sys::UniqueFile file = OpenForReading(path);
  LARGE_INTEGER length{};
  if (!file || !GetFileSizeEx(file.Get(), &length)) {
    *why = Because("cannot be opened");
    return false;
  }
  if (static_cast<UINT64>(length.QuadPart) > kMaxWholeFile) {
    *why = "is larger than an update by delta reads whole";
    return false;
  }
  bytes->resize(static_cast<size_t>(length.QuadPart));
  size_t done = 0;
  while (done < bytes->size()) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(bytes->size() - done < kChunk ? bytes->size() - done : kChunk);
    if (!ReadFile(file.Get(), bytes->data() + done, want, &got, nullptr) || got == 0) {
      *why = Because("cannot be read");
      return false;
    }
    done += got;
  }
  return true;
}

bool WriteWhole(const std::wstring& path, const BYTE* data, size_t size, std::string* why) {
  const sys::UniqueFile file = CreateForWriting(path);
  if (!file || !WriteAll(file.Get(), data, size) || !FlushFileBuffers(file.Get())) {
    *why = Because("cannot be written");
    return false;
  }
  return true;
}

bool CopyHashing(const std::wstring& from, const std::wstring& to, UINT64* size, packet::Digest* digest, std::string* why) {
  const sys::UniqueFile in = OpenForReading(from);
  if (!in) {
    *why = Because("cannot be opened");
    return false;
  }
  const sys::UniqueFile out = to.empty() ? sys::UniqueFile() : CreateForWriting(to);
  if (!to.empty() && !out) {
    *why = Because("cannot be copied: its copy cannot be made");
    return false;
  }
  packet::Sha256 hash;
  std::vector<BYTE> buffer(kChunk);
  UINT64 total = 0;
  for (DWORD got = 0;; total += got) {
    if (!ReadFile(in.Get(), buffer.data(), kChunk, &got, nullptr)) {
      *why = Because("cannot be read");
      return false;
    }
    if (got == 0) break;
    hash.Update(buffer.data(), got);
    if (out && !WriteAll(out.Get(), buffer.data(), got)) {
      *why = Because("cannot be copied: its copy cannot be written");
      return false;
    }
  }
  if (out && !FlushFileBuffers(out.Get())) {
    *why = Because("cannot be copied: its copy cannot be flushed");
    return false;
  }
  *size = total;
  *digest = hash.Final();
  return true;
}

bool ApplyPatch(const std::vector<BYTE>& old, const std::vector<BYTE>& patch, UINT64 size, std::vector<BYTE>* result,
                std::string* why) {
  // The patch must make the size the manifest says, so a damaged or foreign one allocates nothing.
  UINT64 patched = 0;
  if (!packet::PatchedSize(patch.data(), patch.size(), &patched) || patched != size) {
    *why = "has a patch that is damaged or not made for it";
    return false;
  }
  if (size > kMaxWholeFile) {
    *why = "would be larger than an update by delta makes whole";
    return false;
  }
  result->resize(static_cast<size_t>(size));
  std::string fault;
  if (!packet::ApplyPatch(old.data(), old.size(), patch.data(), patch.size(), result->data(), result->size(), &fault)) {
    *why = "cannot be patched: its patch " + fault;
    return false;
  }
  return true;
}

}  // namespace delta_files
