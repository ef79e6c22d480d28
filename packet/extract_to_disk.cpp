// The disk side of the archive facade: target files (also when an older copy is locked),
// driver copies, memory files written folder by folder, progress messages to the wizard.
#include "packet/archive_facade.h"

#include <wchar.h>

#include "log/setup_log.h"
#include "sys/file_utils.h"
#include "base/handles.h"

namespace {

bool HasSysExtension(const std::wstring& path) {
  const size_t dot = path.rfind(L'.');
  const size_t sep = path.rfind(L'\\');
  return dot != std::wstring::npos && (sep == std::wstring::npos || dot > sep) && _wcsicmp(path.c_str() + dot, L".sys") == 0;
}

std::wstring FileNameOf(const std::wstring& path) {
  const size_t sep = path.rfind(L'\\');
  return sep == std::wstring::npos ? path : path.substr(sep + 1);
}

std::wstring ParentOf(const std::wstring& path) {
  const size_t sep = path.rfind(L'\\');
  return sep == std::wstring::npos ? std::wstring() : path.substr(0, sep);
}

HANDLE CreateTarget(const std::wstring& path) {
  return CreateFileW(path.c_str(), GENERIC_ALL, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Puts the side file in place of the target at the next restart.
void ReplaceAtRestart(const std::wstring& side, const std::wstring& target) {
  MoveFileExW(side.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace

bool PutInPlace(const std::wstring& staged, const std::wstring& target) {
  // The new data reaches the disk before the rename that makes it the installed file.
  {
    sys::UniqueFile file(CreateFileW(staged.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (file) FlushFileBuffers(file.Get());
  }
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  if (MoveFileExW(staged.c_str(), target.c_str(), flags)) return true;
  if (ZFunction::PathExists(target)) {
    const std::wstring aside = ZFunction::AsideName(target, L"", GetTickCount());
    DeleteFileW(aside.c_str());
    if (MoveFileW(target.c_str(), aside.c_str())) {
      ZFunction::DeleteAtRestart(aside);
      if (MoveFileExW(staged.c_str(), target.c_str(), flags)) return true;
    }
    const std::wstring pending = PendingCopyName(target);
    if (MoveFileExW(staged.c_str(), pending.c_str(), flags)) {
      ReplaceAtRestart(pending, target);
      return true;
    }
  }
  g_Log.Log("PutInPlace error:%d, path:%ws", static_cast<int>(GetLastError()), target.c_str());
  return false;
}

bool C7zExtractImpl::OpenTargetFile(const std::wstring& path) {
  const std::wstring parent = ParentOf(path);
  if (!parent.empty()) ZFunction::CreateFolderTree(parent);
  CurrentFile.Reset(CreateTarget(path));
  if (CurrentFile) return true;
  if (!ZFunction::PathExists(path)) return false;

  // The file exists but is locked (an older copy in use): move it aside and delete it at the
  // next restart, or write the new content beside it and swap at the next restart.
  const std::wstring aside = ZFunction::AsideName(path, L"", GetTickCount());
  const std::wstring side = PendingCopyName(path);
  DeleteFileW(aside.c_str());
  if (!MoveFileW(path.c_str(), aside.c_str())) {
    g_Log.Log("MoveFileEx Rename file fail, error:%d", static_cast<int>(GetLastError()));
  } else {
    ZFunction::DeleteAtRestart(aside);
    CurrentFile.Reset(CreateTarget(path));
    if (CurrentFile) return true;
  }
  CurrentFile.Reset(CreateTarget(side));
  if (!CurrentFile) return false;
  ReplaceAtRestart(side, path);
  return true;
}

bool C7zExtractImpl::WriteAll(HANDLE file, UINT32 size, const BYTE* data) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(file, data, size, &written, nullptr)) return false;
    data += written;
    size -= written;
    UINT32 count = written;
    NotifyWizard(kMsgExtractWritten, &count);
  }
  return true;
}

void C7zExtractImpl::CloseTargetFile() {
  if (!CurrentFile) return;
  CurrentFile.Reset();
  ++(Parent ? Parent->FilesDone : FilesDone);
  const std::wstring path = TargetFolder + CurrentName;
  if (HasSysExtension(path)) {
    const ZFunction::ScopedRealSystemFolder real;
    CopyFileW(path.c_str(), (ZFunction::GetDriversFolder() + FileNameOf(path)).c_str(), FALSE);
  }
}

HRESULT C7zExtractImpl::ExtractMemoryFiles(const std::wstring& folder) {
  const std::wstring target = ZFunction::WithSlash(folder);
  ZFunction::CreateFolderTree(target);
  LookedForWizard = false;
  // The progress window follows the writing as it follows a direct extraction: the total once,
  // then each piece written.
  UINT64 total = 0;
  for (const auto& [key, files] : MemoryFolders)
    for (const auto& file : files) total += file->TotalSize;
  NotifyWizard(kMsgExtractTotal, &total);
  for (const auto& [key, files] : MemoryFolders) {  // keys in code-unit order: "." first
    if (key != L".") ZFunction::CreateFolderTree(target + key);
    for (const auto& file : files) {
      if (!WriteMemoryFile(*file, target)) {
        NoteExtractionProblem("ExtractMemoryFiles WriteFile fail, path:%ws", file->Name.c_str());
        return E_FAIL;
      }
      ++FilesDone;
    }
  }
  return S_OK;
}

bool C7zExtractImpl::WriteMemoryFile(const MemoryFile& file, const std::wstring& folder) {
  const std::wstring path = folder + file.Name;
  if (!CreateFileByMem(file, path)) {
    if (!ZFunction::PathExists(path)) return false;
    const std::wstring aside = ZFunction::AsideName(path, L"", GetTickCount());
    const std::wstring side = PendingCopyName(path);
    DeleteFileW(aside.c_str());
    bool written = false;
    if (!MoveFileW(path.c_str(), aside.c_str())) {
      g_Log.Log("MoveFileEx Rename file fail, error:%d", static_cast<int>(GetLastError()));
    } else {
      g_Log.Log("MoveFileEx Rename file succeed, path:%ws", aside.c_str());
      ZFunction::DeleteAtRestart(aside);
      written = CreateFileByMem(file, path);
    }
    if (!written) {
      if (!CreateFileByMem(file, side)) return false;
      ReplaceAtRestart(side, path);
    }
  }
  if (HasSysExtension(path)) {
    const ZFunction::ScopedRealSystemFolder real;
    CreateFileByMem(file, ZFunction::GetDriversFolder() + FileNameOf(path), false);
  }
  return true;
}

bool C7zExtractImpl::CreateFileByMem(const MemoryFile& file, const std::wstring& path, bool report) {
  sys::UniqueFile target(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!target) {
    g_Log.Log("CreateFileByMem CreateFile error:%d, path:%ws", static_cast<int>(GetLastError()), path.c_str());
    return false;
  }
  // An empty file cannot be mapped; creating it is all there is to do.
  if (file.TotalSize == 0) return true;
  sys::UniqueKernel mapping(CreateFileMappingW(target.Get(), nullptr, PAGE_READWRITE, 0, file.TotalSize, nullptr));
  if (!mapping) {
    g_Log.Log("CreateFileByMem CreateFileMapping error:%d, path:%ws", static_cast<int>(GetLastError()), path.c_str());
    return false;
  }
  sys::UniqueView view(MapViewOfFile(mapping.Get(), FILE_MAP_WRITE, 0, 0, file.TotalSize));
  if (!view) {
    g_Log.Log("CreateFileByMem MapViewOfFile error:%d, path:%ws", static_cast<int>(GetLastError()), path.c_str());
    return false;
  }
  BYTE* out = static_cast<BYTE*>(view.Get());
  for (const auto& chunk : file.Chunks) {
    memcpy(out, chunk.data(), chunk.size());
    out += chunk.size();
    UINT32 count = static_cast<UINT32>(chunk.size());
    if (report) NotifyWizard(kMsgExtractWritten, &count);
  }
  return true;
}
