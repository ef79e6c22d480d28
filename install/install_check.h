// What an installation promised, checked before the run reports success: the product files on
// disk, the installation's registration and the configuration values the run wrote. Each check
// names the first item that fails it (empty: all holds), for the log and the run's closing line:
// the reason first, the path last, so that a line cut at its end keeps the reason.
#pragma once

#include <string>
#include <vector>

#include "packet/archive_facade.h"
#include "suite/install_config.h"

namespace install_check {

// The first file of the product entry that is missing below `versionFolder` (ends in a
// backslash) or holds another number of bytes than the archive lists. A file that was locked
// counts by its new copy waiting beside it for the next restart (see PendingCopyName).
std::wstring FirstMissingFile(const std::wstring& versionFolder, const std::vector<ArchiveItem>& items);

// The installation's registration points at it: one of `registeredRoots` (the suite's
// "LocationRoot" values) is the version folder or the product root above it.
std::wstring RegistrationMismatch(const std::wstring& versionFolder, const std::vector<std::wstring>& registeredRoots);

// The first configuration value that does not read back as it was written.
std::wstring FirstUnwrittenValue(const std::vector<install_config::ProfileValue>& values);

}  // namespace install_check
