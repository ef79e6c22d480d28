#include "suite/user_protocol.h"

#include <objbase.h>
#include <shlobj.h>
#include <wchar.h>

#include <algorithm>

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

bool SendUserRequest(HWND window, ULONG_PTR code, const void* data, DWORD bytes) {
  if (!window) return false;
  COPYDATASTRUCT copy{code, bytes, const_cast<void*>(data)};
  SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
  return true;
}

bool SendUserRequest(HWND window, ULONG_PTR code, const std::wstring& text) {
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

bool DispatchUserRequest(const COPYDATASTRUCT& data, UserSide& local, const std::wstring& answerFile) {
  std::wstring text;
  switch (data.dwData) {
    case kRequestRun: {
      RunRequest request;
      if (ParseRunRequest(data, &request)) local.Run(request.Path, request.Params, request.Wait, request.Show);
      return true;
    }
    case kRequestReport:
      // The install item is not known here: its usual parameter stands in for it.
      if (ParseTextRequest(data, &text)) local.SendReport(text, L"3");
      return true;
    case kRequestEnvironment:
      if (ParseTextRequest(data, &text)) local.SetEnvironment(text);
      return true;
    case kRequestDeleteStartMenu:
      if (ParseTextRequest(data, &text)) local.DeleteStartMenu(text);
      return true;
    case kRequestDeleteUserKeys:
      local.DeleteUserKeys();
      return true;
    case kRequestWaitList:
      if (ParseTextRequest(data, &text)) local.StoreWaitList(text);
      return true;
    case kRequestFields: {
      std::wstring path, params;
      int wait = 0, show = 0;
      if (ParseTextRequest(data, &text) && ParseFieldRequest(text, &path, &params, &wait, &show))
        local.Run(path, params, wait, show);
      return true;
    }
    case kRequestReportId:
      Answer(answerFile, L"infoguid", Digits(local.ReportId()));
      return true;
    case kRequestRestartInfo:
      local.DeleteRestartInfo();
      return true;
    case kRequestCirrusPath:
      Answer(answerFile, L"cirruspath", local.CirrusPath());
      return true;
    case kRequestShowCirrus:
      if (ParseTextRequest(data, &text)) local.ShowCirrus(text, 0, 1);
      return true;
    default:  // the exit code is the window's own business; anything above 11 is no request
      return false;
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

void RemoteUserSide::StoreWaitList(const std::wstring& list) {
  Values.WaitClearList = list;  // what the user-level copy now stores
  Send(kRequestWaitList, list);
}

std::wstring RemoteUserSide::ReportId() {
  g_Log.Log("send msg to user process set the guid to temp file");
  Send(kRequestReportId);
  const std::wstring file = AnswerFile();
  return ZFunction::PathExists(file) ? install_config::TakeHandOverValue(file, L"infoguid", NewGuidText().c_str(), 80)
                                     : ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kCommonKey, L"infoGUID");
}

std::wstring RemoteUserSide::CirrusPath() {
  Send(kRequestCirrusPath);
  return install_config::TakeHandOverValue(AnswerFile(), L"cirruspath", L"", install_config::kTextChars);
}

bool RemoteUserSide::SendRunRequest(const std::wstring& path, const std::wstring& params, int wait, int show) {
  RunRequest request{};
  if (!ZFunction::PathExists(path)) return false;  // as a direct start would fail
  if (path.size() >= ARRAYSIZE(request.Path) || params.size() >= ARRAYSIZE(request.Params)) {
    g_Log.Log("RemoteUserSide the path or parameters are too long for the request: %ws", path.c_str());
    return false;
  }
  path.copy(request.Path, path.size());
  params.copy(request.Params, params.size());
  request.Wait = wait;
  request.Show = show;
  return SendUserRequest(Link.Window(), kRequestRun, &request, sizeof(request));
}

bool RemoteUserSide::Run(const std::wstring& program, const std::wstring& params, int wait, int show) {
  if (!SendRunRequest(program, params, wait, show)) g_Log.Log("RemoteUserSide::Run not sent: %ws", program.c_str());
  return true;
}

void RemoteUserSide::RunAsDesktopUser(const std::wstring& program, const std::wstring& params, int wait, int show) {
  Run(program, params, wait, show);  // the user-level copy is the desktop user
}

bool RemoteUserSide::ShowCirrus(const std::wstring& params, int wait, int show) {
  g_Log.Log("Run Cirrus by Send Msg.");
  Send(kRequestShowCirrus, params);
  return true;
}

void RemoteUserSide::SendReport(const std::wstring& installFolder, const std::wstring& itemParam) {
  g_Log.Log(" the path is %ws", installFolder.c_str());
  Send(kRequestReport, installFolder);
  g_Log.Log("Send Infocellect End by send message.");
}

void RemoteUserSide::SetEnvironment(const std::wstring& installFolder) {
  g_Log.Log(" the path is %ws", installFolder.c_str());
  Send(kRequestEnvironment, installFolder);
}

void RemoteUserSide::DeleteStartMenu(const std::wstring& name) { Send(kRequestDeleteStartMenu, name); }
void RemoteUserSide::DeleteUserKeys() { Send(kRequestDeleteUserKeys); }
void RemoteUserSide::ForgetMachineInstallation() { Send(kRequestDeleteUserKeys); }
void RemoteUserSide::DeleteRestartInfo() { Send(kRequestRestartInfo); }
