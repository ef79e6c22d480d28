// Silent and update installations of the demo suite under Wine: the packed setup program is
// started as a user would start it, and what it leaves is read back: the files, the profile
// files, the registry values, the log, and the journal in which the suite's stand-in programs
// record every start.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "suite/install_config.h"
#include "sys/file_utils.h"
#include "sys/system_info.h"
#include "sys/registry.h"
#include "suite/suite_programs.h"
#include "tests/e2e/demo_install.h"
#include "tests/support/test_support.h"

using testing_support::TempFolder;
using namespace demo_install;
using testing_support::LogPath;
using ZFunction::GetSpecialFolder;

namespace {

// The report values the suite's library finds in the installation: the payload's info element.
const std::wstring kPayloadInfo =
    L" [iid=demo-iid tid1=demo tid2=web tod1= tod2= productid=lumen-demo versiontypes=personal]";

// The payload folders below %TEMP%\lumen.
std::set<std::wstring> PayloadFolders() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring parent = ZFunction::WithSlash(temp) + L"lumen\\";
  std::set<std::wstring> folders;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((parent + L"~*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return folders;
  do folders.insert(parent + found.cFileName + L"\\");
  while (FindNextFileW(find, &found));
  FindClose(find);
  return folders;
}

TEST_F(DemoInstall, ARunRemovesThePayloadFolderOfAKilledRun) {
  const std::set<std::wstring> before = PayloadFolders();
  testing_support::Process killed;
  ASSERT_TRUE(killed.Start(exe_, L"-s", dir_.Path()));
  std::wstring left;  // the killed run's folder, once it holds its in-use mark
  for (DWORD start = GetTickCount(); left.empty() && GetTickCount() - start < 20000; Sleep(2))
    for (const std::wstring& folder : PayloadFolders())
      if (!before.count(folder) && ZFunction::PathExists(folder + L"~inuse")) left = folder;
  killed.Kill();
  ASSERT_FALSE(left.empty());
  ASSERT_TRUE(ZFunction::PathExists(left));

  ASSERT_EQ(Install(L"-s"), 0) << log_;
  EXPECT_FALSE(ZFunction::PathExists(left));
  EXPECT_TRUE(Logged("remove the temporary folder of a run that ended: ")) << log_;
}

TEST_F(DemoInstall, SilentInstallIntoTheDefaultFolderRunsTheListForSilentInstalls) {
  const size_t payloads = PayloadFolders().size();
  ASSERT_EQ(Install(L"-s"), 0) << log_;
  EXPECT_LE(PayloadFolders().size(), payloads) << "the run removed its payload folder";
  const std::wstring folder = DefaultRoot() + kVersion + L"\\";
  EXPECT_TRUE(Logged("install end, return:1")) << log_;
  EXPECT_TRUE(Logged("current install type is silent."));
  EXPECT_TRUE(ZFunction::PathExists(folder + L"office6\\lumen.exe"));
  EXPECT_TRUE(ZFunction::PathExists(folder + L"office6\\lmo.dll"));

  const std::wstring options = L" /AssoToWord=1 /AssoToPowerpoint=1 /AssoToExcel=1 /SaveToMso=1 /DesktopShortcut=1";
  const std::vector<Start> expected = {
      {L"utility\\config.exe", options.substr(1) + L" /StartMenuDirectory=\"Lumen Office\" /Lang=2052 /D=" + folder},
      {L"office6\\lmomisc.exe", L"-regmtfont"},
      {L"office6\\setlang.exe", L"-setlngdef 2052"},
      {L"office6\\lmomisc.exe", L"-assoword"},
      {L"office6\\lmomisc.exe", L"-assoexcel"},
      {L"office6\\lmomisc.exe", L"-assopowerpnt"},
      {L"office6\\lmomisc.exe", L"-saveas_mso"},
      {L"office6\\lmomisc.exe", L"-createlink startmenu \"Lumen Office\""},
      {L"office6\\lmomisc.exe", L"-createlink desktop 2052"},
      {L"office6\\lumenupdate.exe", L"-createtasks"},
      {L"office6\\zlumenlive.exe", L"/RegServer"},
      // The report through the suite's library: a user without an identifier yet.
      {L"office6\\lmo.dll", L"_lmo_SendInfoCellect 5"},
      {L"office6\\lmo.dll", L"_lmo_SIC 1|R4T2H8|/lumen/client/info|mso_infoc|4|5C3A9E17D2B04F68A1E7C93B0D46F2A8|" +
                                 std::wstring(kVersion) + L"|0.0|0" + kPayloadInfo},
      {L"office6\\cirrussetup.exe", L"/S /InstallType=setup"},
      {L"utility\\config.exe", L"/SetupConfig=last /WebPage=0"},
      {L"wtoolex\\desktoptip.exe", L"-setup"},  // a plain silent install shows the tip, not the programs
  };
  EXPECT_EQ(Journal(folder), expected);
  EXPECT_TRUE(Logged("Not Set ChannelNo."));
  EXPECT_TRUE(Logged("Not Start Lumen."));
  EXPECT_TRUE(Logged("Not Start cirrus."));
  EXPECT_TRUE(Logged("DownloadRecommend  is not a silent process,beacuse it is install process."));

  // The built-in file steps.
  EXPECT_TRUE(ZFunction::PathExists(folder + L"office6\\data\\lmoinfo.dat"));
  EXPECT_FALSE(ZFunction::PathExists(folder + L"utility\\lmoinfo.dat"));
  EXPECT_FALSE(ZFunction::PathExists(folder + L"utility\\setuptemp.dat"));
  EXPECT_FALSE(ZFunction::PathExists(folder + L"office6\\cirrussetup.exe"));
  EXPECT_TRUE(ZFunction::PathExists(folder + L"wtoolex\\lumenrecommended.exe"));
  EXPECT_TRUE(ZFunction::PathExists(folder + L"wtoolex\\qt.conf"));
  EXPECT_FALSE(ZFunction::PathExists(folder + L"office6\\lumenrecommended.exe"));
  EXPECT_FALSE(ZFunction::PathExists(folder + L"office6\\downloadtool.exe"));

  // The profile files of the new installation.
  const std::wstring ini = folder + L"utility\\install.ini";
  EXPECT_EQ(Profile(ini, L"installinfo", L"startmenudir"), L"Lumen Office");
  EXPECT_EQ(Profile(ini, L"installinfo", L"savetomso"), L"1");
  EXPECT_EQ(Profile(ini, L"installinfo", L"newinstall"), L"true");
  EXPECT_EQ(Profile(ini, L"update", L"needAdmin"), L"false") << "below the local application data folder";
  EXPECT_EQ(Profile(ini, L"setupexepath", L"pathname"), exe_);
  EXPECT_EQ(Profile(ini, L"update", L"lowerversion"), L"<missing>");
  EXPECT_EQ(Profile(folder + L"office6\\cfgs\\setup.cfg", L"version", L"Version"), L"4720");
  EXPECT_EQ(Profile(folder + L"office6\\2052\\setup.cfg", L"Local", L"UILanguage"), L"2052");

  // The configuration tool registered the installation for this user; its shortcuts exist.
  EXPECT_EQ(ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kUninstallKey, L"StartMenuDir"), L"Lumen Office");
  EXPECT_FALSE(ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kUninstallKey, L"LocationRoot").empty());
  EXPECT_TRUE(ZFunction::PathExists(GetSpecialFolder(CSIDL_PROGRAMS) + L"\\Lumen Office\\Lumen文字.lnk"));
  EXPECT_TRUE(ZFunction::PathExists(GetSpecialFolder(CSIDL_DESKTOPDIRECTORY) + L"\\Lumen文字.lnk"));
}

