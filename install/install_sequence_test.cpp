// The install thread on a fresh engine: its progress reports and result for success and for
// each way it can fail, and the steps it asks of the user's side.
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/zinstall.h"
#include "log/run_record.h"
#include "sys/file_utils.h"
#include "sys/system_info.h"
#include "sys/registry.h"
#include "suite/suite_programs.h"
#include "tests/support/recording_user_side.h"
#include "tests/support/test_support.h"

using testing_support::TempFolder;

namespace {

struct Report {
  int percent, step, error;
  std::wstring text;
  bool operator==(const Report& o) const {
    return percent == o.percent && step == o.step && error == o.error && text == o.text;
  }
};

std::ostream& operator<<(std::ostream& out, const Report& r) {
  return out << r.percent << "/" << r.step << "/" << r.error;
}

int Record(int percent, int step, int error, const wchar_t* text, INT_PTR data) {
  reinterpret_cast<std::vector<Report>*>(data)->push_back(Report{percent, step, error, text});
  return 0;
}

const Report kPrepare{2, 0, 0, L"正在准备安装"};
const Report kRemoveOld{10, 1, 0, L"正在卸载旧版本"};
const Report kExtract{80, 2, 0, L"正在释放安装文件"};
const Report kExtractFailed{80, 2, 2, L"释放安装文件失败"};
const Report kRegister{99, 3, 0, L"正在注册组件"};
const Report kRegisterFailed{99, 3, 3, L"注册组件失败"};
const Report kDone{100, 4, 0, L"安装成功"};
const Report kEnding{-1, kStepThreadEnding, 0, L""};  // the thread's last act

InstallItem Item(const wchar_t* path, const wchar_t* param, const wchar_t* type, int wait = -1, int show = 0) {
  return InstallItem{path, param, type, wait, show};
}

class InstallThread : public ::testing::Test {
 protected:
  void SetUp() override {
    g_Run.Reset();  // one run's record per test
    RegDeleteTreeW(HKEY_CURRENT_USER, suite::kUninstallKey);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, suite::kUninstallKey);
    engine_.ProductVersion = L"1.2.3.4";
    engine_.InstallFolder = dir_.Path();
    engine_.SetProgressCallback(&Record, reinterpret_cast<INT_PTR>(&reports_));
  }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, suite::kUninstallKey); }

  // The test payload: a small product with the test tool as Upper\upper.exe.
  void OpenPayload() { ASSERT_TRUE(engine_.Packet.OpenPacket(testing_support::TestData() + L"setup-packed.exe")); }

  // Runs the install thread to its end, pumping this thread's messages meanwhile.
  void RunToEnd(int silent, int update) {
    ASSERT_TRUE(engine_.StartInstall(0, silent, update));
    for (DWORD start = GetTickCount(); !engine_.WaitInstall(10);) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      ASSERT_LT(GetTickCount() - start, 60000u) << "the install thread does not end";
    }
  }

  std::wstring Installed() const { return dir_.Path() + L"1.2.3.4\\"; }

  TempFolder dir_;
  ZInsall engine_;
  std::vector<Report> reports_;
};

TEST_F(InstallThread, SuccessRunsTheListForItsInstallType) {
  OpenPayload();
  engine_.InstallItems = {Item(L"Upper\\upper.exe", L"sleep 10", L"silent;install"),
                          Item(L"Upper\\upper.exe", L"sleep 10", L"Install"),  // never: the type keeps case
                          Item(L"writeinifile", L"", L"silent")};
  RunToEnd(1, 0);
  EXPECT_EQ(reports_, (std::vector<Report>{kPrepare, kExtract, kRegister, kDone, kEnding}));
  EXPECT_EQ(engine_.GetResult(), 1);
  EXPECT_EQ(engine_.InstallFolder, Installed()) << "the version folder is appended";
  EXPECT_TRUE(ZFunction::PathExists(Installed() + L"readme.txt"));
  EXPECT_TRUE(ZFunction::PathExists(Installed() + L"utility\\install.ini"));
}

TEST_F(InstallThread, OldProductIsRemovedFirstExceptInAnInteractiveUpdate) {
  OpenPayload();
  ZFunction::WriteRegString(HKEY_CURRENT_USER, suite::kUninstallKey, L"LocationRoot", L"C:\\Old\\");
  engine_.InstallItems = {Item(L"writeinifile", L"", L"updatesilent")};
  RunToEnd(1, 1);
  EXPECT_EQ(reports_, (std::vector<Report>{kPrepare, kRemoveOld, kExtract, kRegister, kDone, kEnding}));

  ZInsall update;  // an update that is not silent leaves the old product alone
  reports_.clear();
  update.ProductVersion = L"1.2.3.4";
  update.InstallFolder = dir_.Path();
  update.SetProgressCallback(&Record, reinterpret_cast<INT_PTR>(&reports_));
  ASSERT_TRUE(update.Packet.OpenPacket(testing_support::TestData() + L"setup-packed.exe"));
  update.InstallItems = {Item(L"writeinifile", L"", L"updatesilent")};  // not an "update" item
  ASSERT_TRUE(update.StartInstall(0, 0, 1));
  ASSERT_TRUE(update.WaitInstall(60000));
  EXPECT_EQ(reports_, (std::vector<Report>{kPrepare, kExtract, kRegister, kDone, kEnding}));
  EXPECT_EQ(update.GetResult(), 1) << "a list with nothing of this type succeeds";
}

