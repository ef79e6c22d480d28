// One setup program per session: a named mapping tells a second one that a first one runs.
#pragma once

// True when another setup program holds the single-instance mapping in this session.
bool IsAnotherSetupRunning();
// Closes the single-instance handles at the end of a run.
void CloseSingleInstance();
