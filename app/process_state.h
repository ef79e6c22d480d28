// What the whole setup process shares, whichever copy it is: its exit code, its module, and
// what it found of the user when it started.
#pragma once

#include <windows.h>

// Process exit codes.
enum ExitCodes : int {
  kExitSuccess = 0,
  kExitUserCancelled = 1,
  kExitFailed = 2,
  kExitAnotherSetup = 3,
  kExitSuiteRunning = 4,
  kExitNoAdmin = 5,
  kExitTraditionalChinese = 6,
  kExitBadCommandLine = 7,
};

extern int ExitCode;
extern HINSTANCE AppInstance;

// Recorded at start: the current user has no report identifier / no old uninstall string.
void RecordProcessStart();
bool GetProcessNoReportId();
bool GetProcessNoOldProduct();