// Drive S: is a 4 MiB file system (see the harness): too small for the suite. The log names the
// file that could not be written and the reason, the half-written version folder goes again, and
// what the install folder held before stays.
TEST_F(DemoInstall, AFullDriveLeavesNoHalfWrittenVersion) {
  ULARGE_INTEGER free{};
  if (!GetDiskFreeSpaceExW(L"S:\\", &free, nullptr, nullptr) || free.QuadPart > (64u << 20))
    GTEST_SKIP() << "no small drive S: on this machine";
  const std::wstring root = L"S:\\suite\\";
  ZFunction::DeleteFolder(root);
  ASSERT_TRUE(ZFunction::CreateFolderTree(root));
  testing_support::WriteBytes(root + L"notes.txt", "mine");

  EXPECT_EQ(Install(L"-s -p " + root), 2);
  EXPECT_TRUE(Logged("Extract write error:112, path:") || Logged("Extract create file error:112, path:")) << log_;
  EXPECT_FALSE(ZFunction::PathExists(root + kVersion));
  EXPECT_EQ(testing_support::ReadBytes(root + L"notes.txt"), "mine");
  ZFunction::DeleteFolder(root);
}

// Points the current user's local and roaming application-data folders somewhere else while it
// lives; the folders and their contents go when it ends.
class UserFoldersMoved {
 public:
  explicit UserFoldersMoved(const std::wstring& base) : base_(base) {
    for (const auto& [name, sub] : kFolders) {
      saved_.push_back(ZFunction::ReadRegString(HKEY_CURRENT_USER, kKey, name));
      ZFunction::CreateFolderTree(base_ + sub);
      Set(name, base_ + sub);
    }
  }
  ~UserFoldersMoved() {
    for (size_t i = 0; i < 2; ++i) Set(kFolders[i].first, saved_[i]);
    ZFunction::DeleteFolder(base_);
  }

