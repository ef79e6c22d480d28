// Finding running programs and their windows, and ending the suite's helpers.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace ZFunction {

// Ends the running programs named in `helpers` (exit code 4) and returns the executable name of
// the first one named in `blocking`, or an empty string. Processes started from `ownPath` are
// passed over.
std::wstring FindBlockingProcess(const std::wstring& ownPath, const std::vector<const wchar_t*>& helpers,
                                 const std::vector<const wchar_t*>& blocking);

// Asks a running or paused service to stop, without waiting for it.
void StopService(const wchar_t* name);
bool GetModuleFileOfProcess(DWORD processId, std::wstring& path);

// Full paths of the running processes whose executable name is one of `names` (any case).
// True when any process matched, also when its path could not be read.
bool FindProcessPathsByName(const std::vector<const wchar_t*>& names, std::vector<std::wstring>& paths);

// The top-level windows titled exactly `title` that exist now, each with the id of the process
// it belongs to.
std::vector<std::pair<HWND, DWORD>> FindWindowsByTitle(const wchar_t* title);
// The top-level window titled exactly `title` that belongs to process `processId`; null when
// there is none (or the id is 0).
HWND FindProcessWindow(const wchar_t* title, DWORD processId);
// The ids of the running processes started from the file `path` (any case).
std::vector<DWORD> ProcessIdsOfImage(const std::wstring& path);
// Whether a process started from a file below `folder` (a full path; any case) is running.
bool AnyProcessRunsBelow(const std::wstring& folder);
// The id of the process that started this one; 0 when unknown.
DWORD GetParentProcessId();
// When the process was created, in the system's 100 ns units since 1601; 0 when it cannot be read.
unsigned long long ProcessCreationTime(HANDLE process);

}  // namespace ZFunction
