// The relaunch command lines, the exit-code message and the install state, checked as values.
#include "app/relaunch.h"

#include <gtest/gtest.h>

#include "app/command_line.h"
#include "app/setup_app.h"
#include "app/user_window.h"
#include "install/zinstall.h"
#include "suite/suite_programs.h"
#include "suite/user_protocol.h"
#include "sys/registry.h"
#include "tests/support/test_support.h"

namespace {

// The elevated copy splits its command line the way Windows does and must read back exactly
// the values and switches that were sent.
TEST(Relaunch, ElevatedCopyReadsBackWhatWasSent) {
  const std::wstring local = L"C:\\Users\\A B\\AppData\\Local", roaming = L"C:\\Users\\张三\\Roaming\\";
  const std::wstring cur = L"D:\\Old\\", menu = L"Lumen \"Office\" 个人版", waitList = L"9.0.0.1;;9.0.0.2\\";
  const std::wstring old = L"\\\\server\\share\\Lumen Office\\\\";
  const std::wstring params =
      BuildElevatedParameters(HandOver{local, roaming, cur, old, menu, waitList}, {L"-s", L"-p", L"E:\\x\\", L"-iid=7"});
  std::vector<std::wstring> args = SplitCommandLine(params);
  args.insert(args.begin(), L"C:\\dl\\setup.exe");
  ZSetupApp app;
  ZInsall engine;
  ASSERT_TRUE(app.ParseArguments(args, engine));
  EXPECT_EQ(engine.HandedOver.LocalAppData, local);
  EXPECT_EQ(engine.HandedOver.AppDataPath, roaming);
  EXPECT_EQ(engine.HandedOver.NewCurInstallPath, cur);
  EXPECT_EQ(engine.HandedOver.StartMenuDir, menu);
  EXPECT_EQ(engine.HandedOver.WaitClearList, waitList);
  EXPECT_EQ(engine.HandedOver.OldInstallPath, old);
  EXPECT_EQ(engine.UserProcessMode, 1);
  EXPECT_EQ(app.UpgradePower, 1) << "the switches after the values are not swallowed";
  EXPECT_EQ(app.Silent, 1);
  EXPECT_EQ(app.InstallPath, L"E:\\x\\");
  EXPECT_EQ(engine.Iid, L"7");

  // The user's own arguments pass unquoted (a quoted blank splits in two), and only whole ones
  // fit the 10240 characters.
  args = SplitCommandLine(BuildElevatedParameters(HandOver{L"L", L"R"}, {L"-p", L"C:\\My Docs"}));
  EXPECT_EQ(args, (std::vector<std::wstring>{L"-needcommunicate", L"-localapp=L", L"-appdata=R", L"-upgradepower",
                                             L"-p", L"C:\\My", L"Docs"}));
  args = SplitCommandLine(BuildElevatedParameters(HandOver{L"L", L"R"}, {L"-s", std::wstring(20000, L'x'), L"-e"}));
  EXPECT_EQ(args.back(), L"-s");
}

// The user-level copy's window acting on requests, and ignoring malformed ones.
TEST(UserCopyMessages, RequestsAreActedOnAndMalformedOnesIgnored) {
  ASSERT_TRUE(InitWindowModule(GetModuleHandleW(nullptr)));
  {
    ZInnerWinCallback window;
    ASSERT_NE(window.Handle(), nullptr);
    auto send = [&](ULONG_PTR code, DWORD bytes, const void* data) {
      COPYDATASTRUCT copy{code, bytes, const_cast<void*>(data)};
      return SendMessageW(window.Handle(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
    };
    auto waitList = [] {
      return ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kUpdateInfoKey, L"waitclearversions");
    };

    // Code 0: the program is started with the request's wait; it signals an event we watch.
    const wchar_t* eventName = L"LumenTestRunRequest";
    HANDLE started = CreateEventW(nullptr, TRUE, FALSE, eventName);
    RunRequest run{};
    const std::wstring tool = testing_support::BinFolder() + L"testtool.exe";
    wcscpy(run.Path, tool.c_str());
    wcscpy(run.Params, L"set-event LumenTestRunRequest");
    run.Wait = 10000;
    run.Show = 0;
    send(0, sizeof(run) - 1, &run);  // one byte short: not a request
    EXPECT_EQ(WaitForSingleObject(started, 300), static_cast<DWORD>(WAIT_TIMEOUT));
    RunRequest unterminated = run;
    std::fill(std::begin(unterminated.Path), std::end(unterminated.Path), L'x');
    send(0, sizeof(unterminated), &unterminated);
    EXPECT_EQ(WaitForSingleObject(started, 300), static_cast<DWORD>(WAIT_TIMEOUT));
    send(0, sizeof(run), &run);
    EXPECT_EQ(WaitForSingleObject(started, 0), WAIT_OBJECT_0) << "started and waited for";
    CloseHandle(started);

    // Code 5: the wait list replaces the stored one; an empty list only deletes it.
    const wchar_t list[] = L"9.0.0.1;;9.0.0.2";
    send(5, sizeof(list), list);
    EXPECT_EQ(waitList(), L"9.0.0.1;;9.0.0.2");
    const wchar_t noEnd[3] = {L'9', L'.', L'1'};
    send(5, sizeof(noEnd), noEnd);  // no terminator inside the data
    send(5, 0, nullptr);
    send(5, sizeof(list), nullptr);
    EXPECT_EQ(waitList(), L"9.0.0.1;;9.0.0.2") << "malformed lists change nothing";
    send(5, sizeof(wchar_t), L"");
    EXPECT_EQ(waitList(), L"");

    // Unknown codes and other junk are ignored without harm.
    send(12, sizeof(list), list);
    send(~ULONG_PTR(0), sizeof(list), list);
    SendMessageW(window.Handle(), WM_COPYDATA, 0, 0);
    EXPECT_TRUE(IsWindow(window.Handle()));
  }
  TermWindowModule();
}

}  // namespace
