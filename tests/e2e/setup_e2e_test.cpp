// The real setup program under Wine, started and answered as a user would: message boxes are
// found by their caption and their buttons pressed from this process; the user-level copy is
// found among the running processes and its exit code read.
#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "sys/file_utils.h"
#include "sys/process_search.h"
#include "sys/system_info.h"
#include "sys/registry.h"
#include "suite/suite_programs.h"
#include "tests/support/test_support.h"

using testing_support::Process;
using testing_support::TempFolder;

namespace {

using testing_support::LogPath;
using ZFunction::GetSpecialFolder;
std::wstring HandOverPath() { return GetSpecialFolder(CSIDL_LOCAL_APPDATA) + L"\\tempinstall.ini"; }

// A copy of the packed setup program in a folder of its own, as a user's downloads folder.
struct Installer {
  TempFolder dir;
  std::wstring exe;
  explicit Installer(const wchar_t* name = L"setup.exe") : exe(dir / name) {
    CopyFileW((testing_support::TestData() + L"setup-packed.exe").c_str(), exe.c_str(), FALSE);
  }
};

// The user-level copy that the setup program `parent` starts beside itself: opened as soon as
// it appears, so its exit code can be read after it ended.
HANDLE WaitForUserCopy(const Process& parent, DWORD ms = 10000) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
    for (DWORD id : testing_support::ChildProcesses(parent.Id()))
      if (HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id)) return h;
    if (WaitForSingleObject(parent.Handle(), 0) == WAIT_OBJECT_0) return nullptr;
    Sleep(2);
  }
  return nullptr;
}

int ExitCodeOf(HANDLE process, DWORD ms = 20000) {
  if (!process || WaitForSingleObject(process, ms) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return static_cast<int>(code);
}

struct Box {
  HWND hwnd = nullptr;
  std::wstring text;
};

// Waits for a message box titled "Lumen Office" that belongs to process `pid`.
Box WaitForBox(DWORD pid, DWORD ms = 20000) {
  struct Search {
    DWORD pid;
    HWND found;
  } search{pid, nullptr};
  for (DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(20)) {
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
          auto* s = reinterpret_cast<Search*>(param);
          wchar_t title[64] = {}, cls[16] = {};
          DWORD owner = 0;
          GetWindowThreadProcessId(hwnd, &owner);
          GetWindowTextW(hwnd, title, 64);
          GetClassNameW(hwnd, cls, 16);
          if (owner == s->pid && wcscmp(title, L"Lumen Office") == 0 && wcscmp(cls, L"#32770") == 0) {
            s->found = hwnd;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      wchar_t text[512] = {};
      GetDlgItemTextW(search.found, 0xFFFF, text, 512);  // the box's message text
      return Box{search.found, text};
    }
  }
  return Box{};
}

// Presses a button of a message box the way a click does.
void Press(const Box& box, int button) {
  HWND control = GetDlgItem(box.hwnd, button);
  ASSERT_NE(control, nullptr) << "no button " << button;
  PostMessageW(box.hwnd, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

std::string LogText() { return testing_support::ReadBytes(LogPath()); }

class SetupProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteFileW(LogPath().c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, suite::kUninstallKey);
    testing_support::DeleteTree(HKEY_LOCAL_MACHINE, suite::kUninstallKey);
    ZFunction::DeleteRegValue(HKEY_CURRENT_USER, suite::kUserSettingKey, L"InstallState");
  }
};

TEST_F(SetupProgram, AdministratorRunStartsUserCopyHandsOverAndEndsItWithTheExitCode) {
  Installer setup;
  // An older installation recorded in the user's hive: the user-level copy hands its folder
  // over in tempinstall.ini, and the update run takes its folder from there.
  ZFunction::WriteRegString(HKEY_CURRENT_USER, suite::kUninstallKey, L"LocationRoot", L"C:\\OldLumen\\9.0.0.1\\");
  ZFunction::WriteRegString(HKEY_CURRENT_USER, suite::kUninstallKey, L"StartMenuDir", L"Lumen Office");
  DeleteFileW(HandOverPath().c_str());
  ZFunction::CreateFolderTree(L"C:\\OldLumen\\9.0.0.1\\office6");
  testing_support::WriteBytes(L"C:\\OldLumen\\9.0.0.1\\office6\\lmo.dll", "");

  Process first;
  ASSERT_TRUE(first.Start(setup.exe, L"-update -notCreateIcons", setup.dir.Path()));
  HANDLE userCopy = WaitForUserCopy(first);
  ASSERT_NE(userCopy, nullptr) << "the administrator's run starts a user-level copy";
  const int code = first.Wait();
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ExitCodeOf(userCopy), code) << "the user-level copy ends with the code it was sent";
  EXPECT_FALSE(testing_support::Exists(HandOverPath())) << "read and deleted by the elevated copy";
  EXPECT_EQ(ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kUserSettingKey, L"InstallState"), L"0");
  EXPECT_TRUE(testing_support::Exists(L"C:\\OldLumen\\" LUMEN_TEST_PRODUCT_VERSION L"\\readme.txt"));
  ZFunction::DeleteFolder(L"C:\\OldLumen\\");
  // The product's driver reached the system's drivers folder: for the 32-bit program too, the
  // real (64-bit) one, not the folder WoW64 shows 32-bit programs.
  const std::wstring driver = ZFunction::GetDriversFolder() + L"lumentestflt.SYS";
  EXPECT_EQ(testing_support::ReadBytes(driver), "driver bytes\n");
  DeleteFileW(driver.c_str());

  const std::string log = LogText();
  EXPECT_NE(log.find("user process mode:1"), std::string::npos) << log;
  EXPECT_NE(log.find("  update Install\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("  update install path:C:\\OldLumen\\\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("  g_App.Run return:1\r\n"), std::string::npos) << log;
}

