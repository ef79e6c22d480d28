#include "cleanup/zclear.h"

#include <shlobj.h>

#include <wchar.h>

#include <algorithm>

#include "cleanup/old_entries.h"
#include "log/setup_log.h"
#include "suite/install_config.h"
#include "suite/installation_check.h"
#include "suite/suite_registry.h"
#include "sys/file_utils.h"
#include "base/handles.h"
#include "sys/process_start.h"
#include "sys/process_search.h"
#include "sys/system_info.h"
#include "sys/registry.h"
#include "suite/suite_programs.h"

namespace {

// Values of the uninstall key are read as strings of at most this many characters.
constexpr size_t kValueChars = 260;

// What the miscellaneous tool undoes, in this order: the associations with the other suite's
// document types, then the registration of the suite's components.
const wchar_t* const kUnregisterSwitches[] = {
    L"-unassoword",  L"-unassoexcel", L"-unassopowerpnt", L"-unreg_lumen", L"-unreg_deck",
    L"-unreg_grid",  L"-unregzsee",   L"-unreg_lmo",      L"-unreg_zde",   L"-unregoledefhndlr",
};

// The product's subfolders of an installation; downloads keeps the user's downloads and
// survives an update.
const wchar_t kDownloads[] = L"\\downloads";
const wchar_t* const kProductFolders[] = {
    L"\\zsee", L"\\office6", L"\\templates", L"\\utility", L"\\media", L"\\help", kDownloads, L"\\oem", L"\\wtoolex",
};

// The early-access build of the personal edition kept its start-menu folder under this name.
const wchar_t kEarlyAccessMenu[] = L"Lumen Office 个人版 抢鲜版";
// Desktop shortcuts of the word processor, spreadsheets and presentations.
const wchar_t* const kDesktopShortcuts[] = {L"Lumen文字.lnk", L"Lumen表格.lnk", L"Lumen演示.lnk"};

// A version name from a list, or a start-menu name, names one folder right below its parent
// (the product root, the programs folder), nothing else.
bool IsFolderName(const std::wstring& name) {
  return !name.empty() && name != L"." && name != L".." && name.find_first_of(L"\\/:") == std::wstring::npos;
}

void AppendName(std::wstring& list, const std::wstring& name) {
  if (!list.empty()) list += L';';
  list += name;
}

}  // namespace

bool ZClear::Init(const std::wstring& root) {
  Root = ZFunction::WithSlash(root);
  g_Log.Log("ZClear::Init root:%ws", Root.c_str());
  return true;
}

std::wstring ZClear::GetCurUserRoot() const {
  std::wstring root = Context.User.InstallationRoot();
  ZFunction::TrimVersionFolder(root);
  return install_config::VerifiedInstallation(root, "user's installation");
}

std::wstring ZClear::GetCurUserStartMenuDir() const { return Context.User.StartMenuDir(); }

namespace {

// The path of one of an installation's tools.
std::wstring Tool(const std::wstring& root, const wchar_t* program) { return ZFunction::WithSlash(root) + program; }

}  // namespace

std::wstring ZClear::RemoveOldRegistration() {
  {
    sys::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, suite::kUninstallKey, 0, KEY_READ | KEY_WRITE, key.Put()) != ERROR_SUCCESS)
      return std::wstring();
  }
  const std::wstring uninstall =
      ZFunction::ReadRegString(HKEY_LOCAL_MACHINE, suite::kUninstallKey, L"UninstallString", kValueChars);
  const std::wstring root = install_config::VerifiedInstallation(
      ZFunction::ReadRegString(HKEY_LOCAL_MACHINE, suite::kUninstallKey, L"LocationRoot", kValueChars),
      "machine's installation");
  const std::wstring menu =
      ZFunction::ReadRegString(HKEY_LOCAL_MACHINE, suite::kUninstallKey, L"StartMenuDir", kValueChars);
  // An entry that lacks any of them is not a whole installation: nothing of it is touched.
  if (uninstall.empty() || root.empty() || menu.empty()) return menu;

  // The machine-wide installation's own tools undo what they registered; they run in this
  // (elevated) process, hidden, each to its end.
  ZFunction::RunApp(Tool(root, L"office6\\zlumenlive.exe"), L"/UnregServer", INFINITE, 0);
  ZFunction::RunApp(Tool(root, L"office6\\lumenupdate.exe"), L"-CreateUpdateSelf -deltasks", INFINITE, 0);
  for (const wchar_t* unregister : kUnregisterSwitches)
    ZFunction::RunApp(Tool(root, L"office6\\lmomisc.exe"), unregister, INFINITE, 0);

  Context.User.ForgetMachineInstallation();
  old_entries::PreserveUserDictionary(Context.User.AppData());
  old_entries::DeleteMachineEntries(HKEY_CURRENT_USER);
  DeleteProductFolders(root);
  DeleteStartMenu(menu, MenuOwner::AllUsers);
  old_entries::DeleteNewFileTemplates(Context.SuiteDrivers);
  return menu;
}

