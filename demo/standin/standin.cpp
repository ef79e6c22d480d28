// Stand-in for every program of the demo suite. The demo payload copies this one program under
// each name the install list starts (utility\config.exe, office6\lmomisc.exe, office6\lumen.exe,
// ...). Every start writes one journal line (journal.h) with the command line's arguments and
// exits with 0. Two names do a little more, enough for the installation to look real:
//
//   config.exe ... /D=<install folder>
//       registers the installation under the suite's uninstall key (in the current user's hive
//       when the folder lies below the user's local application data folder, else in the
//       machine hive) and writes the suite's version for the user. Each version lives in a
//       version folder below the product root; the key records the product root, and the
//       suite keeps the shared configuration the next installer reads there: the version's
//       utility\install.ini, office6\cfgs\setup.cfg and OEM file are copied up to the root.
//   lmomisc.exe -createlink startmenu "<name>"
//       makes the start-menu folder <name> with shortcuts to the word processor, spreadsheet
//       and presentation programs; "-createlink desktop 2052" puts the same shortcuts on the
//       user's desktop.
//   lumen.exe
//       the suite's main program: tells an interactive installer that it is up (the
//       installer's wait event), as the suite's own main program does when it starts.
//
// The journal line is written after these effects, so whoever sees it can rely on them.
// For tests of programs still running during the installation: when LUMEN_DEMO_STAY_MS holds a
// number and the program's file name equals LUMEN_DEMO_STAY_NAME (ignoring case), the program
// stays that many milliseconds after writing its line.
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <stdlib.h>
#include <wchar.h>

#include <string>
#include <vector>

#include "demo/standin/journal.h"

namespace {

const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tallis Office";
const wchar_t kCommonKey[] = L"Software\\Tallis\\Office\\6.0\\Common";

std::wstring WithSlash(std::wstring path) {
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
  return path;
}

std::wstring FileNameOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Folder part of a path including its final separator; empty when there is none.
std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
  return !prefix.empty() && text.size() >= prefix.size() &&
         _wcsnicmp(text.c_str(), prefix.c_str(), prefix.size()) == 0;
}

// The command line without the program name (quoted or not) and the blanks after it.
std::wstring ArgumentsOf(const wchar_t* commandLine) {
  const wchar_t* p = commandLine ? commandLine : L"";
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p) ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}

std::wstring KnownFolder(int csidl) {
  wchar_t path[MAX_PATH] = L"";
  if (FAILED(SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path)))
    return std::wstring();
  return path;
}

void SetString(HKEY root, const wchar_t* key, const wchar_t* name, const std::wstring& value) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
}

// config.exe: registers the installation named by "/D=" (the rest of the command line).
void RegisterInstallation(const std::wstring& args) {
  const size_t at = args.find(L"/D=");
  if (at == std::wstring::npos) return;
  std::wstring folder = args.substr(at + 3);
  while (!folder.empty() && (folder.back() == L' ' || folder.back() == L'\t')) folder.pop_back();
  if (folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"')
    folder = folder.substr(1, folder.size() - 2);
  if (folder.empty()) return;
  folder = WithSlash(folder);

  // The version folder is the last one: ...\Lumen Office\9.1.0.4720\ gives 9.1.0.4720.
  const std::wstring trimmed = folder.substr(0, folder.size() - 1);
  const std::wstring version = FileNameOf(trimmed);

  std::wstring startMenu;
  const std::wstring switchName = L"/StartMenuDirectory=";
  const size_t menuAt = args.find(switchName);
  if (menuAt != std::wstring::npos) {
    const size_t open = menuAt + switchName.size();
    if (open < args.size() && args[open] == L'"') {
      const size_t close = args.find(L'"', open + 1);
      startMenu = args.substr(open + 1, close == std::wstring::npos ? std::wstring::npos : close - open - 1);
    } else {
      startMenu = args.substr(open, args.find_first_of(L" \t", open) - open);
    }
  }

  // A per-user installation lies below the user's local application data folder.
  const std::wstring localAppData = WithSlash(KnownFolder(CSIDL_LOCAL_APPDATA));
  const HKEY root = StartsWithNoCase(folder, localAppData) ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  const bool versioned = !version.empty() && version.find_first_not_of(L"0123456789.") == std::wstring::npos;
  const std::wstring product = versioned ? FolderOf(trimmed) : folder;
  if (versioned) {
    for (const wchar_t* sub : {L"utility", L"office6", L"office6\\cfgs"})
      CreateDirectoryW((product + sub).c_str(), nullptr);
    for (const wchar_t* file : {L"utility\\install.ini", L"office6\\cfgs\\setup.cfg", L"office6\\cfgs\\oem.ini"})
      CopyFileW((folder + file).c_str(), (product + file).c_str(), FALSE);
  }
  SetString(root, kUninstallKey, L"UninstallString", L"\"" + folder + L"utility\\uninst.exe\"");
  SetString(root, kUninstallKey, L"LocationRoot", product);
  SetString(root, kUninstallKey, L"StartMenuDir", startMenu);
  SetString(root, kUninstallKey, L"DisplayName", L"Lumen Office");
  SetString(root, kUninstallKey, L"DisplayVersion", version);
  SetString(HKEY_CURRENT_USER, kCommonKey, L"Version", version);
}

bool MakeShortcut(const std::wstring& linkPath, const std::wstring& target, const std::wstring& description) {
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link))))
    return false;
  link->SetPath(target.c_str());
  link->SetWorkingDirectory(FolderOf(target).c_str());
  link->SetDescription(description.c_str());
  IPersistFile* file = nullptr;
  bool ok = false;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    ok = SUCCEEDED(file->Save(linkPath.c_str(), TRUE));
    file->Release();
  }
  link->Release();
  return ok;
}

