// How the two copies talk: the parsing of requests, and every step asked of the sending side
// arriving as the same step at the receiving window's user side.
#include "suite/user_protocol.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include "log/run_record.h"
#include "sys/system_info.h"

#include "tests/support/recording_user_side.h"
#include "tests/support/test_support.h"

using testing_support::TempFolder;

namespace {

TEST(UserCopyMessages, ExitCodeRequestIsCheckedBeforeUse) {
  int code = -1;
  wchar_t text[20] = L"4";
  EXPECT_TRUE(ParseExitCodeRequest(COPYDATASTRUCT{8, sizeof(text), text}, &code));
  EXPECT_EQ(code, 4);
  wchar_t negative[20] = L"-7";
  EXPECT_TRUE(ParseExitCodeRequest(COPYDATASTRUCT{8, sizeof(negative), negative}, &code));
  EXPECT_EQ(code, -7);
  wchar_t unterminated[2] = {L'1', L'2'};
  EXPECT_FALSE(ParseExitCodeRequest(COPYDATASTRUCT{8, sizeof(unterminated), unterminated}, &code));
  EXPECT_FALSE(ParseExitCodeRequest(COPYDATASTRUCT{8, 1, text}, &code));  // not even one character
  EXPECT_FALSE(ParseExitCodeRequest(COPYDATASTRUCT{8, sizeof(text), nullptr}, &code));
  EXPECT_FALSE(ParseExitCodeRequest(COPYDATASTRUCT{7, sizeof(text), text}, &code));
}

TEST(UserCopyMessages, FieldRequestSplitsAtItsSeparators) {
  std::wstring path, params;
  int wait = -1, show = -1;
  EXPECT_TRUE(ParseFieldRequest(L"C:\\a b\\x.exe*-*-s -p*-*5000*-*1*-*", &path, &params, &wait, &show));
  EXPECT_EQ(path, L"C:\\a b\\x.exe");
  EXPECT_EQ(params, L"-s -p");
  EXPECT_EQ(wait, 5000);
  EXPECT_EQ(show, 1);
  // A field without its closing separator reads as empty, a number as 0.
  EXPECT_TRUE(ParseFieldRequest(L"x.exe*-**-*12", &path, &params, &wait, &show));
  EXPECT_EQ(params, L"");
  EXPECT_EQ(wait, 0);
  EXPECT_EQ(show, 0);
  EXPECT_FALSE(ParseFieldRequest(L"x.exe", &path, &params, &wait, &show)) << "no program";
  EXPECT_FALSE(ParseFieldRequest(L"", &path, &params, &wait, &show));
}

// A message-only window that hands every request to DispatchUserRequest, as the user-level
// copy's window does, with a recording user side.
struct ReceivingWindow {
  RecordingUserSide local;
  std::wstring answerFile;
  HWND window = nullptr;

  explicit ReceivingWindow(const std::wstring& answers) : answerFile(answers) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
      if (message != WM_COPYDATA) return DefWindowProcW(hwnd, message, wParam, lParam);
      auto* self = reinterpret_cast<ReceivingWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
      return static_cast<LRESULT>(
          DispatchUserRequest(*reinterpret_cast<const COPYDATASTRUCT*>(lParam), self->local, self->answerFile));
    };
    wc.lpszClassName = L"LumenTestReceivingWindow";
    RegisterClassW(&wc);
    window = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~ReceivingWindow() { DestroyWindow(window); }
};

