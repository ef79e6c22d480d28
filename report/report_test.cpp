// The installation report through the demo suite's core library, and the partner offer handed
// to the download tool, with the stand-ins writing what they were given into a journal.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "log/setup_log.h"
#include "report/deep_recommend.h"
#include "report/install_report.h"
#include "sys/file_utils.h"
#include "sys/registry.h"
#include "tests/support/test_support.h"

using testing_support::BinFolder;
using testing_support::Narrow;
using testing_support::ReadBytes;
using testing_support::TempFolder;
using testing_support::Widen;

namespace {

const wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const wchar_t kOffice2007[] = L"{90120000-0011-0000-0000-0000000FF1CE}";
const wchar_t kOffice2010[] = L"{90140000-0011-0000-0000-0000000FF1CE}";
const wchar_t kOffice2016[] = L"{20150000-0011-0000-0000-0000000FF1CE}";
const wchar_t kOffice2003[] = L"{90110804-6000-11D3-8CFE-0150048383C9}";

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t at = 0;
  for (size_t end; (end = text.find(separator, at)) != std::string::npos; at = end + 1)
    parts.push_back(text.substr(at, end - at));
  if (at < text.size()) parts.push_back(text.substr(at));
  return parts;
}

// The stand-ins' journal in a file of the test's own; each line comes back as
// {module path, text}.
class Journal {
 public:
  explicit Journal(const TempFolder& dir) : journal_(dir / L"journal.txt") {}
  std::vector<std::pair<std::wstring, std::string>> Lines() const {
    std::vector<std::pair<std::wstring, std::string>> lines;
    for (const auto& entry : journal_.Entries()) lines.emplace_back(entry.program, Narrow(entry.args));
    return lines;
  }

 private:
  testing_support::StandInJournal journal_;
};

// Runs the installer's log into a file of the test's own; Texts() stops it and gives the
// callers' texts.
class CapturedLog {
 public:
  explicit CapturedLog(const TempFolder& dir) : path_(dir / L"setup.log") {
    g_Log.Stop();
    g_Log.Start(path_);
  }
  ~CapturedLog() { g_Log.Stop(); }
  std::vector<std::string> Texts() {
    g_Log.Stop();
    std::vector<std::string> texts;
    for (const std::string& line : Split(ReadBytes(path_), '\n')) {
      std::string text = line.substr(line.find("  ") + 2);  // after the time stamp
      if (!text.empty() && text.back() == '\r') text.pop_back();
      texts.push_back(text);
    }
    return texts;
  }

 private:
  std::wstring path_;
};

// One registry string value for the length of a test; the value (an empty one counts as none),
// or a key the test made, is put back as it was.
class ScopedRegValue {
 public:
  ScopedRegValue(HKEY root, std::wstring key, const wchar_t* name)
      : root_(root), key_(std::move(key)), name_(name), old_(ZFunction::ReadRegString(root, key_.c_str(), name)) {
    HKEY handle = nullptr;
    keyExisted_ = RegOpenKeyExW(root_, key_.c_str(), 0, KEY_READ, &handle) == ERROR_SUCCESS;
    if (handle) RegCloseKey(handle);
  }
  ~ScopedRegValue() {
    if (!keyExisted_ && RegDeleteKeyW(root_, key_.c_str()) == ERROR_SUCCESS) return;
    if (old_.empty()) Remove();
    else ZFunction::WriteRegString(root_, key_.c_str(), name_, old_);
  }
  void Set(const std::wstring& value) { ASSERT_TRUE(ZFunction::WriteRegString(root_, key_.c_str(), name_, value)); }
  void Remove() { ZFunction::DeleteRegValue(root_, key_.c_str(), name_); }

 private:
  HKEY root_;
  std::wstring key_;
  const wchar_t* name_;
  std::wstring old_;
  bool keyExisted_ = false;
};

// An installation folder holding the stand-in core library as office6\lmo.dll.
class ReportThroughLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    ZFunction::CreateFolderTree(dir_ / L"office6");
    ASSERT_TRUE(CopyFileW((BinFolder() + L"lmo.dll").c_str(), Library().c_str(), FALSE));
    SetDllDirectoryW(L"");  // as the program sets it at start: the current folder is never searched
  }
  void TearDown() override { SetDllDirectoryW(nullptr); }

  std::wstring Library() const { return dir_ / L"office6\\lmo.dll"; }

  // Sends the report; the library has to stay loaded, and is freed again for the clean-up.
  std::vector<std::pair<std::wstring, std::string>> Send(int type, bool engineLog) {
    report::SendInstallReport(dir_.Path(), type, engineLog);
    HMODULE loaded = GetModuleHandleW(Library().c_str());
    EXPECT_NE(loaded, nullptr) << "the library stays loaded";
    if (loaded) FreeLibrary(loaded);
    ExpectDllFolderRestored();
    return journal_.Lines();
  }

  // The search is as hardened as before: no folder of the setup program's, nor the current one.
  static void ExpectDllFolderRestored() {
    wchar_t dllFolder[MAX_PATH] = L"unchanged";
    GetDllDirectoryW(MAX_PATH, dllFolder);
    EXPECT_STREQ(dllFolder, L"");
  }

  TempFolder dir_;
  Journal journal_{dir_};
  ScopedRegValue id_{HKEY_CURRENT_USER, report::kReportKey, L"infoGUID"};
  ScopedRegValue version_{HKEY_CURRENT_USER, report::kReportKey, L"Version"};
  ScopedRegValue distSrc_{HKEY_CURRENT_USER, report::kReportKey, L"DistSrc"};
  ScopedRegValue office2016_{HKEY_LOCAL_MACHINE, kUninstall + std::wstring(kOffice2016), L"UninstallString"};
  ScopedRegValue office2010_{HKEY_LOCAL_MACHINE, kUninstall + std::wstring(kOffice2010), L"UninstallString"};
  ScopedRegValue office2007_{HKEY_LOCAL_MACHINE, kUninstall + std::wstring(kOffice2007), L"UninstallString"};
  ScopedRegValue office2003_{HKEY_LOCAL_MACHINE, kUninstall + std::wstring(kOffice2003), L"UninstallString"};
};

