#include "tests/support/test_support.h"

#include <tlhelp32.h>

#include <stdio.h>

#include <gtest/gtest.h>

#include <shlobj.h>

#include "sys/file_utils.h"
#include "sys/system_info.h"

namespace testing_support {

TempFolder::TempFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  static LONG counter = 0;
  wchar_t name[64];
  swprintf(name, 64, L"lumentest-%lu-%lu-%ld\\", GetCurrentProcessId(), GetTickCount(), InterlockedIncrement(&counter));
  path_ = ZFunction::WithSlash(temp) + name;
  ZFunction::CreateFolderTree(path_);
}

StandInJournal::StandInJournal(const std::wstring& path) : path_(path) {
  SetEnvironmentVariableW(L"LUMEN_DEMO_JOURNAL", path_.c_str());
}

StandInJournal::~StandInJournal() { SetEnvironmentVariableW(L"LUMEN_DEMO_JOURNAL", nullptr); }

void StandInJournal::Clear() const { DeleteFileW(path_.c_str()); }

std::vector<StandInJournal::Entry> StandInJournal::Entries() const {
  // One line per start: tick, program, arguments, separated by tabs.
  std::vector<Entry> entries;
  const std::wstring text = Widen(ReadBytes(path_));
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find(L'\n', at);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring line = text.substr(at, end - at);
    at = end + 1;
    const size_t tab1 = line.find(L'\t'), tab2 = line.find(L'\t', tab1 + 1);
    if (tab1 == std::wstring::npos || tab2 == std::wstring::npos) continue;
    entries.push_back(Entry{line.substr(tab1 + 1, tab2 - tab1 - 1), line.substr(tab2 + 1)});
  }
  return entries;
}

std::wstring LogPath() {
  return ZFunction::GetSpecialFolder(CSIDL_APPDATA) + L"\\tallis\\office6\\log\\setup\\lumensetup.log";
}

TempFolder::~TempFolder() { ZFunction::DeleteFolder(path_); }

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD done = 0;
  WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
  CloseHandle(f);
}

std::string ReadBytes(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return std::string();
  std::string data;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(f, buffer, sizeof(buffer), &got, nullptr) && got > 0) data.append(buffer, got);
  CloseHandle(f);
  return data;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring BinFolder() { return ZFunction::GetModuleFolder(); }

bool TestingX86() {
  wchar_t arch[8] = {};
  return GetEnvironmentVariableW(L"LUMEN_TEST_ARCH", arch, 8) > 0 && wcscmp(arch, L"x86") == 0;
}

std::wstring TestedData(const wchar_t* name) {
  return BinFolder() + L"..\\" + name + (TestingX86() ? L"-x86\\" : L"\\");
}

std::wstring TestData() { return TestedData(L"testdata"); }

REGSAM SuiteView() { return TestingX86() ? KEY_WOW64_32KEY : KEY_WOW64_64KEY; }

std::wstring ReadString(HKEY root, const wchar_t* key, const wchar_t* name) {
  HKEY k = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_READ | SuiteView(), &k) != ERROR_SUCCESS) return std::wstring();
  wchar_t value[1024] = {};
  DWORD type = 0, bytes = sizeof(value) - sizeof(wchar_t);
  const bool ok = RegQueryValueExW(k, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) == ERROR_SUCCESS &&
                  (type == REG_SZ || type == REG_EXPAND_SZ);
  RegCloseKey(k);
  return ok ? value : std::wstring();
}

void WriteString(HKEY root, const wchar_t* key, const wchar_t* name, const std::wstring& value) {
  HKEY k = nullptr;
  if (RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_SET_VALUE | SuiteView(), nullptr, &k, nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(k);
}

void DeleteTree(HKEY root, const wchar_t* key) {
  const std::wstring path = key;
  const size_t sep = path.find_last_of(L'\\');
  HKEY parent = nullptr;
  if (RegOpenKeyExW(root, sep == std::wstring::npos ? L"" : path.substr(0, sep).c_str(), 0,
                    KEY_ALL_ACCESS | SuiteView(), &parent) != ERROR_SUCCESS)
    return;
  RegDeleteTreeW(parent, path.substr(sep == std::wstring::npos ? 0 : sep + 1).c_str());
  RegCloseKey(parent);
}

void DeleteValue(HKEY root, const wchar_t* key, const wchar_t* name) {
  HKEY k = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_SET_VALUE | SuiteView(), &k) != ERROR_SUCCESS) return;
  RegDeleteValueW(k, name);
  RegCloseKey(k);
}

bool KeyExists(HKEY root, const wchar_t* key) {
  HKEY k = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_READ | SuiteView(), &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

bool ValueExists(HKEY root, const wchar_t* key, const wchar_t* name) {
  HKEY k = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_READ | SuiteView(), &k) != ERROR_SUCCESS) return false;
  const bool found = RegQueryValueExW(k, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(k);
  return found;
}

namespace {

// When process `id` was created, as a 64-bit file time; 0 when it cannot be read.
ULONGLONG CreationTime(DWORD id) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
  if (!process) return 0;
  FILETIME created{}, ended{}, kernel{}, user{};
  const BOOL read = GetProcessTimes(process, &created, &ended, &kernel, &user);
  CloseHandle(process);
  return read ? (ULONGLONG{created.dwHighDateTime} << 32) | created.dwLowDateTime : 0;
}

}  // namespace

