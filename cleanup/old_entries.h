// What an old installation leaves behind outside its folder: its keys and values in the
// machine's and the user's hive, the new-document templates, and the user dictionary worth
// keeping before the shared folders go.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace old_entries {

// Deletes the key `name` below root\parent with all its subkeys, depth first. parent may be
// null or empty for a key right below root. True when the key was deleted; false when
// root\parent does not open, the key is missing or part of it could not be deleted.
bool DeleteSubtree(HKEY root, const wchar_t* parent, const wchar_t* name);

// The keys and values an old installation leaves machine-wide (HKLM, HKCR), and the few of
// the current user that go with them (userRoot: the user's hive, HKEY_CURRENT_USER).
void DeleteMachineEntries(HKEY userRoot);
// The user's keys and values of an old installation, the LUMEN_HOME variable and its PATH
// entry included; the machine-wide keys that name the installation go too.
void DeleteUserEntries(HKEY userRoot);
// Deletes LUMEN_HOME and every "%LUMEN_HOME%" entry of the user's PATH; a PATH left empty is
// deleted, else it is written back as an expandable string.
void RemoveLumenHome(HKEY userRoot);

// Deletes the shared new-document templates and profile folders below the common application
// data folder ("tallis\Office6", "tallis\lumen") and the templates of the Windows folder's
// ShellNew folder.
void DeleteNewFileTemplates(const std::vector<std::wstring>& suiteDrivers);
// Copies the user dictionary kept in the common application data folder
// ("tallis\office6\CUSTOM.DIC") to the same place below the user's roaming folder, so
// deleting the shared folders does not lose the user's words. Nothing when there is none.
void PreserveUserDictionary(const std::wstring& roamingFolder);

}  // namespace old_entries
