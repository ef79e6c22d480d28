// The installer's temporary folders below "%TEMP%\lumen\": the payload folder of each run
// (marked in use while its run lives) and the tools' folders.
#pragma once

#include <string>

#include "base/handles.h"

namespace install_config {

// A fresh folder name below the user's temporary folder: "<temp>\lumen\~<tick count in hex>\"
// (the payload folder and the recommendation and download tools' folders), one that does not
// exist yet. Not created here.
std::wstring NewTempFolder();

// Creates a new temporary folder for this run's payload and marks it as in use for as long as
// `mark` stays open (a killed run's mark closes with its process). "" when it cannot be created.
std::wstring NewPayloadFolder(sys::UniqueFile& mark);

// Creates a new temporary folder for a tool the install list starts there (the recommendation
// and download tools), which may run on after the setup program ended. It carries the in-use
// mark, closed: the next run removes the folder. "" when it cannot be created.
std::wstring NewToolFolder();

// Removes the temporary folders of runs that ended: payload folders whose in-use mark is no
// longer held open, and the tools' folders of earlier runs (a tool still running from one is
// renamed aside and goes at the next restart).
void RemoveStalePayloadFolders();

}  // namespace install_config