std::vector<DWORD> ChildProcesses(DWORD parent) {
  // A process keeps the parent's id it was made with after that parent ended, and ids are
  // reused at once: a program left running by an earlier run names a new process as its
  // parent when the new one got the old id. A real child was made after its parent.
  const ULONGLONG born = CreationTime(parent);
  std::vector<DWORD> ids;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W e{};
  e.dwSize = sizeof(e);
  for (BOOL more = Process32FirstW(snap, &e); more; more = Process32NextW(snap, &e))
    if (e.th32ParentProcessID == parent && CreationTime(e.th32ProcessID) >= born) ids.push_back(e.th32ProcessID);
  CloseHandle(snap);
  return ids;
}

Paused::Paused(DWORD process) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 t{};
  t.dwSize = sizeof(t);
  for (BOOL more = Thread32First(snap, &t); more; more = Thread32Next(snap, &t)) {
    if (t.th32OwnerProcessID != process) continue;
    if (HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, t.th32ThreadID)) {
      if (SuspendThread(thread) != static_cast<DWORD>(-1)) threads_.push_back(thread);
      else CloseHandle(thread);
    }
  }
  CloseHandle(snap);
}

void Paused::Resume() {
  for (HANDLE thread : threads_) {
    ResumeThread(thread);
    CloseHandle(thread);
  }
  threads_.clear();
}

namespace {
void ListTree(const std::wstring& root, const std::wstring& rel, std::map<std::wstring, std::string>& out) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((root + rel + L"*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out[rel + name] = "<dir>";
      ListTree(root, rel + name + L"\\", out);
    } else {
      out[rel + name] = ReadBytes(root + rel + name);
    }
  } while (FindNextFileW(h, &fd));
  FindClose(h);
}
}  // namespace

std::map<std::wstring, std::string> Tree(const std::wstring& root) {
  std::map<std::wstring, std::string> t;
  ListTree(ZFunction::WithSlash(root), L"", t);
  return t;
}

void ExpectSameTree(const std::wstring& actual, const std::wstring& expected) {
  const auto a = Tree(actual), e = Tree(expected);
  ASSERT_FALSE(e.empty()) << "no reference tree at " << Narrow(expected);
  EXPECT_EQ(a.size(), e.size()) << Narrow(actual);
  for (const auto& [name, bytes] : e) {
    auto it = a.find(name);
    if (it == a.end()) ADD_FAILURE() << "missing " << Narrow(name);
    else EXPECT_TRUE(it->second == bytes) << "differs: " << Narrow(name);
  }
}

Process::~Process() {
  if (info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) Kill();
  if (info_.hProcess) CloseHandle(info_.hProcess);
  if (info_.hThread) CloseHandle(info_.hThread);
  if (job_) CloseHandle(job_);
}

bool Process::Start(const std::wstring& program, const std::wstring& params, const std::wstring& folder) {
  std::wstring line = L"\"" + program + L"\" " + params;
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  if (!CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &si, &info_))
    return false;
  // The job collects the program and whatever it starts.
  job_ = CreateJobObjectW(nullptr, nullptr);
  if (job_) AssignProcessToJobObject(job_, info_.hProcess);
  ResumeThread(info_.hThread);
  return true;
}

int Process::Wait(DWORD ms) {
  if (!info_.hProcess || WaitForSingleObject(info_.hProcess, ms) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return static_cast<int>(code);
}

void Process::Kill() {
  if (job_) TerminateJobObject(job_, 99);
  if (info_.hProcess) TerminateProcess(info_.hProcess, 99);
}

WindowsVersionFor::WindowsVersionFor(const std::wstring& exeName, const wchar_t* version)
    : key_(L"Software\\Wine\\AppDefaults\\" + exeName) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr)) return;
  RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                 static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

WindowsVersionFor::~WindowsVersionFor() { RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str()); }

int Run(const std::wstring& program, const std::wstring& params, DWORD ms) {
  Process p;
  if (!p.Start(program, params)) return -1;
  return p.Wait(ms);
}

std::vector<std::wstring> ReadMultiString(HKEY root, const wchar_t* key, const wchar_t* name) {
  std::vector<std::wstring> values;
  HKEY k;
  if (RegOpenKeyExW(root, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return values;
  DWORD type = 0, bytes = 0;
  if (RegQueryValueExW(k, name, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS && type == REG_MULTI_SZ) {
    std::wstring data(bytes / 2 + 2, L'\0');
    RegQueryValueExW(k, name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &bytes);
    // Pending renames come in pairs whose second string may be empty: walk by length, not
    // up to the first empty string.
    const size_t end = bytes / 2;
    for (size_t at = 0; at < end;) {
      const size_t len = wcslen(data.c_str() + at);
      if (at + len < end || len > 0) values.emplace_back(data.c_str() + at, len);
      at += len + 1;
    }
    while (!values.empty() && values.back().empty()) values.pop_back();
  }
  RegCloseKey(k);
  return values;
}

std::wstring Widen(const std::string& s) {
  std::wstring w(s.size(), L'\0');
  w.resize(MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &w[0], static_cast<int>(w.size())));
  return w;
}

std::string Narrow(const std::wstring& w) {
  std::string s(w.size() * 4, '\0');
  s.resize(WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], static_cast<int>(s.size()),
                               nullptr, nullptr));
  return s;
}

}  // namespace testing_support
