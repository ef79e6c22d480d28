#include "suite/installation_check.h"

#include <windows.h>
#include <shlobj.h>

#include "base/handles.h"
#include "log/setup_log.h"
#include "sys/file_utils.h"
#include "sys/system_info.h"

namespace install_config {

bool IsSystemFolder(const std::wstring& folder) {
  const std::wstring key = ZFunction::ComparablePath(folder);
  if (key.size() <= 3 || key.find(L':') != 1) return true;  // a drive root, or no drive at all
  wchar_t windows[MAX_PATH + 1] = {};
  const UINT chars = GetWindowsDirectoryW(windows, MAX_PATH);
  if (chars > 0 && chars <= MAX_PATH && ZFunction::IsSameOrBelow(folder, windows)) return true;
  const std::wstring profile = ZFunction::GetSpecialFolder(CSIDL_PROFILE);
  const size_t cut = ZFunction::LastSeparator(ZFunction::WithoutTrailingSeparators(profile));
  const std::wstring profiles = cut == std::wstring::npos ? std::wstring() : profile.substr(0, cut);
  std::vector<std::wstring> systemFolders = ZFunction::ProgramFilesFolders();
  for (const std::wstring& other :
       {ZFunction::GetSpecialFolder(CSIDL_PROGRAM_FILES_COMMON), profile, profiles,
        ZFunction::GetSpecialFolder(CSIDL_COMMON_APPDATA), ZFunction::GetSpecialFolder(CSIDL_APPDATA),
        ZFunction::GetSpecialFolder(CSIDL_LOCAL_APPDATA), ZFunction::GetSpecialFolder(CSIDL_DESKTOPDIRECTORY),
        ZFunction::GetSpecialFolder(CSIDL_PERSONAL)})
    systemFolders.push_back(other);
  for (const std::wstring& system : systemFolders) {
    if (!system.empty() && ZFunction::IsSameOrBelow(system, folder)) return true;  // the folder itself or one above it
  }
  return false;
}

bool IsSuiteInstallation(const std::wstring& root) {
  if (!ZFunction::IsWholeLocalPath(root) || IsSystemFolder(root)) return false;
  const std::wstring key = ZFunction::ComparablePath(root);
  if (key.find(L"\\..\\") != std::wstring::npos || key.find(L"\\.\\") != std::wstring::npos) return false;
  const std::wstring folder = ZFunction::WithSlash(root);
  const wchar_t library[] = L"office6\\lmo.dll";
  if (ZFunction::PathExists(folder + library)) return true;
  WIN32_FIND_DATAW found;
  sys::UniqueFind find(FindFirstFileW((folder + L"*").c_str(), &found));
  if (!find) return false;
  do {
    const bool versionFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                               !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && found.cFileName[0] != L'.';
    if (versionFolder && ZFunction::PathExists(folder + found.cFileName + L"\\" + library)) return true;
  } while (FindNextFileW(find.Get(), &found));
  return false;
}

std::wstring VerifiedInstallation(const std::wstring& root, const char* source) {
  if (root.empty() || IsSuiteInstallation(root)) return root;
  g_Log.Log("the %s %ws is no installation of the suite: ignored", source, root.c_str());
  return std::wstring();
}

}  // namespace install_config
