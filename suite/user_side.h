// The desktop user's side of an installation: what the installer knows of the user at the
// desktop (folders, the user's installation, start-menu folder, wait list) and the steps that
// belong to that user's session (starting the suite's programs, the user's registry entries,
// start menu and report). An installer that runs as the desktop user does them itself
// (LocalUserSide); an elevated copy working for a user-level copy asks that copy
// (RemoteUserSide), with the values the user-level copy handed over. The engine chooses one
// when it knows its mode; nothing else asks which one it has.
#pragma once

#include <string>

// The values a user-level copy hands over to the elevated copy (tempinstall.ini, or the
// command line's internal switches). Empty: not handed over.
struct HandOver {
  std::wstring LocalAppData;
  std::wstring AppDataPath;
  std::wstring NewCurInstallPath;  // the user's installation ("LocationRoot" of the user's hive)
  std::wstring OldInstallPath;     // the user's, else the machine's "LocationRoot"
  std::wstring StartMenuDir;
  std::wstring WaitClearList;
};

class UserSide {
 public:
  virtual ~UserSide() = default;

  // --- the desktop user ---
  // The user's local and roaming application-data folders.
  virtual std::wstring LocalAppData() const = 0;
  virtual std::wstring AppData() const = 0;
  // The user's installation ("LocationRoot", possibly with its version folder), its start-menu
  // folder name, and the user's or else the machine's installation; "" when unknown. Not yet
  // verified as installations of the suite.
  virtual std::wstring InstallationRoot() const = 0;
  virtual std::wstring StartMenuDir() const = 0;
  virtual std::wstring OldInstallationRoot() const = 0;
  // The versions waiting to be removed (";"-separated), and storing what is left of them.
  virtual std::wstring WaitList() const = 0;
  virtual void StoreWaitList(const std::wstring& list) = 0;
  // The user's report identifier ("infoGUID"); the cloud-document client's path.
  virtual std::wstring ReportId() = 0;
  virtual std::wstring CirrusPath() = 0;

  // --- steps in the user's session ---
  // Starts a program (wait: milliseconds, show: 0 hidden). False only when a start made here
  // failed: whether the user-level copy's start worked is not known and never counts.
  virtual bool Run(const std::wstring& program, const std::wstring& params, int wait, int show) = 0;
  // Starts a program as the desktop user starts it (not elevated). Its result never counts.
  virtual void RunAsDesktopUser(const std::wstring& program, const std::wstring& params, int wait, int show) = 0;
  // Shows the cloud-document client with `params`; false when a start made here failed.
  virtual bool ShowCirrus(const std::wstring& params, int wait, int show) = 0;
  // The installation report through the new installation's library (installFolder ends in a
  // backslash; itemParam is the install item's parameter).
  virtual void SendReport(const std::wstring& installFolder, const std::wstring& itemParam) = 0;
  // The suite's environment variables for the new installation.
  virtual void SetEnvironment(const std::wstring& installFolder) = 0;
  // The user's start-menu folder `name` and the suite's desktop shortcuts.
  virtual void DeleteStartMenu(const std::wstring& name) = 0;
  // The suite's entries in the user's hive.
  virtual void DeleteUserKeys() = 0;
  // The user's entries of a machine-wide installation being removed: this process's own hive
  // is cleared with the machine's entries; a user-level copy clears the desktop user's.
  virtual void ForgetMachineInstallation() = 0;
  // The suite programs' "RestartAppInfo" values.
  virtual void DeleteRestartInfo() = 0;
};
