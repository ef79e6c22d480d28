// The demo suite's journal: every stand-in program and the stand-in core library append one line
// per start or call, so whoever drives the installer can see which suite tools it started, in
// which order and with which arguments.
//
// Line format (UTF-8, ends in "\n"):  <GetTickCount() in decimal> TAB <module's full path> TAB <text>
// File: LUMEN_DEMO_JOURNAL when set, else %ALLUSERSPROFILE%\LumenDemo\journal.txt.
#pragma once

#include <windows.h>

#include <string>

namespace demo {

// The journal file's path (see above).
std::wstring JournalPath();

// Full path of a module's file (the program itself for null); empty on failure.
std::wstring ModulePath(HMODULE module);

// Appends one line for the module at modulePath. Several programs may append at the same time:
// they take turns (named mutex "LumenDemoJournal"), each line goes out with a single write to a
// handle opened for appending only, and an open that meets a sharing violation is retried for
// about two seconds. Creates the journal's folder when missing. False when the line could not
// be written.
bool AppendJournal(const std::wstring& modulePath, const std::wstring& text);

}  // namespace demo
