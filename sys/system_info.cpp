#include "sys/system_info.h"

#include <shlobj.h>
#include <psapi.h>
#include <tlhelp32.h>

#include "base/handles.h"
#include "log/setup_log.h"
#include "sys/file_utils.h"
#include "sys/registry.h"
#include "sys/shell_api.h"

namespace ZFunction {

unsigned long long PrivateMemory() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  // (The pagefile figure is the committed private memory; Wine leaves PrivateUsage empty.)
  return GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters)) ? counters.PagefileUsage : 0;
}

unsigned long long PeakWorkingSet() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  return GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters)) ? counters.PeakWorkingSetSize : 0;
}


namespace {

DWORD SessionOf(DWORD processId) {
  DWORD session = static_cast<DWORD>(-1);
  ProcessIdToSessionId(processId, &session);
  return session;
}

// Elevation of a token: true when it holds the full administrator rights.
bool IsTokenElevated(HANDLE token) {
  TOKEN_ELEVATION elevation{};
  DWORD bytes = 0;
  return GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &bytes) &&
         elevation.TokenIsElevated != 0;
}

}  // namespace

// Whether starting through the desktop shell gives the program other rights than this
// process has. On Windows with user account control the shell runs limited while the
// installer runs elevated; when the shell already has the installer's elevation (user
// account control off, or a shell that is itself elevated) a plain start is the same thing,
// and asking the shell only risks disturbing it.
bool ShellRunsWithLowerRights() {
  sys::UniqueKernel shellToken, ownToken;
  if (GetShellUserToken(shellToken.Put()) != S_OK) return false;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, ownToken.Put())) return false;
  return IsTokenElevated(ownToken.Get()) && !IsTokenElevated(shellToken.Get());
}

bool IsUacEnabled() {
  if (!IsVistaOrLater()) return false;
  if (IsTokenElevationSplit()) return true;
  return ReadRegDword(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                      L"EnableLUA", 0) != 0;
}

bool IsAdminMember() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  sys::UniqueSid admins;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                admins.Put()))
    return false;
  BOOL member = FALSE;
  if (!CheckTokenMembership(nullptr, admins.Get(), &member)) member = FALSE;
  return member != FALSE;
}

bool IsTokenElevationSplit() {
  sys::UniqueKernel token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put())) return false;
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD bytes = 0;
  if (!GetTokenInformation(token.Get(), TokenElevationType, &type, sizeof(type), &bytes)) return false;
  return type == TokenElevationTypeFull || type == TokenElevationTypeLimited;
}

bool EnableDebugPrivilege() {
  sys::UniqueKernel token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Put())) return false;
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid)) return false;
  return AdjustTokenPrivileges(token.Get(), FALSE, &privileges, sizeof(privileges), nullptr, nullptr) != FALSE;
}

bool EnableWow64Redirection(bool on) {
#ifdef _WIN64
  (void)on;
  return true;  // a 64-bit program is never redirected
#else
  using Switch = BOOLEAN(WINAPI*)(BOOLEAN);
  static Switch toggle = nullptr;  // looked up again until found: 32-bit Windows has none
  if (!toggle) {
    HMODULE kernel = GetModuleHandleW(L"Kernel32.dll");
    if (kernel) toggle = reinterpret_cast<Switch>(GetProcAddress(kernel, "Wow64EnableWow64FsRedirection"));
    if (!toggle) return true;
  }
  return toggle(on ? TRUE : FALSE) != FALSE;
#endif
}

BOOL SetDllFolder(const std::wstring& folder) {
  using SetDirectory = BOOL(WINAPI*)(LPCWSTR);
  const auto set = Kernel32Function<SetDirectory>("SetDllDirectoryW");
  const BOOL ok = set ? set(folder.c_str()) : FALSE;
  return ok ? ok : SetCurrentDirectoryW(folder.c_str());
}

ScopedDllFolder::ScopedDllFolder(const std::wstring& folder) {
  wchar_t current[MAX_PATH + 1] = {};
  if (GetCurrentDirectoryW(MAX_PATH + 1, current) <= MAX_PATH) PreviousCurrentFolder = current;
  using GetDirectory = DWORD(WINAPI*)(DWORD, LPWSTR);
  if (auto get = Kernel32Function<GetDirectory>("GetDllDirectoryW")) {
    wchar_t dll[MAX_PATH + 1] = {};
    if (get(MAX_PATH + 1, dll) <= MAX_PATH) {
      PreviousDllFolder = dll;
      HadDllFolderCall = true;
    }
  }
  SetDllFolder(folder);
}

ScopedDllFolder::~ScopedDllFolder() {
  using SetDirectory = BOOL(WINAPI*)(LPCWSTR);
  if (auto set = Kernel32Function<SetDirectory>("SetDllDirectoryW"); set && HadDllFolderCall)
    set(PreviousDllFolder.c_str());  // "" keeps the current folder out of the search
  if (!PreviousCurrentFolder.empty()) SetCurrentDirectoryW(PreviousCurrentFolder.c_str());
}