std::wstring ZClear::ClearOldVersion() {
  const std::wstring root = GetCurUserRoot();
  const std::wstring menu = GetCurUserStartMenuDir();
  if (root.empty() || menu.empty()) return Context.User.WaitList();

  // The user's installation's tools undo what they registered, in the user's session.
  const int forever = static_cast<int>(INFINITE);
  Context.User.Run(Tool(root, L"wtoolex\\lumenupdate.exe"), L"-deltasks", forever, 0);
  for (const wchar_t* unregister : kUnregisterSwitches)
    Context.User.Run(Tool(root, L"office6\\lmomisc.exe"), unregister, forever, 0);

  g_Log.Log("start clear old version");
  const std::wstring remaining = ClearVersions(root);
  g_Log.Log("delete the folder %ws when DeleteNeedClearProductFolder.%d", root.c_str(),
            static_cast<int>(GetLastError()));

  g_Log.Log("start clear the current use version and first clear the registery");
  Context.User.DeleteUserKeys();

  g_Log.Log("start clear the current use version and second clear the folder");
  DeleteProductFolders(root);

  g_Log.Log("start clear the current use version and third clear the startmenu %ws.", menu.c_str());
  Context.User.DeleteStartMenu(menu);

  // The folder that held the product root goes too when nothing is left in it.
  const size_t cut = ZFunction::LastSeparator(root);
  if (cut == std::wstring::npos) return remaining;
  const std::wstring parent = root.substr(0, cut);
  if (install_config::IsSystemFolder(parent)) return remaining;  // never sweep a drive, a profile, the system
  ZFunction::RemoveEmptyFolders(parent);
  g_Log.Log("Remove the empty folder %ws when uninstall new product.%ld", parent.c_str(),
            static_cast<long>(GetLastError()));
  return remaining;
}

bool ZClear::DeleteProductFolders(const std::wstring& root) const {
  g_Log.Log("delete the %ws path", root.c_str());
  if (ZFunction::IsDriveOrEmpty(root)) return false;
  const std::wstring base = ZFunction::WithoutTrailingSeparators(root);
  int failures = 0;
  for (const wchar_t* folder : kProductFolders) {
    if (Context.Update && wcscmp(folder, kDownloads) == 0) continue;
    if (!ZFunction::DeleteFolder(base + folder, Context.SuiteDrivers, true)) ++failures;
  }
  g_Log.Log("delete the product folder %ws %ld", root.c_str(), static_cast<long>(GetLastError()));
  ZFunction::RemoveEmptyFolders(base);
  g_Log.Log("remove the product folder %ws %ld", root.c_str(), static_cast<long>(GetLastError()));
  return failures == 0;
}

void ZClear::DeleteStartMenu(const std::wstring& name, MenuOwner owner) {
  const bool allUsers = owner == MenuOwner::AllUsers;
  const std::wstring programs = ZFunction::GetSpecialFolder(allUsers ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS);
  if (!programs.empty()) {
    if (IsFolderName(name)) ZFunction::DeleteFolder(ZFunction::WithSlash(programs) + name);
    ZFunction::DeleteFolder(ZFunction::WithSlash(programs) + kEarlyAccessMenu);
  }
  const std::wstring desktop =
      ZFunction::GetSpecialFolder(allUsers ? CSIDL_COMMON_DESKTOPDIRECTORY : CSIDL_DESKTOPDIRECTORY);
  if (desktop.empty()) return;
  for (const wchar_t* shortcut : kDesktopShortcuts) {
    const std::wstring path = ZFunction::WithSlash(desktop) + shortcut;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
  }
}

