#include "sys/file_utils.h"

#include <stdio.h>
#include <wchar.h>

#include <algorithm>
#include <vector>

#include "log/setup_log.h"
#include "base/handles.h"

namespace ZFunction {
namespace {

bool IsDots(const wchar_t* name) { return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0; }

bool IsSuiteDriver(const std::wstring& name, const std::vector<std::wstring>& suiteDrivers) {
  return std::any_of(suiteDrivers.begin(), suiteDrivers.end(), [&name](const std::wstring& driver) {
    return _wcsicmp(name.c_str(), driver.c_str()) == 0;
  });
}

bool DeleteFolderWorker(const std::wstring& folder, const std::vector<std::wstring>& suiteDrivers,
                        bool scheduleAtRestart) {
  bool result = true;
  WIN32_FIND_DATAW fd;
  sys::UniqueFind find(FindFirstFileW((folder + L"*").c_str(), &fd));
  if (find) {
    do {
      const std::wstring name = fd.cFileName;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (IsDots(fd.cFileName)) continue;
        // A symbolic link or junction goes itself; what it points to is never touched.
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
          if (!RemoveDirectoryW((folder + name).c_str())) result = false;
          continue;
        }
        // A subtree that could not be registered ends this folder's walk.
        if (!DeleteFolderWorker(folder + name + L"\\", suiteDrivers, scheduleAtRestart)) break;
        continue;
      }
      if (IsSuiteDriver(name, suiteDrivers)) {
        const ScopedRealSystemFolder real;
        const std::wstring driver = GetDriversFolder() + name;
        SetFileAttributesW(driver.c_str(), 0);
        if (!DeleteFileW(driver.c_str()) && scheduleAtRestart && !DeleteAtRestart(driver))
          result = false;
      }
      const std::wstring path = folder + name;
      SetFileAttributesW(path.c_str(), 0);
      if (DeleteFileW(path.c_str())) continue;
      const std::wstring aside = AsideName(folder, name, GetTickCount());
      if (MoveFileW(path.c_str(), aside.c_str())) {
        if (!DeleteAtRestart(aside)) result = false;
      } else if (scheduleAtRestart && !DeleteAtRestart(path)) {
        result = false;
      }
    } while (FindNextFileW(find.Get(), &fd));
  }
  find.Reset();
  g_Log.Log("delete the folder %ws %d", folder.c_str(), static_cast<int>(GetLastError()));
  RemoveDirectoryW(folder.c_str());
  g_Log.Log("remove the empty folder %ws %d", folder.c_str(), static_cast<int>(GetLastError()));
  return result;
}

bool RemoveEmptyFoldersWorker(const std::wstring& folder) {
  WIN32_FIND_DATAW fd;
  sys::UniqueFind find(FindFirstFileW((folder + L"*").c_str(), &fd));
  if (find) {
    do {
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || IsDots(fd.cFileName)) continue;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;  // a link: not ours to empty
      if (!RemoveEmptyFoldersWorker(folder + fd.cFileName + L"\\")) break;
    } while (FindNextFileW(find.Get(), &fd));
  }
  find.Reset();
  g_Log.Log("remove the empty folder %ws  getlasterror %d when removeEmptyFoler before", folder.c_str(),
            static_cast<int>(GetLastError()));
  RemoveDirectoryW(folder.c_str());
  g_Log.Log("remove the empty folder %ws  getlasterror %d when removeEmptyFoler second", folder.c_str(),
            static_cast<int>(GetLastError()));
  return true;
}

bool CopyFolderWorker(const std::wstring& source, const std::wstring& destination) {
  WIN32_FIND_DATAW fd;
  sys::UniqueFind find(FindFirstFileW((source + L"*").c_str(), &fd));
  if (!find) return true;  // nothing to copy
  bool result = true;
  if (!FolderExists(destination) && !CreateDirectoryW(destination.c_str(), nullptr)) {
    result = false;
  } else {
    do {
      const std::wstring name = fd.cFileName;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (IsDots(fd.cFileName)) continue;
        if (!CopyFolderWorker(source + name + L"\\", destination + name + L"\\")) {
          result = false;
          break;
        }
      } else {
        CopyFileW((source + name).c_str(), (destination + name).c_str(), FALSE);  // failures skipped
      }
    } while (FindNextFileW(find.Get(), &fd));
  }
  g_Log.Log("copy folder %ws  getlasterror %d when _CopyFolder", source.c_str(), static_cast<int>(GetLastError()));
  return result;
}

