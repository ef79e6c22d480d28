// How the two copies of the installer talk: the elevated copy sends requests as WM_COPYDATA to
// the user-level copy's hidden window "lumensetup_message", which carries them out in the
// desktop user's session. The codes, the data layouts, the parsing, the sending side
// (RemoteUserSide) and the receiving side's dispatcher all live here, so both ends read one
// definition.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "suite/user_side.h"

inline constexpr wchar_t kUserWindowTitle[] = L"lumensetup_message";
inline constexpr UINT kQuitUserCopyMessage = WM_USER + 211;  // 1235: ends the user-level copy

// Request codes (COPYDATASTRUCT::dwData) and what their data is.
enum UserRequest : ULONG_PTR {
  kRequestRun = 0,              // RunRequest
  kRequestReport = 1,           // text: the install folder
  kRequestEnvironment = 2,      // text: the install folder
  kRequestDeleteStartMenu = 3,  // text: the start-menu folder name
  kRequestDeleteUserKeys = 4,   // none
  kRequestWaitList = 5,         // text: the remaining wait list
  kRequestFields = 6,           // text "<path>*-*<params>*-*<wait>*-*<show>*-*"; nothing here sends it
  kRequestReportId = 7,         // none; answered in the hand-over file ("infoguid")
  kRequestExitCode = 8,         // text: the exit code in decimal
  kRequestRestartInfo = 9,      // none
  kRequestCirrusPath = 10,      // none; answered in the hand-over file ("cirruspath")
  kRequestShowCirrus = 11,      // text: the client's parameters
};

// A program to start on the user's desktop: the data of request 0, 3096 bytes.
struct RunRequest {
  wchar_t Path[520];
  wchar_t Params[1024];
  INT32 Wait;
  INT32 Show;
};
static_assert(sizeof(RunRequest) == 3096, "the request's layout is shared with the user-level copy");

// Reads the exit code of a code-8 request; false for a malformed one.
bool ParseExitCodeRequest(const COPYDATASTRUCT& data, int* exitCode);
// Reads the string of a text request; false when the terminator is not inside the data.
bool ParseTextRequest(const COPYDATASTRUCT& data, std::wstring* text);
// Splits a code-6 request "<path>*-*<params>*-*<wait>*-*<show>*-*"; false without a path.
bool ParseFieldRequest(const std::wstring& text, std::wstring* path, std::wstring* params, int* wait, int* show);
// Reads a program-start request (code 0); false for a wrong size or an unterminated field.
bool ParseRunRequest(const COPYDATASTRUCT& data, RunRequest* request);

// What became of a request. The user-level copy's window answers WM_COPYDATA with 1 when it
// carried the request out and 2 when it could not (a program that did not start); the send
// returns 0 when the request never reached it (no window, or the copy ended meanwhile).
enum class Delivery { NotDelivered = 0, Done = 1, NotDone = 2 };

// Sends a request and waits until the window has handled it.
Delivery SendUserRequest(HWND window, ULONG_PTR code, const void* data, DWORD bytes);
Delivery SendUserRequest(HWND window, ULONG_PTR code, const std::wstring& text);

// The user-level copy's side: carries out one request through `local`. Questions (codes 7 and
// 10) are answered in a fresh `answerFile`, section "installinfo". Returns what the window
// answers (Done or NotDone); exit codes (8) and unknown codes are not requests for the user
// side: NotDelivered.
Delivery DispatchUserRequest(const COPYDATASTRUCT& data, UserSide& local, const std::wstring& answerFile);

// The user-level copy one elevated copy talks to: its window, looked up by title among the
// windows of the process that started this one (or the one it started) when not known yet.
class UserCopyLink {
 public:
  void Set(HWND window, DWORD process) {
    Window_ = window;
    Process_ = process;
  }
  // The window, looked up when not known; null when there is none.
  HWND Window();

 private:
  HWND Window_ = nullptr;
  DWORD Process_ = 0;
};

// The elevated copy's user side: the handed-over values, and every step sent to the user-level
// copy. Answers come back in `answerFile` (the hand-over file in the user's local folder).
// A step that cannot reach the user-level copy (it ended during the run) is done by `here`, this
// process's own user side, when this process works as the desktop user's account (the
// handed-over local folder is this account's own): the same account, the same hive, the same
// folders; the suite's programs for the user are started with the desktop shell's rights, as
// the copy would have. From another account nothing can be done for the desktop user: the
// step fails (the run's record says which).
class RemoteUserSide final : public UserSide {
 public:
  RemoteUserSide(UserCopyLink& link, HandOver& handOver, std::unique_ptr<UserSide> here)
      : Link(link), Values(handOver), Here(std::move(here)) {}

  std::wstring LocalAppData() const override;
  std::wstring AppData() const override;
  std::wstring InstallationRoot() const override { return Values.NewCurInstallPath; }
  std::wstring StartMenuDir() const override { return Values.StartMenuDir; }
  std::wstring OldInstallationRoot() const override { return Values.OldInstallPath; }
  std::wstring WaitList() const override { return Values.WaitClearList; }
  void StoreWaitList(const std::wstring& list) override;
  std::wstring ReportId() override;
  std::wstring CirrusPath() override;

  bool Run(const std::wstring& program, const std::wstring& params, int wait, int show) override;
  void RunAsDesktopUser(const std::wstring& program, const std::wstring& params, int wait, int show) override;
  bool ShowCirrus(const std::wstring& params, int wait, int show) override;
  void SendReport(const std::wstring& installFolder, const std::wstring& itemParam) override;
  void SetEnvironment(const std::wstring& installFolder) override;
  void DeleteStartMenu(const std::wstring& name) override;
  void DeleteUserKeys() override;
  void ForgetMachineInstallation() override;
  void DeleteRestartInfo() override;

  // Asks the user-level copy to start a program; NotDelivered when the program is missing, the
  // path or parameters do not fit the request (both logged), or the copy cannot be reached.
  Delivery SendRunRequest(const std::wstring& path, const std::wstring& params, int wait, int show);

 private:
  Delivery Send(ULONG_PTR code, const std::wstring& text) { return SendUserRequest(Link.Window(), code, text); }
  Delivery Send(ULONG_PTR code) { return SendUserRequest(Link.Window(), code, nullptr, 0); }
  std::wstring AnswerFile() const;
  // The side that does `step` when the user-level copy could not be reached: this process's own
  // (logged), or null when this process is another account (the caller fails the step).
  UserSide* Undelivered(const char* step);
  // Undelivered, and a step without a result of its own is recorded as failed.
  UserSide* UndeliveredStep(const char* step);

  UserCopyLink& Link;
  HandOver& Values;
  std::unique_ptr<UserSide> Here;
};

// A handed-over folder counts only as a whole local path; otherwise this process's own folder
// of the kind `csidl` is taken.
std::wstring HandedOverFolderOr(const std::wstring& handedOver, int csidl);
