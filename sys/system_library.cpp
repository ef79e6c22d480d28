#include "sys/system_library.h"

#include <string>

namespace ZFunction {

HMODULE LoadSystemLibrary(const wchar_t* name) {
  wchar_t path[MAX_PATH + 1] = {};
  const UINT n = GetSystemDirectoryW(path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  const std::wstring file = std::wstring(path, n) + L"\\" + name;
  return LoadLibraryW(file.c_str());
}

}  // namespace ZFunction
