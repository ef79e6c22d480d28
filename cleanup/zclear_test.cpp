// Removing older versions: the wait list, the folders an update replaced, the product folders,
// the registry clean-ups and both clean-ups of an old installation. The user's side is a
// recording one; the test tool plays the suite's programs; shortcuts are plain files.
#include "cleanup/zclear.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include "cleanup/old_entries.h"
#include "suite/install_config.h"
#include "suite/suite_programs.h"
#include "suite/suite_registry.h"
#include "sys/file_utils.h"
#include "sys/system_info.h"
#include "sys/registry.h"
#include "tests/support/recording_user_side.h"
#include "tests/support/test_support.h"

using testing_support::Exists;
using testing_support::TempFolder;

namespace {

const wchar_t* const kProductFolders[] = {L"zsee", L"office6", L"templates", L"utility", L"media",
                                          L"help", L"downloads", L"oem",     L"wtoolex"};
const wchar_t* const kShortcuts[] = {L"Lumen文字.lnk", L"Lumen表格.lnk", L"Lumen演示.lnk"};
const wchar_t kMenu[] = L"Lumen Clear Old";

void MakeFile(const std::wstring& path) {
  ZFunction::CreateFolderTree(path.substr(0, path.rfind(L'\\')));
  testing_support::WriteBytes(path, "x");
}

void MakeProduct(const std::wstring& root) {
  for (const wchar_t* folder : kProductFolders) MakeFile(ZFunction::WithSlash(root) + folder + L"\\sub\\file.txt");
  MakeFile(ZFunction::WithSlash(root) + L"office6\\lmo.dll");  // what makes it an installation of the suite
}

// A suite program started from `path`, running until killed.
void StartHolder(testing_support::Process& process, const std::wstring& path) {
  ZFunction::CreateFolderTree(path.substr(0, path.rfind(L'\\')));
  CopyFileW((testing_support::BinFolder() + L"testtool.exe").c_str(), path.c_str(), FALSE);
  ASSERT_TRUE(process.Start(path, L"sleep 60000"));
  Sleep(200);
}

std::wstring Special(int csidl) { return ZFunction::WithSlash(ZFunction::GetSpecialFolder(csidl)); }

bool RegExists(HKEY root, const std::wstring& key, const wchar_t* value = nullptr) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  const bool found = !value || RegQueryValueExW(handle, value, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(handle);
  return found;
}

// A key with a value and two levels of subkeys, so deleting it has to go depth first.
void MakeTree(HKEY root, const std::wstring& key) {
  ZFunction::WriteRegString(root, (key + L"\\a\\b").c_str(), L"v", L"1");
  ZFunction::WriteRegString(root, (key + L"\\c").c_str(), L"v", L"1");
}

// The suite's keys the tests make, in both hives (the maker's key only when nothing else is in it).
void ClearSuiteRegistry() {
  for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    RegDeleteTreeW(root, suite::kUninstallKey);
    RegDeleteTreeW(root, L"Software\\Tallis\\Office");
    RegDeleteKeyW(root, L"Software\\Tallis");
  }
}

class ZClearVersions : public ::testing::Test {
 protected:
  void SetUp() override { ClearSuiteRegistry(); }
  void TearDown() override { ClearSuiteRegistry(); }
  void Make(std::initializer_list<const wchar_t*> versions) {
    for (const wchar_t* version : versions) MakeProduct(root_ + version);
  }

  ZClear Clear(bool update = false, const std::wstring& oldVersion = L"") {
    return ZClear(CleanupContext{user_, {}, update, oldVersion});
  }

  TempFolder dir_;
  const std::wstring root_ = dir_ / L"Lumen Office\\";
  RecordingUserSide user_;
  ZClear clear_ = Clear();
};

