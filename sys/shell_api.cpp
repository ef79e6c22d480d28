#include "sys/shell_api.h"

#include "sys/system_library.h"

namespace shell {
namespace {

template <typename Fn>
Fn Function(const char* name) {
  static const HMODULE module = ZFunction::LoadSystemLibrary(L"shell32.dll");
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace

LPWSTR* CommandLineToArgvW(LPCWSTR line, int* count) {
  static const auto fn = Function<LPWSTR*(WINAPI*)(LPCWSTR, int*)>("CommandLineToArgvW");
  if (fn) return fn(line, count);
  *count = 0;
  return nullptr;
}

BOOL IsUserAnAdmin() {
  static const auto fn = Function<BOOL(WINAPI*)()>("IsUserAnAdmin");
  return fn ? fn() : FALSE;
}

HRESULT SHGetFolderPathW(HWND owner, int csidl, HANDLE token, DWORD flags, LPWSTR path) {
  static const auto fn = Function<HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR)>("SHGetFolderPathW");
  return fn ? fn(owner, csidl, token, flags, path) : E_FAIL;
}

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info) {
  static const auto fn = Function<BOOL(WINAPI*)(SHELLEXECUTEINFOW*)>("ShellExecuteExW");
  if (fn) return fn(info);
  SetLastError(ERROR_DLL_NOT_FOUND);
  return FALSE;
}

HINSTANCE ShellExecuteW(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR params, LPCWSTR folder, INT show) {
  static const auto fn =
      Function<HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT)>("ShellExecuteW");
  return fn ? fn(owner, verb, file, params, folder, show) : reinterpret_cast<HINSTANCE>(SE_ERR_DLLNOTFOUND);
}

PIDLIST_ABSOLUTE SHBrowseForFolderW(BROWSEINFOW* info) {
  static const auto fn = Function<PIDLIST_ABSOLUTE(WINAPI*)(BROWSEINFOW*)>("SHBrowseForFolderW");
  return fn ? fn(info) : nullptr;
}

BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE list, LPWSTR path) {
  static const auto fn = Function<BOOL(WINAPI*)(PCIDLIST_ABSOLUTE, LPWSTR)>("SHGetPathFromIDListW");
  return fn ? fn(list, path) : FALSE;
}

}  // namespace shell