// Runs `setup.exe -e` on a copy of `installer` in a fresh folder; checks that the user-level
// copy ends with the same code and returns that code.
int DebugUnpack(const std::wstring& installer, const TempFolder& dir) {
  CopyFileW(installer.c_str(), (dir / L"setup.exe").c_str(), FALSE);
  Process run;
  if (!run.Start(dir / L"setup.exe", L"-e", dir.Path())) return -1;
  HANDLE user = WaitForUserCopy(run);
  const int code = run.Wait();
  EXPECT_EQ(ExitCodeOf(user), code) << "the user-level copy ends with the same code";
  return code;
}

TEST_F(SetupProgram, DebugUnpackWritesBothEntriesAsSevenZipDoes) {
  const std::wstring data = testing_support::TestData();
  TempFolder packed;
  EXPECT_EQ(DebugUnpack(data + L"setup-packed.exe", packed), 0);
  testing_support::ExpectSameTree(packed / L"extract\\install", data + L"ref\\install");
  testing_support::ExpectSameTree(packed / L"extract\\product", data + L"ref\\product");
  const std::string log = LogText();
  EXPECT_NE(log.find("  DbgExtraceAllFiles return:1\r\n"), std::string::npos) << log;

  // A signed installer: the certificate table behind the packet changes nothing.
  TempFolder signedCopy;
  EXPECT_EQ(DebugUnpack(data + L"setup-signed.exe", signedCopy), 0);
  testing_support::ExpectSameTree(signedCopy / L"extract\\product", data + L"ref\\product");

  // The bare program, without a packet, fails at start-up with exit code 2.
  TempFolder bare;
  EXPECT_EQ(DebugUnpack(testing_support::TestData() + L"setup-bare.exe", bare), 2);
  EXPECT_FALSE(testing_support::Exists(bare / L"extract\\product\\readme.txt"));
  EXPECT_NE(LogText().find("  g_Install.Init return:0\r\n"), std::string::npos);
}

