#include "app/two_copies.h"

#include <algorithm>

#include <shellapi.h>
#include <shlobj.h>
#include <wchar.h>

#include "app/command_line.h"
#include "app/process_state.h"
#include "log/setup_log.h"
#include "install/local_user_side.h"
#include "install/zinstall.h"
#include "suite/suite_registry.h"
#include "suite/user_protocol.h"
#include "sys/file_utils.h"
#include "base/handles.h"
#include "sys/process_utils.h"
#include "sys/profile.h"
#include "sys/registry.h"
#include "suite/suite_programs.h"

namespace {

const wchar_t kMutexName[] = L"{5BE9D8BC-AF60-4b40-A4D0-21F65B4F8788}";
const wchar_t kMappingName[] = L"{3CB2CCD0-924A-4488-8812-0F6D5C51BB9A}";
const wchar_t kWindowClass[] = L"LumenSetupMessageWindow";
constexpr size_t kMaxCommandLine = 10240;
constexpr DWORD kHandOverChars = 520;

sys::UniqueKernel g_InstanceMutex;
sys::UniqueKernel g_InstanceMapping;  // with its view, kept for the life of the process
sys::UniqueView g_InstanceView;
HINSTANCE g_WindowModule = nullptr;

// This program's own arguments, from the second on, as the platform split them.
std::vector<std::wstring> OwnArguments() {
  std::vector<std::wstring> args = ProcessArguments();
  if (!args.empty()) args.erase(args.begin());
  return args;
}

void AppendArguments(std::wstring& params, const std::vector<std::wstring>& args) {
  for (const std::wstring& a : args) params += L" " + a;  // not quoted again
}

std::wstring UserLocationRoot() { return ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kUninstallKey, L"LocationRoot"); }
std::wstring UserStartMenuDir() { return ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kUninstallKey, L"StartMenuDir"); }
std::wstring UserWaitClearList() {
  return ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kUpdateInfoKey, L"waitclearversions", MAX_PATH);
}
std::wstring AnyLocationRoot() {
  std::wstring root = UserLocationRoot();
  if (root.empty()) root = ZFunction::ReadRegString(HKEY_LOCAL_MACHINE, suite::kUninstallKey, L"LocationRoot");
  return root;
}

// Pumps messages until WM_QUIT (code 8 or message 1235), or until the copy this one serves
// ends without either (killed, crashed): a user-level copy never outlives its installing copy.
void RunMessageLoop(HANDLE partner) {
  MSG msg;
  for (;;) {
    const DWORD woke = MsgWaitForMultipleObjects(partner ? 1 : 0, &partner, FALSE, INFINITE, QS_ALLINPUT);
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return;  // the handler has set ExitCode
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (partner && woke == WAIT_OBJECT_0) {
      g_Log.Log("the installing copy ended without an exit code");
      ExitCode = kExitFailed;
      return;
    }
    if (woke == WAIT_FAILED) return;
  }
}

// The hidden window and its loop, shared by both kinds of user-level copy.
int RunUserWindowLoop(HANDLE partner) {
  if (!InitWindowModule(AppInstance)) return ExitCode;
  {
    ZInnerWinCallback callback;
    if (callback.Handle()) RunMessageLoop(partner);
  }
  TermWindowModule();
  return ExitCode;
}

}  // namespace

