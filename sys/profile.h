// Profile (INI) files through the platform's profile functions: a value is read into a buffer
// of a fixed size and cut to it; a missing file, section or key gives the default.
#pragma once

#include <windows.h>

#include <string>

namespace ZFunction {

// The value of `key`, or `fallback` when the file, section or key is missing; cut to
// chars - 1 characters as a buffer of `chars` would cut it.
std::wstring ReadProfileString(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                               const wchar_t* fallback, DWORD chars);

// Writes one value so that every character of it survives, whatever the system's code page:
// a new file is started as UTF-16 text, and an existing 8-bit file is turned into UTF-16 text
// first when the value holds characters its code page lacks. Failures are ignored.
void WriteProfileString(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                        const std::wstring& value);

// True when the file starts as UTF-16 text (the byte-order mark FF FE).
bool IsUnicodeProfile(const std::wstring& file);

}  // namespace ZFunction