TEST_F(ZClearVersions, WaitListDeletesTheProductFoldersOfTheListedVersions) {
  Make({L"9.0.0.1", L"9.0.0.2", L"9.0.0.3"});
  MakeFile(root_ + L"9.0.0.2\\readme.txt");
  MakeFile(root_ + L"9.0.0.2\\mine\\notes.txt");
  MakeFile(dir_ / L"outside\\office6\\keep.txt");
  EXPECT_EQ(clear_.ProcessWaitList(root_ + L"9.0.0.3\\", L"9.0.0.1;;9.0.0.2;..\\outside;9.9.9.9;"), L"");
  EXPECT_FALSE(Exists(root_ + L"9.0.0.1")) << "emptied, so removed";
  for (const wchar_t* folder : kProductFolders) EXPECT_FALSE(Exists(root_ + L"9.0.0.2\\" + folder)) << folder;
  EXPECT_TRUE(Exists(root_ + L"9.0.0.2\\readme.txt"));
  EXPECT_TRUE(Exists(root_ + L"9.0.0.2\\mine\\notes.txt"));
  EXPECT_TRUE(Exists(root_ + L"9.0.0.3\\office6"));
  EXPECT_TRUE(Exists(dir_ / L"outside\\office6\\keep.txt")) << "a name is a folder, never a path";

  EXPECT_EQ(Clear(true).ProcessWaitList(root_, L"9.0.0.3"), L"");
  EXPECT_TRUE(Exists(root_ + L"9.0.0.3\\downloads\\sub\\file.txt")) << "an update keeps the downloads";
  EXPECT_FALSE(Exists(root_ + L"9.0.0.3\\office6"));
  EXPECT_EQ(clear_.ProcessWaitList(L"", L"9.0.0.3"), L"9.0.0.3") << "without a root nothing is deleted";
  EXPECT_FALSE(clear_.DeleteProductFolders(L"C:\\")) << "nor below a drive";
}

TEST_F(ZClearVersions, ReplacedVersionsInUseStayOnTheWaitList) {
  Make({L"9.0.0.1", L"9.0.0.2", L"9.0.0.4", L"9.1.0.0"});
  const std::wstring ini = root_ + L"9.0.0.3\\utility\\install.ini";
  ZFunction::CreateFolderTree(root_ + L"9.0.0.3\\utility");
  install_config::WriteProfileString(ini, L"update", L"lowerversion", L"9.1.0.0");
  install_config::WriteProfileString(ini, L"update", L"higherversion", L"9.0.0.4");
  user_.waitList = L"9.0.0.1;;9.0.0.2";
  testing_support::Process newer, lumen;
  StartHolder(newer, root_ + L"9.0.0.20\\office6\\deck.exe");  // holds 9.0.0.20, not 9.0.0.2
  StartHolder(lumen, root_ + L"9.0.0.2\\office6\\lumen.exe");

  EXPECT_EQ(Clear(false, L"9.0.0.3").ClearReplacedVersions(root_ + L"9.1.0.0\\"), L"9.0.0.2");
  lumen.Kill();
  lumen.Wait();
  EXPECT_EQ(user_.calls, std::vector<std::wstring>{L"StoreWaitList 9.0.0.2"});
  EXPECT_TRUE(Exists(root_ + L"9.0.0.2\\media\\sub\\file.txt")) << "a folder in use is not touched";
  EXPECT_FALSE(Exists(root_ + L"9.0.0.1"));
  EXPECT_FALSE(Exists(root_ + L"9.0.0.4"));
  EXPECT_TRUE(Exists(root_ + L"9.1.0.0\\office6")) << "never the installation just made";
  for (const wchar_t* key : {L"lowerversion", L"higherversion"})
    EXPECT_EQ(install_config::ReadProfileString(ini, L"update", key, L"<none>", 64), L"");

  clear_.ClearReplacedVersions(root_ + L"9.1.0.0\\");  // the next update, the program ended
  newer.Kill();
  newer.Wait();
  EXPECT_FALSE(Exists(root_ + L"9.0.0.2"));
  EXPECT_EQ(user_.waitList, L"");
}