bool IsAnotherSetupRunning() {
  if (g_InstanceView) return true;
  if (!g_InstanceMutex) g_InstanceMutex.Reset(CreateMutexW(nullptr, TRUE, kMutexName));
  sys::UniqueKernel mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4, kMappingName));
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  if (!mapping) return false;
  sys::UniqueView view(MapViewOfFile(mapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
  if (!view) return false;  // the mapping closes with it
  g_InstanceMapping = std::move(mapping);
  g_InstanceView = std::move(view);
  return existed;
}

void CloseSingleInstance() { g_InstanceMutex.Reset(); }

std::wstring BuildElevatedParameters(const std::wstring& localAppData, const std::wstring& appData,
                                     const std::wstring& curInstallPath, const std::wstring& curStartMenu,
                                     const std::wstring& waitClearList, const std::wstring& oldInstallPath,
                                     const std::vector<std::wstring>& ownArgs) {
  // The handed-over values are quoted so that the elevated copy splits out exactly these
  // values, whatever they hold (an old root ends in a backslash).
  auto value = [](const wchar_t* sw, const std::wstring& v) { return std::wstring(sw) + QuotedArgument(v); };
  std::wstring params = L" -needcommunicate";
  params += value(L" -localapp=", localAppData);
  params += value(L" -appdata=", appData);
  if (!curInstallPath.empty()) params += value(L" -curinstallpath=", curInstallPath);
  if (!curStartMenu.empty()) params += value(L" -curstartmenu=", curStartMenu);
  if (!waitClearList.empty()) params += value(L" -waitclearlist=", waitClearList);
  if (!oldInstallPath.empty()) params += value(L" -oldinstallpath=", oldInstallPath);
  params += L" -upgradepower";
  // The user's own arguments follow as given, as many whole ones as the command line holds.
  for (const std::wstring& arg : ownArgs) {
    if (params.size() + 1 + arg.size() > kMaxCommandLine) break;
    params += L" " + arg;
  }
  return params;
}

int RelaunchElevated() {
  const sys::ComScope com;
  const std::wstring self = ZFunction::GetModulePath();
  const std::wstring params = BuildElevatedParameters(
      ZFunction::GetSpecialFolder(CSIDL_LOCAL_APPDATA), ZFunction::GetSpecialFolder(CSIDL_APPDATA), UserLocationRoot(),
      UserStartMenuDir(), UserWaitClearList(), AnyLocationRoot(), OwnArguments());

  SHELLEXECUTEINFOW sei{};
  sei.cbSize = sizeof(sei);
  sei.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC | SEE_MASK_NOCLOSEPROCESS;
  sei.lpVerb = L"runas";
  sei.lpFile = self.c_str();
  sei.lpParameters = params.c_str();
  sei.nShow = SW_SHOWDEFAULT;
  if (!ShellExecuteExW(&sei)) {  // also when the user refused the elevation prompt
    ExitCode = kExitNoAdmin;
    return kExitNoAdmin;
  }
  const sys::UniqueKernel elevated(sei.hProcess);
  RunUserWindowLoop(elevated.Get());
  return ExitCode;
}

std::wstring BuildUserCopyParameters(const std::vector<std::wstring>& ownArgs) {
  std::wstring params = L" -downpower";
  AppendArguments(params, ownArgs);
  return params;
}

bool RelaunchAsUser() {
  const sys::ComScope com;
  return ZFunction::RunAppAsShellUser(ZFunction::GetModulePath(), BuildUserCopyParameters(OwnArguments()), 0, 1);
}

std::wstring HandOverFilePath() {
  return ZFunction::GetSpecialFolder(CSIDL_LOCAL_APPDATA) + L"\\tempinstall.ini";
}

void WriteHandOverFile() {
  const std::wstring local = ZFunction::GetSpecialFolder(CSIDL_LOCAL_APPDATA);
  const std::wstring roaming = ZFunction::GetSpecialFolder(CSIDL_APPDATA);
  ZFunction::CreateFolderTree(local);
  const std::wstring file = local + L"\\tempinstall.ini";
  DeleteFileW(file.c_str());
  const struct {
    const wchar_t* key;
    std::wstring value;
  } values[] = {
      {L"localappdata", local},          {L"appdatapath", roaming},          {L"newcurinstallpath", UserLocationRoot()},
      {L"oldinstallpath", AnyLocationRoot()}, {L"startmenudir", UserStartMenuDir()}, {L"waitclearlist", UserWaitClearList()},
  };
  for (const auto& v : values) ZFunction::WriteProfileString(file, L"install", v.key, v.value);
}

void ReadHandOverFile(ZInsall& engine) {
  const ZFunction::ShellUserProfile profile;
  const std::wstring file = ZFunction::WithSlash(profile.LocalAppData()) + L"tempinstall.ini";
  if (!ZFunction::PathExists(file)) {
    engine.SetLocalAppData(ZFunction::GetSpecialFolder(CSIDL_LOCAL_APPDATA));
    engine.SetAppDataPath(ZFunction::GetSpecialFolder(CSIDL_APPDATA));
    engine.SetUserProcessMode(0);
    return;
  }
  auto read = [&file](const wchar_t* key) { return ZFunction::ReadProfileString(file, L"install", key, L"", kHandOverChars); };
  const struct {
    const wchar_t* key;
    void (ZInsall::*set)(const std::wstring&);
  } fields[] = {
      {L"localappdata", &ZInsall::SetLocalAppData},       {L"appdatapath", &ZInsall::SetAppDataPath},
      {L"newcurinstallpath", &ZInsall::SetNewCurInstallPath}, {L"oldinstallpath", &ZInsall::SetOldInstallPath},
      {L"startmenudir", &ZInsall::SetStartMenuDir},       {L"waitclearlist", &ZInsall::SetWaitClearList},
  };
  for (const auto& f : fields) {
    const std::wstring value = read(f.key);
    if (!value.empty()) (engine.*f.set)(value);
  }
  engine.SetUserProcessMode(1);
  DeleteFileW(file.c_str());
}

int RunUserCopy() {
  WriteHandOverFile();
  const sys::ComScope com;
  // The administrator's copy that started this one is the copy it serves.
  const sys::UniqueKernel starter(OpenProcess(SYNCHRONIZE, FALSE, ZFunction::GetParentProcessId()));
  RunUserWindowLoop(starter.Get());
  return ExitCode;
}

void WriteInstallState(int exitCode) {
  ZFunction::WriteRegString(HKEY_CURRENT_USER, suite::kUserSettingKey, L"InstallState", exitCode != 0 ? L"1" : L"0");
}

// ---- the user-level copy's window ----

bool InitWindowModule(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance;
  wc.lpszClassName = kWindowClass;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  g_WindowModule = instance;
  return true;
}

void TermWindowModule() {
  if (g_WindowModule) UnregisterClassW(kWindowClass, g_WindowModule);
  g_WindowModule = nullptr;
}

bool CInternalWnd::Create() {
  // The class's procedure is the default one; this window routes its messages through WndProc.
  Hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, kUserWindowTitle, WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                         g_WindowModule, nullptr);
  if (!Hwnd) return false;
  SetWindowLongPtrW(Hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(Hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CInternalWnd::WndProc));
  return true;
}