// lmomisc.exe -createlink startmenu "<name>" | -createlink desktop <language>
void CreateLinks(const std::wstring& self) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) return;
  std::vector<std::wstring> args(argv, argv + argc);
  LocalFree(argv);
  if (args.size() < 3 || _wcsicmp(args[1].c_str(), L"-createlink") != 0) return;

  std::wstring folder;
  if (_wcsicmp(args[2].c_str(), L"startmenu") == 0 && args.size() >= 4 && !args[3].empty()) {
    const std::wstring programs = KnownFolder(CSIDL_PROGRAMS);
    if (programs.empty()) return;
    folder = WithSlash(programs) + args[3] + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
  } else if (_wcsicmp(args[2].c_str(), L"desktop") == 0) {
    const std::wstring desktop = KnownFolder(CSIDL_DESKTOPDIRECTORY);
    if (desktop.empty()) return;
    folder = WithSlash(desktop);
  } else {
    return;
  }

  // The tool lies in <install folder>office6\; the programs are its neighbours.
  std::wstring install = FolderOf(self);
  if (!install.empty()) install = FolderOf(install.substr(0, install.size() - 1));
  struct Shortcut {
    const wchar_t* name;
    const wchar_t* program;
  };
  const Shortcut shortcuts[] = {
      {L"Lumen文字", L"office6\\lumen.exe"},
      {L"Lumen表格", L"office6\\grid.exe"},
      {L"Lumen演示", L"office6\\deck.exe"},
  };
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  for (const Shortcut& s : shortcuts) MakeShortcut(folder + s.name + L".lnk", install + s.program, s.name);
  if (SUCCEEDED(com)) CoUninitialize();
}

void SignalInstaller() {
  const HANDLE installer = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"{A4B50035-FB9F-49d6-8F0A-713F8FFA6A13}");
  if (!installer) return;  // not started by an interactive installer
  SetEvent(installer);
  CloseHandle(installer);
}

void StayIfAsked(const std::wstring& name) {
  wchar_t ms[32] = L"", who[MAX_PATH] = L"";
  const DWORD n = GetEnvironmentVariableW(L"LUMEN_DEMO_STAY_MS", ms, 32);
  if (n == 0 || n >= 32) return;
  const DWORD w = GetEnvironmentVariableW(L"LUMEN_DEMO_STAY_NAME", who, MAX_PATH);
  if (w == 0 || w >= MAX_PATH || _wcsicmp(who, name.c_str()) != 0) return;
  wchar_t* end = nullptr;
  const unsigned long value = wcstoul(ms, &end, 10);
  if (end == ms || *end != L'\0') return;
  Sleep(static_cast<DWORD>(value));
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const std::wstring self = demo::ModulePath(nullptr);
  const std::wstring name = FileNameOf(self);
  const std::wstring args = ArgumentsOf(GetCommandLineW());

  if (_wcsicmp(name.c_str(), L"config.exe") == 0) {
    RegisterInstallation(args);
  } else if (_wcsicmp(name.c_str(), L"lmomisc.exe") == 0) {
    CreateLinks(self);
  }
  demo::AppendJournal(self, args);
  if (_wcsicmp(name.c_str(), L"lumen.exe") == 0) SignalInstaller();
  StayIfAsked(name);
  return 0;
}
