#include "sys/registry.h"

#include <vector>

#include "base/handles.h"

namespace ZFunction {

std::wstring ReadRegString(HKEY root, const wchar_t* subKey, const wchar_t* name, size_t maxChars) {
  sys::UniqueRegKey key;
  if (RegOpenKeyExW(root, subKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return std::wstring();
  DWORD type = 0, bytes = 0;
  if (RegQueryValueExW(key.Get(), name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return std::wstring();
  std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &bytes) !=
      ERROR_SUCCESS)
    return std::wstring();
  std::wstring value(data.data());
  if (value.size() > maxChars) value.resize(maxChars);
  return value;
}

DWORD ReadRegDword(HKEY root, const wchar_t* subKey, const wchar_t* name, DWORD fallback) {
  sys::UniqueRegKey key;
  if (RegOpenKeyExW(root, subKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return fallback;
  DWORD type = 0, value = 0, bytes = sizeof(value);
  if (RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes) != ERROR_SUCCESS ||
      type != REG_DWORD)
    return fallback;
  return value;
}

bool WriteRegString(HKEY root, const wchar_t* subKey, const wchar_t* name, const std::wstring& value) {
  sys::UniqueRegKey key;
  if (RegOpenKeyExW(root, subKey, 0, KEY_WRITE, key.Put()) != ERROR_SUCCESS &&
      RegCreateKeyExW(root, subKey, 0, nullptr, 0, KEY_WRITE, nullptr, key.Put(), nullptr) != ERROR_SUCCESS)
    return false;
  const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) ==
         ERROR_SUCCESS;
}

bool DeleteRegValue(HKEY root, const wchar_t* subKey, const wchar_t* name) {
  sys::UniqueRegKey key;
  if (RegOpenKeyExW(root, subKey, 0, KEY_SET_VALUE, key.Put()) != ERROR_SUCCESS) return false;
  return RegDeleteValueW(key.Get(), name) == ERROR_SUCCESS;
}

}  // namespace ZFunction
