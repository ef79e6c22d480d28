// An update by delta: the new version folder is built from the installed version's files, the
// files the installer carries whole and binary patches of the changed ones, every file checked
// against the manifest's size and SHA-256. Everything is built beside the installed version and
// only then put in place, before the update touches anything of the installed version (its OEM
// file is copied, not moved, see UpdateInstall); a run that stops (or is killed) leaves it
// working, and the next run builds again or finds the new version complete.
#include <stdarg.h>
#include <stdio.h>

#include <atomic>
#include <new>
#include <optional>

#include "base/handles.h"
#include "install/zinstall.h"
#include "log/run_record.h"
#include "log/setup_log.h"
#include "packet/delta_files.h"
#include "packet/sha256.h"
#include "suite/installation_check.h"
#include "sys/file_utils.h"

namespace {

std::wstring Wide(const std::string& utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring text(n > 0 ? n : 0, L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), &text[0], n);
  return text;
}


// Whether the file at `path` is the one the manifest describes.
bool Matches(const std::wstring& path, UINT64 size, const packet::Digest& sha, std::string* why) {
  UINT64 actual = 0;
  packet::Digest digest{};
  if (!delta_files::HashFile(path, &actual, &digest, why)) return false;
  if (actual != size) *why = "has " + std::to_string(actual) + " bytes, the update expects " + std::to_string(size);
  else if (digest != sha) *why = "holds other bytes than the update expects (SHA-256)";
  else return true;
  return false;
}

// The first item of the manifest that `folder` does not hold as described ("<path> <why>"); ""
// when it holds them all.
std::wstring FirstDifference(const std::vector<packet::DeltaItem>& items, const std::wstring& folder) {
  for (const packet::DeltaItem& item : items) {
    const std::wstring path = folder + Wide(item.path);
    std::string why;
    if (item.kind == packet::DeltaKind::kFolder ? ZFunction::FolderExists(path) : Matches(path, item.size, item.sha256, &why))
      continue;
    return Wide(item.path) + L" " + Wide(why.empty() || !ZFunction::PathExists(path) ? "is missing" : why);
  }
  return std::wstring();
}