// Reads the version resource of a file; empty when there is none.
std::vector<BYTE> ReadVersionResource(const std::wstring& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  std::vector<BYTE> data(size);
  if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, data.data())) data.clear();
  return data;
}

bool IsVersionComponent(const std::wstring& component) {
  int numbers[4];
  return ScanVersion(component, numbers) == 4;
}

// One trim step on a path whose trailing separator is already dropped. False when nothing
// was cut (no separator, or the last component is not a version).
bool CutVersionComponent(std::wstring& path) {
  const size_t sep = LastSeparator(path);
  if (sep == std::wstring::npos) return false;
  if (!IsVersionComponent(path.substr(sep + 1))) return false;
  path.resize(sep);
  return true;
}

void DropTrailingSeparator(std::wstring& path) {
  if (!path.empty() && IsSeparator(path.back())) path.pop_back();
}

}  // namespace

bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool FolderExists(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring AsideName(const std::wstring& folder, const std::wstring& name, DWORD tick) {
  wchar_t suffix[16];
  swprintf(suffix, 16, L"_d_%x", static_cast<unsigned>(tick));
  return folder + name + suffix;
}

bool DeleteAtRestart(const std::wstring& path) {
  return MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

bool DeleteFolder(const std::wstring& folder, const std::vector<std::wstring>& suiteDrivers, bool scheduleAtRestart) {
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return RemoveDirectoryW(WithoutTrailingSeparators(folder).c_str()) != FALSE;  // the link itself, never its target
  }
  return DeleteFolderWorker(WithSlash(folder), suiteDrivers, scheduleAtRestart);
}

bool RemoveEmptyFolders(const std::wstring& folder) { return RemoveEmptyFoldersWorker(WithSlash(folder)); }

bool CopyFolder(const std::wstring& source, const std::wstring& destination) {
  const std::wstring src = WithSlash(source), dst = WithSlash(destination);
  CreateFolderTree(dst);
  return CopyFolderWorker(src, dst);
}

bool CreateFolderTree(const std::wstring& folder) {
  if (PathExists(folder)) return true;
  if (CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) return true;
  // A trailing backslash names the same folder: look for the parent before it.
  std::wstring parent = WithoutTrailingSeparators(folder);
  const size_t cut = LastSeparator(parent);
  parent = cut == std::wstring::npos ? std::wstring() : parent.substr(0, cut);
  if (parent.empty() || !CreateFolderTree(parent)) return false;
  return CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

namespace {

// Walks the levels of `folder` below its root ("C:\\" or "\\\\server\\share\\"), creating the missing
// ones when `create` is set; false at the first level that is a link, no folder, or missing.
bool WalkWithoutLinks(const std::wstring& folder, bool create) {
  const std::wstring path = WithSlash(folder);
  size_t at;
  if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') {
    at = 3;
  } else if (path.compare(0, 2, L"\\\\") == 0) {
    at = path.find(L'\\', 2);
    at = at == std::wstring::npos ? at : path.find(L'\\', at + 1);
    if (at == std::wstring::npos) return false;
    ++at;
  } else {
    return false;
  }
  for (size_t end; (end = path.find(L'\\', at)) != std::wstring::npos; at = end + 1) {
    const std::wstring level = path.substr(0, end);
    DWORD attributes = GetFileAttributesW(level.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES && create) {
      if (!CreateDirectoryW(level.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
      attributes = GetFileAttributesW(level.c_str());  // what is there now, whoever made it
    }
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !(attributes & FILE_ATTRIBUTE_DIRECTORY))
      return false;
  }
  return true;
}

}  // namespace

bool CreateFolderTreeWithoutLinks(const std::wstring& folder) { return WalkWithoutLinks(folder, true); }
bool IsFolderWithoutLinks(const std::wstring& folder) { return WalkWithoutLinks(folder, false); }

std::wstring GetProductVersionOf(const std::wstring& path) {
  std::wstring version = L"0.0.0.0";
  const std::vector<BYTE> data = ReadVersionResource(path.empty() ? GetModulePath() : path);
  if (data.empty()) return version;
  struct LangCodePage {
    WORD language, codePage;
  }* translation = nullptr;
  UINT bytes = 0;
  if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &bytes) ||
      bytes <= 3)
    return version;
  wchar_t key[64];
  swprintf(key, 64, L"\\StringFileInfo\\%04x%04x\\ProductVersion", translation->language, translation->codePage);
  wchar_t* value = nullptr;
  UINT chars = 0;
  if (!VerQueryValueW(data.data(), key, reinterpret_cast<void**>(&value), &chars) || !value) return version;
  version.assign(value, wcsnlen(value, std::min<UINT>(chars, MAX_PATH)));
  std::replace(version.begin(), version.end(), L',', L'.');
  return version;
}