TEST_F(InstallThread, ExtractionAndFolderFailures) {
  // No payload to extract: the extraction error is reported and the list never runs.
  engine_.InstallItems = {Item(L"writeinifile", L"", L"silent")};
  RunToEnd(1, 0);
  EXPECT_EQ(reports_, (std::vector<Report>{kPrepare, kExtract, kExtractFailed, kEnding}));
  EXPECT_EQ(engine_.GetResult(), 0);
  EXPECT_FALSE(ZFunction::PathExists(Installed() + L"utility\\install.ini"));

  // A folder that cannot be made ends without an error report.
  ZInsall nowhere;
  reports_.clear();
  nowhere.InstallFolder = L"Q:\\no drive\\";
  nowhere.SetProgressCallback(&Record, reinterpret_cast<INT_PTR>(&reports_));
  ASSERT_TRUE(nowhere.StartInstall(0, 0, 0));  // interactive: the wait event exists while it runs
  ASSERT_TRUE(nowhere.WaitInstall(60000));
  EXPECT_EQ(reports_, (std::vector<Report>{kPrepare, kExtract, kEnding}));
  EXPECT_EQ(nowhere.GetResult(), 0);
  EXPECT_EQ(OpenEventW(SYNCHRONIZE, FALSE, kInstallWaitEvent), nullptr) << "the wait event is closed at the end";

  ZInsall noFolder;
  EXPECT_FALSE(noFolder.StartInstall(0, 1, 0)) << "no install folder, no thread";
}

TEST_F(InstallThread, TheUsersStepsGoThroughTheUserSide) {
  OpenPayload();
  auto recording = std::make_unique<RecordingUserSide>();
  RecordingUserSide& user = *recording;
  engine_.SetUserSide(std::move(recording));
  engine_.InstallItems = {Item(L"Upper\\upper.exe", L"sleep 10", L"install", 5000, 1),
                          Item(L"lmo::_lmo_sendinfocellect", L"3", L"install")};
  RunToEnd(0, 0);
  EXPECT_EQ(reports_, (std::vector<Report>{kPrepare, kExtract, kRegister, kDone, kEnding}));
  EXPECT_EQ(user.calls, (std::vector<std::wstring>{L"DeleteRestartInfo",
                                                   L"Run " + Installed() + L"Upper\\upper.exe sleep 10 5000 1",
                                                   L"SendReport " + Installed() + L" 3"}));
}

// The recommendation tool and the partner download in an interactive install, on an install
// folder laid out by hand with the suite's stand-in programs.
class RecommendationTool : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::wstring office = folder_ + L"office6\\";
    ZFunction::CreateFolderTree(office);
    for (const wchar_t* tool : {L"lumenrecommended.exe", L"downloadtool.exe"})
      CopyFileW((testing_support::BinFolder() + L"standin.exe").c_str(), (office + tool).c_str(), FALSE);
    for (const wchar_t* file : {L"QtCore4.dll", L"QtGui4.dll", L"QtNetwork4.dll", L"QtXml4.dll", L"phonon4.dll",
                                L"qt.conf", L"msvcp100.dll", L"msvcr100.dll"})
      testing_support::WriteBytes(office + file, "companion");
    engine_.InstallFolder = folder_;
    engine_.ProductVersion = L"1.2.3.4";
    engine_.DeepRecommendItems = {DeepRecommendItem{L"装", L"notes", L"http://x/n.exe", L"/S", L"HKCU\\N"}};
    engine_.DeepRecommendCount = 1;
    engine_.InstallItems = {Item(L"DownloadRecommend", L"", L"install"),
                            Item(L"office6\\lumenrecommended.exe", L"start", L"install"),
                            Item(L"office6\\lumenrecommended.exe", L"end", L"install")};
  }
  // Program file name -> arguments, in start order.
  std::vector<std::pair<std::wstring, std::wstring>> Starts() const {
    std::vector<std::pair<std::wstring, std::wstring>> starts;
    for (const auto& entry : journal_.Entries())
      starts.emplace_back(entry.program.substr(entry.program.find_last_of(L'\\') + 1), entry.args);
    return starts;
  }

  TempFolder dir_;
  std::wstring folder_ = dir_.Path() + L"Lumen\\";
  testing_support::StandInJournal journal_{dir_ / L"journal.txt"};
  ZInsall engine_;
};