TEST_F(ReportThroughLibrary, UnreadableValuesTakeTheirDefaults) {
  id_.Remove();
  version_.Remove();
  distSrc_.Remove();
  SHDeleteEmptyKeyW(HKEY_CURRENT_USER, report::kReportKey);  // the key itself too, unless other values keep it
  // A key without its uninstall string does not count; the oldest generation is still found.
  office2016_.Set(L"msiexec /x office16");
  office2016_.Remove();
  office2003_.Set(L"msiexec /x office11");
  CapturedLog log(dir_);

  const auto lines = Send(6, false);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].second, "_lmo_SendInfoCellect 6");
  EXPECT_EQ(lines[1].second,
            "_lmo_SIC 1|R4T2H8|/lumen/client/info|mso_infoc|4|5C3A9E17D2B04F68A1E7C93B0D46F2A8|0.0.0.X|0.0|1");
  EXPECT_EQ(log.Texts(), std::vector<std::string>()) << "the user-level copy writes no log";

  office2003_.Remove();
  report::InfoCollectFields none;
  EXPECT_EQ(none.OfficeKind(), L"0");
  office2003_.Set(L"msiexec /x office11");
  EXPECT_EQ(none.OfficeKind(), L"0") << "a field is kept once known";
}

TEST_F(ReportThroughLibrary, MissingLibraryIsSkipped) {
  DeleteFileW(Library().c_str());
  CapturedLog log(dir_);
  report::SendInstallReport(dir_.Path(), 3, true);
  EXPECT_TRUE(journal_.Lines().empty());
  EXPECT_EQ(log.Texts(), std::vector<std::string>{"Send Infocellect End."});
  ExpectDllFolderRestored();
}

TEST(ReportFields, DistSrcAndReportTypes) {
  EXPECT_EQ(report::NormaliseDistSrc(L"012.05"), L"12.5");
  EXPECT_EQ(report::NormaliseDistSrc(L"3.1.4"), L"3.1") << "only the first dot counts";
  EXPECT_EQ(report::NormaliseDistSrc(L"x.7b"), L"0.7");
  EXPECT_EQ(report::NormaliseDistSrc(L"0012"), L"0012") << "without a dot the value stays";

  EXPECT_EQ(report::EngineReportType(true, true, L"3"), 5);
  EXPECT_EQ(report::EngineReportType(false, true, L"3"), 6);
  EXPECT_EQ(report::EngineReportType(false, false, L"3"), 3);
  EXPECT_EQ(report::EngineReportType(false, false, L"12"), 12);
}

// --- the partner offer ---

const DeepRecommendItem kOffer{L"装上伙伴", L"partner", L"http://dl.example.com/p\"q.exe", L"/S /D=C:\\P",
                               L"HKLM\\Software\\Partner"};

// The tool's folders below <temp>\lumen\ that exist now.
std::set<std::wstring> LumenTempFolders() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring lumen = ZFunction::WithSlash(temp) + L"lumen\\";
  std::set<std::wstring> folders;
  for (const auto& [name, content] : testing_support::Tree(lumen))
    if (content == "<dir>" && name.find(L'\\') == std::wstring::npos) folders.insert(lumen + name + L"\\");
  return folders;
}

class DownloadDeepRecommend : public ::testing::Test {
 protected:
  void SetUp() override {
    ZFunction::CreateFolderTree(dir_ / L"install\\office6");
    CopyFileW((BinFolder() + L"standin.exe").c_str(), Office6(L"downloadtool.exe").c_str(), FALSE);
    testing_support::WriteBytes(Office6(L"msvcp100.dll"), "runtime p");
    testing_support::WriteBytes(Office6(L"msvcr100.dll"), "runtime r");
  }
  // The folders a call made, removed again.
  std::set<std::wstring> NewFolders() {
    std::set<std::wstring> made;
    for (const std::wstring& folder : LumenTempFolders())
      if (!before_.count(folder)) made.insert(folder);
    return made;
  }
  void TearDown() override {
    for (const std::wstring& folder : NewFolders()) ZFunction::DeleteFolder(folder);
  }
  std::wstring Install() const { return dir_ / L"install\\"; }
  std::wstring Office6(const wchar_t* name) const { return Install() + L"office6\\" + name; }