std::wstring ZClear::ClearVersions(const std::wstring& root) {
  std::wstring list = Context.User.WaitList();
  const std::wstring lists = install_config::TakeVersionLists(root);
  if (!lists.empty()) {
    if (!list.empty()) list += L';';
    list += lists;
    // Stored before anything is deleted: the lists are gone from the installation's file now.
    Context.User.StoreWaitList(list);
  }
  const std::wstring remaining = ProcessWaitList(root, list);
  Context.User.StoreWaitList(remaining);
  return remaining;
}

std::wstring ZClear::ProcessWaitList(const std::wstring& root, const std::wstring& list) const {
  std::wstring productRoot = root;
  ZFunction::TrimVersionFolder(productRoot);
  const bool noRoot = ZFunction::IsDriveOrEmpty(productRoot);
  productRoot = ZFunction::WithSlash(productRoot);
  std::wstring remaining;
  for (const std::wstring& name : SplitVersions(list)) {
    if (!IsFolderName(name)) continue;  // names no version folder: nothing to wait for
    if (noRoot || !DeleteProductFolders(productRoot + name)) AppendName(remaining, name);
  }
  return remaining;
}

std::wstring ZClear::DeleteReplacedFolders(const std::wstring& productRoot, const std::wstring& list) const {
  const std::wstring root = ZFunction::WithoutTrailingSeparators(productRoot);
  std::vector<std::wstring> inUse;
  ZFunction::FindProcessPathsByName(suite::InUsePrograms(), inUse);
  std::wstring kept;
  for (const std::wstring& name : SplitVersions(list)) {
    const std::wstring folder = root + L"\\" + name;
    g_Log.Log("delete the  %ws folder when v2 update", folder.c_str());
    if (!IsFolderName(name) || !ZFunction::FolderExists(folder)) continue;
    // A program started from the folder holds it; with the separator, 9.0.0.2 does not
    // match a program of 9.0.0.20.
    const std::wstring prefix = folder + L"\\";
    const bool used = std::any_of(inUse.begin(), inUse.end(), [&prefix](const std::wstring& path) {
      return ZFunction::ContainsNoCase(path, prefix) >= 0;
    });
    if (used || !ZFunction::DeleteFolder(folder, Context.SuiteDrivers, true)) AppendName(kept, name);
  }
  return kept;
}

std::wstring ZClear::ClearReplacedVersions(const std::wstring& currentPath) {
  std::wstring productRoot = currentPath;
  ZFunction::TrimVersionFolder(productRoot);
  productRoot = ZFunction::WithoutTrailingSeparators(productRoot);
  if (ZFunction::IsDriveOrEmpty(productRoot)) return Context.User.WaitList();

  std::wstring list = Context.User.WaitList();
  const std::wstring lists = install_config::TakeVersionLists(productRoot + L"\\" + Context.OldVersion);
  if (!list.empty() && !lists.empty() && list.back() != L';') list += L';';
  list += lists;

  // The installation just made is never one that it replaced.
  const std::wstring current = ZFunction::WithoutTrailingSeparators(currentPath);
  std::wstring candidates;
  for (const std::wstring& name : SplitVersions(list))
    if (_wcsicmp((productRoot + L"\\" + name).c_str(), current.c_str()) != 0) AppendName(candidates, name);

  const std::wstring kept = DeleteReplacedFolders(productRoot, candidates);
  g_Log.Log("the %ws because the process is using and can  not delete.", kept.c_str());
  Context.User.StoreWaitList(kept);
  return kept;
}

std::vector<std::wstring> ZClear::SplitVersions(const std::wstring& list) {
  std::vector<std::wstring> names;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(L';', start);
    if (end == std::wstring::npos) end = list.size();
    const std::wstring name = list.substr(start, end - start);
    if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    start = end + 1;
  }
  return names;
}
