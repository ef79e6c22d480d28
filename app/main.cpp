// Process entry of the setup program.
#include <windows.h>

#include "app/setup_app.h"

namespace {

// A setup program is started from a downloads folder, next to whatever else was downloaded:
// DLLs loaded by name must come from the system folder (or a folder the installer adds, as the
// report step does for the suite's core library), never from the program's own folder or the
// current directory. SetDefaultDllDirectories exists from Windows 7 with its loader update on.
void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_USER_DIRS);
  SetDllDirectoryW(L"");  // drops the current directory from the older search order
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  RestrictDllSearch();
  return SetupMain(instance);
}
