#include "suite/suite_registry.h"

#include <shlobj.h>

#include <initializer_list>

#include "sys/file_utils.h"
#include "base/handles.h"
#include "sys/system_info.h"
#include "sys/registry.h"
#include "suite/suite_programs.h"

namespace suite_registry {
namespace {

const wchar_t kLumenHome[] = L"%LUMEN_HOME%";

void RemoveAll(std::wstring& text, const std::wstring& part) {
  for (size_t at; (at = text.find(part)) != std::wstring::npos;) text.erase(at, part.size());
}

}  // namespace

void DeleteRestartAppInfo(HKEY userRoot) {
  for (const wchar_t* program : {L"grid", L"lumen", L"deck"}) {
    const std::wstring key = std::wstring(L"Software\\tallis\\Office\\6.0\\") + program + L"\\Application Settings";
    ZFunction::DeleteRegValue(userRoot, key.c_str(), L"RestartAppInfo");
  }
}

std::wstring PathWithLumenHome(const std::wstring& path) {
  if (path.find(kLumenHome) != std::wstring::npos) return path;
  return path.empty() ? kLumenHome : kLumenHome + (L";" + path);
}

std::wstring PathWithoutLumenHome(std::wstring path) {
  RemoveAll(path, std::wstring(kLumenHome) + L";");
  RemoveAll(path, std::wstring(L";") + kLumenHome);
  RemoveAll(path, kLumenHome);
  return path;
}

void SetSuiteEnvironment(HKEY userRoot, const std::wstring& installFolder) {
  sys::UniqueRegKey key;
  if (RegCreateKeyExW(userRoot, L"Environment", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, key.Put(), nullptr) !=
      ERROR_SUCCESS)
    return;
  const std::wstring home = installFolder + L"office6";
  RegSetValueExW(key.Get(), L"LUMEN_HOME", 0, REG_SZ, reinterpret_cast<const BYTE*>(home.c_str()),
                 static_cast<DWORD>((home.size() + 1) * sizeof(wchar_t)));
  const std::wstring old = ZFunction::ReadRegString(userRoot, L"Environment", L"PATH", 32767);
  const std::wstring path = PathWithLumenHome(old);
  if (path != old)
    RegSetValueExW(key.Get(), L"PATH", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
  DWORD_PTR result = 0;
  SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"), 0, 1000,
                      &result);
}

std::wstring ReadWaitClearList(HKEY userRoot) {
  return ZFunction::ReadRegString(userRoot, suite::kUpdateInfoKey, L"waitclearversions", 32767);
}

void StoreWaitClearList(HKEY userRoot, const std::wstring& list) {
  ZFunction::DeleteRegValue(userRoot, suite::kUpdateInfoKey, L"waitclearversions");
  if (!list.empty()) ZFunction::WriteRegString(userRoot, suite::kUpdateInfoKey, L"waitclearversions", list);
}

}  // namespace suite_registry