TEST(UserProtocol, EveryStepArrivesAsTheSameStep) {
  TempFolder dir;
  ReceivingWindow receiver(dir / L"tempinstall.ini");
  receiver.local.reportId = L"{8D6F2C1A-0B3E}";
  receiver.local.cirrusPath = L"C:\\cirrus\\cirrus.exe";
  UserCopyLink link;
  link.Set(receiver.window, 0);
  HandOver values;
  values.LocalAppData = dir.Path();  // where the answers come back
  values.WaitClearList = L"9.0.0.1";
  RemoteUserSide remote(link, values, nullptr);
  const std::wstring tool = testing_support::BinFolder() + L"testtool.exe";

  EXPECT_TRUE(remote.Run(tool, L"a b", 5000, 1));
  EXPECT_FALSE(remote.Run(dir / L"missing.exe", L"", 0, 0)) << "not sent: as a start made here, a failure";
  EXPECT_EQ(remote.SendRunRequest(tool, std::wstring(1024, L'x'), 0, 0), Delivery::NotDelivered) << "does not fit";
  EXPECT_EQ(remote.SendRunRequest(tool, std::wstring(1023, L'x'), 0, 0), Delivery::Done);
  remote.RunAsDesktopUser(tool, L"c", 0, 1);
  EXPECT_TRUE(remote.ShowCirrus(L"showui", 7, 0));
  remote.SendReport(L"C:\\suite\\", L"9");
  remote.SetEnvironment(L"C:\\suite\\");
  remote.DeleteStartMenu(L"Lumen Office");
  remote.DeleteUserKeys();
  remote.ForgetMachineInstallation();
  remote.DeleteRestartInfo();
  remote.StoreWaitList(L"9.0.0.2");
  EXPECT_EQ(remote.WaitList(), L"9.0.0.2") << "the handed-over list follows";
  EXPECT_EQ(remote.ReportId(), L"8D6F2C1A0B3E") << "answered without braces and hyphens";
  EXPECT_EQ(remote.CirrusPath(), L"C:\\cirrus\\cirrus.exe");
  // A start the user-level copy could not make comes back as a failure.
  receiver.local.runResult = false;
  EXPECT_FALSE(remote.Run(tool, L"d", 0, 0));
  EXPECT_FALSE(remote.ShowCirrus(L"showui", 0, 1));

  EXPECT_EQ(receiver.local.calls, (std::vector<std::wstring>{
                                      L"Run " + tool + L" a b 5000 1",
                                      L"Run " + tool + L" " + std::wstring(1023, L'x') + L" 0 0",
                                      L"Run " + tool + L" c 0 1",
                                      L"ShowCirrus showui 0 1",  // shown, without waiting
                                      L"SendReport C:\\suite\\ 3",  // the item's usual parameter
                                      L"SetEnvironment C:\\suite\\",
                                      L"DeleteStartMenu Lumen Office",
                                      L"DeleteUserKeys",
                                      L"DeleteUserKeys",
                                      L"DeleteRestartInfo",
                                      L"StoreWaitList 9.0.0.2",
                                      L"ReportId",
                                      L"CirrusPath",
                                      L"Run " + tool + L" d 0 0",
                                      L"ShowCirrus showui 0 1",
                                  }));
}

// The user-level copy gone (no window): the desktop user's own account does each step here;
// another account cannot, and every step it owed the user fails the run.
TEST(UserProtocol, StepsThatCannotReachTheUserCopy) {
  const std::wstring tool = testing_support::BinFolder() + L"testtool.exe";
  UserCopyLink gone;
  HandOver values;
  values.LocalAppData = ZFunction::GetSpecialFolder(CSIDL_LOCAL_APPDATA);  // this account's own
  auto owned = std::make_unique<RecordingUserSide>();
  RecordingUserSide& here = *owned;
  RemoteUserSide sameAccount(gone, values, std::move(owned));
  g_Run.Reset();
  EXPECT_TRUE(sameAccount.Run(tool, L"x", 0, 1));
  sameAccount.RunAsDesktopUser(tool, L"y", 0, 1);
  sameAccount.DeleteUserKeys();
  sameAccount.ForgetMachineInstallation();
  sameAccount.SendReport(L"C:\\suite\\", L"3");
  EXPECT_EQ(here.calls, (std::vector<std::wstring>{L"Run " + tool + L" x 0 1", L"RunAsDesktopUser " + tool + L" y",
                                                   L"DeleteUserKeys", L"DeleteUserKeys", L"SendReport C:\\suite\\ 3"}));
  EXPECT_FALSE(g_Run.AnyFailure());

  values.LocalAppData = L"C:\\users\\someone else\\AppData\\Local";
  auto other = std::make_unique<RecordingUserSide>();
  RecordingUserSide& notUsed = *other;
  RemoteUserSide anotherAccount(gone, values, std::move(other));
  EXPECT_FALSE(anotherAccount.Run(tool, L"x", 0, 1));  // the engine counts it
  anotherAccount.DeleteUserKeys();
  anotherAccount.SetEnvironment(L"C:\\suite\\");
  EXPECT_TRUE(notUsed.calls.empty());
  EXPECT_EQ(g_Run.StepsFailed(), 2u);
  EXPECT_EQ(g_Run.FirstCause(), "removing the old suite's entries of the user was not done for the desktop user");
  g_Run.Reset();
}

}  // namespace
