#include "sys/process_search.h"

#include <tlhelp32.h>
#include <psapi.h>

#include "base/handles.h"
#include "sys/path_text.h"
#include "sys/system_info.h"

namespace ZFunction {
namespace {

bool NameInList(const wchar_t* name, const std::vector<const wchar_t*>& list) {
  for (const wchar_t* n : list)
    if (_wcsicmp(name, n) == 0) return true;
  return false;
}

// Calls `visit` with each running process until it answers true; whether one did.
template <typename Visit>
bool AnyProcess(Visit visit) {
  sys::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
    if (visit(entry)) return true;
  return false;
}

}  // namespace

void StopService(const wchar_t* name) {
  // Every service has its key here: without one there is nothing to stop, and the service
  // manager (a round trip to its process, slow under some systems) is not asked.
  sys::UniqueRegKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(L"SYSTEM\\CurrentControlSet\\Services\\") + name).c_str(), 0, KEY_READ,
                    key.Put()) != ERROR_SUCCESS)
    return;
  sys::UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return;
  sys::UniqueScHandle service(OpenServiceW(manager.Get(), name, SERVICE_QUERY_STATUS | SERVICE_STOP));
  if (!service) return;
  SERVICE_STATUS status{};
  if (QueryServiceStatus(service.Get(), &status) &&
      (status.dwCurrentState == SERVICE_RUNNING || status.dwCurrentState == SERVICE_PAUSED))
    ControlService(service.Get(), SERVICE_CONTROL_STOP, &status);  // not waited for
}

std::wstring FindBlockingProcess(const std::wstring& ownPath, const std::vector<const wchar_t*>& helpers,
                                 const std::vector<const wchar_t*>& blocking) {
  std::wstring found;
  AnyProcess([&](const PROCESSENTRY32W& entry) {
    const bool helper = NameInList(entry.szExeFile, helpers);
    if (!helper && !NameInList(entry.szExeFile, blocking)) return false;
    std::wstring path;
    GetModuleFileOfProcess(entry.th32ProcessID, path);
    if (path == ownPath) return false;  // the installer itself may carry a suite program's name
    sys::UniqueKernel process(helper ? OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID) : nullptr);
    if (helper && process && TerminateProcess(process.Get(), 4)) return false;
    found = entry.szExeFile;
    return true;
  });
  return found;
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
  bool found = false;
  AnyProcess([&](const PROCESSENTRY32W& entry) {
    if (!NameInList(entry.szExeFile, names)) return false;
    found = true;
    std::wstring path;
    if (GetModuleFileOfProcess(entry.th32ProcessID, path)) paths.push_back(path);
    return false;
  });
  return found;
}

std::vector<DWORD> ProcessIdsOfImage(const std::wstring& path) {
  std::vector<DWORD> ids;
  const size_t sep = path.find_last_of(L'\\');
  const std::wstring name = sep == std::wstring::npos ? path : path.substr(sep + 1);
  AnyProcess([&](const PROCESSENTRY32W& entry) {
    std::wstring image;
    if (_wcsicmp(entry.szExeFile, name.c_str()) == 0 && GetModuleFileOfProcess(entry.th32ProcessID, image) &&
        _wcsicmp(image.c_str(), path.c_str()) == 0)
      ids.push_back(entry.th32ProcessID);
    return false;
  });
  return ids;
}

bool AnyProcessRunsBelow(const std::wstring& folder) {
  const std::wstring prefix = WithSlash(folder);
  if (prefix.size() < 4) return false;
  return AnyProcess([&](const PROCESSENTRY32W& entry) {
    std::wstring image;
    return GetModuleFileOfProcess(entry.th32ProcessID, image) && image.size() > prefix.size() &&
           _wcsnicmp(image.c_str(), prefix.c_str(), prefix.size()) == 0;
  });
}

std::vector<std::pair<HWND, DWORD>> FindWindowsByTitle(const wchar_t* title) {
  // The window manager compares the titles itself: reading every window's title from here
  // costs a trip per window, and this runs every few milliseconds while a copy starts.
  std::vector<std::pair<HWND, DWORD>> found;
  for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, nullptr, title)) != nullptr;) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    found.emplace_back(window, owner);
  }
  return found;
}

HWND FindProcessWindow(const wchar_t* title, DWORD processId) {
  if (processId == 0) return nullptr;
  for (const auto& [hwnd, owner] : FindWindowsByTitle(title))
    if (owner == processId) return hwnd;
  return nullptr;
}

DWORD GetParentProcessId() {
  const DWORD self = GetCurrentProcessId();
  DWORD parent = 0;
  AnyProcess([&](const PROCESSENTRY32W& entry) {
    if (entry.th32ProcessID == self) parent = entry.th32ParentProcessID;
    return entry.th32ProcessID == self;
  });
  return parent;
}

unsigned long long ProcessCreationTime(HANDLE process) {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return static_cast<unsigned long long>(created.dwHighDateTime) << 32 | created.dwLowDateTime;
}

}  // namespace ZFunction
