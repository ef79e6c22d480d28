#include "sys/path_text.h"

#include <wctype.h>

namespace ZFunction {

std::wstring WithSlash(std::wstring path) {
  if (path.empty() || !IsSeparator(path.back())) path += L'\\';
  return path;
}

std::wstring WithoutTrailingSeparators(std::wstring path) {
  while (!path.empty() && IsSeparator(path.back())) path.pop_back();
  return path;
}

size_t LastSeparator(const std::wstring& path) { return path.find_last_of(L"\\/"); }

bool IsDriveOrEmpty(const std::wstring& folder) {
  const std::wstring bare = WithoutTrailingSeparators(folder);
  return bare.empty() || bare.back() == L':';
}

bool IsWholeLocalPath(const std::wstring& path) {
  const wchar_t drive = path.empty() ? 0 : static_cast<wchar_t>(path[0] | 0x20);
  return path.size() >= 3 && drive >= L'a' && drive <= L'z' && path[1] == L':' && IsSeparator(path[2]);
}

std::wstring ComparablePath(std::wstring folder) {
  folder = WithoutTrailingSeparators(std::move(folder));
  for (wchar_t& c : folder) c = c == L'/' ? L'\\' : static_cast<wchar_t>(towlower(c));
  return folder + L'\\';
}

bool IsSameOrBelow(const std::wstring& folder, const std::wstring& outer) {
  const std::wstring inner = ComparablePath(folder), prefix = ComparablePath(outer);
  return inner.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace ZFunction
