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
  // An update installer that carries only what changed (a delta) could not be applied: no
  // installation of the version it was made for, a file of it missing or changed, a damaged
  // delta, or started without -update. Nothing of the installed version was changed; the
  // suite's updater fetches the full installer.
  kExitDeltaRefused = 8,
};

extern int ExitCode;
extern HINSTANCE AppInstance;

// Recorded at start: the current user has no report identifier / no old uninstall string.
void RecordProcessStart();
bool GetProcessNoReportId();
bool GetProcessNoOldProduct();