 private:
  static constexpr wchar_t kKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  static constexpr std::pair<const wchar_t*, const wchar_t*> kFolders[2] = {{L"Local AppData", L"\\Local"},
                                                                           {L"AppData", L"\\Roaming"}};
  static void Set(const wchar_t* name, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr)) return;
    RegSetValueExW(key, name, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }
  std::wstring base_;
  std::vector<std::wstring> saved_;
};

// A user whose folders hold characters the system code page lacks: every value handed from the
// user-level copy to the installing copy arrives whole.
TEST_F(DemoInstall, UserFoldersOutsideTheSystemCodePage) {
  const std::wstring name = L"한글 ภาษา";
  BOOL lossy = FALSE;
  WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, nullptr, 0, nullptr, &lossy);
  ASSERT_TRUE(lossy) << "the name must lie outside the code page for this test to mean anything";
  const std::wstring base = GetSpecialFolder(CSIDL_PROFILE) + L"\\" + name;
  UserFoldersMoved moved(base);
  ASSERT_EQ(GetSpecialFolder(CSIDL_LOCAL_APPDATA), base + L"\\Local");

  EXPECT_EQ(Install(L"-s"), 0);
  const std::string log = testing_support::ReadBytes(base + L"\\Roaming\\tallis\\office6\\log\\setup\\lumensetup.log");
  EXPECT_NE(log.find("user process mode:1"), std::string::npos) << "the log is in the user's roaming folder";
  const std::wstring folder = base + L"\\Local\\Tallis\\Lumen Office\\" + kVersion + L"\\";
  EXPECT_TRUE(ZFunction::PathExists(folder + L"office6\\lumen.exe")) << "installed into the default folder";
  EXPECT_EQ(Profile(folder + L"utility\\install.ini", L"update", L"needAdmin"), L"false");
}

