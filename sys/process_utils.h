// Starting programs (also with the desktop user's rights), finding the suite's running
// programs, tokens and the few questions the installer asks about Windows itself.
#pragma once

#include <windows.h>

#include <string>

#include "base/handles.h"
#include <vector>

namespace ZFunction {

// Starts a program through the shell. wait: 0 = return at once, INFINITE = until it ends,
// else at most that many ms. show: non-zero shows it with the default show mode, 0 hides it.
// True when the program was started (a missing file gives false without a log line).
bool RunApp(const std::wstring& path, const std::wstring& params, DWORD wait, int show);

// Starts a program with the rights of the user at the desktop: through the desktop shell when
// the installer runs elevated above a limited desktop shell, else like RunApp.
bool RunAppAsShellUser(const std::wstring& path, const std::wstring& params, DWORD wait, int show);

// Asks the desktop shell (explorer) to start the program, so it runs with the shell's rights.
bool ShellExecuteFromDesktop(const std::wstring& path, const std::wstring& params);

bool IsUacEnabled();
bool IsAdminMember();
bool IsTokenElevationSplit();

// Ends the running programs named in `helpers` (exit code 4) and returns the executable name of
// the first one named in `blocking`, or an empty string. Processes started from `ownPath` are
// passed over.
std::wstring FindBlockingProcess(const std::wstring& ownPath, const std::vector<const wchar_t*>& helpers,
                                 const std::vector<const wchar_t*>& blocking);

// Asks a running or paused service to stop, without waiting for it.
void StopService(const wchar_t* name);
bool GetModuleFileOfProcess(DWORD processId, std::wstring& path);

// Full paths of the running processes whose executable name is one of `names` (any case).
// True when any process matched, also when its path could not be read.
bool FindProcessPathsByName(const std::vector<const wchar_t*>& names, std::vector<std::wstring>& paths);

// The top-level windows titled exactly `title` that exist now, each with the id of the process
// it belongs to.
std::vector<std::pair<HWND, DWORD>> FindWindowsByTitle(const wchar_t* title);
// The top-level window titled exactly `title` that belongs to process `processId`; null when
// there is none (or the id is 0).
HWND FindProcessWindow(const wchar_t* title, DWORD processId);
// The id of the process that started this one; 0 when unknown.
DWORD GetParentProcessId();

// Enables SeDebugPrivilege in this process's token; true when the adjustment call succeeded.
bool EnableDebugPrivilege();

// Turns the file-system redirection of a 32-bit program on 64-bit Windows on or off. True
// where there is no redirection to switch (32-bit Windows, a 64-bit program).
bool EnableWow64Redirection(bool on);

// Points the DLL search at `folder` (SetDllDirectoryW, else the current folder). Non-zero on
// success.
BOOL SetDllFolder(const std::wstring& folder);

// Points the DLL search at a folder while it lives, then puts back the search the process had
// (at start the program takes the current folder out of it: a download folder must never be
// searched) and the current folder.
class ScopedDllFolder {
 public:
  explicit ScopedDllFolder(const std::wstring& folder);
  ~ScopedDllFolder();
  ScopedDllFolder(const ScopedDllFolder&) = delete;
  ScopedDllFolder& operator=(const ScopedDllFolder&) = delete;

 private:
  std::wstring PreviousDllFolder;
  std::wstring PreviousCurrentFolder;
  bool HadDllFolderCall = false;
};

void MarkCompatibilityAssistantDone();

// Token of the desktop shell of this session; 0 on success, else a result code.
HRESULT GetShellUserToken(HANDLE* token);
bool IsSameTokenUser(HANDLE a, HANDLE b);

bool IsOldWindows();
bool IsVistaOrLater();
// False when the system language is a traditional-Chinese one (1028, 3076, 5124).
bool IsNotTraditionalChineseLang();
bool IsTraditionalChineseLangId(LANGID id);
// XP is 5.1; anything newer counts as XP or later.
bool IsXpOrLaterVersion(DWORD major, DWORD minor);
// The Windows version as the platform reports it to this program.
void GetWindowsVersion(DWORD* major, DWORD* minor);

// The user's special folder (CSIDL value), without creating it; empty when unknown.
std::wstring GetSpecialFolder(int csidl);

// The desktop user's local application data folder and, when the installer runs as another
// account, an open handle to that user's registry root.
class ShellUserProfile {
 public:
  ShellUserProfile();
  ShellUserProfile(const ShellUserProfile&) = delete;
  ShellUserProfile& operator=(const ShellUserProfile&) = delete;

  const std::wstring& LocalAppData() const { return LocalAppData_; }
  HKEY UserRoot() const { return UserRoot_.Get(); }  // null: use HKEY_CURRENT_USER

 private:
  std::wstring LocalAppData_;
  sys::UniqueRegKey UserRoot_;
};

}  // namespace ZFunction