// Stopped halfway through unpacking a product whose two blocks decode at once, then run again
// over what the first run left: the tree is exactly the payload.
TEST_F(SetupProgram, DebugUnpackStoppedHalfwayThenRunAgainGivesThePayload) {
  const std::wstring data = testing_support::TestData();
  TempFolder dir;
  CopyFileW((data + L"setup-many.exe").c_str(), (dir / L"setup.exe").c_str(), FALSE);
  Process first;
  ASSERT_TRUE(first.Start(dir / L"setup.exe", L"-e", dir.Path()));
  const std::wstring middle = dir / L"extract\\product\\data\\d5\\f53.bin";  // about halfway
  for (DWORD start = GetTickCount(); GetTickCount() - start < 20000 && !testing_support::Exists(middle);) Sleep(1);
  first.Kill();
  EXPECT_TRUE(testing_support::Exists(middle));

  EXPECT_EQ(DebugUnpack(data + L"setup-many.exe", dir), 0);
  testing_support::ExpectSameTree(dir / L"extract\\product", data + L"ref\\many");
  const std::string log = LogText();
  EXPECT_NE(log.find("Extract 2 blocks, 2 at once"), std::string::npos) << log;
  // The decoding's memory, sampled while the blocks decode, stays within the bound it announced.
  unsigned long long peak = 0, bound = 0;
  const size_t end = log.rfind("Extract blocks end, ");
  ASSERT_NE(end, std::string::npos) << log;
  ASSERT_EQ(sscanf(log.c_str() + end, "Extract blocks end, peak private memory %llu MiB, bound %llu MiB", &peak, &bound), 2);
  EXPECT_GT(peak, 0u);
  EXPECT_LE(peak, bound);
}

// Adds a failure for every file of the reference tree that `folder` lacks or holds otherwise
// (files the installer adds are no matter here).
void ExpectHolds(const std::wstring& folder, const std::wstring& reference, const char* when) {
  int wrong = 0;
  for (const auto& [name, bytes] : testing_support::Tree(reference))
    if (bytes != "<dir>" && testing_support::ReadBytes(folder + name) != bytes) ++wrong;
  EXPECT_EQ(wrong, 0) << "files missing or damaged in the installed version " << when;
}

// An update of the installed version (a repair, an update run twice) stopped before, during and
// after writing the product: the registered version folder holds the whole product each time,
// and the next run completes the update.
TEST_F(SetupProgram, AnUpdateStoppedAnywhereLeavesTheInstalledVersionWhole) {
  const std::wstring data = testing_support::TestData();
  const std::wstring root = L"C:\\LumenMany\\";
  const std::wstring live = root + LUMEN_TEST_PRODUCT_VERSION L"\\";
  const std::wstring staging = root + L"~" LUMEN_TEST_PRODUCT_VERSION L".new\\";
  TempFolder dir;
  const std::wstring exe = dir / L"setup.exe";
  ASSERT_TRUE(CopyFileW((data + L"setup-many.exe").c_str(), exe.c_str(), FALSE));
  ASSERT_EQ(testing_support::Run(exe, L"-s -p " + root, 60000), 0);
  // Registered for this user, needing no elevation for its updates, as the suite's
  // configuration tool leaves an installation.
  ZFunction::WriteRegString(HKEY_CURRENT_USER, suite::kUninstallKey, L"LocationRoot", root);
  ZFunction::CreateFolderTree(root + L"utility");
  WritePrivateProfileStringW(L"update", L"needAdmin", L"false", (root + L"utility\\install.ini").c_str());

  // Where each stop comes: after a line of the log (and a pause, to land inside the work).
  const struct {
    const char* when;
    const char* line;
    DWORD pause;
  } points[] = {
      {"before the extraction", "install begin...", 0},
      {"during the extraction", "Extract 2 blocks", 100},
      {"after the extraction", "ExtractPacket return:1", 0},
      {"during the steps after it", "RunApp Register ...", 0},
  };
  for (const auto& point : points) {
    DeleteFileW(LogPath().c_str());
    Process update;
    ASSERT_TRUE(update.Start(exe, L"-update -s", dir.Path()));
    bool reached = false;
    for (DWORD start = GetTickCount(); !reached && GetTickCount() - start < 30000;) {
      reached = LogText().find(point.line) != std::string::npos;
      if (!reached && WaitForSingleObject(update.Handle(), 1) == WAIT_OBJECT_0) break;
    }
    Sleep(point.pause);
    const bool running = WaitForSingleObject(update.Handle(), 0) == WAIT_TIMEOUT;
    update.Kill();
    EXPECT_TRUE(reached && running) << "the update was not stopped " << point.when;
    ExpectHolds(live, data + L"ref\\many", point.when);
  }
  DeleteFileW(LogPath().c_str());
  EXPECT_EQ(testing_support::Run(exe, L"-update -s", 60000), 0) << LogText();
  ExpectHolds(live, data + L"ref\\many", "after the update ran again");
  EXPECT_FALSE(testing_support::Exists(staging));
  EXPECT_NE(LogText().find("the new files are written to " + testing_support::Narrow(staging) + " first"),
            std::string::npos);
  ZFunction::DeleteFolder(root);
}