TEST_F(DemoInstall, OptionsFolderAndOemFileRewriteTheToolsCommandLines) {
  PlaceOemFile();  // channel 123, start-menu folder "Lumen Office OEM", LaunchLumen 1
  TempFolder target;
  ASSERT_EQ(Install(L"-s -notDefaultOpen -notDefaultSave -notCreateIcons -p " + target.Path()), 0) << log_;
  const std::wstring folder = target.Path() + kVersion + L"\\";
  EXPECT_TRUE(ZFunction::PathExists(folder + L"office6\\lumen.exe")) << log_;

  const std::vector<Start> expected = {
      {L"utility\\config.exe",
       L"/AssoToWord=0 /AssoToPowerpoint=0 /AssoToExcel=0 /SaveToMso=0 /DesktopShortcut=0"
       L" /StartMenuDirectory=\"Lumen Office OEM\" /Lang=2052 /D=" + folder},
      {L"office6\\lmomisc.exe", L"-regmtfont"},
      {L"office6\\setlang.exe", L"-setlngdef 2052"},
      {L"office6\\lmomisc.exe", L"-saveas_lmo"},
      {L"office6\\lmomisc.exe", L"-createlink startmenu \"Lumen Office OEM\""},
      {L"office6\\lmomisc.exe", L"-distsrc 123"},
      {L"office6\\lumenupdate.exe", L"-createtasks"},
      {L"office6\\zlumenlive.exe", L"/RegServer"},
      {L"office6\\lmo.dll", L"_lmo_SendInfoCellect 5"},
      {L"office6\\lmo.dll", L"_lmo_SIC 1|R4T2H8|/lumen/client/info|mso_infoc|4|5C3A9E17D2B04F68A1E7C93B0D46F2A8|" +
                                 std::wstring(kVersion) + L"|0.0|0" + kPayloadInfo},
      {L"office6\\cirrussetup.exe", L"/S /StartMenuDirectory=\"Lumen Office OEM\" /InstallType=setup"},
      {L"utility\\config.exe", L"/SetupConfig=last /WebPage=0"},
      {L"office6\\lumen.exe", L""},  // LaunchLumen 1: the word processor instead of the tip
  };
  EXPECT_EQ(Journal(folder), expected);
  EXPECT_TRUE(Logged("Not Set AssoToMSOWord."));
  EXPECT_TRUE(Logged("Not Create Desktop Icons."));
  EXPECT_TRUE(Logged("Not Start desktoptip."));
  EXPECT_TRUE(Logged("Modified Start Menu Directory Name = Lumen Office OEM"));

  const std::wstring ini = folder + L"utility\\install.ini";
  EXPECT_EQ(Profile(ini, L"installinfo", L"assoword"), L"0");
  EXPECT_EQ(Profile(ini, L"installinfo", L"desktopshortcuts"), L"0");
  EXPECT_EQ(Profile(ini, L"installinfo", L"startmenudir"), L"Lumen Office OEM");
  EXPECT_EQ(Profile(ini, L"update", L"needAdmin"), L"true") << "outside the local application data folder";
  // The OEM file travels into the installation with its source folder.
  EXPECT_EQ(Profile(folder + L"office6\\cfgs\\oem.ini", L"setup", L"SourceDir"), L"oeminfo");
  EXPECT_TRUE(ZFunction::FolderExists(folder + L"office6\\cfgs\\oeminfo"));
  // A machine-wide folder: the tool registered it for the machine.
  EXPECT_EQ(testing_support::ReadString(HKEY_LOCAL_MACHINE, suite::kUninstallKey, L"StartMenuDir"), L"Lumen Office OEM");
}

TEST_F(DemoInstall, FolderSwitchD) {
  TempFolder target;
  ASSERT_EQ(Install(L"-s -D " + target.Path() + L"Suite"), 0) << log_;
  EXPECT_TRUE(ZFunction::PathExists(target.Path() + L"Suite\\Lumen Office\\" + kVersion + L"\\office6\\lumen.exe"))
      << log_;
}