void MarkCompatibilityAssistantDone() {
  sys::UniqueRegKey key;
  const wchar_t* sub = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Compatibility Assistant\\Persisted";
  if (RegOpenKeyExW(HKEY_CURRENT_USER, sub, 0, KEY_READ | KEY_WRITE, key.Put()) != ERROR_SUCCESS &&
      RegCreateKeyExW(HKEY_CURRENT_USER, sub, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, key.Put(), nullptr) !=
          ERROR_SUCCESS)
    return;
  const std::wstring own = GetModulePath();
  wchar_t longPath[MAX_PATH + 1] = {};
  if (GetLongPathNameW(own.c_str(), longPath, MAX_PATH) == 0) lstrcpynW(longPath, own.c_str(), MAX_PATH);
  const DWORD one = 1;
  RegSetValueExW(key.Get(), longPath, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
}

HRESULT GetShellUserToken(HANDLE* token) {
  if (!token) return E_INVALIDARG;
  *token = nullptr;
  DWORD session = 0;
  if (!ProcessIdToSessionId(GetCurrentProcessId(), &session)) {
    const DWORD error = GetLastError();
    return static_cast<int>(error) <= 0 ? static_cast<HRESULT>(error) : HRESULT_FROM_WIN32(error);
  }
  std::vector<DWORD> shells;
  {
    sys::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    if (snapshot)
      for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
        if (_wcsicmp(entry.szExeFile, L"explorer.exe") == 0) shells.push_back(entry.th32ProcessID);
  }
  if (shells.empty()) return E_FAIL;
  for (DWORD id : shells) {
    if (SessionOf(id) != session) continue;
    sys::UniqueKernel process(OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, id));
    if (process && OpenProcessToken(process.Get(),
                                    TOKEN_ASSIGN_PRIMARY | TOKEN_DUPLICATE | TOKEN_IMPERSONATE | TOKEN_QUERY, token))
      return S_OK;
  }
  return E_FAIL;
}

bool IsSameTokenUser(HANDLE a, HANDLE b) {
  BYTE bufferA[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)], bufferB[sizeof(bufferA)];
  DWORD bytes = 0;
  if (!GetTokenInformation(a, TokenUser, bufferA, sizeof(bufferA), &bytes) ||
      !GetTokenInformation(b, TokenUser, bufferB, sizeof(bufferB), &bytes))
    return false;
  PSID sidA = reinterpret_cast<TOKEN_USER*>(bufferA)->User.Sid;
  PSID sidB = reinterpret_cast<TOKEN_USER*>(bufferB)->User.Sid;
  return IsValidSid(sidA) && IsValidSid(sidB) && EqualSid(sidA, sidB);
}

void GetWindowsVersion(DWORD* major, DWORD* minor) {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  GetVersionExW(&info);
  *major = info.dwMajorVersion;
  *minor = info.dwMinorVersion;
}

bool IsOldWindows() {
  static int cached = -1;
  if (cached < 0) {
    DWORD major, minor;
    GetWindowsVersion(&major, &minor);
    cached = major < 6 || (major == 6 && minor == 0);
  }
  return cached != 0;
}

bool IsVistaOrLater() {
  static int cached = -1;
  if (cached < 0) {
    DWORD major, minor;
    GetWindowsVersion(&major, &minor);
    cached = major >= 6;
  }
  return cached != 0;
}

bool IsXpOrLaterVersion(DWORD major, DWORD minor) { return major > 5 || (major == 5 && minor >= 1); }

bool IsTraditionalChineseLangId(LANGID id) { return id == 1028 || id == 3076 || id == 5124; }

bool IsNotTraditionalChineseLang() { return !IsTraditionalChineseLangId(GetSystemDefaultLangID()); }

std::wstring GetSpecialFolder(int csidl) {
  wchar_t path[MAX_PATH + 1] = {};
  if (FAILED(shell::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return std::wstring();
  return path;
}

std::vector<std::wstring> ProgramFilesFolders() {
  std::vector<std::wstring> found;
  auto add = [&found](const std::wstring& folder) {
    if (folder.empty()) return;
    for (const std::wstring& known : found)
      if (_wcsicmp(WithSlash(known).c_str(), WithSlash(folder).c_str()) == 0) return;
    found.push_back(folder);
  };
  add(GetSpecialFolder(CSIDL_PROGRAM_FILES));
  add(GetSpecialFolder(CSIDL_PROGRAM_FILESX86));
  wchar_t native[MAX_PATH + 1] = {};  // set for 32-bit programs on 64-bit Windows
  const DWORD chars = GetEnvironmentVariableW(L"ProgramW6432", native, MAX_PATH);
  if (chars > 0 && chars < MAX_PATH) add(native);
  return found;
}

ShellUserProfile::ShellUserProfile() {
  sys::UniqueKernel shellToken, ownToken;
  if (GetShellUserToken(shellToken.Put()) != S_OK) return;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, ownToken.Put())) return;
  if (IsSameTokenUser(shellToken.Get(), ownToken.Get())) {
    LocalAppData_ = GetSpecialFolder(CSIDL_LOCAL_APPDATA);
    return;
  }
  if (!ImpersonateLoggedOnUser(shellToken.Get())) return;
  wchar_t path[MAX_PATH + 1] = {};
  if (SUCCEEDED(shell::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, shellToken.Get(), SHGFP_TYPE_CURRENT, path)))
    LocalAppData_ = path;
  RegOpenCurrentUser(KEY_ALL_ACCESS, UserRoot_.Put());
  RevertToSelf();
}

int ScreenDpi() {
  using GetDpiForSystemFn = UINT(WINAPI*)();
  static const auto forSystem =
      reinterpret_cast<GetDpiForSystemFn>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForSystem"));
  if (forSystem) return static_cast<int>(forSystem());
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

}  // namespace ZFunction