TEST_F(SetupProgram, UserCopyAloneWritesHandOverAndObeysItsMessages) {
  Installer setup;
  testing_support::WriteString(HKEY_LOCAL_MACHINE, suite::kUninstallKey, L"LocationRoot", L"D:\\Machine\\");
  ZFunction::WriteRegString(HKEY_CURRENT_USER, suite::kUpdateInfoKey, L"waitclearversions", L"9.0.0.1;9.0.0.2");
  const HWND before = FindWindowW(nullptr, L"lumensetup_message");
  ASSERT_EQ(before, nullptr) << "a user-level window of an earlier test is still there";

  Process copy;
  ASSERT_TRUE(copy.Start(setup.exe, L"-downpower", setup.dir.Path()));
  HWND window = nullptr;
  for (DWORD start = GetTickCount(); !window && GetTickCount() - start < 10000; Sleep(5))
    window = FindWindowW(nullptr, L"lumensetup_message");
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(IsWindowVisible(window));

  const std::wstring file = HandOverPath();
  auto key = [&file](const wchar_t* name) {
    wchar_t v[520] = {};
    GetPrivateProfileStringW(L"install", name, L"<missing>", v, 520, file.c_str());
    return std::wstring(v);
  };
  EXPECT_EQ(key(L"localappdata"), GetSpecialFolder(CSIDL_LOCAL_APPDATA));
  EXPECT_EQ(key(L"appdatapath"), GetSpecialFolder(CSIDL_APPDATA));
  EXPECT_EQ(key(L"newcurinstallpath"), L"");  // the user's own hive has none
  EXPECT_EQ(key(L"oldinstallpath"), L"D:\\Machine\\");
  EXPECT_EQ(key(L"waitclearlist"), L"9.0.0.1;9.0.0.2");

  // Malformed requests are ignored: no terminator, unknown code, no data.
  wchar_t noZero[3] = {L'7', L'7', L'7'};
  COPYDATASTRUCT bad1{8, sizeof(noZero), noZero};
  COPYDATASTRUCT bad2{99, sizeof(noZero), noZero};
  COPYDATASTRUCT bad3{8, 0, nullptr};
  for (COPYDATASTRUCT* d : {&bad1, &bad2, &bad3}) SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(d));
  EXPECT_EQ(copy.Wait(300), -1) << "still running";

  wchar_t text[20] = L"4";
  COPYDATASTRUCT exitCode{8, sizeof(text), text};
  SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&exitCode));
  EXPECT_EQ(copy.Wait(), 4);
  DeleteFileW(file.c_str());
  ZFunction::DeleteRegValue(HKEY_CURRENT_USER, suite::kUpdateInfoKey, L"waitclearversions");

  // Message 1235 ends the copy with 0.
  Process second;
  ASSERT_TRUE(second.Start(setup.exe, L"-downpower", setup.dir.Path()));
  window = nullptr;
  for (DWORD start = GetTickCount(); !window && GetTickCount() - start < 10000; Sleep(5))
    window = FindWindowW(nullptr, L"lumensetup_message");
  ASSERT_NE(window, nullptr);
  PostMessageW(window, WM_USER + 211, 0, 0);
  EXPECT_EQ(second.Wait(), 0);
  DeleteFileW(file.c_str());
}