TEST_F(DemoInstall, UpdateFindsTheInstallationCarriesItsOemFilesOverAndRecordsTheState) {
  PlaceOemFile();
  ASSERT_EQ(Install(L"-s"), 0) << log_;
  // The OEM customisation of the installed copy, as a channel partner leaves it.
  const std::wstring root =
      ZFunction::WithSlash(ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kUninstallKey, L"LocationRoot"));
  ASSERT_TRUE(ZFunction::PathExists(root + L"office6\\cfgs\\oem.ini")) << testing_support::Narrow(root);
  ZFunction::CreateFolderTree(root + L"office6\\cfgs\\oeminfo");
  ZFunction::CreateFolderTree(root + L"oem");
  testing_support::WriteBytes(root + L"office6\\cfgs\\oeminfo\\partner.txt", "partner");
  testing_support::WriteBytes(root + L"oem\\logo.txt", "logo");

  // The update is a new download without an OEM file of its own.
  DeleteFileW((dir_ / L"oem.ini").c_str());
  ASSERT_EQ(Install(L"-update"), 0) << log_;
  EXPECT_TRUE(Logged("update Install"));
  EXPECT_TRUE(Logged("current install type is update.")) << "the installation needs no elevation for updates";
  EXPECT_EQ(ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kUserSettingKey, L"InstallState"), L"0");

  // The old installation's OEM file moved beside the setup program, its folders copied ...
  EXPECT_EQ(Profile(dir_ / L"oem.ini", L"setup", L"PipeNumber"), L"123");
  EXPECT_EQ(testing_support::ReadBytes(dir_ / L"oeminfo\\partner.txt"), "partner");
  EXPECT_EQ(testing_support::ReadBytes(dir_ / L"oem\\logo.txt"), "logo");
  // ... and from there into the new installation, whose tools get the OEM values again.
  const size_t at = log_.find("update install path:");
  ASSERT_NE(at, std::string::npos);
  const std::wstring folder = testing_support::Widen(log_.substr(at + 20, log_.find('\r', at) - at - 20));
  const std::wstring installed = ZFunction::WithSlash(folder) + kVersion + L"\\";
  EXPECT_EQ(testing_support::ReadBytes(installed + L"office6\\cfgs\\oeminfo\\partner.txt"), "partner");
  EXPECT_EQ(testing_support::ReadBytes(installed + L"oem\\logo.txt"), "logo");
  const std::vector<Start> journal = Journal(installed);
  ASSERT_FALSE(journal.empty());
  EXPECT_NE(journal[0].args.find(L" /StartMenuDirectory=\"Lumen Office OEM\""), std::wstring::npos) << journal[0];
  EXPECT_EQ(Profile(installed + L"utility\\install.ini", L"update", L"lowerversion"), L"")
      << "the same version again replaces nothing";
}

TEST_F(DemoInstall, FailedUpdateRecordsTheState) {
  // Nothing to update and a folder that cannot be made: the run fails without an error report.
  ASSERT_EQ(Install(L"-update -p \"Q:\\no drive\\here\""), 2) << log_;
  EXPECT_TRUE(Logged("Create the Q:\\no drive\\here\\"));
  EXPECT_TRUE(Logged("install end, return:0"));
  EXPECT_EQ(ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kUserSettingKey, L"InstallState"), L"1");
}

