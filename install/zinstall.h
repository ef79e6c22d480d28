// The installation engine. This is its start-up surface: the options and hand-over values the
// command line and the user-level copy fill in, the folders the start-up code asks for, the log
// location and the exit-code hand-back. The install thread and the payload come with later work;
// until then the run modes that need them end the run as failed.
#pragma once

#include <windows.h>

#include <string>

#include "packet/packet_loader.h"

// Tri-state option values.
constexpr int kOptionUnset = -1;

class ZInsall {
 public:
  ZInsall() = default;
  ZInsall(const ZInsall&) = delete;
  ZInsall& operator=(const ZInsall&) = delete;

  // Reads what the engine needs of the user and the old installation, creates the payload
  // folder, opens the packet and unpacks its configuration entry into the payload folder.
  bool Init();

  // --- options (-1 unset, 0 off, 1 on) ---
  void SetAssociationOptions(int on) { AssoWord = AssoExcel = AssoPowerpoint = AssoOther = on; }
  void SetAssoWord(int v) { AssoWord = v; }
  void SetAssoExcel(int v) { AssoExcel = v; }
  void SetAssoPowerpoint(int v) { AssoPowerpoint = v; }
  void SetSaveToMso(int v) { SaveToMso = v; }
  void SetDesktopShortcut(int v) { DesktopShortcut = v; }
  void SetRecommendEnabled(int v) { RecommendEnabled = v; }
  int GetAssoWord() const { return AssoWord; }
  int GetAssoExcel() const { return AssoExcel; }
  int GetAssoPowerpoint() const { return AssoPowerpoint; }
  int GetAssoOther() const { return AssoOther; }
  int GetSaveToMso() const { return SaveToMso; }
  int GetDesktopShortcut() const { return DesktopShortcut; }
  int GetRecommendEnabled() const { return RecommendEnabled; }

  // --- report values from the command line; an empty value leaves the field alone ---
  void SetReportInfo(const std::wstring& iid, const std::wstring& tod1, const std::wstring& tod2,
                     const std::wstring& productId, const std::wstring& versionTypes);

  // --- values handed over by the user-level copy ---
  void SetLocalAppData(const std::wstring& v) { LocalAppData = v; }
  void SetAppDataPath(const std::wstring& v) { AppDataPath = v; }
  void SetStartMenuDir(const std::wstring& v) { StartMenuDir = v; }
  void SetWaitClearList(const std::wstring& v) { WaitClearList = v; }
  void SetNewCurInstallPath(const std::wstring& v) { NewCurInstallPath = v; }
  void SetOldInstallPath(const std::wstring& v) { OldInstallPath = v; }
  void SetUserProcessMode(int on) { UserProcessMode = on; }
  int GetUserProcessMode() const { return UserProcessMode; }

  // --- folders ---
  // Sets the install folder only while it is empty: the first non-empty choice wins.
  void SetInstallFolderIfEmpty(const std::wstring& folder);
  const std::wstring& GetInstallFolder() const { return InstallFolder; }
  const std::wstring& GetPayloadFolder() const { return PayloadFolder; }
  // "<local application data>\Tallis\Lumen Office\".
  std::wstring DefaultInstallFolder() const;
  // LocationRoot of the suite's uninstall key: the user's, else the machine's; in user-process
  // mode the handed-over value.
  std::wstring GetOldInstallRoot() const;
  // The old installation's folder for an update (old root with version folders dropped and the
  // program-files part moved below the local application data folder).
  std::wstring UpdateInstallFolder() const;
  // The log file's full path; its folder is created. Empty when no profile folder is known.
  std::wstring GetLogPath() const;

  // --- old installation's profile and oem.ini ---
  // "update"/"needAdmin" of the old installation's utility\install.ini: 1 "true", 0 "false",
  // else -1. Cached.
  int NeedAdmin();
  bool IsNewInstall() const;
  bool IsPayloadSilent() const { return PayloadSilent != 0; }
  bool IsOemSilent() const;
  void ApplyOemDesktopShortcut();

  // --- run ---
  bool StartLoadPacketData();
  bool DbgExtraceAllFiles();
  bool StartInstall(int forceFlag, int silent, int update);
  bool WaitInstall(DWORD milliseconds);
  int GetResult() const { return Result; }

  // Hands the exit code to the user-level copy's window (code 8), when there is one.
  void SendExitCode(int exitCode);
  HWND GetUserWindow() const { return UserWindow; }

  // Fields in the engine's declared order.
  HWND MainWindow = nullptr;
  int Silent = 0;
  int PayloadSilent = 0;
  int ForceFlag = 0;
  int Update = 0;
  int Result = 0;
  HANDLE Thread = nullptr;
  std::wstring InstallFolder;
  std::wstring PayloadFolder;
  std::wstring OldStartMenuDir;
  std::wstring ProductVersion = L"0.0.0.0";
  std::wstring OldVersion;
  int AssoOther = kOptionUnset;
  int SaveToMso = kOptionUnset;
  int AssoPowerpoint = kOptionUnset;
  int AssoExcel = kOptionUnset;
  int AssoWord = kOptionUnset;
  int DesktopShortcut = kOptionUnset;
  int RecommendEnabled = 1;
  int NeedAdminValue = kOptionUnset;
  int NoReportId = 0;
  int NoOldProduct = 0;
  DWORD ElapsedMs = 0;
  std::wstring LocalAppData, AppDataPath, StartMenuDir, WaitClearList, NewCurInstallPath, OldInstallPath;
  int UserProcessMode = 0;
  HWND UserWindow = nullptr;
  std::wstring Iid, Tid1, Tid2, Tod1, Tod2, VersionTypes, ProductId;
  PacketLoader Packet;
};

extern ZInsall g_Install;