// A suite program that keeps running: the test tool under a suite program's name.
struct RunningSuiteProgram {
  TempFolder dir;
  Process process;
  bool Start(const wchar_t* name = L"lumen.exe") {
    const std::wstring path = dir / name;
    return CopyFileW((testing_support::BinFolder() + L"testtool.exe").c_str(), path.c_str(), FALSE) &&
           process.Start(path, L"sleep 60000");
  }
};

TEST_F(SetupProgram, RunningSuiteProgramAndSecondSetup) {
  Installer setup;
  RunningSuiteProgram running;
  ASSERT_TRUE(running.Start());

  Process first;
  ASSERT_TRUE(first.Start(setup.exe, L"-s", setup.dir.Path()));
  HANDLE firstUser = WaitForUserCopy(first);
  const Box m5 = WaitForBox(first.Id());
  ASSERT_NE(m5.hwnd, nullptr) << "the first setup asks to close the running program";
  EXPECT_EQ(m5.text, L"有一个 Lumen Office 应用程序实例 lumen.exe 在运行，请关闭后重试！");

  // A second setup while the first one runs: M3 and exit code 3, and only its own user-level
  // copy is ended with that code.
  Process second;
  ASSERT_TRUE(second.Start(setup.exe, L"-s", setup.dir.Path()));
  HANDLE secondUser = WaitForUserCopy(second);
  const Box m3 = WaitForBox(second.Id());
  ASSERT_NE(m3.hwnd, nullptr);
  EXPECT_EQ(m3.text, L"系统中有另一个安装程序正在运行，不能同时运行多个安装程序！");
  Press(m3, IDOK);
  EXPECT_EQ(second.Wait(), 3);
  EXPECT_EQ(ExitCodeOf(secondUser), 3);
  EXPECT_EQ(WaitForSingleObject(firstUser, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the first pair is untouched";
  // An elevated copy without a user-level copy of its own (its starter has no window) talks to
  // nobody's: the first setup's window carries the same title.
  Process third;
  ASSERT_TRUE(third.Start(setup.exe, L"-upgradepower -s", setup.dir.Path()));
  const Box m3again = WaitForBox(third.Id());
  ASSERT_NE(m3again.hwnd, nullptr);
  Press(m3again, IDOK);
  EXPECT_EQ(third.Wait(), 3);
  // Without -s the run may show the wizard and starts its copy only when it needs it: refused
  // before the wizard, it starts the copy at its end and hands it the exit code all the same.
  Process fourth;
  ASSERT_TRUE(fourth.Start(setup.exe, L"", setup.dir.Path()));
  const Box m3interactive = WaitForBox(fourth.Id());
  ASSERT_NE(m3interactive.hwnd, nullptr);
  Press(m3interactive, IDOK);
  HANDLE fourthUser = WaitForUserCopy(fourth);
  EXPECT_EQ(fourth.Wait(), 3);
  EXPECT_EQ(ExitCodeOf(fourthUser), 3);
  EXPECT_EQ(WaitForSingleObject(firstUser, 300), static_cast<DWORD>(WAIT_TIMEOUT)) << "the first pair is untouched";

  // Retry while the program still runs asks again; after it was closed the run goes on.
  Press(m5, IDRETRY);
  Sleep(300);
  const Box again = WaitForBox(first.Id());
  ASSERT_NE(again.hwnd, nullptr);
  running.process.Kill();
  running.process.Wait();
  Press(again, IDRETRY);
  EXPECT_EQ(first.Wait(), 0);  // past the checks, installed
  EXPECT_EQ(ExitCodeOf(firstUser), 0);
  const std::string log = LogText();
  EXPECT_NE(log.find("  Exist Lumen Process:lumen.exe\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("  One instance is running\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("  g_App.Run...\r\n"), std::string::npos) << log;
}

// A killed installing copy takes its user-level copy with it, which ends with code 2.
TEST_F(SetupProgram, UserCopyEndsWithTheKilledInstallingCopy) {
  Installer setup;
  RunningSuiteProgram running;
  ASSERT_TRUE(running.Start());
  Process installing;
  ASSERT_TRUE(installing.Start(setup.exe, L"-s", setup.dir.Path()));
  HANDLE user = WaitForUserCopy(installing);
  ASSERT_NE(WaitForBox(installing.Id()).hwnd, nullptr) << "the installing copy waits on the running program";
  // Once the copy runs: killed while still starting it, the installing copy would leave it
  // suspended for ever, as any parent killed inside CreateProcess does.
  bool serving = false;
  for (DWORD start = GetTickCount(); !serving && GetTickCount() - start < 10000; Sleep(5))
    for (const auto& [window, owner] : ZFunction::FindWindowsByTitle(L"lumensetup_message"))
      serving = serving || owner == GetProcessId(user);
  EXPECT_TRUE(serving) << "the user-level copy shows its window";
  TerminateProcess(installing.Handle(), 99);  // that process alone, not its job
  EXPECT_EQ(ExitCodeOf(user, 5000), 2);
  installing.Kill();  // whatever is left of the job
}

// Starts a silent run, answers the message box it shows with `button`, and checks the text,
// the exit code, and that the user-level copy ends with the same code.
void ExpectRefused(const Installer& setup, const std::wstring& text, int button, int code) {
  Process run;
  ASSERT_TRUE(run.Start(setup.exe, L"-s", setup.dir.Path()));
  HANDLE user = WaitForUserCopy(run);
  const Box box = WaitForBox(run.Id());
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.text, text);
  Press(box, button);
  EXPECT_EQ(run.Wait(), code);
  EXPECT_EQ(ExitCodeOf(user), code);
}

TEST_F(SetupProgram, CancelWhileSuiteProgramRunsEndsWithFour) {
  Installer setup;
  RunningSuiteProgram running;
  ASSERT_TRUE(running.Start(L"GRID.EXE"));  // names compare without regard to case
  ExpectRefused(setup, L"有一个 Lumen Office 应用程序实例 GRID.EXE 在运行，请关闭后重试！", IDCANCEL, 4);
}

TEST_F(SetupProgram, WindowsOlderThanXpIsRefused) {
  // Wine reports Windows 2000 (5.0) to a program of this file name.
  {
    const testing_support::WindowsVersionFor win2k(L"setup_w2k.exe", L"win2k");
    ExpectRefused(Installer(L"setup_w2k.exe"), L"Lumen Office 不支持该版本系统", IDOK, 2);
  }
  const std::string log = LogText();
  EXPECT_NE(log.find("  IsWinXPAndLater return false\r\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("g_Install.Init"), std::string::npos);
}

// Run by its own ctest entry, with Wine's system language set to traditional Chinese.
TEST_F(SetupProgram, TraditionalChineseSystemLanguageIsRefused) {
  ASSERT_EQ(GetSystemDefaultLangID(), 1028) << "this test needs a zh_TW system language";
  ExpectRefused(Installer(), L"非常抱歉，该安装包仅限中国大陆使用！", IDOK, 6);
  const std::string log = LogText();
  EXPECT_NE(log.find("  LanguageId is not support\r\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("g_Install.Init"), std::string::npos) << "nothing of the engine ran";
}

}  // namespace