  TempFolder dir_;
  Journal journal_{dir_};
  std::set<std::wstring> before_ = LumenTempFolders();
};

TEST_F(DownloadDeepRecommend, StartsACopyFromAFreshFolderBesideItsLibraries) {
  CapturedLog log(dir_);
  ASSERT_TRUE(report::DownloadDeepRecommend(Install(), kOffer, 10000, 0));

  const auto lines = journal_.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].second,
            "-url=\"http://dl.example.com/p\"q.exe\" -param=\"/S /D=C:\\P\" -check=\"HKLM\\Software\\Partner\"")
      << "the texts go in unescaped";
  const std::wstring tool = lines[0].first;
  const std::set<std::wstring> made = NewFolders();
  ASSERT_EQ(made.size(), 1u);
  const std::wstring folder = *made.begin();
  EXPECT_EQ(_wcsnicmp(tool.c_str(), folder.c_str(), folder.size()), 0) << Narrow(tool);
  EXPECT_TRUE(std::regex_match(Narrow(tool.substr(folder.size())), std::regex("dl[0-9a-fA-F]{1,4}\\.tmp\\.exe")))
      << Narrow(tool);
  EXPECT_EQ(ReadBytes(folder + L"msvcp100.dll"), "runtime p");
  EXPECT_EQ(ReadBytes(folder + L"msvcr100.dll"), "runtime r");
  EXPECT_FALSE(testing_support::Exists(Office6(L"downloadtool.exe")));
  EXPECT_TRUE(testing_support::Exists(Office6(L"msvcr100.dll"))) << "the libraries are copied, not moved";
  EXPECT_EQ(log.Texts(), std::vector<std::string>{"Download deeprecommend by downloadtool End."});
}

TEST_F(DownloadDeepRecommend, MissingPieceStartsNothing) {
  CapturedLog log(dir_);
  DeleteFileW(Office6(L"msvcr100.dll").c_str());
  EXPECT_FALSE(report::DownloadDeepRecommend(Install(), kOffer, 10000, 0));
  EXPECT_TRUE(testing_support::Exists(Office6(L"downloadtool.exe"))) << "the tool stays in the installation";

  // Without the tool not even the first library is copied.
  DeleteFileW(Office6(L"downloadtool.exe").c_str());
  EXPECT_FALSE(report::DownloadDeepRecommend(Install(), kOffer, 10000, 0));

  int withP = 0;
  for (const std::wstring& folder : NewFolders()) withP += testing_support::Exists(folder + L"msvcp100.dll");
  EXPECT_EQ(NewFolders().size(), 2u);
  EXPECT_EQ(withP, 1);
  EXPECT_TRUE(journal_.Lines().empty());
  EXPECT_EQ(log.Texts(), std::vector<std::string>());
}

// --- the offer list for the recommendation tool ---

TEST(DeepRecommendParams, ListsTheOffersToActOn) {
  const std::wstring empty =
      L";deeprecommendedname:=;deeprecommendedinstall:=;deeprecommendedurl:=;deeprecommendedparam:=;"
      L"deeprecommendedreg:=";
  EXPECT_EQ(report::BuildDeepRecommendParams(nullptr, 0, {}, {}), L"location:=0,0" + empty);

  const DeepRecommendItem a{L"", L"A", L"ua", L"pa", L"ra"}, b{L"", L"B", L"ub", L"pb", L"rb"};
  EXPECT_EQ(report::BuildDeepRecommendParams(nullptr, 0, {1}, {a, b}), L"location:=0,0" + empty);
  EXPECT_EQ(report::BuildDeepRecommendParams(nullptr, 1, {0}, {a, b}),
            L"location:=0,0;deeprecommendedname:=A;deeprecommendedinstall:=0;deeprecommendedurl:=ua;"
            L"deeprecommendedparam:=pa;deeprecommendedreg:=ra");
  // A choice missing for the second offer leaves it out of the install list only.
  EXPECT_EQ(report::BuildDeepRecommendParams(nullptr, 5, {7}, {a, b}),
            L"location:=0,0;deeprecommendedname:=A,B;deeprecommendedinstall:=1;deeprecommendedurl:=ua,ub;"
            L"deeprecommendedparam:=pa,pb;deeprecommendedreg:=ra,rb");
}

TEST(DeepRecommendParams, TakesTheMainWindowsRestoredPositionAndHidesIt) {
  for (DWORD state : {DWORD(0), DWORD(WS_MINIMIZE)}) {
    HWND window = CreateWindowExW(0, L"STATIC", L"wizard", WS_OVERLAPPEDWINDOW | state, 123, 45, 300, 200, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    const std::wstring params = report::BuildDeepRecommendParams(window, 0, {}, {});
    EXPECT_EQ(params.substr(0, params.find(L';')), L"location:=123,45") << "style " << state;
    EXPECT_FALSE(IsWindowVisible(window));
    DestroyWindow(window);
  }
}

}  // namespace
