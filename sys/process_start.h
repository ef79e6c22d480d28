// Starting programs: through the shell, and with the rights of the user at the desktop.
#pragma once

#include <windows.h>

#include <string>

#include "base/handles.h"

namespace ZFunction {

// Starts a program through the shell without waiting for it; `process` (when given) gets its
// handle. False, logged, when the start failed; false without a log line when the file is
// missing.
bool StartApp(const std::wstring& path, const std::wstring& params, int show, sys::UniqueKernel* process);

// Starts a program through the shell. wait: 0 = return at once, INFINITE = until it ends,
// else at most that many ms. show: non-zero shows it with the default show mode, 0 hides it.
// True when the program was started (a missing file gives false without a log line).
bool RunApp(const std::wstring& path, const std::wstring& params, DWORD wait, int show);

// Starts a program with the rights of the user at the desktop: through the desktop shell when
// the installer runs elevated above a limited desktop shell, else like RunApp.
bool RunAppAsShellUser(const std::wstring& path, const std::wstring& params, DWORD wait, int show);
// The same without waiting; `process` stays empty when the desktop shell started the program
// (the shell hands out no handle).
bool StartAppAsShellUser(const std::wstring& path, const std::wstring& params, int show, sys::UniqueKernel* process);

// Asks the desktop shell (explorer) to start the program, so it runs with the shell's rights.
bool ShellExecuteFromDesktop(const std::wstring& path, const std::wstring& params);

}  // namespace ZFunction
