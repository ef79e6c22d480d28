// The few questions the installer asks about Windows and its own process: tokens, rights and
// user account control, privileges, the 32-bit redirection, the DLL search, the Windows version
// and language, the user's special folders.
#pragma once

#include <windows.h>

#include <string>

#include <vector>

#include "base/handles.h"
#include "sys/system_library.h"

namespace ZFunction {


// Calls that newer Windows versions added are looked up, so the program still starts on
// Windows XP; null where the call does not exist.
template <typename Fn>
Fn Kernel32Function(const char* name) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  return kernel ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(kernel, name))) : nullptr;
}

bool IsUacEnabled();
bool IsAdminMember();
bool IsTokenElevationSplit();
// Whether starting through the desktop shell gives a program other rights than this process
// has: with user account control the shell runs limited while the installer runs elevated.
bool ShellRunsWithLowerRights();


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
// Every program-files folder of the machine, whatever this program's bitness: on 64-bit Windows
// the 64-bit one and the 32-bit one ("Program Files (x86)"), which a 32-bit program's own
// special folder alone would not tell.
std::vector<std::wstring> ProgramFilesFolders();
// This process's private memory (committed) now and its peak working set, in bytes (0 when
// unknown). Wine keeps no peak of the private memory: sample it.
unsigned long long PrivateMemory();
unsigned long long PeakWorkingSet();
// The DPI the program draws for: the system's where Windows answers per process (10 and later),
// else the screen's logical pixels per inch.
int ScreenDpi();

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