// Every key (value null) or value each clean-up deletes, and neighbours neither may touch.
// A null root stands for the user's hive, here a key below HKCU.
struct Entry {
  HKEY root;
  const wchar_t* key;
  const wchar_t* value;
  bool machine, user;  // deleted by the machine clean-up, by the user clean-up
};
const wchar_t kCommon[] = L"Software\\Tallis\\Office\\6.0\\Common";
const wchar_t kUserInfo[] = L"Software\\Tallis\\Office\\6.0\\Common\\UserInfo";
const wchar_t kRun[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const Entry kEntries[] = {
    {HKEY_LOCAL_MACHINE, L"Software\\Tallis\\Office\\6.0\\Common\\updateinfo", nullptr, true, true},
    {HKEY_CLASSES_ROOT, L".uof", nullptr, true, true}, {HKEY_CLASSES_ROOT, L"lmotheme", nullptr, true, true},
    {HKEY_CLASSES_ROOT, L"LumenSkin.LumenSkinAddin", nullptr, true, true},
    {HKEY_CLASSES_ROOT, L"Lumen\u9694\u884c\u7740\u8272.connect", nullptr, true, true},
    {HKEY_CLASSES_ROOT, L"Lumen_auto_file", nullptr, true, true},
    {HKEY_CLASSES_ROOT, L"Lumendoc.lumendoc", nullptr, true, true},
    {HKEY_CLASSES_ROOT, L"Grid_auto_file", nullptr, true, true},
    {HKEY_CLASSES_ROOT, L"Uof_auto_file", nullptr, true, true},
    {HKEY_LOCAL_MACHINE, kRun, L"lumenautoupdate", true, true},
    {HKEY_LOCAL_MACHINE, suite::kUninstallKey, nullptr, true, false},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\tallis\\Office\\6.0", nullptr, true, true},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\tallis\\Office\\LUMEN", nullptr, true, true},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\tallis\\Office\\Addins", nullptr, true, true},
    {nullptr, kUserInfo, L"WhatNewLastCheckDate", true, true},
    {nullptr, kUserInfo, L"WhatNewLastCheckFlag", true, true},
    {nullptr, kUserInfo, L"WhatNewVersion", true, true},
    {nullptr, L"Software\\Tallis\\Office\\6.0\\Common\\Theme", nullptr, true, true},
    {nullptr, L"Software\\Tallis\\Office\\6.0\\Common\\plgpf", nullptr, true, true},
    {nullptr, kCommon, L"SaveDump", true, true}, {nullptr, kCommon, L"Version", false, true},
    {nullptr, kCommon, L"PersonalVersionNumber", false, true},
    {nullptr, kCommon, L"ProfessionVersionNumber", false, true},
    {nullptr, kCommon, L"InstallRoot", false, true}, {nullptr, kCommon, L"DisplayName", false, true},
    {nullptr, kCommon, L"DistSrc", false, true}, {nullptr, kCommon, L"DefaultLanguage", false, true},
    {nullptr, suite::kUninstallKey, nullptr, false, true}, {nullptr, L"Environment", L"LUMEN_HOME", false, true},
    // Neighbours.
    {HKEY_CLASSES_ROOT, L"Lumen\u9694\u884c.connect", nullptr, false, false},
    {HKEY_CLASSES_ROOT, L".uofx", nullptr, false, false}, {HKEY_LOCAL_MACHINE, kRun, L"lumenkeep", false, false},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tallis Office 2", nullptr, false,
     false},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\tallis\\Office\\Keep", nullptr, false, false},
    {nullptr, kUserInfo, L"Keep", false, false}, {nullptr, kCommon, L"Keep", false, false},
    {nullptr, L"Software\\Tallis\\Office\\6.0\\Common\\Keep", nullptr, false, false},
    {nullptr, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tallis Office 2", nullptr, false, false},
};

class RegistryCleanup : public ::testing::Test {
 protected:
  void SetUp() override {
    Clear();
    RegCreateKeyExW(HKEY_CURRENT_USER, kHive, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hive_, nullptr);
  }
  void TearDown() override {
    RegCloseKey(hive_);
    Clear();
  }
  void Clear() {
    ClearSuiteRegistry();
    RegDeleteTreeW(HKEY_CURRENT_USER, kHive);
    for (const Entry& e : kEntries) {
      if (!e.root) continue;
      if (e.value) ZFunction::DeleteRegValue(e.root, e.key, e.value);
      else RegDeleteTreeW(e.root, e.key);
    }
  }
  HKEY Root(const Entry& e) const { return e.root ? e.root : hive_; }

  static constexpr const wchar_t* kHive = L"Software\\LumenClearTest";
  HKEY hive_ = nullptr;
};

TEST_F(RegistryCleanup, EachCleanupDeletesItsKeysAndValuesAndNothingBeside) {
  for (const bool user : {false, true}) {
    for (const Entry& e : kEntries) {
      if (e.value) ZFunction::WriteRegString(Root(e), e.key, e.value, L"x");
      else MakeTree(Root(e), e.key);
    }
    if (user) old_entries::DeleteUserEntries(hive_);
    else old_entries::DeleteMachineEntries(hive_);
    for (const Entry& e : kEntries)
      EXPECT_EQ(RegExists(Root(e), e.key, e.value), !(user ? e.user : e.machine))
          << (user ? "user " : "machine ") << testing_support::Narrow(e.key) << " "
          << testing_support::Narrow(e.value ? e.value : L"");
  }
}

