#include "sys/process_start.h"

#include <exdisp.h>
#include <shldisp.h>
#include <shlobj.h>
#include <shellapi.h>

#include "base/handles.h"
#include "log/setup_log.h"
#include "sys/file_utils.h"
#include "sys/system_info.h"
#include "sys/shell_api.h"

// shellapi.h maps ShellExecute to its wide function; here it is the shell object's method.
#undef ShellExecute

namespace ZFunction {

bool StartApp(const std::wstring& path, const std::wstring& params, int show, sys::UniqueKernel* process) {
  if (!PathExists(path)) return false;
  SHELLEXECUTEINFOW sei{};
  sei.cbSize = sizeof(sei);
  // No error box from the shell: nobody may be there to close it (silent installs, the
  // user-level copy serving an elevated one). A failed start is logged below instead.
  sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  sei.lpFile = path.c_str();
  sei.lpParameters = params.empty() ? nullptr : params.c_str();
  sei.nShow = show ? SW_SHOWDEFAULT : SW_HIDE;
  const BOOL ok = shell::ShellExecuteExW(&sei);
  sys::UniqueKernel started(sei.hProcess);
  if (!ok) {
    g_Log.Log("ZFunction::RunApp ShellExecuteEx error:%d, show:%d, path:%ws, cmd:%ws", static_cast<int>(GetLastError()),
              show, path.c_str(), params.c_str());
    return false;
  }
  if (process) *process = std::move(started);
  return true;
}

bool RunApp(const std::wstring& path, const std::wstring& params, DWORD wait, int show) {
  sys::UniqueKernel process;
  if (!StartApp(path, params, show, &process)) return false;
  if (wait != 0 && process) WaitForSingleObject(process.Get(), wait);
  return true;
}

bool StartAppAsShellUser(const std::wstring& path, const std::wstring& params, int show, sys::UniqueKernel* process) {
  if (IsUacEnabled() && IsAdminMember() && ShellRunsWithLowerRights() && ShellExecuteFromDesktop(path, params))
    return true;
  return StartApp(path, params, show, process);
}

bool RunAppAsShellUser(const std::wstring& path, const std::wstring& params, DWORD wait, int show) {
  sys::UniqueKernel process;
  if (!StartAppAsShellUser(path, params, show, &process)) return false;
  if (wait != 0 && process) WaitForSingleObject(process.Get(), wait);
  return true;
}

bool ShellExecuteFromDesktop(const std::wstring& path, const std::wstring& params) {
  const sys::ComScope com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  if (!com.Ok()) return false;
  // The desktop's shell view, its application object, and its ShellExecute: the program starts
  // as a child of the shell, with the desktop user's rights.
  sys::ComPtr<IShellWindows> windows;
  sys::ComPtr<IDispatch> desktopDispatch;
  sys::ComPtr<IServiceProvider> provider;
  sys::ComPtr<IShellBrowser> browser;
  sys::ComPtr<IShellView> view;
  sys::ComPtr<IDispatch> background;
  sys::ComPtr<IShellFolderViewDual> folderView;
  sys::ComPtr<IDispatch> application;
  sys::ComPtr<IShellDispatch2> shell;
  VARIANT empty;
  VariantInit(&empty);
  long hwnd = 0;
  const sys::UniqueBstr file(SysAllocString(path.c_str()));
  VARIANT args;
  VariantInit(&args);
  args.vt = VT_BSTR;
  args.bstrVal = SysAllocString(params.c_str());
  const bool ok =
      SUCCEEDED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                 windows.PutVoid())) &&
      windows->FindWindowSW(&empty, &empty, SWC_DESKTOP, &hwnd, SWFO_NEEDDISPATCH, desktopDispatch.Put()) == S_OK &&
      desktopDispatch && SUCCEEDED(desktopDispatch->QueryInterface(IID_IServiceProvider, provider.PutVoid())) &&
      SUCCEEDED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.PutVoid())) &&
      SUCCEEDED(browser->QueryActiveShellView(view.Put())) &&
      SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.PutVoid())) &&
      SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, folderView.PutVoid())) &&
      SUCCEEDED(folderView->get_Application(application.Put())) &&
      SUCCEEDED(application->QueryInterface(IID_IShellDispatch2, shell.PutVoid())) &&
      SUCCEEDED(shell->ShellExecute(file.Get(), args, empty, empty, empty));
  VariantClear(&args);
  return ok;
}

}  // namespace ZFunction
