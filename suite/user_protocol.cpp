#include "suite/user_protocol.h"

#include <objbase.h>
#include <shlobj.h>
#include <wchar.h>

#include <algorithm>

#include "log/run_record.h"
#include "log/setup_log.h"
#include "suite/install_config.h"
#include "suite/suite_programs.h"
#include "sys/file_utils.h"
#include "sys/process_search.h"
#include "sys/system_info.h"
#include "sys/registry.h"

bool ParseExitCodeRequest(const COPYDATASTRUCT& data, int* exitCode) {
  // Decimal text in up to 20 wide characters; the terminator must be inside the data.
  if (data.dwData != kRequestExitCode || !data.lpData || data.cbData < sizeof(wchar_t) || data.cbData > 4096)
    return false;
  const wchar_t* text = static_cast<const wchar_t*>(data.lpData);
  const size_t chars = data.cbData / sizeof(wchar_t);
  if (wcsnlen(text, chars) == chars) return false;
  *exitCode = _wtoi(text);
  return true;
}

bool ParseTextRequest(const COPYDATASTRUCT& data, std::wstring* text) {
  // A zero-terminated wide string; the terminator must be inside the data.
  if (!data.lpData || data.cbData < sizeof(wchar_t) || data.cbData > 65536) return false;
  const wchar_t* chars = static_cast<const wchar_t*>(data.lpData);
  const size_t count = data.cbData / sizeof(wchar_t);
  const size_t length = wcsnlen(chars, count);
  if (length == count) return false;
  text->assign(chars, length);
  return true;
}

bool ParseFieldRequest(const std::wstring& text, std::wstring* path, std::wstring* params, int* wait, int* show) {
  // Four fields, each closed by "*-*"; a field without its separator reads as empty.
  const std::wstring separator = L"*-*";
  std::wstring fields[4];
  size_t at = 0;
  for (std::wstring& field : fields) {
    const size_t end = text.find(separator, at);
    if (end == std::wstring::npos) break;
    field = text.substr(at, end - at);
    at = end + separator.size();
  }
  *path = fields[0];
  *params = fields[1];
  *wait = _wtoi(fields[2].c_str());
  *show = _wtoi(fields[3].c_str());
  return !path->empty();
}

bool ParseRunRequest(const COPYDATASTRUCT& data, RunRequest* request) {
  if (!data.lpData || data.cbData != sizeof(RunRequest)) return false;
  memcpy(request, data.lpData, sizeof(RunRequest));
  return wcsnlen(request->Path, ARRAYSIZE(request->Path)) < ARRAYSIZE(request->Path) &&
         wcsnlen(request->Params, ARRAYSIZE(request->Params)) < ARRAYSIZE(request->Params);
}

Delivery SendUserRequest(HWND window, ULONG_PTR code, const void* data, DWORD bytes) {
  if (!window) return Delivery::NotDelivered;
  COPYDATASTRUCT copy{code, bytes, const_cast<void*>(data)};
  const LRESULT answer = SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
  return answer == static_cast<LRESULT>(Delivery::Done)      ? Delivery::Done
         : answer == static_cast<LRESULT>(Delivery::NotDone) ? Delivery::NotDone
                                                              : Delivery::NotDelivered;
}