// Makes one file or folder of the new version in `work`: "" when it is there, else why it
// cannot be (for the log).
std::wstring BuildItem(const packet::DeltaItem& item, const std::wstring& source, const std::wstring& work,
                       const std::wstring& parts) {
  const std::wstring name = Wide(item.path), target = work + name;
  if (item.kind == packet::DeltaKind::kFolder)
    return ZFunction::CreateFolderTree(target) ? L"" : L"the folder " + name + L" cannot be created";
  if (!ZFunction::CreateFolderTree(target.substr(0, ZFunction::LastSeparator(target))))
    return L"the folder of " + name + L" cannot be created";
  std::string why;
  if (item.kind == packet::DeltaKind::kNew) {
    const std::wstring carried = parts + Wide(packet::kDeltaNewFolder) + L"\\" + name;
    if (!Matches(carried, item.size, item.sha256, &why)) return L"its file " + name + L" " + Wide(why);
    if (!MoveFileExW(carried.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
      return L"its file " + name + L" cannot be moved into place (error " + std::to_wstring(GetLastError()) + L")";
    return L"";
  }
  const std::wstring changed = L"the installed file " + name + L" differs from the version the update was made for";
  if (item.kind == packet::DeltaKind::kSame) {
    UINT64 size = 0;
    packet::Digest sha{};
    if (!delta_files::CopyHashing(source + name, target, &size, &sha, &why)) return L"the installed file " + name + L" " + Wide(why);
    return size == item.size && sha == item.sha256 ? L"" : changed;
  }
  std::vector<BYTE> old, patch, made;
  if (!delta_files::ReadWhole(source + name, &old, &why)) return L"the installed file " + name + L" " + Wide(why);
  if (old.size() != item.oldSize || packet::Sha256Of(old.data(), old.size()) != item.oldSha256) return changed;
  if (!delta_files::ReadWhole(parts + Wide(packet::kDeltaPatchFolder) + L"\\" + name, &patch, &why))
    return L"the patch of " + name + L" " + Wide(why);
  if (!delta_files::ApplyPatch(old, patch, item.size, &made, &why)) return L"the file " + name + L" " + Wide(why);
  if (packet::Sha256Of(made.data(), made.size()) != item.sha256)
    return L"the patched file " + name + L" holds other bytes than the update expects (SHA-256)";
  if (!delta_files::WriteWhole(target, made.data(), made.size(), &why)) return L"the file " + name + L" " + Wide(why);
  return L"";
}

// Builds every item on the calling thread and one more, each taking the next. A failure stops
// both; of the failures met, the one first in the manifest's order is kept in Why. Large patched
// files (which are held whole, with their previous version and their patch) are made one at a
// time, so the 32-bit program keeps its address space.
struct DeltaBuild {
  const std::vector<packet::DeltaItem>& Items;
  const std::wstring &Source, &Work, &Parts;
  std::atomic<size_t> Next{0};
  sys::CriticalSection Lock;
  sys::CriticalSection Large;
  size_t FailedAt = SIZE_MAX;
  std::wstring Why;

  void Run() {
    sys::UniqueKernel helper(CreateThread(nullptr, 0, &DeltaBuild::Thread, this, 0, nullptr));
    TakeItems();
    if (helper) WaitForSingleObject(helper.Get(), INFINITE);
  }
  static DWORD WINAPI Thread(void* self) {
    static_cast<DeltaBuild*>(self)->TakeItems();
    return 0;
  }
  void TakeItems() {
    for (size_t i; (i = Next++) < Items.size();) {
      std::wstring why;
      const packet::DeltaItem& item = Items[i];
      const bool large = item.kind == packet::DeltaKind::kPatch && item.size + item.oldSize > (128u << 20);
      try {
        std::optional<sys::Locked> oneAtATime;
        if (large) oneAtATime.emplace(Large);
        why = BuildItem(item, Source, Work, Parts);
      } catch (const std::bad_alloc&) {
        why = L"the file " + Wide(item.path) + L" needs more memory than there is";
      }
      if (why.empty()) continue;
      sys::Locked locked(Lock);
      if (i < FailedAt) {
        FailedAt = i;
        Why = why;
      }
      Next = Items.size();
    }
  }
};

}  // namespace

bool ZInsall::RefuseDelta(const char* format, ...) {
  char text[ZSetupLog::kMaxText + 1] = {};
  va_list args;
  va_start(args, format);
  _vsnprintf(text, ZSetupLog::kMaxText, format, args);
  va_end(args);
  DeltaRefusal = true;
  g_Run.Failed("the update cannot be applied, the installed version stays as it is: %s", text);
  return false;
}

bool ZInsall::ReadDelta() {
  if (Delta) return true;
  const std::unique_ptr<UnpackedEntry> entry = Packet.Unpack(packet::kDeltaEntry);
  std::string text, error;
  if (!entry || !entry->Read(Wide(packet::kDeltaManifestName), &text) || !entry->Decoded())
    return RefuseDelta("its manifest cannot be unpacked");
  packet::DeltaManifest manifest;
  if (!packet::ParseDeltaManifest(text, &manifest, &error)) return RefuseDelta("its manifest is damaged (%s)", error.c_str());
  if (Wide(manifest.toVersion) != ProductVersion)
    return RefuseDelta("its manifest describes version %s, this setup program installs %ws", manifest.toVersion.c_str(),
                       ProductVersion.c_str());
  g_Log.Log("the installer is an update by delta from %s to %s: %d files and folders", manifest.fromVersion.c_str(),
            manifest.toVersion.c_str(), static_cast<int>(manifest.items.size()));
  Delta = std::move(manifest);
  return true;
}

std::vector<ArchiveItem> ZInsall::DeltaItems() const {
  std::vector<ArchiveItem> items;
  for (const packet::DeltaItem& item : Delta->items) items.push_back({Wide(item.path), item.size, item.kind == packet::DeltaKind::kFolder});
  return items;
}

void ZInsall::MakeDeltaFolders() {
  for (const packet::DeltaItem& item : Delta->items)
    if (item.kind == packet::DeltaKind::kFolder) ZFunction::CreateFolderTree(InstallFolder + Wide(item.path));
}

bool ZInsall::BuildFromDelta() {
  const DWORD start = GetTickCount();
  // This version in place already (built by a run that stopped before it was registered, or
  // whose clean-up of the old registration it got past): used as it is when every file is the
  // manifest's, whatever is registered now.
  const bool folderThere = ZFunction::FolderExists(InstallFolder);
  const std::wstring difference = folderThere ? FirstDifference(Delta->items, InstallFolder) : std::wstring();
  if (folderThere && difference.empty()) {
    g_Log.Log("update by delta: %ws holds the whole new version already, %lu ms", InstallFolder.c_str(), GetTickCount() - start);
    return true;
  }
  // The installed version: the registered installation's version folder, a real installation.
  const std::wstring root = GetOldInstallRoot();
  if (root.empty()) return RefuseDelta("no installation of the suite is registered");
  std::wstring source = ZFunction::WithSlash(root) + (OldVersion.empty() ? L"" : OldVersion + L"\\");
  if (!install_config::IsSuiteInstallation(source) || !ZFunction::PathExists(source + L"office6\\lmo.dll"))
    source = ZFunction::WithSlash(root);
  if (!ZFunction::PathExists(source + L"office6\\lmo.dll"))
    return RefuseDelta("the installed version %ws has no version folder with the suite", OldVersion.c_str());
  g_Log.Log("update by delta: the installed version is in %ws, the new one goes to %ws", source.c_str(), InstallFolder.c_str());
  if (folderThere) {
    if (_wcsicmp(InstallFolder.c_str(), source.c_str()) == 0)
      return RefuseDelta("this version is the installed one, and its file %ws", difference.c_str());
    g_Log.Log("update by delta: %ws holds an incomplete build (%ws): built again", InstallFolder.c_str(), difference.c_str());
  }

  // Every previous file the build needs is there with its size, before anything is unpacked.
  for (const packet::DeltaItem& item : Delta->items) {
    if (item.kind != packet::DeltaKind::kSame && item.kind != packet::DeltaKind::kPatch) continue;
    const UINT64 size = item.kind == packet::DeltaKind::kSame ? item.size : item.oldSize;
    WIN32_FILE_ATTRIBUTE_DATA data;
    const std::wstring path = source + Wide(item.path);
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      return RefuseDelta("the installed file %ws is missing", Wide(item.path).c_str());
    if ((static_cast<UINT64>(data.nFileSizeHigh) << 32 | data.nFileSizeLow) != size)
      return RefuseDelta("the installed file %ws has another size than the update expects", Wide(item.path).c_str());
  }

  // Built in "~<version>.new", from entry 1 unpacked into "~<version>.delta", both beside the
  // version folders (on the same volume) and passed over by the clean-up of versions.
  const std::wstring work = StagingFolder();
  const std::wstring parts = StagingFolder(L".delta");
  ZFunction::DeleteFolder(work);
  ZFunction::DeleteFolder(parts);
  struct Cleanup {
    const std::wstring &work, &parts;
    ~Cleanup() {
      ZFunction::DeleteFolder(work);
      ZFunction::DeleteFolder(parts);
    }
  } cleanup{work, parts};
  if (!ZFunction::CreateFolderTree(work) || !ZFunction::CreateFolderTree(parts))
    return RefuseDelta("the folder %ws cannot be created (error %lu)", work.c_str(), GetLastError());
  if (!Packet.ExtractPacket(1, parts)) {
    const std::string problem = TakeExtractionProblem();
    return RefuseDelta("its files cannot be unpacked: %s", problem.empty() ? "the entry cannot be read" : problem.c_str());
  }
  g_Run.AddFilesWritten(Packet.FilesWritten());

  // The files are independent of each other: built on two threads (hashing and patching keep a
  // core busy while the other waits for the disk).
  DeltaBuild build{Delta->items, source, work, parts};
  build.Run();
  if (!build.Why.empty()) return RefuseDelta("%ws", build.Why.c_str());
  int same = 0, patched = 0, added = 0;
  for (const packet::DeltaItem& item : Delta->items) {
    same += item.kind == packet::DeltaKind::kSame;
    patched += item.kind == packet::DeltaKind::kPatch;
    added += item.kind == packet::DeltaKind::kNew;
  }
  ZFunction::DeleteFolder(parts);

  // The whole new version is built: one rename puts it in place. An incomplete build of an
  // earlier run (never the installed version, see above) goes aside first and is removed.
  const std::wstring final = ZFunction::WithoutTrailingSeparators(InstallFolder);
  const std::wstring aside = ZFunction::WithoutTrailingSeparators(StagingFolder(L".old"));
  if (ZFunction::FolderExists(final)) {
    ZFunction::DeleteFolder(aside);
    if (!MoveFileExW(final.c_str(), aside.c_str(), 0))
      return RefuseDelta("the incomplete folder %ws cannot be moved aside (error %lu)", final.c_str(), GetLastError());
  }
  if (!MoveFileExW(ZFunction::WithoutTrailingSeparators(work).c_str(), final.c_str(), 0))
    return RefuseDelta("the new version cannot be put in place at %ws (error %lu)", final.c_str(), GetLastError());
  ZFunction::DeleteFolder(aside);
  g_Log.Log("update by delta: built %ws, %d files copied, %d patched, %d carried whole, %lu ms", InstallFolder.c_str(), same,
            patched, added, GetTickCount() - start);
  return true;
}
