// Small registry helpers: one value read or written per call, keys always closed.
#pragma once

#include <windows.h>

#include <string>

namespace ZFunction {

// A string value (REG_SZ or REG_EXPAND_SZ, not expanded), cut to maxChars; empty when missing.
std::wstring ReadRegString(HKEY root, const wchar_t* subKey, const wchar_t* name, size_t maxChars = 1024);
// A 32-bit value; fallback when missing or of another type.
DWORD ReadRegDword(HKEY root, const wchar_t* subKey, const wchar_t* name, DWORD fallback);
// Creates the key when needed and writes a REG_SZ value. True on success.
bool WriteRegString(HKEY root, const wchar_t* subKey, const wchar_t* name, const std::wstring& value);
bool DeleteRegValue(HKEY root, const wchar_t* subKey, const wchar_t* name);

}  // namespace ZFunction
