#include "demo/standin/journal.h"

#include <shlobj.h>

#include <string>

namespace demo {
namespace {

std::wstring Environment(const wchar_t* name) {
  wchar_t small[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(name, small, MAX_PATH);
  if (n == 0) return std::wstring();
  if (n < MAX_PATH) return std::wstring(small, n);
  std::wstring value(n, L'\0');
  n = GetEnvironmentVariableW(name, &value[0], n);
  value.resize(n < value.size() ? n : 0);
  return value;
}

// Creates every missing folder on the way to (and including) folder.
void CreateFolders(const std::wstring& folder) {
  for (size_t at = folder.find_first_of(L"\\/", 0); at != std::wstring::npos;
       at = folder.find_first_of(L"\\/", at + 1)) {
    if (at > 0 && folder[at - 1] != L':' && folder[at - 1] != L'\\' && folder[at - 1] != L'/')
      CreateDirectoryW(folder.substr(0, at).c_str(), nullptr);
  }
  CreateDirectoryW(folder.c_str(), nullptr);
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

}  // namespace

std::wstring JournalPath() {
  std::wstring path = Environment(L"LUMEN_DEMO_JOURNAL");
  if (!path.empty()) return path;
  std::wstring root = Environment(L"ALLUSERSPROFILE");
  if (root.empty()) {
    wchar_t common[MAX_PATH] = L"";
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, common)))
      root = common;
  }
  if (root.empty()) root = L"C:\\ProgramData";
  if (root.back() != L'\\') root += L'\\';
  return root + L"LumenDemo\\journal.txt";
}

std::wstring ModulePath(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, &path[0], static_cast<DWORD>(path.size()));
    if (n == 0) return std::wstring();
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

bool AppendJournal(const std::wstring& modulePath, const std::wstring& text) {
  const std::wstring path = JournalPath();
  const size_t slash = path.find_last_of(L"\\/");
  if (slash != std::wstring::npos && slash > 0) CreateFolders(path.substr(0, slash));

  const std::string line = std::to_string(GetTickCount()) + '\t' + Utf8(modulePath) + '\t' + Utf8(text) + '\n';

  // Writers take turns through a named mutex: a handle opened for appending only should land
  // every write at the file's end, but Wine finds the end and writes in two steps, and lines of
  // programs writing at the same moment overwrote each other there. The mutex has no access
  // restrictions, so an elevated and a normal program share it; without it the line is written
  // all the same.
  SECURITY_DESCRIPTOR open;
  InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE);
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), &open, FALSE};
  HANDLE turn = CreateMutexW(&attributes, FALSE, L"LumenDemoJournal");
  if (!turn) turn = OpenMutexW(SYNCHRONIZE, FALSE, L"LumenDemoJournal");
  const DWORD waited = turn ? WaitForSingleObject(turn, 10000) : WAIT_FAILED;
  const bool mine = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;

  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 200; ++attempt) {
    file = CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) break;
    const DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) break;
    Sleep(10);
  }
  bool ok = false;
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) && written == line.size();
    CloseHandle(file);
  }
  if (mine) ReleaseMutex(turn);
  if (turn) CloseHandle(turn);
  return ok;
}

}  // namespace demo