TEST_F(RecommendationTool, TwoStartsDescribeTheChosenOffer) {
  engine_.InstallItems.erase(engine_.InstallItems.begin());  // the tool only
  engine_.AddDeepRecommendChoice(1);
  ASSERT_TRUE(engine_.RunInstallItems());
  const auto starts = Starts();
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[0].first, L"lumenrcmmndd.exe");
  EXPECT_EQ(starts[0].second,
            L"show:=0;distsrc:=000;version:=1.2.3.4;downloadserver:=;infocollectserver:=;infocollectdm:=");
  EXPECT_EQ(starts[1].first, L"lumenrcmmndd.exe");
  const std::wstring guid = ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kCommonKey, L"infoGUID");
  EXPECT_EQ(starts[1].second, L"show:=1;distsrc:=000;version:=1.2.3.4;infoguid:=" + guid +
                                  L";location:=0,0;deeprecommendedname:=notes;deeprecommendedinstall:=1"
                                  L";deeprecommendedurl:=http://x/n.exe;deeprecommendedparam:=/S"
                                  L";deeprecommendedreg:=HKCU\\N;startprograms:=");
  EXPECT_FALSE(ZFunction::PathExists(folder_ + L"office6\\lumenrecommended.exe")) << "copied away and deleted";
}

TEST_F(RecommendationTool, OfferNotChosenOrRecommendationsOff) {
  engine_.AddDeepRecommendChoice(0);
  ASSERT_TRUE(engine_.RunInstallItems());
  auto starts = Starts();
  ASSERT_EQ(starts.size(), 2u) << "no download";
  EXPECT_EQ(starts[0].first, L"lumenrcmmndd.exe");
  EXPECT_NE(starts[1].second.find(L";deeprecommendedinstall:=0;"), std::wstring::npos);

  journal_.Clear();
  engine_.SetRecommendEnabled(0);
  engine_.DeepRecommendChosen.clear();
  ASSERT_TRUE(engine_.RunInstallItems());
  EXPECT_TRUE(Starts().empty()) << "the tool is never started";
}

TEST(InstallFolders, UpdateFolderOfAnOlderInstallation) {
  ZInsall engine;
  engine.SetUserProcessMode(1);  // the old root as handed over
  engine.SetLocalAppData(L"C:\\users\\u\\AppData\\Local");
  EXPECT_EQ(engine.DefaultInstallFolder(), L"C:\\users\\u\\AppData\\Local\\Tallis\\Lumen Office\\");

  // Only a folder that holds the suite counts as the old installation.
  TempFolder elsewhere;
  const std::wstring older = elsewhere / L"Lumen Office 2009\\9.0.0.1\\8.1.0.2\\";
  engine.SetOldInstallPath(older);
  EXPECT_EQ(engine.UpdateInstallFolder(), L"");
  // Elsewhere only the version folders are dropped.
  ZFunction::CreateFolderTree(older + L"office6");
  testing_support::WriteBytes(older + L"office6\\lmo.dll", "");
  EXPECT_EQ(engine.UpdateInstallFolder(), elsewhere / L"Lumen Office 2009\\");
  // A personal edition below the program-files folder moves below local application data.
  const std::wstring personal = ZFunction::GetSpecialFolder(CSIDL_PROGRAM_FILES) + L"\\Lumen Office Personal\\";
  ZFunction::CopyFolder(older, personal + L"9.0.0.1\\");
  engine.SetOldInstallPath(personal + L"9.0.0.1\\");
  EXPECT_EQ(engine.UpdateInstallFolder(), L"C:\\users\\u\\AppData\\Local\\Lumen Office\\");
  ZFunction::DeleteFolder(personal);

  // A root whose installation says it is of the new kind is taken as it stands.
  TempFolder root;
  CreateDirectoryW((root / L"utility").c_str(), nullptr);
  ZFunction::CopyFolder(older, root.Path());
  WritePrivateProfileStringW(L"installinfo", L"newinstall", L"true", (root / L"utility\\install.ini").c_str());
  engine.SetOldInstallPath(root.Path());
  EXPECT_EQ(engine.UpdateInstallFolder(), root.Path());
  // Registered without its trailing backslash, the version folder still goes below it.
  const std::wstring bare = root.Path().substr(0, root.Path().size() - 1);
  engine.SetOldInstallPath(bare);
  EXPECT_EQ(engine.UpdateInstallFolder(), root.Path());
  ZInsall fresh;
  fresh.ProductVersion = L"1.2.3.4";
  fresh.SetInstallFolderIfEmpty(bare);
  EXPECT_EQ(fresh.GetInstallFolder(), root.Path());
  fresh.InstallFolder = bare;  // set directly, as a caller could
  ASSERT_TRUE(fresh.StartInstall(0, 0, 1));  // an interactive update touches no old product
  ASSERT_TRUE(fresh.WaitInstall(60000));
  EXPECT_EQ(fresh.GetInstallFolder(), root.Path() + L"1.2.3.4\\");
}

}  // namespace
