// Installing over older installations, updates that clear replaced version folders, the
// installation report, the recommendation tool and the suite's environment, each run both
// ways the setup program works: as an administrator's pair of copies (the elevated copy asks
// the user-level copy for every user-side step) and alone ("-upgradepower" without a hand-over).
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sys/file_utils.h"
#include "sys/system_info.h"
#include "sys/registry.h"
#include "suite/suite_programs.h"
#include "tests/e2e/demo_install.h"
#include "tests/support/test_support.h"

using namespace demo_install;
using testing_support::Process;
using testing_support::KeyExists;
using testing_support::TempFolder;
using testing_support::ValueExists;
using ZFunction::GetSpecialFolder;

namespace {

const wchar_t kMachineUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tallis Office";
const wchar_t kCommon[] = L"Software\\Tallis\\Office\\6.0\\Common";

void WriteExpand(HKEY root, const wchar_t* key, const wchar_t* name, const std::wstring& value) {
  HKEY h = nullptr;
  RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr);
  RegSetValueExW(h, name, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(h);
}

void Touch(const std::wstring& file, const std::string& text = "x") {
  ZFunction::CreateFolderTree(file.substr(0, file.find_last_of(L'\\')));
  testing_support::WriteBytes(file, text);
}

// Copies the stand-in program to `path`.
void PlaceStandIn(const std::wstring& path) {
  ZFunction::CreateFolderTree(path.substr(0, path.find_last_of(L'\\')));
  ASSERT_TRUE(CopyFileW((testing_support::BinFolder() + L"standin.exe").c_str(), path.c_str(), FALSE));
}

std::vector<std::wstring> Arguments(const std::vector<Start>& starts, const std::wstring& program) {
  std::vector<std::wstring> args;
  for (const Start& s : starts)
    if (_wcsicmp(s.program.c_str(), program.c_str()) == 0) args.push_back(s.args);
  return args;
}

// The two ways the setup program installs: "" as the administrator's pair of copies, and
// "-upgradepower" alone.
class Upgrade : public DemoInstall, public ::testing::WithParamInterface<const wchar_t*> {
 protected:
  int InstallAs(const std::wstring& params) {
    const int code = Install(params + L" " + GetParam());
    EXPECT_TRUE(Logged(PairOfCopies() ? "user process mode:1" : "user process mode:0")) << log_;
    return code;
  }
  bool PairOfCopies() const { return std::wstring(GetParam()).empty(); }
};

// The remains of an installation made by an older, machine-wide release.
struct OldMachineInstallation {
  std::wstring root = GetSpecialFolder(CSIDL_PROGRAM_FILES) + L"\\Lumen Office Personal\\";
  std::wstring commonPrograms = GetSpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\Lumen Office 2009\\";
  std::wstring commonDesktop = GetSpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\";
  std::wstring commonData = GetSpecialFolder(CSIDL_COMMON_APPDATA) + L"\\tallis\\";

  OldMachineInstallation() {
    for (const wchar_t* tool : {L"office6\\zlumenlive.exe", L"office6\\lumenupdate.exe", L"office6\\lmomisc.exe"})
      PlaceStandIn(root + tool);
    Touch(root + L"utility\\install.ini");
    Touch(root + L"office6\\lmo.dll");
    Touch(root + L"downloads\\patch.bin");
    Touch(root + L"readme.txt");
    Touch(root + L"plugins\\keep.dll");
    testing_support::WriteString(HKEY_LOCAL_MACHINE, kMachineUninstall, L"UninstallString",
                              L"\"" + root + L"utility\\uninst.exe\"");
    testing_support::WriteString(HKEY_LOCAL_MACHINE, kMachineUninstall, L"LocationRoot", root);
    testing_support::WriteString(HKEY_LOCAL_MACHINE, kMachineUninstall, L"StartMenuDir", L"Lumen Office 2009");
    Touch(commonPrograms + L"Lumen文字.lnk");
    Touch(commonDesktop + L"Lumen文字.lnk");
    Touch(commonData + L"office6\\CUSTOM.DIC", "自定义词典");
    testing_support::WriteString(HKEY_CLASSES_ROOT, L".uof", L"", L"Lumen.uof");
    testing_support::WriteString(HKEY_CLASSES_ROOT, L"Lumen隔行着色.connect\\CLSID", L"", L"{0}");
    testing_support::WriteString(HKEY_CLASSES_ROOT, L".lumenkeep", L"", L"not the suite's");
    testing_support::WriteString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                              L"lumenautoupdate", L"x");
    testing_support::WriteString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\tallis\\Office\\6.0\\Common", L"x", L"y");
    ZFunction::WriteRegString(HKEY_CURRENT_USER, kCommon, L"DistSrc", L"00012.3");
    ZFunction::WriteRegString(HKEY_CURRENT_USER, kCommon, L"infoGUID", L"{8D6F2C1A-0B3E-4F5A-9C7D-112233445566}");
    ZFunction::WriteRegString(HKEY_CURRENT_USER, L"Software\\Tallis\\Office\\6.0\\Common\\Theme", L"x", L"y");
    ZFunction::WriteRegString(HKEY_CURRENT_USER, L"Environment", L"LUMEN_HOME", L"C:\\old\\office6");
    WriteExpand(HKEY_CURRENT_USER, L"Environment", L"PATH", L"%LUMEN_HOME%;C:\\tools;%LUMEN_HOME%");
  }

