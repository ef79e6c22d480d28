#include "install/install_check.h"

#include <windows.h>

#include "sys/file_utils.h"

namespace install_check {
namespace {

// The size of a file; false when it is not there (or is a folder).
bool FileSize(const std::wstring& path, UINT64* size) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  *size = (static_cast<UINT64>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

bool SameFolder(const std::wstring& a, const std::wstring& b) {
  return _wcsicmp(ZFunction::WithSlash(a).c_str(), ZFunction::WithSlash(b).c_str()) == 0;
}

}  // namespace

std::wstring FirstMissingFile(const std::wstring& versionFolder, const std::vector<ArchiveItem>& items) {
  for (const ArchiveItem& item : items) {
    const std::wstring path = versionFolder + item.Name;
    if (item.IsFolder) {
      if (!ZFunction::FolderExists(path)) return L"a product folder is missing: " + path;
      continue;
    }
    UINT64 size = 0;
    if ((FileSize(path, &size) && size == item.Size) || (FileSize(PendingCopyName(path), &size) && size == item.Size))
      continue;
    if (!FileSize(path, &size)) return L"a product file is missing: " + path;
    return L"a product file has " + std::to_wstring(size) + L" bytes, not the " + std::to_wstring(item.Size) +
           L" of the archive: " + path;
  }
  return std::wstring();
}

std::wstring RegistrationMismatch(const std::wstring& versionFolder, const std::vector<std::wstring>& registeredRoots) {
  std::wstring root = ZFunction::WithSlash(versionFolder);
  root.resize(root.find_last_of(L'\\', root.size() - 2) + 1);  // the product root above the version folder
  std::wstring found;
  for (const std::wstring& registered : registeredRoots) {
    if (registered.empty()) continue;
    if (SameFolder(registered, versionFolder) || SameFolder(registered, root)) return std::wstring();
    if (found.empty()) found = registered;
  }
  return found.empty() ? L"the suite's registration is missing (no \"LocationRoot\" of the suite)"
                       : L"the suite's registration names another folder, not " + root + L": " + found;
}

std::wstring FirstUnwrittenValue(const std::vector<install_config::ProfileValue>& values) {
  for (const install_config::ProfileValue& v : values) {
    const std::wstring read = install_config::ReadProfileString(v.File, v.Section.c_str(), v.Key.c_str(), L"\x01",
                                                                static_cast<DWORD>(v.Value.size() + 2));
    if (read != v.Value)
      return L"a configuration file lacks [" + v.Section + L"] " + v.Key + L"=" + v.Value + L": " + v.File;
  }
  return std::wstring();
}

}  // namespace install_check