CInternalWnd::~CInternalWnd() {
  if (Hwnd) {
    SetWindowLongPtrW(Hwnd, GWLP_USERDATA, 0);
    DestroyWindow(Hwnd);
  }
}

LRESULT CALLBACK CInternalWnd::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<CInternalWnd*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  return self ? self->ProcessWindowMessage(hwnd, message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CInternalWnd::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (Callback) Callback->OnMessage(message, wParam, lParam);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

ZInnerWinCallback::ZInnerWinCallback() : Window(this) { Window.Create(); }

ZInnerWinCallback::~ZInnerWinCallback() = default;

LRESULT ZInnerWinCallback::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kQuitUserCopyMessage) {
    PostQuitMessage(0);
    return 0;
  }
  if (message != WM_COPYDATA || !lParam) return 0;
  const COPYDATASTRUCT& data = *reinterpret_cast<const COPYDATASTRUCT*>(lParam);
  int code = 0;
  if (data.dwData == kRequestExitCode) {
    if (ParseExitCodeRequest(data, &code)) {
      ExitCode = code;
      PostQuitMessage(code);
    }
    return 0;
  }
  // This copy is the desktop user: it does the requested step itself.
  LocalUserSide local(GetProcessNoReportId(), GetProcessNoOldProduct(), false);
  DispatchUserRequest(data, local, HandOverFilePath());
  return 0;
}