  ~OldMachineInstallation() {
    ZFunction::DeleteFolder(root);
    ZFunction::DeleteFolder(commonPrograms);
    ZFunction::DeleteFolder(commonData);
    DeleteFileW((commonDesktop + L"Lumen文字.lnk").c_str());
    for (const wchar_t* key : {L".uof", L"Lumen隔行着色.connect", L".lumenkeep"}) testing_support::DeleteTree(HKEY_CLASSES_ROOT, key);
    testing_support::DeleteTree(HKEY_LOCAL_MACHINE, kMachineUninstall);
    testing_support::DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\tallis");
    testing_support::DeleteValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                              L"lumenautoupdate");
    ZFunction::DeleteRegValue(HKEY_CURRENT_USER, L"Environment", L"LUMEN_HOME");
    ZFunction::DeleteRegValue(HKEY_CURRENT_USER, L"Environment", L"PATH");
  }
};

TEST_P(Upgrade, CoverInstallRemovesTheOlderInstallationFirst) {
  // An older per-user release, then the remains of an old machine-wide one.
  UseInstaller(OldDemoInstaller());
  ASSERT_EQ(Install(L"-s"), 0) << log_;
  const std::wstring root = DefaultRoot();
  ZFunction::WriteRegString(HKEY_CURRENT_USER, suite::kUninstallKey, L"StartMenuDir", L"Lumen Office Old");
  Touch(GetSpecialFolder(CSIDL_PROGRAMS) + L"\\Lumen Office Old\\Lumen文字.lnk");
  OldMachineInstallation old;
  const std::wstring restartKey = L"Software\\tallis\\Office\\6.0\\grid\\Application Settings";
  ZFunction::WriteRegString(HKEY_CURRENT_USER, restartKey.c_str(), L"RestartAppInfo", L"reopen book1.et");
  ZFunction::WriteRegString(HKEY_CURRENT_USER, restartKey.c_str(), L"Recent", L"book1.et");

  UseInstaller(DemoInstaller());
  ASSERT_EQ(InstallAs(L"-s"), 0) << log_;
  EXPECT_TRUE(Logged("Uninstall old product")) << log_;
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, restartKey.c_str(), L"RestartAppInfo"));
  EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, restartKey.c_str(), L"Recent"));

  // The old release's tools unregistered it, in order, before the new list ran.
  const std::vector<Start> journal = Journal(old.root);
  const std::vector<Start> unregistration = {
      {L"office6\\zlumenlive.exe", L"/UnregServer"},      {L"office6\\lumenupdate.exe", L"-CreateUpdateSelf -deltasks"},
      {L"office6\\lmomisc.exe", L"-unassoword"},           {L"office6\\lmomisc.exe", L"-unassoexcel"},
      {L"office6\\lmomisc.exe", L"-unassopowerpnt"},       {L"office6\\lmomisc.exe", L"-unreg_lumen"},
      {L"office6\\lmomisc.exe", L"-unreg_deck"},           {L"office6\\lmomisc.exe", L"-unreg_grid"},
      {L"office6\\lmomisc.exe", L"-unregzsee"},            {L"office6\\lmomisc.exe", L"-unreg_lmo"},
      {L"office6\\lmomisc.exe", L"-unreg_zde"},            {L"office6\\lmomisc.exe", L"-unregoledefhndlr"},
  };
  ASSERT_GE(journal.size(), unregistration.size());
  EXPECT_EQ(std::vector<Start>(journal.begin(), journal.begin() + unregistration.size()), unregistration);
  EXPECT_NE(journal[unregistration.size()].program.find(L"utility\\config.exe"), std::wstring::npos)
      << journal[unregistration.size()];

  // Machine and user registration of the old releases are gone; what is not the suite's stays.
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".uof"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Lumen隔行着色.connect"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L".lumenkeep"));
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"lumenautoupdate"));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kMachineUninstall));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\tallis\\Office\\6.0"));
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kCommon, L"DistSrc"));
  EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kCommon, L"infoGUID")) << "the user's report identifier stays";
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Tallis\\Office\\6.0\\Common\\Theme"));
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, L"Environment", L"LUMEN_HOME"));
  EXPECT_EQ(ZFunction::ReadRegString(HKEY_CURRENT_USER, L"Environment", L"PATH"), L"C:\\tools");

  // The old product folders and shortcuts are gone, other files stay; the dictionary was saved.
  for (const wchar_t* folder : {L"office6", L"utility", L"downloads"})
    EXPECT_FALSE(ZFunction::FolderExists(old.root + folder)) << testing_support::Narrow(folder);
  EXPECT_TRUE(ZFunction::PathExists(old.root + L"readme.txt"));
  EXPECT_TRUE(ZFunction::PathExists(old.root + L"plugins\\keep.dll"));
  EXPECT_FALSE(ZFunction::FolderExists(old.commonPrograms));
  EXPECT_FALSE(ZFunction::PathExists(old.commonDesktop + L"Lumen文字.lnk"));
  EXPECT_FALSE(ZFunction::FolderExists(GetSpecialFolder(CSIDL_PROGRAMS) + L"\\Lumen Office Old"));
  EXPECT_FALSE(ZFunction::FolderExists(old.commonData + L"office6"));
  EXPECT_EQ(testing_support::ReadBytes(GetSpecialFolder(CSIDL_APPDATA) + L"\\tallis\\office6\\CUSTOM.DIC"),
            "自定义词典");

  // The new release is installed and registered.
  EXPECT_TRUE(ZFunction::PathExists(root + kVersion + L"\\office6\\lumen.exe"));
  EXPECT_EQ(ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kUninstallKey, L"DisplayVersion"), kVersion);
  DeleteFileW((GetSpecialFolder(CSIDL_APPDATA) + L"\\tallis\\office6\\CUSTOM.DIC").c_str());
}

