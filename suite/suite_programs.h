// Product data: the executable names of the suite's own programs and the registry keys the
// suite keeps. One table, so every check that looks for suite programs agrees on the names.
#pragma once

#include <string>
#include <vector>

namespace suite {

// Helper programs that the installer may end on its own (update checkers and server, repair
// tool, smart-label helper, desktop tip, live-update helper, cloud-document client).
const std::vector<const wchar_t*>& HelperPrograms();
// Programs the user has to close before an installation can go on (the three main programs,
// error reporters, notifier, updater, language switcher, web/remote helpers, configuration
// tool, template gallery, mail client, miscellaneous tool).
const std::vector<const wchar_t*>& BlockingPrograms();
// Programs whose start folders count as "in use" when old version folders are removed.
const std::vector<const wchar_t*>& InUsePrograms();

// Stops the suite's update service, ends its helper programs (exit code 4) and returns the
// executable name of the first suite program that blocks an installation, or an empty string.
// Processes started from the installer's own file are passed over.
std::wstring FindBlockingSuiteProcess();

// The suite's update service, stopped before running programs are looked for.
inline constexpr wchar_t kUpdateService[] = L"Tallis_Lumen_UpdateService";

inline constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tallis Office";
inline constexpr wchar_t kCommonKey[] = L"SOFTWARE\\Tallis\\Office\\6.0\\Common";
inline constexpr wchar_t kUpdateInfoKey[] = L"Software\\tallis\\Office\\6.0\\Common\\updateinfo";
// The cloud-document client's uninstall key; "DisplayIcon" is the client's path.
inline constexpr wchar_t kCirrusUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\cirrus";
inline constexpr wchar_t kUserSettingKey[] = L"Software\\Tallis\\Office\\6.0\\common\\updateinfo\\usersetting";

}  // namespace suite