// What the desktop user can write (the uninstall values, the handed-over values) never makes
// the elevated copy delete outside the suite: not what a link in a dressed-up folder points to,
// not a driver the suite does not install, nothing of a profile root that poses as an
// installation. The installation itself goes on.
TEST_F(DemoInstall, PlantedValuesDeleteNothingOutsideTheSuite) {
  TempFolder decoy, other;
  const std::wstring profile = GetSpecialFolder(CSIDL_PROFILE) + L"\\";
  for (const std::wstring& folder : {decoy / L"office6", profile + L"office6", profile + L"Downloads"})
    ZFunction::CreateFolderTree(folder);
  testing_support::WriteBytes(decoy / L"office6\\lmo.dll", "");
  testing_support::WriteBytes(decoy / L"office6\\lumenplanted.sys", "");
  testing_support::WriteBytes(other / L"keep.txt", "keep");
  ASSERT_TRUE(CreateSymbolicLinkW((decoy / L"office6\\linked").c_str(), other.Path().c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY));
  const std::wstring driver = ZFunction::GetDriversFolder() + L"lumenplanted.sys";
  testing_support::WriteBytes(driver, "someone else's driver");
  testing_support::WriteBytes(profile + L"office6\\lmo.dll", "");
  testing_support::WriteBytes(profile + L"Downloads\\keep.txt", "keep");

  // The user's uninstall values name the decoy; the user-level copy hands them over.
  ZFunction::WriteRegString(HKEY_CURRENT_USER, suite::kUninstallKey, L"LocationRoot", decoy / L"9.0.0.1\\");
  ZFunction::WriteRegString(HKEY_CURRENT_USER, suite::kUninstallKey, L"StartMenuDir", L"Lumen Office");
  EXPECT_EQ(Install(L"-s"), 0) << log_;
  // The handed-over switches name the profile root.
  EXPECT_EQ(Install(L"-upgradepower -needcommunicate -s -curstartmenu=Lumen -curinstallpath=" + profile), 0) << log_;
  EXPECT_FALSE(ZFunction::PathExists(decoy / L"office6")) << "a folder holding the suite is the user's to clear";
  EXPECT_EQ(testing_support::ReadBytes(other / L"keep.txt"), "keep");
  EXPECT_TRUE(ZFunction::PathExists(driver));
  EXPECT_TRUE(Logged("the user's installation " + testing_support::Narrow(GetSpecialFolder(CSIDL_PROFILE)) +
                     " is no installation of the suite: ignored"));
  EXPECT_EQ(testing_support::ReadBytes(profile + L"Downloads\\keep.txt"), "keep");
  EXPECT_TRUE(ZFunction::PathExists(profile + L"office6\\lmo.dll"));
  ZFunction::DeleteFolder(profile + L"office6");
  DeleteFileW((profile + L"Downloads\\keep.txt").c_str());
  DeleteFileW(driver.c_str());
}

TEST_F(DemoInstall, AbsurdCommandLinesEndCleanly) {
  // A folder far beyond any path limit cannot be made: the run fails, nothing crashes.
  EXPECT_EQ(Install(L"-s -p C:\\" + std::wstring(3000, L'x')), 2) << log_;
  EXPECT_TRUE(Logged("install end, return:0"));
  // Switches without values, unknown and repeated switches, huge values: still an install.
  const std::wstring junk = L" -p -D -tod=" + std::wstring(5000, L'.') + L" -iid= -what -s -s -S \"\" - --";
  EXPECT_EQ(Install(L"-s" + junk), 0) << log_;
  EXPECT_TRUE(ZFunction::PathExists(DefaultRoot() + kVersion + L"\\office6\\lumen.exe"));
  // A folder that can be made, but the suite's longest file name would not fit below it: refused
  // before the installation just made is removed as the old one.
  const std::wstring deep = L"C:\\lumen\\" + std::wstring(220, L'x') + L"\\";
  EXPECT_EQ(Install(L"-s -p " + deep), 2) << log_;
  EXPECT_TRUE(Logged("is too long for the suite: its longest file name adds 28 characters, 18 fit")) << log_;
  // A folder far longer than a log line: the reason stays whole in the log and in its last line.
  EXPECT_EQ(Install(L"-s -p C:\\lumen\\" + std::wstring(600, L'y')), 2);
  EXPECT_TRUE(Logged("first cause: the install folder is too long for the suite: its longest file name adds 28 "
                     "characters, 0 fit: C:\\lumen\\yyy"))
      << log_;
  EXPECT_FALSE(ZFunction::PathExists(deep));
  EXPECT_TRUE(ZFunction::PathExists(DefaultRoot() + kVersion + L"\\office6\\lumen.exe"));
  ZFunction::DeleteFolder(L"C:\\lumen");
  // The internal switches without their values: nothing was handed over, so the run uses its
  // own folders (the default install folder, the log in its own roaming folder).
  ZFunction::DeleteFolder(DefaultRoot());
  EXPECT_EQ(Install(L"-s -upgradepower -needcommunicate -localapp= -appdata="), 0) << log_;
  EXPECT_TRUE(ZFunction::PathExists(DefaultRoot() + kVersion + L"\\office6\\lumen.exe")) << log_;
  EXPECT_TRUE(Logged("user process mode:1"));
}

