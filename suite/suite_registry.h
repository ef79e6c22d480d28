// Registry values of the suite that the installer itself keeps in the user's hive: the
// programs' restart information, the suite's environment variable and PATH entry, the list of
// version folders still waiting to be removed.
#pragma once

#include <windows.h>

#include <string>

namespace suite_registry {

// Deletes "RestartAppInfo" of the word processor, spreadsheet and presentation programs.
void DeleteRestartAppInfo(HKEY userRoot);

// LUMEN_HOME = <install folder>office6 and "%LUMEN_HOME%" at the front of the user's PATH,
// then tells running programs that the environment changed.
void SetSuiteEnvironment(HKEY userRoot, const std::wstring& installFolder);
// The PATH value with "%LUMEN_HOME%" in front; unchanged when it already names it anywhere.
std::wstring PathWithLumenHome(const std::wstring& path);
// The PATH value without any "%LUMEN_HOME%" entry.
std::wstring PathWithoutLumenHome(std::wstring path);

// The stored wait list ("waitclearversions"): version names separated by ";".
std::wstring ReadWaitClearList(HKEY userRoot);
// Replaces the stored wait list; an empty list only deletes it.
void StoreWaitClearList(HKEY userRoot, const std::wstring& list);

}  // namespace suite_registry
