// Starting programs and finding the suite's running programs, with the test tool standing in
// for the suite's programs under their real names.
#include "sys/process_start.h"
#include "sys/process_search.h"
#include "sys/system_info.h"

#include <tlhelp32.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "sys/file_utils.h"
#include "sys/registry.h"
#include "tests/support/test_support.h"

using testing_support::Process;
using testing_support::TempFolder;

namespace {

std::wstring CopyTool(const TempFolder& dir, const wchar_t* name) {
  const std::wstring path = dir / name;
  CopyFileW((testing_support::BinFolder() + L"testtool.exe").c_str(), path.c_str(), FALSE);
  return path;
}

bool IsRunning(const wchar_t* exeName) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W e{};
  e.dwSize = sizeof(e);
  bool found = false;
  for (BOOL more = Process32FirstW(snap, &e); more && !found; more = Process32NextW(snap, &e))
    found = _wcsicmp(e.szExeFile, exeName) == 0;
  CloseHandle(snap);
  return found;
}

TEST(FindBlockingProcess, EndsHelpersNamesBlockersAndPassesOverItself) {
  const std::vector<const wchar_t*> kHelpers = {L"desktoptip.exe"}, kBlocking = {L"lmomisc.exe", L"deck.exe"};
  TempFolder dir;
  Process helper, blocker, self;
  ASSERT_TRUE(helper.Start(CopyTool(dir, L"desktoptip.exe"), L"sleep 60000"));
  ASSERT_TRUE(self.Start(CopyTool(dir, L"lmomisc.exe"), L"sleep 60000"));
  const std::wstring own = dir / L"lmomisc.exe";
  Sleep(200);

  // Only the helper and the installer's own file run: the helper is ended with exit code 4.
  EXPECT_EQ(ZFunction::FindBlockingProcess(own, kHelpers, kBlocking), L"");
  EXPECT_EQ(helper.Wait(5000), 4);
  EXPECT_EQ(self.Wait(0), -1) << "the installer's own path is passed over";

  ASSERT_TRUE(blocker.Start(CopyTool(dir, L"Deck.exe"), L"sleep 60000"));
  Sleep(200);
  EXPECT_EQ(ZFunction::FindBlockingProcess(own, kHelpers, kBlocking), L"Deck.exe");
  EXPECT_EQ(blocker.Wait(0), -1) << "a blocking program is only named, never ended";
  // Another copy of the same name elsewhere is not the installer.
  EXPECT_EQ(ZFunction::FindBlockingProcess(dir / L"other\\lmomisc.exe", {}, {L"lmomisc.exe"}), L"lmomisc.exe");
  blocker.Kill();
  self.Kill();
  blocker.Wait();
  self.Wait();
}

// The path of a process is read from its image name, not from its module list: that list of a
// 64-bit process cannot be read by the shipped 32-bit program, nor that of a process whose
// loader has not run yet.
TEST(GetModuleFileOfProcess, ReadsTheImageNameOfAProcessNotYetRunning) {
  TempFolder dir;
  const std::wstring tool = CopyTool(dir, L"lumentestsuspended.exe");
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  std::wstring line = L"\"" + tool + L"\" sleep 10";
  ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &si, &pi));
  std::wstring path;
  EXPECT_TRUE(ZFunction::GetModuleFileOfProcess(pi.dwProcessId, path));
  EXPECT_EQ(_wcsicmp(path.c_str(), tool.c_str()), 0) << testing_support::Narrow(path);
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 5000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

TEST(RunApp, MissingFileWaitAndNoWait) {
  TempFolder dir;
  EXPECT_FALSE(ZFunction::RunApp(dir / L"missing.exe", L"", 0, 1));

  const std::wstring tool = CopyTool(dir, L"lumentestwait.exe");
  EXPECT_TRUE(ZFunction::RunApp(tool, L"sleep 400", INFINITE, 0));
  EXPECT_FALSE(IsRunning(L"lumentestwait.exe")) << "waited until the program ended";

  EXPECT_TRUE(ZFunction::RunApp(tool, L"sleep 3000", 0, 0));
  EXPECT_TRUE(IsRunning(L"lumentestwait.exe")) << "returned at once";
  EXPECT_TRUE(ZFunction::RunApp(tool, L"sleep 3000", 100, 0));  // a wait that runs out still counts
  for (DWORD start = GetTickCount(); IsRunning(L"lumentestwait.exe") && GetTickCount() - start < 10000;) Sleep(50);
}

}  // namespace
