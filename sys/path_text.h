// Path text, written once: separators, trailing separators, parents, drive roots and the one
// spelling used to compare folders. Pure string work; nothing touches the disk.
#pragma once

#include <string>

namespace ZFunction {

inline bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Appends "\" unless the path already ends in "\" or "/".
std::wstring WithSlash(std::wstring path);
// The path without any separators at its end.
std::wstring WithoutTrailingSeparators(std::wstring path);
// The position of the last "\" or "/"; npos when there is none.
size_t LastSeparator(const std::wstring& path);

// A folder path that would put names right below a drive (or below the current drive), or
// nothing at all: "", "C:", "C:\", "\\".
bool IsDriveOrEmpty(const std::wstring& folder);
// A whole local path: a drive letter (A to Z), ":" and a separator ("C:\..."); no network path,
// no path relative to a drive's current folder.
bool IsWholeLocalPath(const std::wstring& path);

// One spelling per folder, for comparisons: C:\A\b, c:/a/B and C:\a\b\\ all give "c:\a\b\".
std::wstring ComparablePath(std::wstring folder);
// Whether `folder` is `outer` or lies below it (both compared as ComparablePath).
bool IsSameOrBelow(const std::wstring& folder, const std::wstring& outer);

}  // namespace ZFunction