TEST_F(RegistryCleanup, LumenHomeLeavesThePath) {
  old_entries::RemoveLumenHome(hive_);
  EXPECT_FALSE(RegExists(hive_, L"Environment")) << "nothing is made";
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"%LUMEN_HOME%", nullptr},  // null: the PATH goes
      {L"%LUMEN_HOME%;%LUMEN_HOME%", nullptr},
      {L"%LUMEN_HOME%;C:\\bin;%LUMEN_HOME%", L"C:\\bin"},
      {L"C:\\a;%LUMEN_HOME%;C:\\b", L"C:\\a;C:\\b"},
      {L"C:\\a;%TEMP%", L"C:\\a;%TEMP%"}};
  for (const auto& [before, after] : cases) {
    ZFunction::WriteRegString(hive_, L"Environment", L"LUMEN_HOME", L"C:\\Lumen\\office6");
    ZFunction::WriteRegString(hive_, L"Environment", L"PATH", before);
    old_entries::RemoveLumenHome(hive_);
    EXPECT_FALSE(RegExists(hive_, L"Environment", L"LUMEN_HOME"));
    DWORD type = REG_NONE;
    const bool found = RegGetValueW(hive_, L"Environment", L"PATH", RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr,
                                    nullptr) == ERROR_SUCCESS;
    EXPECT_EQ(found, after != nullptr) << testing_support::Narrow(before);
    if (!after) continue;
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(ZFunction::ReadRegString(hive_, L"Environment", L"PATH"), after);
  }
}

class OldVersion : public ::testing::Test {
 protected:
  void SetUp() override { ClearSuiteRegistry(); }
  void TearDown() override {
    ClearSuiteRegistry();
    for (const bool allUsers : {false, true}) {
      for (const std::wstring& file : MenuFiles(allUsers)) DeleteFileW(file.c_str());
      const std::wstring programs = Special(allUsers ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS);
      RemoveDirectoryW((programs + kMenu).c_str());
      RemoveDirectoryW((programs + L"Lumen Office 个人版 抢鲜版").c_str());
    }
    ZFunction::DeleteFolder(Special(CSIDL_COMMON_APPDATA) + L"tallis");
  }
  // A start-menu folder's shortcut, the early-access edition's, and the desktop shortcuts.
  static std::vector<std::wstring> MenuFiles(bool allUsers) {
    const std::wstring programs = Special(allUsers ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS);
    const std::wstring desktop = Special(allUsers ? CSIDL_COMMON_DESKTOPDIRECTORY : CSIDL_DESKTOPDIRECTORY);
    return {programs + kMenu + L"\\Lumen.lnk", programs + L"Lumen Office 个人版 抢鲜版\\Lumen.lnk",
            desktop + kShortcuts[0], desktop + kShortcuts[1], desktop + kShortcuts[2]};
  }
  static void MakeMenu(bool allUsers) {
    for (const std::wstring& file : MenuFiles(allUsers)) MakeFile(file);
  }
  static void ExpectMenuGone(bool allUsers) {
    for (const std::wstring& file : MenuFiles(allUsers)) EXPECT_FALSE(Exists(file)) << testing_support::Narrow(file);
  }
  static void Register(HKEY root, const std::wstring& location, const wchar_t* menu) {
    ZFunction::WriteRegString(root, suite::kUninstallKey, L"UninstallString", L"uninst.exe");
    ZFunction::WriteRegString(root, suite::kUninstallKey, L"LocationRoot", location);
    if (menu) ZFunction::WriteRegString(root, suite::kUninstallKey, L"StartMenuDir", menu);
  }

  TempFolder dir_;
  const std::wstring product_ = dir_ / L"Vendor\\Lumen Office\\";
  RecordingUserSide user_;
  ZClear clear_{CleanupContext{user_}};
};

