// One setup program per session: a named mapping tells a second one that a first one runs.
#pragma once

#include <windows.h>

// True when another setup program holds the single-instance mapping in this session.
bool IsAnotherSetupRunning();
// Writes the wizard's window into the mapping, for a second setup program to find.
void StoreWizardWindow(HWND window);
// Closes the single-instance handles at the end of a run.
void CloseSingleInstance();
