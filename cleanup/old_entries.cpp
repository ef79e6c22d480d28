#include "cleanup/old_entries.h"

#include <shlobj.h>

#include <initializer_list>

#include "base/handles.h"
#include "log/setup_log.h"
#include "suite/suite_programs.h"
#include "suite/suite_registry.h"
#include "sys/file_utils.h"
#include "sys/registry.h"
#include "sys/system_info.h"

namespace old_entries {
namespace {

const wchar_t kUninstallParent[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kUserCommonKey[] = L"Software\\Tallis\\Office\\6.0\\Common";
const wchar_t kUserInfoKey[] = L"Software\\Tallis\\Office\\6.0\\Common\\UserInfo";
const wchar_t kMachineOfficeKey[] = L"SOFTWARE\\tallis\\Office";

// Deletes the key `name` below the open key `parent`: its subkeys first, one at a time, until
// none is left.
bool DeleteTree(HKEY parent, const wchar_t* name) {
  {
    sys::UniqueRegKey key;
    if (RegOpenKeyExW(parent, name, 0, KEY_READ | KEY_WRITE, key.Put()) != ERROR_SUCCESS) return false;
    wchar_t child[256];  // the longest key name the registry allows, and its terminator
    for (;;) {
      DWORD chars = ARRAYSIZE(child);
      if (RegEnumKeyExW(key.Get(), 0, child, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      // A subkey that stays would come back as the first one forever.
      if (!DeleteTree(key.Get(), child)) break;
    }
  }
  return RegDeleteKeyW(parent, name) == ERROR_SUCCESS;
}

void DeleteSubtrees(HKEY root, const wchar_t* parent, std::initializer_list<const wchar_t*> names) {
  for (const wchar_t* name : names) DeleteSubtree(root, parent, name);
}

void DeleteValues(HKEY root, const wchar_t* key, std::initializer_list<const wchar_t*> names) {
  for (const wchar_t* name : names) ZFunction::DeleteRegValue(root, key, name);
}

// What the machine and the user clean-up share at their start: the update information, the
// suite's file classes and add-ins, the machine-wide automatic update.
void DeleteSharedMachineEntries() {
  DeleteSubtree(HKEY_LOCAL_MACHINE, L"Software\\Tallis\\Office\\6.0\\Common", L"updateinfo");
  DeleteSubtrees(HKEY_CLASSES_ROOT, nullptr,
                 {L".uof", L"lmotheme", L"LumenSkin.LumenSkinAddin", L"Lumen隔行着色.connect", L"Lumen_auto_file",
                  L"Lumendoc.lumendoc", L"Grid_auto_file", L"Uof_auto_file"});
  ZFunction::DeleteRegValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                            L"lumenautoupdate");
}

void DeleteWhatsNewValues(HKEY userRoot) {
  DeleteValues(userRoot, kUserInfoKey, {L"WhatNewLastCheckDate", L"WhatNewLastCheckFlag", L"WhatNewVersion"});
}

// Deletes the named files of a folder, then the empty folders below it (not the folder).
void DeleteFilesAndEmptySubfolders(const std::wstring& folder, std::initializer_list<const wchar_t*> files) {
  for (const wchar_t* file : files) {
    const std::wstring path = folder + file;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
  }
  WIN32_FIND_DATAW found;
  sys::UniqueFind find(FindFirstFileW((folder + L"*").c_str(), &found));
  if (!find) return;
  do {
    const std::wstring name = found.cFileName;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..")
      ZFunction::RemoveEmptyFolders(folder + name);
  } while (FindNextFileW(find.Get(), &found));
}

}  // namespace

bool DeleteSubtree(HKEY root, const wchar_t* parent, const wchar_t* name) {
  if (!name || !*name) return false;  // no name would mean the parent itself
  if (!parent || !*parent) return DeleteTree(root, name);
  sys::UniqueRegKey key;
  if (RegOpenKeyExW(root, parent, 0, KEY_READ | KEY_WRITE, key.Put()) != ERROR_SUCCESS) return false;
  return DeleteTree(key.Get(), name);
}

void DeleteMachineEntries(HKEY userRoot) {
  DeleteSharedMachineEntries();
  DeleteSubtree(HKEY_LOCAL_MACHINE, kUninstallParent, L"Tallis Office");
  DeleteSubtrees(HKEY_LOCAL_MACHINE, kMachineOfficeKey, {L"6.0", L"LUMEN", L"Addins"});
  DeleteWhatsNewValues(userRoot);
  DeleteSubtrees(userRoot, kUserCommonKey, {L"Theme", L"plgpf"});
  ZFunction::DeleteRegValue(userRoot, kUserCommonKey, L"SaveDump");
}

void DeleteUserEntries(HKEY userRoot) {
  DeleteSharedMachineEntries();
  DeleteSubtree(userRoot, kUninstallParent, L"Tallis Office");
  DeleteSubtree(HKEY_LOCAL_MACHINE, kMachineOfficeKey, L"6.0");
  DeleteValues(userRoot, L"Software\\tallis\\Office\\6.0\\Common",
               {L"saveDump", L"Version", L"PersonalVersionNumber", L"ProfessionVersionNumber", L"InstallRoot",
                L"DisplayName", L"DistSrc", L"DefaultLanguage"});
  DeleteSubtrees(HKEY_LOCAL_MACHINE, kMachineOfficeKey, {L"LUMEN", L"Addins"});
  DeleteWhatsNewValues(userRoot);
  DeleteSubtrees(userRoot, kUserCommonKey, {L"Theme", L"plgpf"});
  RemoveLumenHome(userRoot);
}

void RemoveLumenHome(HKEY userRoot) {
  sys::UniqueRegKey key;
  if (RegOpenKeyExW(userRoot, L"Environment", 0, KEY_READ | KEY_WRITE, key.Put()) != ERROR_SUCCESS) return;
  RegDeleteValueW(key.Get(), L"LUMEN_HOME");
  const std::wstring path = suite_registry::PathWithoutLumenHome(ZFunction::ReadRegString(userRoot, L"Environment", L"PATH", 32767));
  if (path.empty()) {
    RegDeleteValueW(key.Get(), L"PATH");
  } else {
    RegSetValueExW(key.Get(), L"PATH", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
  }
}

void DeleteNewFileTemplates(const std::vector<std::wstring>& suiteDrivers) {
  const std::wstring common = ZFunction::GetSpecialFolder(CSIDL_COMMON_APPDATA);
  if (!common.empty()) {
    for (const wchar_t* folder : {L"\\tallis\\Office6", L"\\tallis\\lumen"}) {
      ZFunction::DeleteFolder(common + folder, suiteDrivers, false);
      ZFunction::RemoveEmptyFolders(common + folder);
    }
  }
  wchar_t windows[MAX_PATH + 1] = {};
  const UINT chars = GetWindowsDirectoryW(windows, ARRAYSIZE(windows));
  if (chars == 0 || chars > MAX_PATH) return;
  DeleteFilesAndEmptySubfolders(ZFunction::WithSlash(windows) + L"ShellNew\\",
                                {L"newfile.lumen", L"newfile.grid", L"newfile.dps"});
}

void PreserveUserDictionary(const std::wstring& roamingFolder) {
  const std::wstring common = ZFunction::GetSpecialFolder(CSIDL_COMMON_APPDATA);
  if (common.empty() || roamingFolder.empty()) return;
  const wchar_t kDictionary[] = L"\\tallis\\office6\\CUSTOM.DIC";
  const std::wstring source = common + kDictionary;
  if (!ZFunction::PathExists(source)) return;
  std::wstring target = roamingFolder;
  while (!target.empty() && (target.back() == L'\\' || target.back() == L'/')) target.pop_back();
  // The user's folder, written with this program's rights: never through a link the user set.
  if (!ZFunction::CreateFolderTreeWithoutLinks(target + L"\\tallis\\office6")) {
    g_Log.Log("the user dictionary is not copied: %ws\\tallis\\office6 holds a link or cannot be made", target.c_str());
    return;
  }
  CopyFileW(source.c_str(), (target + kDictionary).c_str(), FALSE);
}

}  // namespace old_entries
