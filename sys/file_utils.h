// Folder, file and version helpers of the installer. Folder paths carry a trailing backslash;
// each entry point adds one when the caller's path lacks it. Nothing throws: results are
// booleans, and notable outcomes are written to the run log.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "sys/path_text.h"

namespace ZFunction {

// Deletes a folder tree; a link or junction in it (or the folder itself being one) goes
// itself, never what it points to. A file that cannot be deleted (in use) is renamed aside in
// its folder to "<name>_d_<tick count in hex>" and registered for deletion at the next restart;
// when even the rename fails and scheduleAtRestart is set, the file itself is registered. A file
// named like one of `suiteDrivers` (the suite's own driver names, "x.sys") takes its namesake in
// the system's drivers folder with it; no other name reaches that folder.
// False only when a restart registration failed; the folder may then be partly deleted.
bool DeleteFolder(const std::wstring& folder, const std::vector<std::wstring>& suiteDrivers, bool scheduleAtRestart);
inline bool DeleteFolder(const std::wstring& folder) { return DeleteFolder(folder, {}, false); }

// Removes the empty folders of a tree, bottom up; files are never touched. Always true.
bool RemoveEmptyFolders(const std::wstring& folder);

// Copies a folder tree, creating missing destination folders and overwriting files. A file that
// cannot be copied is skipped; false when a destination folder could not be created.
bool CopyFolder(const std::wstring& source, const std::wstring& destination);

// Creates a folder with all missing parents. True when the folder exists afterwards.
bool CreateFolderTree(const std::wstring& folder);
// For folders a user can prepare for a program with more rights (the handed-over profile
// folders): creates `folder` one level at a time, never through a link or junction. False when
// a level that exists is a link or no folder, or a level cannot be made; nothing is created
// below such a level. Takes "X:\..." and "\\server\share\..." paths.
bool CreateFolderTreeWithoutLinks(const std::wstring& folder);
// The same check without creating: `folder` exists and no level of it is a link or junction.
bool IsFolderWithoutLinks(const std::wstring& folder);

// The program's own product version with "," replaced by "."; "0.0.0.0" when unreadable.
std::wstring GetSelfProductVersion();
// The product version of any file, same rules (the program's own file when path is empty).
std::wstring GetProductVersionOf(const std::wstring& path);

// Reads "%d.%d.%d.%d" as the C runtime's scanner does (blanks before a number, a sign, digits;
// anything may follow the fourth) into `numbers` and returns how many numbers were read; the
// ones not read are left alone.
int ScanVersion(const std::wstring& text, int numbers[4]);

// Drops one trailing separator and, when the last component is a four-number version
// ("9.1.0.4567"), that component: C:\Suite\9.1.0.4567\ becomes C:\Suite\.
void TrimVersionFolder(std::wstring& path);
// Repeats the trim while the last component is a version, then ensures a trailing backslash.
void TrimVersionFolders(std::wstring& path);

// Position (in characters) of part in text, ignoring letter case; -1 when absent.
int ContainsNoCase(const std::wstring& text, const std::wstring& part);

// Replaces the first of `folders` (whole folder names, any case) found in `path` by
// `replacement`, the result ending in a backslash; false, with `path` unchanged, when none is in
// it.
bool ReplaceFolderInPath(std::wstring& path, const std::vector<std::wstring>& folders, const std::wstring& replacement);

// Reads a whole file of at most 2 MiB into an 8-bit string (cut at the first zero byte).
constexpr DWORD kMaxTextFile = 2 * 1024 * 1024;
bool LoadFileText(const std::wstring& path, std::string& text);

// Full path of a module (the program itself for null); empty on failure.
std::wstring GetModulePath(HMODULE module = nullptr);
// Folder of a module's file including the final separator; empty on failure.
std::wstring GetModuleFolder(HMODULE module = nullptr);
// The system folder's "drivers\" subfolder, cached once known. Use it inside a
// ScopedRealSystemFolder: the 32-bit program on 64-bit Windows would otherwise reach the 32-bit
// system folder instead.
std::wstring GetDriversFolder();

// While it lives, file calls of this thread reach the real system folder also from the 32-bit
// program on 64-bit Windows (the file-system redirection is off); afterwards the redirection is
// as it was. Does nothing where there is no redirection.
class ScopedRealSystemFolder {
 public:
  ScopedRealSystemFolder();
  ~ScopedRealSystemFolder();
  ScopedRealSystemFolder(const ScopedRealSystemFolder&) = delete;
  ScopedRealSystemFolder& operator=(const ScopedRealSystemFolder&) = delete;

 private:
  void* Previous = nullptr;
  bool Switched = false;
};

// Registers a file for deletion at the next restart (PendingFileRenameOperations).
bool DeleteAtRestart(const std::wstring& path);
// The aside name of a file in use: "<folder><name>_d_<tick count in hex>".
std::wstring AsideName(const std::wstring& folder, const std::wstring& name, DWORD tick);

bool PathExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);

}  // namespace ZFunction