TEST_F(OldVersion, ClearOldVersionRemovesTheUsersInstallation) {
  MakeProduct(product_);
  MakeFile(product_ + L"readme.txt");
  MakeProduct(product_ + L"9.0.0.0");
  ZFunction::CreateFolderTree(product_ + L"utility");
  install_config::WriteProfileString(product_ + L"utility\\install.ini", L"update", L"lowerversion", L"9.0.0.0");
  user_.waitList = L"8.0.0.1";
  user_.installationRoot = product_;
  clear_.ClearOldVersion();
  EXPECT_TRUE(Exists(product_ + L"office6")) << "no start-menu name, no clean-up";
  EXPECT_TRUE(user_.calls.empty());

  user_.installationRoot = product_ + L"9.0.0.1\\";  // the version folder is dropped
  user_.startMenuDir = kMenu;
  ZFunction::CreateFolderTree(dir_ / L"Vendor\\empty\\inner");
  EXPECT_EQ(clear_.ClearOldVersion(), L"");
  for (const wchar_t* folder : kProductFolders) EXPECT_FALSE(Exists(product_ + folder)) << folder;
  EXPECT_FALSE(Exists(product_ + L"9.0.0.0")) << "a version waiting to be removed";
  EXPECT_TRUE(Exists(product_ + L"readme.txt"));
  // The installation's tools unregister it in the user's session, then the user's entries go.
  std::vector<std::wstring> expected = {L"Run " + product_ + L"wtoolex\\lumenupdate.exe -deltasks -1 0"};
  for (const wchar_t* name : {L"-unassoword", L"-unassoexcel", L"-unassopowerpnt", L"-unreg_lumen", L"-unreg_deck",
                              L"-unreg_grid", L"-unregzsee", L"-unreg_lmo", L"-unreg_zde", L"-unregoledefhndlr"})
    expected.push_back(L"Run " + product_ + L"office6\\lmomisc.exe " + name + L" -1 0");
  expected.insert(expected.end(), {L"StoreWaitList 8.0.0.1;9.0.0.0;", L"StoreWaitList ", L"DeleteUserKeys",
                                   std::wstring(L"DeleteStartMenu ") + kMenu});
  EXPECT_EQ(user_.calls, expected);

  // A root without a version folder: the empty folders beside it go as well.
  DeleteFileW((product_ + L"readme.txt").c_str());
  MakeProduct(product_);
  user_.installationRoot = dir_ / L"Vendor\\Lumen Office";
  clear_.ClearOldVersion();
  EXPECT_FALSE(Exists(dir_ / L"Vendor"));
}

TEST_F(OldVersion, RemoveOldRegistrationNeedsTheWholeEntry) {
  TempFolder roaming;
  user_.appData = roaming.Path();
  const std::wstring common = Special(CSIDL_COMMON_APPDATA);
  MakeFile(common + L"tallis\\office6\\CUSTOM.DIC");
  MakeFile(common + L"tallis\\lumen\\normal.lumen");
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring shellNew = ZFunction::WithSlash(windows) + L"ShellNew\\";
  const bool hadShellNew = Exists(shellNew);
  MakeFile(shellNew + L"newfile.grid");
  MakeFile(shellNew + L"lumenclear.txt");
  MakeProduct(product_);
  MakeMenu(true);
  Register(HKEY_LOCAL_MACHINE, product_, nullptr);
  EXPECT_EQ(clear_.RemoveOldRegistration(), L"");
  EXPECT_TRUE(user_.calls.empty());
  EXPECT_TRUE(Exists(product_ + L"office6"));
  EXPECT_TRUE(Exists(MenuFiles(true)[0]));
  EXPECT_TRUE(Exists(shellNew + L"newfile.grid"));
  EXPECT_TRUE(RegExists(HKEY_LOCAL_MACHINE, suite::kUninstallKey));

  Register(HKEY_LOCAL_MACHINE, product_, kMenu);
  EXPECT_EQ(clear_.RemoveOldRegistration(), kMenu);
  EXPECT_EQ(user_.calls, std::vector<std::wstring>{L"ForgetMachineInstallation"});
  EXPECT_EQ(testing_support::ReadBytes(roaming / L"tallis\\office6\\CUSTOM.DIC"), "x");
  EXPECT_FALSE(Exists(common + L"tallis\\office6"));
  EXPECT_FALSE(Exists(common + L"tallis\\lumen"));
  EXPECT_FALSE(Exists(shellNew + L"newfile.grid"));
  EXPECT_TRUE(Exists(shellNew + L"lumenclear.txt"));
  DeleteFileW((shellNew + L"lumenclear.txt").c_str());
  if (!hadShellNew) RemoveDirectoryW(shellNew.c_str());
  EXPECT_FALSE(RegExists(HKEY_LOCAL_MACHINE, suite::kUninstallKey));
  EXPECT_FALSE(Exists(product_));
  ExpectMenuGone(true);
}

}  // namespace

TEST(StartMenu, OnlyAPlainFolderNameIsDeleted) {
  const std::wstring programs = Special(CSIDL_PROGRAMS);
  MakeFile(programs + L"Lumen Outer\\Inner\\keep.lnk");
  for (const wchar_t* name : {L"Lumen Outer\\Inner", L"Lumen Outer/Inner", L"..", L".", L"C:\\Lumen Outer"})
    ZClear::DeleteStartMenu(name, ZClear::MenuOwner::CurrentUser);
  EXPECT_TRUE(testing_support::Exists(programs + L"Lumen Outer\\Inner\\keep.lnk"));
  ZClear::DeleteStartMenu(L"Lumen Outer", ZClear::MenuOwner::CurrentUser);
  EXPECT_FALSE(testing_support::Exists(programs + L"Lumen Outer"));
}
