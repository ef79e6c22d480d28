#include "sys/process_utils.h"

#include <exdisp.h>
#include <shldisp.h>
#include <shlobj.h>
#include <shellapi.h>
#include <tlhelp32.h>
#include <psapi.h>

#include "log/setup_log.h"
#include "sys/file_utils.h"
#include "base/handles.h"
#include "sys/registry.h"

// shellapi.h maps ShellExecute to its wide function; here it is the shell object's method.
#undef ShellExecute

namespace ZFunction {
namespace {

// Calls that newer Windows versions added are looked up, so the program still starts on
// Windows XP; null where the call does not exist.
template <typename Fn>
Fn Kernel32Function(const char* name) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  return kernel ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(kernel, name))) : nullptr;
}

// Elevation of a token: true when it holds the full administrator rights.
bool IsTokenElevated(HANDLE token) {
  TOKEN_ELEVATION elevation{};
  DWORD bytes = 0;
  return GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &bytes) &&
         elevation.TokenIsElevated != 0;
}

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

bool NameInList(const wchar_t* name, const std::vector<const wchar_t*>& list) {
  for (const wchar_t* n : list)
    if (_wcsicmp(name, n) == 0) return true;
  return false;
}

}  // namespace

void StopService(const wchar_t* name) {
  sys::UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return;
  sys::UniqueScHandle service(OpenServiceW(manager.Get(), name, SERVICE_QUERY_STATUS | SERVICE_STOP));
  if (!service) return;
  SERVICE_STATUS status{};
  if (QueryServiceStatus(service.Get(), &status) &&
      (status.dwCurrentState == SERVICE_RUNNING || status.dwCurrentState == SERVICE_PAUSED))
    ControlService(service.Get(), SERVICE_CONTROL_STOP, &status);  // not waited for
}

namespace {

DWORD SessionOf(DWORD processId) {
  DWORD session = static_cast<DWORD>(-1);
  ProcessIdToSessionId(processId, &session);
  return session;
}

}  // namespace

bool RunApp(const std::wstring& path, const std::wstring& params, DWORD wait, int show) {
  if (!PathExists(path)) return false;
  SHELLEXECUTEINFOW sei{};
  sei.cbSize = sizeof(sei);
  // No error box from the shell: nobody may be there to close it (silent installs, the
  // user-level copy serving an elevated one). A failed start is logged below instead.
  sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  sei.lpFile = path.c_str();
  sei.lpParameters = params.empty() ? nullptr : params.c_str();
  sei.nShow = show ? SW_SHOWDEFAULT : SW_HIDE;
  const BOOL ok = ShellExecuteExW(&sei);
  const sys::UniqueKernel process(sei.hProcess);
  if (ok) {
    if (wait != 0 && process) WaitForSingleObject(process.Get(), wait);
  } else {
    g_Log.Log("ZFunction::RunApp ShellExecuteEx error:%d, wait:%d, show:%d, path:%ws, cmd:%ws",
              static_cast<int>(GetLastError()), static_cast<int>(wait), show, path.c_str(), params.c_str());
  }
  return ok != FALSE;
}

bool RunAppAsShellUser(const std::wstring& path, const std::wstring& params, DWORD wait, int show) {
  if (IsUacEnabled() && IsAdminMember() && ShellRunsWithLowerRights() && ShellExecuteFromDesktop(path, params))
    return true;
  return RunApp(path, params, wait, show);
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

bool IsUacEnabled() {
  if (!IsVistaOrLater()) return false;
  if (IsTokenElevationSplit()) return true;
  return ReadRegDword(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                      L"EnableLUA", 0) != 0;
}

bool IsAdminMember() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                &admins))
    return false;
  BOOL member = FALSE;
  if (!CheckTokenMembership(nullptr, admins, &member)) member = FALSE;
  FreeSid(admins);
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

std::wstring FindBlockingProcess(const std::wstring& ownPath, const std::vector<const wchar_t*>& helpers,
                                 const std::vector<const wchar_t*>& blocking) {
  sys::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return std::wstring();
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
    const bool helper = NameInList(entry.szExeFile, helpers);
    if (!helper && !NameInList(entry.szExeFile, blocking)) continue;
    std::wstring path;
    GetModuleFileOfProcess(entry.th32ProcessID, path);
    if (path == ownPath) continue;  // the installer itself may carry a suite program's name
    if (!helper) return entry.szExeFile;
    sys::UniqueKernel process(OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
    if (!process || !TerminateProcess(process.Get(), 4)) return entry.szExeFile;
  }
  return std::wstring();
}

bool GetModuleFileOfProcess(DWORD processId, std::wstring& path) {
  path.clear();
  // The image name: readable for 64-bit processes from the 32-bit program, and for processes
  // whose loader has not run. Windows XP has only the module list.
  using QueryImageName = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
  static const auto query = Kernel32Function<QueryImageName>("QueryFullProcessImageNameW");
  wchar_t name[MAX_PATH + 1] = {};
  if (query) {
    sys::UniqueKernel process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    DWORD n = MAX_PATH;
    if (!process || !query(process.Get(), 0, name, &n) || n == 0) return false;
    path.assign(name, n);
    return true;
  }
  sys::UniqueKernel process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
  if (!process) return false;
  const DWORD n = GetModuleFileNameExW(process.Get(), nullptr, name, MAX_PATH);
  if (n == 0) return false;
  path.assign(name, n);
  return true;
}

bool FindProcessPathsByName(const std::vector<const wchar_t*>& names, std::vector<std::wstring>& paths) {
  if (names.empty()) return false;
  sys::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  bool found = false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
    if (!NameInList(entry.szExeFile, names)) continue;
    found = true;
    std::wstring path;
    if (GetModuleFileOfProcess(entry.th32ProcessID, path)) paths.push_back(path);
  }
  return found;
}

namespace {

struct TitleSearch {
  const wchar_t* title;
  std::vector<std::pair<HWND, DWORD>> found;
};

BOOL CALLBACK CollectTitledWindow(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<TitleSearch*>(param);
  wchar_t text[128] = {};
  if (GetWindowTextW(hwnd, text, 128) > 0 && wcscmp(text, search->title) == 0) {
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    search->found.emplace_back(hwnd, owner);
  }
  return TRUE;
}

}  // namespace

std::vector<std::pair<HWND, DWORD>> FindWindowsByTitle(const wchar_t* title) {
  TitleSearch search{title, {}};
  EnumWindows(CollectTitledWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindProcessWindow(const wchar_t* title, DWORD processId) {
  if (processId == 0) return nullptr;
  for (const auto& [hwnd, owner] : FindWindowsByTitle(title))
    if (owner == processId) return hwnd;
  return nullptr;
}

DWORD GetParentProcessId() {
  sys::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;
  const DWORD self = GetCurrentProcessId();
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
    if (entry.th32ProcessID == self) return entry.th32ParentProcessID;
  return 0;
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
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return std::wstring();
  return path;
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
  if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, shellToken.Get(), SHGFP_TYPE_CURRENT, path)))
    LocalAppData_ = path;
  RegOpenCurrentUser(KEY_ALL_ACCESS, UserRoot_.Put());
  RevertToSelf();
}

}  // namespace ZFunction
