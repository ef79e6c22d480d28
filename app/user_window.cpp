#include "app/user_window.h"

#include <shlobj.h>

#include <string>

#include "app/process_state.h"
#include "install/local_user_side.h"
#include "log/setup_log.h"
#include "suite/user_protocol.h"
#include "sys/system_info.h"

namespace {

const wchar_t kWindowClass[] = L"LumenSetupMessageWindow";
HINSTANCE g_WindowModule = nullptr;

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

// Where the answers to the elevated copy's questions go: the hand-over file of this account.
std::wstring AnswerFile() { return ZFunction::GetSpecialFolder(CSIDL_LOCAL_APPDATA) + L"\\tempinstall.ini"; }

}  // namespace

int RunUserWindowLoop(HANDLE partner) {
  // Without its window this copy can serve nobody: it ends at once with 2, which the copy
  // waiting for the window reads as the reason.
  if (!InitWindowModule(AppInstance)) return ExitCode = kExitFailed;
  {
    ZInnerWinCallback callback;
    if (callback.Handle()) RunMessageLoop(partner);
    else ExitCode = kExitFailed;
  }
  TermWindowModule();
  return ExitCode;
}

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
  const LRESULT answer = Callback ? Callback->OnMessage(message, wParam, lParam) : 0;
  const LRESULT standard = DefWindowProcW(hwnd, message, wParam, lParam);
  // A request is answered with what became of it (see Delivery), so the installing copy knows.
  return message == WM_COPYDATA ? answer : standard;
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
    if (!ParseExitCodeRequest(data, &code)) return static_cast<LRESULT>(Delivery::NotDone);
    ExitCode = code;
    PostQuitMessage(code);
    return static_cast<LRESULT>(Delivery::Done);
  }
  // This copy is the desktop user: it does the requested step itself.
  LocalUserSide local(GetProcessNoReportId(), GetProcessNoOldProduct(), false);
  return static_cast<LRESULT>(DispatchUserRequest(data, local, AnswerFile()));
}