// Payloads whose setup.xml is missing, broken or lists nothing: the run ends before anything
// is installed, with exit code 2 and the reason in the log.
TEST(BadPayload, EndsWithTwoAndTheReasonInTheLog) {
  const struct {
    const wchar_t* installer;
    const char* reason;
  } cases[] = {
      {L"setup-no-setup-xml.exe", "ZInsall::ParseConfig cannot read"},
      {L"setup-broken-setup-xml.exe", "ZInsall::ParseConfig cannot read"},
      {L"setup-empty-list.exe", "ZInsall::ParseConfig the install list is empty"},
  };
  for (const auto& c : cases) {
    TempFolder dir;
    const std::wstring exe = dir / L"setup.exe";
    ASSERT_TRUE(CopyFileW((testing_support::TestData() + c.installer).c_str(), exe.c_str(), FALSE));
    DeleteFileW(LogPath().c_str());
    ZFunction::DeleteFolder(DefaultRoot());
    EXPECT_EQ(testing_support::Run(exe, L"-s", 60000), 2) << testing_support::Narrow(c.installer);
    const std::string log = testing_support::ReadBytes(LogPath());
    EXPECT_NE(log.find(c.reason), std::string::npos) << log;
    EXPECT_NE(log.find("ZInsall::ParseConfig return:0"), std::string::npos) << log;
    EXPECT_NE(log.find("g_Install.Init return:0"), std::string::npos) << log;
    EXPECT_FALSE(ZFunction::FolderExists(DefaultRoot())) << "nothing installed";
  }
}

// Programs of the list that cannot start (one is no program, one is missing) fail the install
// once the whole list ran, whoever starts them: this copy, or the user-level copy on its
// request. Neither copy shows the shell's error box, which nobody would close. The log's last
// line says how the run ended and why.
TEST(BadPayload, ProgramThatCannotStartFailsTheInstallAfterTheWholeList) {
  TempFolder dir;
  const std::wstring exe = dir / L"setup.exe";
  ASSERT_TRUE(CopyFileW((testing_support::TestData() + L"setup-failing-item.exe").c_str(), exe.c_str(), FALSE));
  for (const wchar_t* params : {L"-s", L"-upgradepower -s"}) {
    DeleteFileW(LogPath().c_str());
    EXPECT_EQ(testing_support::Run(exe, params, 60000), 2) << testing_support::Narrow(params);
    const std::string log = testing_support::ReadBytes(LogPath());
    const size_t broken = log.find("step failed: office6\\broken.exe -y could not be started");
    const size_t failed = log.find("step failed: office6\\missing.exe -x could not be started");
    const size_t later = log.find("Write \"install.ini\" File End.");
    const size_t end = log.find("RunApp Register return:0");
    ASSERT_NE(failed, std::string::npos) << log;
    EXPECT_LT(broken, failed);
    EXPECT_LT(failed, later) << "the next item still ran";
    EXPECT_LT(later, end);
    EXPECT_NE(log.find("install end, return:0"), std::string::npos);
    const size_t closing = log.rfind("setup end: failed, exit code 2, ");
    ASSERT_NE(closing, std::string::npos) << log;
    EXPECT_NE(log.find(" files written, 3 steps run, 2 failed, first cause: office6\\broken.exe -y could not be started\r\n",
                       closing),
              std::string::npos)
        << log.substr(closing);
    EXPECT_EQ(log.find("\r\n", closing) + 2, log.size()) << "the closing line is the last";
    ZFunction::DeleteFolder(DefaultRoot());
  }
}

}  // namespace
