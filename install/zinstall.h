// The installation engine: reads the payload's configuration, and on its own thread removes an
// old installation, writes the product files, works through the install list and reports its
// progress. In user-process mode (an elevated copy working for a user-level copy) the steps
// that belong to the user's desktop are sent to the user-level copy's window.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "install/install_config.h"
#include "install/install_items.h"
#include "packet/packet_loader.h"
#include "sys/handles.h"

// Tri-state option values.
constexpr int kOptionUnset = -1;

// Progress reports: percent, step (0-4), error (0 none, 2 extraction failed, 3 registration
// failed), status text, the caller's data. Called on the install thread.
using InstallProgressFn = int (*)(int percent, int step, int error, const wchar_t* text, INT_PTR data);

// Install steps and the percentage each ends at.
enum InstallStep { kStepPrepare, kStepRemoveOld, kStepExtract, kStepRegister, kStepDone };
inline constexpr int kStepPercent[] = {2, 10, 80, 99, 100};
inline constexpr int kErrorExtract = 2;
inline constexpr int kErrorRegister = 3;

// Codes of the requests sent to the user-level copy's window.
enum UserRequest : ULONG_PTR {
  kRequestRun = 0,
  kRequestReport = 1,
  kRequestEnvironment = 2,
  kRequestDeleteStartMenu = 3,
  kRequestDeleteUserKeys = 4,
  kRequestWaitList = 5,
  kRequestFields = 6,  // a program start as text fields; nothing in this program sends it
  kRequestReportId = 7,
  kRequestRestartInfo = 9,
  kRequestCirrusPath = 10,
  kRequestShowCirrus = 11,
};

// A program to start on the user's desktop: the data of request 0, 3096 bytes.
struct RunRequest {
  wchar_t Path[520];
  wchar_t Params[1024];
  INT32 Wait;
  INT32 Show;
};
static_assert(sizeof(RunRequest) == 3096, "the request's layout is shared with the user-level copy");

// What one run of the install list remembers between its items.
struct PostInstallRun {
  OemSettings Oem;
  bool StartLumen = false;        // the word processor is to be started after setup
  bool StartCirrus = false;       // the cloud-document client is to be shown
  bool RecommendStarted = false;  // the recommendation tool's first start happened
  std::wstring RecommendFolder;   // where the recommendation tool was copied to
};

// The name of the event a suite program may signal to end an interactive install's final wait.
inline constexpr wchar_t kInstallWaitEvent[] = L"{A4B50035-FB9F-49d6-8F0A-713F8FFA6A13}";

class ZInsall {
 public:
  ZInsall() = default;
  ZInsall(const ZInsall&) = delete;
  ZInsall& operator=(const ZInsall&) = delete;

  // Reads what the engine needs of the user and the old installation, creates the payload
  // folder, opens the packet, unpacks its configuration entry into the payload folder and
  // parses setup.xml and deeprecommend.xml.
  bool Init();
  bool ParseConfig(const std::wstring& file);
  bool ParseDeepRecommend(const std::wstring& file);

  void SetMainWindow(HWND window) { MainWindow = window; }
  void SetProgressCallback(InstallProgressFn callback, INT_PTR data) {
    ProgressCallback = callback;
    CallbackData = data;
  }
  void AddDeepRecommendChoice(int chosen) { DeepRecommendChosen.push_back(chosen); }

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
  // The desktop user's local and roaming application data folders: the handed-over ones in
  // user-process mode, this process's own when none (or no absolute folder) was handed over.
  std::wstring UserLocalAppData() const;
  std::wstring UserAppData() const;
  // "<local application data>\Tallis\Lumen Office\".
  std::wstring DefaultInstallFolder() const;
  // LocationRoot of the suite's uninstall key: the user's, else the machine's; in user-process
  // mode the handed-over value.
  // The old installation's root ("LocationRoot" of the user, else of the machine; the handed-over
  // value in user-process mode), "" when there is none or it is no installation of the suite.
  std::wstring GetOldInstallRoot() const;
  // The handed-over current installation of the user (NewCurInstallPath) when it is one.
  std::wstring CurrentInstallation() const;
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
  const std::wstring& GetOldVersion() const { return OldVersion; }
  bool IsPayloadSilent() const { return PayloadSilent != 0; }
  bool IsOemSilent() const;
  void ApplyOemDesktopShortcut();

  // --- run ---
  bool StartLoadPacketData();
  bool DbgExtraceAllFiles();
  bool StartInstall(int forceFlag, int silent, int update);
  bool WaitInstall(DWORD milliseconds);
  int GetResult() const { return Result; }

