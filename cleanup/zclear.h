// Removal of older versions of the suite. Before a fresh installation the cleaner takes away
// what an earlier one left: its registration (by the suite's own tools, then the registry
// entries), its folders, start-menu folder and desktop shortcuts. After an update it removes
// the version folders the update replaced; folders still in use stay on a wait list
// ("waitclearversions" in the user's hive) and are tried again by the next update.
//
// In user-process mode (the engine runs elevated for a user-level copy) everything that belongs
// to the user's desktop and hive is sent to the user-level copy as a request instead.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class ZInsall;

class ZClear {
 public:
  explicit ZClear(ZInsall& engine) : Engine(engine) {}
  ZClear(const ZClear&) = delete;
  ZClear& operator=(const ZClear&) = delete;

  // Remembers the install folder (with a trailing backslash). Always true.
  bool Init(const std::wstring& root);
  const std::wstring& GetRoot() const { return Root; }

  // The current user's installation: "LocationRoot" of the suite's uninstall key in the
  // user's hive (the handed-over path in user-process mode) without its trailing version
  // folder, and its "StartMenuDir" (the handed-over name). Empty when unknown.
  std::wstring GetCurUserRoot() const;
  std::wstring GetCurUserStartMenuDir() const;

  // The machine-wide part of replacing an old installation: when the machine's uninstall key
  // names a root, a start-menu folder and an uninstall command, unregisters the old
  // components with the suite's tools and deletes the machine's registry entries, the old
  // product folders, the shared start-menu folder and shortcuts and the new-document
  // templates. Stores the start-menu name in the engine's OldStartMenuDir.
  void RemoveOldRegistration();
  // The current user's installation: unregisters it, clears the versions it waits to remove,
  // and deletes the user's registry entries, its product folders and the user's start-menu
  // folder and shortcuts.
  void ClearOldVersion();
  // After an update: deletes the version folders below the current installation's product
  // root that the update replaced or that still wait from earlier updates; those in use stay
  // on the wait list.
  void ClearReplacedVersions(const std::wstring& currentPath);

  // Deletes the product's subfolders of `root` (zsee, office6, templates, utility, media,
  // help, downloads, oem, wtoolex; downloads stays during an update), then the empty folders
  // below the root. Files in the root and other folders stay. True when nothing failed.
  bool DeleteProductFolders(const std::wstring& root) const;

  // Whose start-menu folder and desktop shortcuts DeleteStartMenu removes.
  enum class MenuOwner { AllUsers, CurrentUser };
  // Deletes the start-menu folder `name` and the personal early-access edition's folder below
  // the programs folder, and the three programs' shortcuts on the desktop. Static: the
  // user-level copy calls it for the current user on request 3, without an engine.
  static void DeleteStartMenu(const std::wstring& name, MenuOwner owner);

  // Adds the version lists of the installation below `root` to the wait list and removes what
  // it can (the user-level copy stores the rest in user-process mode).
  void ClearVersions(const std::wstring& root);
  // Deletes the product folders of each version named in `list` (";"-separated, empty names
  // allowed) below `root` with its trailing version folder dropped. Returns the names whose
  // folders were not all deleted, joined with ";".
  std::wstring ProcessWaitList(const std::wstring& root, const std::wstring& list) const;
  // Deletes the version folders named in `list` below `productRoot` unless a running suite
  // program was started from one. Returns the names kept (in use, or not deletable), joined
  // with ";"; names that are no folder are dropped.
  std::wstring DeleteReplacedFolders(const std::wstring& productRoot, const std::wstring& list) const;

  // The wait list in the current user's hive.
  static std::wstring GetWaitClearVersions();
  static void SetWaitClearVersions(const std::wstring& list);
  static void DeleteWaitClearVersions();

  // The distinct non-empty names of a ";"-separated list, in their first order.
  static std::vector<std::wstring> SplitVersions(const std::wstring& list);

 private:
  // Starts one of the old installation's tools below `root` to unregister it: hidden, waited
  // for to its end; sent to the user-level copy in user-process mode when `toUser` is set.
  void RunUnregister(const std::wstring& root, const wchar_t* program, const wchar_t* params, bool toUser) const;
  // Stores the remaining wait list: the user-level copy does it in user-process mode.
  void StoreWaitList(const std::wstring& list);

  ZInsall& Engine;
  std::wstring Root;
};