TEST_P(Upgrade, UpdateClearsReplacedVersionsAndKeepsThoseInUse) {
  UseInstaller(OldDemoInstaller());
  ASSERT_EQ(Install(L"-s"), 0) << log_;
  const std::wstring root = DefaultRoot();
  // Versions the installed release replaced, and one waiting from an earlier update.
  Touch(root + L"8.0.0.1\\office6\\data.bin");
  Touch(root + L"8.0.0.3\\utility\\install.ini");
  const std::wstring grid = root + L"8.0.0.2\\office6\\grid.exe";
  ZFunction::CreateFolderTree(root + L"8.0.0.2\\office6");
  ASSERT_TRUE(CopyFileW((testing_support::BinFolder() + L"testtool.exe").c_str(), grid.c_str(), FALSE));
  const std::wstring oldIni = root + kOldVersion + L"\\utility\\install.ini";
  WritePrivateProfileStringW(L"update", L"lowerversion", L"8.0.0.1;;8.0.0.2", oldIni.c_str());
  ZFunction::WriteRegString(HKEY_CURRENT_USER, suite::kUpdateInfoKey, L"waitclearversions", L"8.0.0.3");
  // The user still works in the spreadsheet program of 8.0.0.2.
  Process word;
  ASSERT_TRUE(word.Start(grid, L"sleep 600000"));

  UseInstaller(DemoInstaller());
  ASSERT_EQ(InstallAs(L"-update"), 0) << log_;
  EXPECT_TRUE(Logged("current install type is update.")) << log_;
  EXPECT_FALSE(ZFunction::FolderExists(root + L"8.0.0.1"));
  EXPECT_FALSE(ZFunction::FolderExists(root + L"8.0.0.3"));
  EXPECT_TRUE(ZFunction::FolderExists(root + L"8.0.0.2")) << "a program still runs from it";
  EXPECT_EQ(ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kUpdateInfoKey, L"waitclearversions"), L"8.0.0.2");
  EXPECT_TRUE(Logged("the 8.0.0.2 because the process is using and can  not delete.")) << log_;
  EXPECT_EQ(Profile(oldIni, L"update", L"lowerversion"), L"") << "the lists were taken";
  const std::wstring newIni = root + kVersion + L"\\utility\\install.ini";
  EXPECT_EQ(Profile(newIni, L"update", L"lowerversion"), kOldVersion) << "for the next update to remove";
  EXPECT_TRUE(ZFunction::FolderExists(root + kOldVersion)) << "this update still ran from beside it";

  // The program ended; the next update removes what was left, and never the running version.
  word.Kill();
  word.Wait();
  ASSERT_EQ(InstallAs(L"-update"), 0) << log_;
  EXPECT_FALSE(ZFunction::FolderExists(root + L"8.0.0.2"));
  EXPECT_FALSE(ZFunction::FolderExists(root + kOldVersion + L"\\office6"));
  EXPECT_TRUE(ZFunction::PathExists(root + kVersion + L"\\office6\\lumen.exe"));
  EXPECT_EQ(ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kUpdateInfoKey, L"waitclearversions"), L"");
}