std::wstring GetSelfProductVersion() { return GetProductVersionOf(std::wstring()); }

void TrimVersionFolder(std::wstring& path) {
  if (path.empty()) return;
  DropTrailingSeparator(path);
  if (CutVersionComponent(path)) path += L'\\';
}

void TrimVersionFolders(std::wstring& path) {
  if (path.empty()) return;
  DropTrailingSeparator(path);
  while (CutVersionComponent(path)) {
  }
  path += L'\\';
}

int ContainsNoCase(const std::wstring& text, const std::wstring& part) {
  std::wstring t = text, p = part;
  CharLowerBuffW(t.data(), static_cast<DWORD>(t.size()));
  CharLowerBuffW(p.data(), static_cast<DWORD>(p.size()));
  const size_t at = t.find(p);
  return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

bool ReplaceFolderInPath(std::wstring& path, const std::vector<std::wstring>& folders, const std::wstring& replacement) {
  for (const std::wstring& folder : folders) {
    if (folder.empty()) continue;
    // A whole folder: "C:\\Program Files" is not found in "C:\\Program Files (x86)\\...".
    const std::wstring whole = WithSlash(folder);
    const int at = ContainsNoCase(WithSlash(path), whole);
    if (at < 0) continue;
    path = WithSlash(path).replace(static_cast<size_t>(at), whole.size(), WithSlash(replacement));
    return true;
  }
  return false;
}

bool LoadFileText(const std::wstring& path, std::string& text) {
  text.clear();
  sys::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > kMaxTextFile) return false;
  std::string buffer(static_cast<size_t>(size.QuadPart), '\0');
  DWORD done = 0;
  while (done < buffer.size()) {
    DWORD got = 0;
    if (!ReadFile(file.Get(), &buffer[done], static_cast<DWORD>(buffer.size()) - done, &got, nullptr) || got == 0)
      return false;
    done += got;
  }
  text.assign(buffer.c_str());  // the text ends at the first zero byte
  return true;
}

std::wstring GetModulePath(HMODULE module) {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
  return n == 0 ? std::wstring() : std::wstring(path, n);
}

std::wstring GetModuleFolder(HMODULE module) {
  const std::wstring path = GetModulePath(module);
  const size_t sep = LastSeparator(path);
  return sep == std::wstring::npos ? std::wstring() : path.substr(0, sep + 1);
}

ScopedRealSystemFolder::ScopedRealSystemFolder() {
#ifndef _WIN64  // a 64-bit program is never redirected
  using Disable = BOOL(WINAPI*)(PVOID*);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto disable = kernel ? reinterpret_cast<Disable>(
                              reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")))
                        : nullptr;
  Switched = disable && disable(&Previous);
#endif
}

ScopedRealSystemFolder::~ScopedRealSystemFolder() {
  if (!Switched) return;
  using Revert = BOOL(WINAPI*)(PVOID);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (auto revert = reinterpret_cast<Revert>(
          reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection"))))
    revert(Previous);
}

int ScanVersion(const std::wstring& text, int numbers[4]) {
  const wchar_t* p = text.c_str();
  for (int read = 0; read < 4; ++read) {
    if (read > 0 && *p++ != L'.') return read;
    while (iswspace(*p)) ++p;
    const bool negative = *p == L'-';
    if (*p == L'-' || *p == L'+') ++p;
    if (*p < L'0' || *p > L'9') return read;
    long long value = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p)
      if (value <= 0x7FFFFFFF) value = value * 10 + (*p - L'0');
    numbers[read] = static_cast<int>(negative ? -value : value);
  }
  return 4;
}

std::wstring GetDriversFolder() {
  static std::wstring cached;
  if (cached.empty()) {
    wchar_t system[MAX_PATH + 1] = {};
    const UINT n = GetSystemDirectoryW(system, MAX_PATH);
    if (n > 0 && n < MAX_PATH) cached = std::wstring(system, n) + L"\\drivers\\";
  }
  return cached;
}

}  // namespace ZFunction
