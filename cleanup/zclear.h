// Removal of older versions of the suite. Before a fresh installation the cleaner takes away
// what an earlier one left: its registration (by the suite's own tools, then the registry
// entries), its folders, start-menu folder and desktop shortcuts. After an update it removes
// the version folders the update replaced; folders still in use stay on a wait list
// ("waitclearversions" in the user's hive) and are tried again by the next update.
//
// What belongs to the desktop user (the user's installation values, hive, start menu, the
// suite's tools started to unregister it) goes through the user side it is given.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "suite/user_side.h"

// What the cleaner needs of the installation that runs it.
struct CleanupContext {
  UserSide& User;
  // The file names of the suite's drivers: the only copies in the drivers folder it deletes.
  std::vector<std::wstring> SuiteDrivers;
  bool Update = false;       // an update run: the downloads folder stays
  std::wstring OldVersion;   // the version of the installation this run replaces
};

class ZClear {
 public:
  explicit ZClear(CleanupContext context) : Context(std::move(context)) {}
  ZClear(const ZClear&) = delete;
  ZClear& operator=(const ZClear&) = delete;

  // Remembers the install folder (with a trailing backslash). Always true.
  bool Init(const std::wstring& root);
  const std::wstring& GetRoot() const { return Root; }

  // The current user's installation (the user side's root without its trailing version folder;
  // "" when unknown or no installation of the suite) and its start-menu folder name.
  std::wstring GetCurUserRoot() const;
  std::wstring GetCurUserStartMenuDir() const;

  // The machine-wide part of replacing an old installation: when the machine's uninstall key
  // names a root, a start-menu folder and an uninstall command, unregisters the old
  // components with the suite's tools and deletes the machine's registry entries, the old
  // product folders, the shared start-menu folder and shortcuts and the new-document
  // templates. Returns the machine's start-menu name ("" when none is registered).
  std::wstring RemoveOldRegistration();
  // The current user's installation: unregisters it, clears the versions it waits to remove,
  // and deletes the user's registry entries, its product folders and the user's start-menu
  // folder and shortcuts. Returns the wait list left (also stored through the user side).
  std::wstring ClearOldVersion();
  // After an update: deletes the version folders below the current installation's product
  // root that the update replaced or that still wait from earlier updates; those in use stay
  // on the wait list, which is returned (and stored through the user side).
  std::wstring ClearReplacedVersions(const std::wstring& currentPath);

  // Deletes the product's subfolders of `root` (zsee, office6, templates, utility, media,
  // help, downloads, oem, wtoolex; downloads stays during an update), then the empty folders
  // below the root. Files in the root and other folders stay. True when nothing failed.
  bool DeleteProductFolders(const std::wstring& root) const;

  // Whose start-menu folder and desktop shortcuts DeleteStartMenu removes.
  enum class MenuOwner { AllUsers, CurrentUser };
  // Deletes the start-menu folder `name` and the personal early-access edition's folder below
  // the programs folder, and the three programs' shortcuts on the desktop. Static: the local
  // user side calls it for the current user.
  static void DeleteStartMenu(const std::wstring& name, MenuOwner owner);

  // Adds the version lists of the installation below `root` to the wait list and removes what
  // it can; returns (and stores) the rest.
  std::wstring ClearVersions(const std::wstring& root);
  // Deletes the product folders of each version named in `list` (";"-separated, empty names
  // allowed) below `root` with its trailing version folder dropped. Returns the names whose
  // folders were not all deleted, joined with ";".
  std::wstring ProcessWaitList(const std::wstring& root, const std::wstring& list) const;
  // Deletes the version folders named in `list` below `productRoot` unless a running suite
  // program was started from one. Returns the names kept (in use, or not deletable), joined
  // with ";"; names that are no folder are dropped.
  std::wstring DeleteReplacedFolders(const std::wstring& productRoot, const std::wstring& list) const;

  // The distinct non-empty names of a ";"-separated list, in their first order.
  static std::vector<std::wstring> SplitVersions(const std::wstring& list);

 private:
  CleanupContext Context;
  std::wstring Root;
};
