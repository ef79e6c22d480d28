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

// Removes the payload folders of setup programs that no longer run: those whose in-use mark is
// no longer held open. The tools' folders carry no mark and stay.
void RemoveStalePayloadFolders();

}  // namespace install_config
