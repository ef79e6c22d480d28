// Libraries of the system, loaded by their full path in the system folder, never from a folder a
// download may share (the program's own, the current one).
#pragma once

#include <windows.h>

namespace ZFunction {

// Loads `name` from the system folder and keeps it loaded; null when it is not there.
HMODULE LoadSystemLibrary(const wchar_t* name);

}  // namespace ZFunction
