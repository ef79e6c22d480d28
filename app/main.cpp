// Process entry of the setup program.
#include <windows.h>

#include <delayimp.h>

#include <string>

#include "app/setup_app.h"
#include "sys/system_library.h"

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

// The libraries that system components load by name on the program's behalf: the shell's
// helpers, GDI+ and its picture codecs with their property system, the drawing and
// accessibility libraries, and those known to be asked for by name beside a program. A loader
// that looks beside the program first for a dependency (Wine does, for picture codecs loaded
// through COM) would take a copy planted in the downloads folder; loaded here first, by full
// path from the system folder, each name is taken. Dependencies before the libraries that need
// them. A library the system lacks is passed over. The theme library is not among them: the
// window system loads it from the system folder with the display driver (on another thread
// here, while the checks run), and the common controls that import it load after the DLL search
// is restricted; loading it here first cost the start 20 ms.
const wchar_t* const kSystemLibraries[] = {
    L"shcore.dll",  L"shlwapi.dll", L"shell32.dll", L"propsys.dll", L"windowscodecs.dll", L"gdiplus.dll",
    L"version.dll", L"dwmapi.dll",  L"msimg32.dll", L"oleacc.dll",        L"userenv.dll",
    L"profapi.dll", L"cryptbase.dll", L"apphelp.dll", L"clbcatq.dll", L"sspicli.dll",     L"ntmarta.dll",
};

void LoadSystemLibraries() {
  for (const wchar_t* name : kSystemLibraries) ZFunction::LoadSystemLibrary(name);
}

// GDI+ and the version library are not imported at the start (nor is the shell, whose functions
// sys/shell_api looks up: its own imports would be looked for beside the program before any code
// of the program runs). They are delay-imported, and loaded by their full path in the system
// folder, also on Windows versions without SetDefaultDllDirectories.
FARPROC WINAPI LoadDelayedFromSystemFolder(unsigned notify, PDelayLoadInfo info) {
  if (notify != dliNotePreLoadLibrary || !info || !info->szDll) return nullptr;
  std::wstring name;
  for (const char* c = info->szDll; *c; ++c) name += static_cast<wchar_t>(static_cast<unsigned char>(*c));
  return reinterpret_cast<FARPROC>(ZFunction::LoadSystemLibrary(name.c_str()));
}

}  // namespace

// Declared with C linkage by delayimp.h; the delay-load helper calls it before each load.
PfnDliHook __pfnDliNotifyHook2 = LoadDelayedFromSystemFolder;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  RestrictDllSearch();
  LoadSystemLibraries();
  return SetupMain(instance);
}