// The lmo.dll lines of the journal.
std::vector<std::wstring> ReportCalls(const std::vector<Start>& journal) {
  std::vector<std::wstring> calls;
  for (const Start& s : journal)
    if (s.program.size() >= 7 && _wcsicmp(s.program.c_str() + s.program.size() - 7, L"lmo.dll") == 0)
      calls.push_back(s.args);
  return calls;
}

TEST_P(Upgrade, ReportTypesAndFields) {
  const std::wstring sic = L"_lmo_SIC 1|R4T2H8|/lumen/client/info|mso_infoc|4|";
  // The report values the library finds beside it: the payload's info element.
  const std::wstring payloadInfo =
      L" [iid=demo-iid tid1=demo tid2=web tod1= tod2= productid=lumen-demo versiontypes=personal]";
  // A user who never had the suite: type 5 and the fixed identifier.
  ASSERT_EQ(InstallAs(L"-s"), 0) << log_;
  EXPECT_EQ(ReportCalls(Journal(L"")),
            (std::vector<std::wstring>{L"_lmo_SendInfoCellect 5",
                                       sic + L"5C3A9E17D2B04F68A1E7C93B0D46F2A8|" + kVersion + L"|0.0|0" + payloadInfo}));

  // An identifier but no earlier installation: type 6; the fields as the suite recorded them.
  ForgetInstallations();
  ZFunction::WriteRegString(HKEY_CURRENT_USER, kCommon, L"infoGUID", L"{8D6F2C1A-0B3E-4F5A-9C7D-112233445566}");
  ZFunction::WriteRegString(HKEY_CURRENT_USER, kCommon, L"DistSrc", L"012.05");
  const wchar_t* uninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  for (const wchar_t* office : {L"{90120000-0011-0000-0000-0000000FF1CE}", L"{90140000-0011-0000-0000-0000000FF1CE}"})
    testing_support::WriteString(HKEY_LOCAL_MACHINE, (std::wstring(uninstall) + office).c_str(), L"UninstallString", L"x");
  ASSERT_EQ(InstallAs(L"-s"), 0) << log_;
  const std::wstring fields = L"8D6F2C1A0B3E4F5A9C7D112233445566|" + std::wstring(kVersion) + L"|12.5|3";
  EXPECT_EQ(ReportCalls(Journal(L"")), (std::vector<std::wstring>{L"_lmo_SendInfoCellect 6", sic + fields + payloadInfo}));

  // Over an installation: the install list's "3", in the engine and in the user-level copy.
  // Installing over it took the old channel value away. Values on the command line take the
  // payload's place.
  ASSERT_EQ(InstallAs(L"-s -iid=cli-iid -tod=7.8 -productid=cli-product"), 0) << log_;
  EXPECT_EQ(ReportCalls(Journal(L"")),
            (std::vector<std::wstring>{
                L"_lmo_SendInfoCellect 3",
                sic + L"8D6F2C1A0B3E4F5A9C7D112233445566|" + kVersion +
                    L"|0.0|3 [iid=cli-iid tid1=demo tid2=web tod1=7 tod2=8 productid=cli-product versiontypes=personal]"}));
  for (const wchar_t* office : {L"{90120000-0011-0000-0000-0000000FF1CE}", L"{90140000-0011-0000-0000-0000000FF1CE}"})
    testing_support::DeleteTree(HKEY_LOCAL_MACHINE, (std::wstring(uninstall) + office).c_str());
}

