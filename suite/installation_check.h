// Which folders the installer may treat as an installation of the suite, whatever a registry
// value or a handed-over value says: the cleanup deletes and starts programs only there.
#pragma once

#include <string>

namespace install_config {

// A folder of the system that no cleanup step may delete, empty or treat as an installation:
// a drive root, the Windows folder or a folder inside it, a program-files root, a profile root,
// a shell folder of the user (application data, desktop, documents), or a folder above any of
// them. Separators at the end do not count; case does not matter.
bool IsSystemFolder(const std::wstring& folder);

// Whether `root` may be treated as an installation of the suite by the steps that delete its
// folders or start its programs: a whole local path without ".." that is no system folder and
// holds the suite's library (office6\lmo.dll) itself or in one of its version folders.
bool IsSuiteInstallation(const std::wstring& root);

// `root` when it is empty or passes IsSuiteInstallation; else "" and the refusal is logged with
// `source`, the value's origin. The installation then goes on as if there were no old one.
std::wstring VerifiedInstallation(const std::wstring& root, const char* source);

}  // namespace install_config
