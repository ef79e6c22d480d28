// Process entry of the setup program.
#include <windows.h>

#include <delayimp.h>

#include <string>

#include "app/setup_app.h"

namespace {

// A setup program is started from a downloads folder, next to whatever else was downloaded:
// DLLs loaded by name must come from the system folder (or a folder the installer adds, as the
// report step does for the suite's core library), never from the program's own folder or the
// current directory. SetDefaultDllDirectories exists from Windows 7 with its loader update on.
void RestrictDllSearch() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  using SetDllDirectoryFn = BOOL(WINAPI*)(LPCWSTR);
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_USER_DIRS);
  // Drops the current directory from the older search order (Windows XP SP1 and later).
  auto setDirectory =
      reinterpret_cast<SetDllDirectoryFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryW")));
  if (setDirectory) setDirectory(L"");
}

// GDI+ and the version library are not among the system's known DLLs, so the program loads
// them on first use (they are delay-imported) and always by their full path in the system
// folder, also on Windows versions without SetDefaultDllDirectories.
FARPROC WINAPI LoadDelayedFromSystemFolder(unsigned notify, PDelayLoadInfo info) {
  if (notify != dliNotePreLoadLibrary || !info || !info->szDll) return nullptr;
  wchar_t path[MAX_PATH + 1] = {};
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  std::wstring file(path, length);
  file += L'\\';
  for (const char* c = info->szDll; *c; ++c) file += static_cast<wchar_t>(static_cast<unsigned char>(*c));
  return reinterpret_cast<FARPROC>(LoadLibraryW(file.c_str()));
}

}  // namespace

// Declared with C linkage by delayimp.h; the delay-load helper calls it before each load.
PfnDliHook __pfnDliNotifyHook2 = LoadDelayedFromSystemFolder;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  RestrictDllSearch();
  return SetupMain(instance);
}