TEST_P(Upgrade, RecommendationToolInAnUpdateStartsTheProgramsForTheInstaller) {
  UseInstaller(OldDemoInstaller());
  ASSERT_EQ(Install(L"-s"), 0) << log_;
  const std::wstring cirrus = DefaultRoot() + kOldVersion + L"\\office6\\cirrus.exe";
  ZFunction::WriteRegString(HKEY_CURRENT_USER, suite::kCirrusUninstallKey, L"DisplayIcon", cirrus);
  ZFunction::WriteRegString(HKEY_CURRENT_USER, kCommon, L"infoGUID", L"{8D6F2C1A-0B3E-4F5A-9C7D-112233445566}");

  UseInstaller(DemoInstaller());
  ASSERT_EQ(InstallAs(L"-update"), 0) << log_;
  const std::wstring folder = DefaultRoot() + kVersion + L"\\";
  const std::vector<Start> journal = Journal(folder);
  std::vector<std::wstring> starts;
  for (const Start& s : journal)
    if (s.program.find(L"lumenrcmmndd.exe") != std::wstring::npos) starts.push_back(s.args);
  // In the pair of copies the user-level copy hands the identifier on without braces.
  const std::wstring guid =
      PairOfCopies() ? L"8D6F2C1A0B3E4F5A9C7D112233445566" : L"{8D6F2C1A-0B3E-4F5A-9C7D-112233445566}";
  ASSERT_EQ(starts.size(), 2u) << log_;
  EXPECT_EQ(starts[0], L"show:=0;distsrc:=000;version:=" + std::wstring(kVersion) +
                           L";downloadserver:=;infocollectserver:=;infocollectdm:=;runfrom:=lumenupdate");
  EXPECT_EQ(starts[1], L"show:=1;distsrc:=000;version:=" + std::wstring(kVersion) + L";infoguid:=" + guid +
                           L";runfrom:=lumenupdate;startprograms:=\"" + folder + L"office6\\lumen.exe\",\"" + cirrus +
                           L"\"#|#showui");
  EXPECT_TRUE(Arguments(journal, L"office6\\lumen.exe").empty()) << "the tool starts the word processor";
  EXPECT_FALSE(ZFunction::PathExists(folder + L"office6\\lumenrecommended.exe")) << "moved away";
  std::wstring toolFolder;  // the temporary folder the tool ran from
  for (const Start& s : journal)
    if (s.program.find(L"lumenrcmmndd.exe") != std::wstring::npos) toolFolder = s.program.substr(0, s.program.rfind(L'\\'));

  // Without recommendations the installer starts the programs itself; the tool's copy of the
  // run before is removed.
  ASSERT_EQ(InstallAs(L"-update -notshowrecommend"), 0) << log_;
  EXPECT_FALSE(toolFolder.empty() || ZFunction::FolderExists(toolFolder)) << testing_support::Narrow(toolFolder);
  const std::vector<Start> plain = Journal(folder);
  for (const Start& s : plain) EXPECT_EQ(s.program.find(L"lumenrcmmndd.exe"), std::wstring::npos) << s;
  EXPECT_EQ(Arguments(plain, L"office6\\lumen.exe"), std::vector<std::wstring>{L""});
  EXPECT_EQ(Arguments(plain, L"office6\\cirrus.exe"), std::vector<std::wstring>{L"showui"});
  EXPECT_EQ(Arguments(plain, cirrus), std::vector<std::wstring>{L"showui"}) << "shown through its uninstall key";
}

TEST_P(Upgrade, SuiteEnvironmentOnOlderWindowsOnly) {
  // Wine reports the Windows version per program: the setup program sees Windows XP.
  WriteExpand(HKEY_CURRENT_USER, L"Environment", L"PATH", L"C:\\tools");
  {
    const testing_support::WindowsVersionFor xp(L"setup.exe", L"winxp");
    ASSERT_EQ(InstallAs(L"-s"), 0) << log_;
  }
  const std::wstring folder = DefaultRoot() + kVersion + L"\\";
  EXPECT_EQ(ZFunction::ReadRegString(HKEY_CURRENT_USER, L"Environment", L"LUMEN_HOME"), folder + L"office6");
  EXPECT_EQ(ZFunction::ReadRegString(HKEY_CURRENT_USER, L"Environment", L"PATH"), L"%LUMEN_HOME%;C:\\tools");

  // On Windows 7 the suite keeps its own environment; installing over the old installation
  // takes the old entries away.
  ASSERT_EQ(InstallAs(L"-s"), 0) << log_;
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, L"Environment", L"LUMEN_HOME"));
  EXPECT_EQ(ZFunction::ReadRegString(HKEY_CURRENT_USER, L"Environment", L"PATH"), L"C:\\tools");
  ZFunction::DeleteRegValue(HKEY_CURRENT_USER, L"Environment", L"PATH");
}

INSTANTIATE_TEST_SUITE_P(BothWays, Upgrade, ::testing::Values(L"", L"-upgradepower"),
                         [](const ::testing::TestParamInfo<const wchar_t*>& info) {
                           return std::wstring(info.param).empty() ? std::string("PairOfCopies")
                                                                   : std::string("Alone");
                         });

}  // namespace