Delivery SendUserRequest(HWND window, ULONG_PTR code, const std::wstring& text) {
  return SendUserRequest(window, code, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

namespace {

// Answers a question of the elevated copy through a fresh hand-over file.
void Answer(const std::wstring& file, const wchar_t* key, const std::wstring& value) {
  DeleteFileW(file.c_str());
  ZFunction::WriteProfileString(file, L"installinfo", key, value);
}

// The report identifier as the user-level copy hands it on: without braces and hyphens.
std::wstring Digits(std::wstring id) {
  id.erase(std::remove_if(id.begin(), id.end(), [](wchar_t c) { return c == L'{' || c == L'}' || c == L'-'; }),
           id.end());
  return id;
}

std::wstring NewGuidText() {
  GUID guid{};
  wchar_t text[64] = {};
  if (SUCCEEDED(CoCreateGuid(&guid))) StringFromGUID2(guid, text, 64);
  return text;
}

}  // namespace

Delivery DispatchUserRequest(const COPYDATASTRUCT& data, UserSide& local, const std::wstring& answerFile) {
  const Delivery done = Delivery::Done;
  auto result = [](bool ok) { return ok ? Delivery::Done : Delivery::NotDone; };
  std::wstring text;
  switch (data.dwData) {
    case kRequestRun: {
      RunRequest request;
      return result(ParseRunRequest(data, &request) && local.Run(request.Path, request.Params, request.Wait, request.Show));
    }
    case kRequestReport:
      // The install item is not known here: its usual parameter stands in for it.
      if (!ParseTextRequest(data, &text)) return Delivery::NotDone;
      local.SendReport(text, L"3");
      return done;
    case kRequestEnvironment:
      if (!ParseTextRequest(data, &text)) return Delivery::NotDone;
      local.SetEnvironment(text);
      return done;
    case kRequestDeleteStartMenu:
      if (!ParseTextRequest(data, &text)) return Delivery::NotDone;
      local.DeleteStartMenu(text);
      return done;
    case kRequestDeleteUserKeys:
      local.DeleteUserKeys();
      return done;
    case kRequestWaitList:
      if (!ParseTextRequest(data, &text)) return Delivery::NotDone;
      local.StoreWaitList(text);
      return done;
    case kRequestFields: {
      std::wstring path, params;
      int wait = 0, show = 0;
      return result(ParseTextRequest(data, &text) && ParseFieldRequest(text, &path, &params, &wait, &show) &&
                    local.Run(path, params, wait, show));
    }
    case kRequestReportId:
      Answer(answerFile, L"infoguid", Digits(local.ReportId()));
      return done;
    case kRequestRestartInfo:
      local.DeleteRestartInfo();
      return done;
    case kRequestCirrusPath:
      Answer(answerFile, L"cirruspath", local.CirrusPath());
      return done;
    case kRequestShowCirrus:
      return result(ParseTextRequest(data, &text) && local.ShowCirrus(text, 0, 1));
    default:  // the exit code is the window's own business; anything above 11 is no request
      return Delivery::NotDelivered;
  }
}

HWND UserCopyLink::Window() {
  if (!Window_) Window_ = ZFunction::FindProcessWindow(kUserWindowTitle, Process_);
  return Window_;
}

std::wstring HandedOverFolderOr(const std::wstring& handedOver, int csidl) {
  return ZFunction::IsWholeLocalPath(handedOver) ? handedOver : ZFunction::GetSpecialFolder(csidl);
}

std::wstring RemoteUserSide::LocalAppData() const { return HandedOverFolderOr(Values.LocalAppData, CSIDL_LOCAL_APPDATA); }
std::wstring RemoteUserSide::AppData() const { return HandedOverFolderOr(Values.AppDataPath, CSIDL_APPDATA); }

std::wstring RemoteUserSide::AnswerFile() const { return ZFunction::WithSlash(LocalAppData()) + L"tempinstall.ini"; }

UserSide* RemoteUserSide::Undelivered(const char* step) {
  const std::wstring own = ZFunction::GetSpecialFolder(CSIDL_LOCAL_APPDATA);
  if (Here && !own.empty() && _wcsicmp(ZFunction::WithSlash(LocalAppData()).c_str(), ZFunction::WithSlash(own).c_str()) == 0) {
    g_Log.Log("the user-level copy cannot be reached: %s is done by this process (the desktop user's account)", step);
    return Here.get();
  }
  g_Log.Log("the user-level copy cannot be reached, and this process is another account than the desktop user: %s",
            step);
  return nullptr;
}

UserSide* RemoteUserSide::UndeliveredStep(const char* step) {
  UserSide* here = Undelivered(step);
  if (!here) g_Run.StepFailed("%s was not done for the desktop user", step);
  return here;
}

void RemoteUserSide::StoreWaitList(const std::wstring& list) {
  Values.WaitClearList = list;  // what the user-level copy now stores
  if (Send(kRequestWaitList, list) == Delivery::NotDelivered)
    if (UserSide* here = UndeliveredStep("storing the versions left to remove")) here->StoreWaitList(list);
}

std::wstring RemoteUserSide::ReportId() {
  g_Log.Log("send msg to user process set the guid to temp file");
  if (Send(kRequestReportId) == Delivery::NotDelivered)
    if (UserSide* here = Undelivered("reading the user's report identifier")) return here->ReportId();
  const std::wstring file = AnswerFile();
  return ZFunction::PathExists(file) ? install_config::TakeHandOverValue(file, L"infoguid", NewGuidText().c_str(), 80)
                                     : ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kCommonKey, L"infoGUID");
}

std::wstring RemoteUserSide::CirrusPath() {
  if (Send(kRequestCirrusPath) == Delivery::NotDelivered)
    if (UserSide* here = Undelivered("reading the cloud client's path")) return here->CirrusPath();
  return install_config::TakeHandOverValue(AnswerFile(), L"cirruspath", L"", install_config::kTextChars);
}

Delivery RemoteUserSide::SendRunRequest(const std::wstring& path, const std::wstring& params, int wait, int show) {
  RunRequest request{};
  if (!ZFunction::PathExists(path)) {
    g_Log.Log("RemoteUserSide the program is missing: %ws", path.c_str());
    return Delivery::NotDelivered;
  }
  if (path.size() >= ARRAYSIZE(request.Path) || params.size() >= ARRAYSIZE(request.Params)) {
    g_Log.Log("RemoteUserSide the path or parameters are too long for the request: %ws", path.c_str());
    return Delivery::NotDelivered;
  }
  path.copy(request.Path, path.size());
  params.copy(request.Params, params.size());
  request.Wait = wait;
  request.Show = show;
  return SendUserRequest(Link.Window(), kRequestRun, &request, sizeof(request));
}

bool RemoteUserSide::Run(const std::wstring& program, const std::wstring& params, int wait, int show) {
  if (!ZFunction::PathExists(program)) {
    g_Log.Log("RemoteUserSide the program is missing: %ws", program.c_str());
    return false;  // as a start made here fails
  }
  switch (SendRunRequest(program, params, wait, show)) {
    case Delivery::Done:
      return true;
    case Delivery::NotDone:
      g_Log.Log("RemoteUserSide the user-level copy could not start %ws", program.c_str());
      return false;
    case Delivery::NotDelivered:
      break;
  }
  UserSide* here = Undelivered("a program start");
  return here && here->Run(program, params, wait, show);
}

void RemoteUserSide::RunAsDesktopUser(const std::wstring& program, const std::wstring& params, int wait, int show) {
  // The user-level copy is the desktop user; from here the desktop shell starts it as that user.
  const Delivery sent = SendRunRequest(program, params, wait, show);
  if (sent == Delivery::NotDone) g_Log.Log("RemoteUserSide the user-level copy could not start %ws", program.c_str());
  if (sent == Delivery::NotDelivered)
    if (UserSide* here = UndeliveredStep("starting a suite program for the user"))
      here->RunAsDesktopUser(program, params, wait, show);
}

bool RemoteUserSide::ShowCirrus(const std::wstring& params, int wait, int show) {
  g_Log.Log("Run Cirrus by Send Msg.");
  switch (Send(kRequestShowCirrus, params)) {
    case Delivery::Done:
      return true;
    case Delivery::NotDone:
      return false;
    case Delivery::NotDelivered:
      break;
  }
  UserSide* here = Undelivered("showing the cloud-document client");
  return here && here->ShowCirrus(params, wait, show);
}

void RemoteUserSide::SendReport(const std::wstring& installFolder, const std::wstring& itemParam) {
  g_Log.Log(" the path is %ws", installFolder.c_str());
  if (Send(kRequestReport, installFolder) == Delivery::NotDelivered) {
    if (UserSide* here = UndeliveredStep("the installation report")) here->SendReport(installFolder, itemParam);
    return;
  }
  g_Log.Log("Send Infocellect End by send message.");
}

void RemoteUserSide::SetEnvironment(const std::wstring& installFolder) {
  g_Log.Log(" the path is %ws", installFolder.c_str());
  if (Send(kRequestEnvironment, installFolder) == Delivery::NotDelivered)
    if (UserSide* here = UndeliveredStep("the user's suite environment")) here->SetEnvironment(installFolder);
}

void RemoteUserSide::DeleteStartMenu(const std::wstring& name) {
  if (Send(kRequestDeleteStartMenu, name) == Delivery::NotDelivered)
    if (UserSide* here = UndeliveredStep("removing the old start-menu folder and shortcuts")) here->DeleteStartMenu(name);
}

void RemoteUserSide::DeleteUserKeys() {
  if (Send(kRequestDeleteUserKeys) == Delivery::NotDelivered)
    if (UserSide* here = UndeliveredStep("removing the old suite's entries of the user")) here->DeleteUserKeys();
}

void RemoteUserSide::ForgetMachineInstallation() {
  // The desktop user's entries go with the machine's installation: this process's own hive is
  // cleared with the machine's entries, so from here it is the same step as DeleteUserKeys.
  if (Send(kRequestDeleteUserKeys) == Delivery::NotDelivered)
    if (UserSide* here = UndeliveredStep("removing the old suite's entries of the user")) here->DeleteUserKeys();
}

void RemoteUserSide::DeleteRestartInfo() {
  if (Send(kRequestRestartInfo) == Delivery::NotDelivered)
    if (UserSide* here = UndeliveredStep("removing the suite programs' restart information")) here->DeleteRestartInfo();
}