  // Deletes the payload folder (the unpacked configuration and wizard images) at the end of
  // the run; a "lumen" folder left empty goes too.
  void RemovePayloadFolder();

  // Hands the exit code to the user-level copy's window (code 8), when there is one.
  void SendExitCode(int exitCode);
  HWND GetUserWindow() const { return UserWindow; }
  // The user-level copy this setup belongs to: its window, or the process whose window is to be
  // looked for. Only that copy is ever talked to; another setup's copy carries the same title.
  void SetUserWindow(HWND window, DWORD process) {
    UserWindow = window;
    UserWindowProcess = process;
  }

  // The install thread's parts, public for the tests that drive them one by one.
  void InstallThread();
  // Reads the product entry's names: the suite's driver names, and whether its longest path
  // fits below InstallFolder (false, logged, when not).
  bool ReadSuiteFiles();
  // Old version removal, extraction and the Register step; sets Result.
  void InstallSteps();
  bool Register();
  bool RunInstallItems();
  // Sends a request to the user-level copy's window; false when there is no window.
  bool SendUserRequest(ULONG_PTR code, const void* data, DWORD bytes);
  bool SendUserRequest(ULONG_PTR code, const std::wstring& text);
  // Asks the user-level copy to start a program; false when the path or parameters do not fit
  // the request or there is no window.
  bool SendRunRequest(const std::wstring& path, const std::wstring& params, int wait, int show);

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
  sys::UniqueFile PayloadMark;  // held open while this run uses PayloadFolder
  // The file names of the suite's drivers ("x.sys" in the product entry): the only names whose
  // copies in the system's drivers folder the cleanup deletes.
  std::vector<std::wstring> SuiteDrivers;
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
  sys::UniqueKernel WaitEvent;  // exists from StartInstall of an interactive install to the thread's end
  DWORD ElapsedMs = 0;
  InstallProgressFn ProgressCallback = nullptr;
  INT_PTR CallbackData = 0;
  std::vector<InstallItem> InstallItems;
  std::vector<DeepRecommendItem> DeepRecommendItems;
  std::vector<int> DeepRecommendChosen;
  int DeepRecommendCount = 0;
  std::wstring LocalAppData, AppDataPath, StartMenuDir, WaitClearList, NewCurInstallPath, OldInstallPath;
  int UserProcessMode = 0;
  HWND UserWindow = nullptr;
  DWORD UserWindowProcess = 0;
  std::wstring Iid, Tid1, Tid2, Tod1, Tod2, VersionTypes, ProductId;
  PacketLoader Packet;

 private:
  static DWORD WINAPI ThreadEntry(void* self);
  void Report(int step, int error, const wchar_t* text);
  ItemOptions Options() const;
  // One generic run of an install item; false when the start failed.
  bool RunItem(const InstallItem& item, const std::wstring& param);
  // Starts a program here, or asks the user-level copy to in user-process mode. False only
  // when a start in this process failed.
  bool StartProgram(const std::wstring& program, const std::wstring& param, int wait, int show);
  // An item started in this process whatever the mode, its result not counted.
  void RunHere(const InstallItem& item, bool logElapsed);
  void ClearRestartInfo();
  // Looks for this setup's user-level window when it is not known yet.
  void FindUserWindow();

  // Built-in steps of the install list.
  void CopyOemFile();
  void CopyNewFiles();
  void MoveItemFile(const std::wstring& name);
  void DeleteItemFile(const std::wstring& name);
  void MoveTidalStartMenu(const PostInstallRun& run, const std::wstring& param);
  void MoveRecommendFiles();
  void SendInstallReport(const std::wstring& param);
  void DownloadDeepRecommend(int wait, int show);
  void StartRecommendFirst(PostInstallRun& run, const InstallItem& item);
  void StartRecommendSecond(PostInstallRun& run, const InstallItem& item);
  bool ShowCenter(PostInstallRun& run, const InstallItem& item);
  bool RunCirrusSetup(const PostInstallRun& run, const InstallItem& item);
  // Whether the recommendation tool runs at all: not in a plain silent install, not when
  // offers are turned off.
  bool RecommendAllowed() const;
  // The user's report identifier and the cloud client's path, asked of the user-level copy in
  // user-process mode.
  std::wstring UserReportId();
  std::wstring CirrusPath();
  std::wstring UserTempInstallFile() const;
  std::wstring LowerVersion() const;
};

// Lets the progress bar follow the install list (item index from 1, item count).
void SetRegistrationProgressHandler(void (*handler)(int index, int count));

extern ZInsall g_Install;
