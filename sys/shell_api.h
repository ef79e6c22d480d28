// The shell's functions, looked up in the system folder's shell32 at their first use instead of
// imported: an import would have the loader bring in the shell's own dependencies when the
// program starts, before it has restricted where libraries come from (app/main.cpp), and a
// loader that looks beside the program first would take copies planted there. Each behaves as
// the function of the same name; without shell32 each fails as that function fails.
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

namespace shell {

LPWSTR* CommandLineToArgvW(LPCWSTR line, int* count);
BOOL IsUserAnAdmin();
HRESULT SHGetFolderPathW(HWND owner, int csidl, HANDLE token, DWORD flags, LPWSTR path);
BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info);
HINSTANCE ShellExecuteW(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR params, LPCWSTR folder, INT show);
PIDLIST_ABSOLUTE SHBrowseForFolderW(BROWSEINFOW* info);
BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE list, LPWSTR path);

}  // namespace shell
