// The installation engine: reads the payload's configuration, and on its own thread removes an
// old installation, writes the product files, works through the install list and reports its
// progress. The steps that belong to the desktop user go through its user side: done here, or
// in user-process mode (an elevated copy working for a user-level copy) sent to that copy.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cleanup/zclear.h"
#include "packet/delta_manifest.h"
#include "packet/packet_loader.h"
#include "suite/install_config.h"
#include "suite/install_items.h"
#include "suite/user_protocol.h"
#include "suite/user_side.h"
#include "base/handles.h"

// Tri-state option values.
constexpr int kOptionUnset = -1;

// Progress reports: percent, step (0-4), error (0 none, 2 extraction failed, 3 registration
// failed), status text, the caller's data. Called on the install thread.
using InstallProgressFn = int (*)(int percent, int step, int error, const wchar_t* text, INT_PTR data);

// Install steps and the percentage each ends at.
enum InstallStep { kStepPrepare, kStepRemoveOld, kStepExtract, kStepRegister, kStepDone };
inline constexpr int kStepPercent[] = {2, 10, 80, 99, 100};
// The progress callback's last call, as the install thread ends (no percent, no text).
inline constexpr int kStepThreadEnding = -1;
inline constexpr int kErrorExtract = 2;
inline constexpr int kErrorRegister = 3;

// What one run of the install list remembers between its items.
struct PostInstallRun {
  OemSettings Oem;
  bool StartLumen = false;        // the word processor is to be started after setup
  bool StartCirrus = false;       // the cloud-document client is to be shown
  bool RecommendStarted = false;  // the recommendation tool's first start happened
  bool Registers = false;         // the configuration tool's "-setup" ran
  std::wstring RecommendFolder;   // where the recommendation tool was copied to
};

// The name of the event a suite program may signal to end an interactive install's final wait.
inline constexpr wchar_t kInstallWaitEvent[] = L"{A4B50035-FB9F-49d6-8F0A-713F8FFA6A13}";

class ZInsall {
 public:
  ZInsall();
  ZInsall(const ZInsall&) = delete;
  ZInsall& operator=(const ZInsall&) = delete;

  // The configuration unpacked (once), as UnpackConfiguration does.
  bool Init();
  // The desktop user's facts, once the user-level copy's values are in: the report identifier,
  // the old installation and its version, the user window.
  void TakeUserFacts();
  // Opens the packet and starts decoding its configuration entry in memory, on a thread of its
  // own: nothing is written, so it may start before the checks. Done once.
  void StartUnpacking();
  // Makes the payload folder (once; the folder's files come with UnpackConfiguration). False
  // when it cannot be made.
  bool MakePayloadFolder();
  // The payload folder, the packet opened, its configuration entry unpacked and parsed: the part
  // of the start that needs nothing of the desktop user, so it can run while the user-level copy
  // starts. Done once; later calls give the first answer.
  bool UnpackConfiguration();
  // The payload folder's file `path` as unpacked, while the folder is still being written;
  // false for a file the configuration does not hold (or once the folder is gone).
  bool ReadPayloadFile(const std::wstring& path, std::string* bytes) const;
  // Waits until the configuration's files are in the payload folder (true at once when none
  // are being written); false, the run's cause noted, when they could not all be written.
  bool AwaitPayloadFolder();
  // Whether the configuration's files are still being written (never waits).
  bool PayloadBeingWritten() const { return ConfigurationFiles && ConfigurationFiles->Writing(); }
  bool ParseConfig(const std::wstring& file);
  bool ParseDeepRecommend(const std::wstring& file);

  void SetMainWindow(HWND window) { MainWindow = window; }
  void SetProgressCallback(InstallProgressFn callback, INT_PTR data) {
    ProgressCallback = callback;
    CallbackData = data;
  }
  void AddDeepRecommendChoice(int chosen) { DeepRecommendChosen.push_back(chosen); }
  // The display texts of the offers the wizard may show (at most the configured count).
  std::vector<std::wstring> OfferTexts() const {
    std::vector<std::wstring> texts;
    for (size_t i = 0; i < DeepRecommendItems.size() && static_cast<int>(i) < DeepRecommendCount; ++i)
      texts.push_back(DeepRecommendItems[i].dis);
    return texts;
  }

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
  void SetLocalAppData(const std::wstring& v) { HandedOver.LocalAppData = v; }
  void SetAppDataPath(const std::wstring& v) { HandedOver.AppDataPath = v; }
  void SetStartMenuDir(const std::wstring& v) { HandedOver.StartMenuDir = v; }
  void SetWaitClearList(const std::wstring& v) { HandedOver.WaitClearList = v; }
  void SetNewCurInstallPath(const std::wstring& v) { HandedOver.NewCurInstallPath = v; }
  void SetOldInstallPath(const std::wstring& v) { HandedOver.OldInstallPath = v; }
  // The mode decides the user side: this process's own, or the user-level copy's.
  void SetUserProcessMode(int on);
  int GetUserProcessMode() const { return UserProcessMode; }
  // The user side of this run, made for the mode; tests may set their own.
  UserSide& User() const { return *UserSteps; }
  void SetUserSide(std::unique_ptr<UserSide> side) { UserSteps = std::move(side); }

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
  // The old installation's root ("LocationRoot" of the user, else of the machine; the handed-over
  // value in user-process mode), "" when there is none or it is no installation of the suite.
  std::wstring GetOldInstallRoot() const;
  // The handed-over current installation of the user (NewCurInstallPath) when it is one.
  std::wstring CurrentInstallation() const;
  // The old installation's folder for an update (old root with version folders dropped and the
  // program-files part moved below the local application data folder).
  std::wstring UpdateInstallFolder() const;
  // The log file's full path; its folder is created. The desktop user's roaming folder when no
  // level of the log folder there is a link (nor the file), else `refused` gets that folder and
  // this account's own roaming folder, else the temporary folder, serves. Empty when none can.
  std::wstring GetLogPath(std::wstring* refused = nullptr) const;

  // --- old installation's profile and oem.ini ---
  // "update"/"needAdmin" of the old installation's utility\install.ini: 1 "true", 0 "false",
  // else -1. Cached.
  int NeedAdmin();
  bool IsNewInstall() const;
  const std::wstring& GetOldVersion() const { return OldVersion; }
  bool IsPayloadSilent() const { return PayloadSilent != 0; }
  bool IsOemSilent() const;
  void ApplyOemDesktopShortcut();

  // --- update by delta ---
  // The installer carries only what changed since a previous version (its packet holds the
  // delta manifest): it installs only as an update of that version.
  bool IsDeltaInstaller() const { return Packet.EntryCount() > packet::kDeltaEntry; }
  // An update by delta found the installed version unfit (missing or other files, no such
  // installation, a damaged delta): nothing of the installed version was touched, and the run
  // ends with its own exit code so that the suite's updater fetches the full installer.
  bool DeltaRefused() const { return DeltaRefusal; }

  // --- run ---
  bool StartLoadPacketData();
  bool DbgExtraceAllFiles();
  bool StartInstall(int forceFlag, int silent, int update);
  bool WaitInstall(DWORD milliseconds);
  int GetResult() const { return Result; }

  // Deletes the payload folder (the unpacked configuration and wizard images) at the end of
  // the run, once its files are written; a "lumen" folder left empty goes too.
  void RemovePayloadFolder();

  // Hands the exit code to the user-level copy's window (code 8), when there is one.
  void SendExitCode(int exitCode);
  HWND GetUserWindow() { return UserCopy.Window(); }
  // The user-level copy this setup belongs to: its window, or the process whose window is to be
  // looked for. Only that copy is ever talked to; another setup's copy carries the same title.
  void SetUserWindow(HWND window, DWORD process) { UserCopy.Set(window, process); }

  // The install thread's parts, public for the tests that drive them one by one.
  void InstallThread();
  void AwaitSuiteSignal();
  bool ReadConfiguration();
  // Reads the product entry's names: the suite's driver names, and whether its longest path
  // fits below InstallFolder (false, logged, when not).
  bool ReadSuiteFiles();
  // The characters the suite adds below an install folder: the version folder with its
  // backslash and the product entry's longest name (read once from the archive's header).
  size_t ProductPathChars();
  // Old version removal, extraction and the Register step; sets Result.
  void InstallSteps();
  // The product entry's files written into InstallFolder (or beside it first, when this version
  // is installed there already); false, the cause recorded (and an extraction failure
  // reported), when they could not all be.
  bool WriteProductFiles();
  // An update by delta: reads the manifest (the product's items then come from it).
  bool ReadDelta();
  // The new version's files and folders as the delta's manifest lists them.
  std::vector<ArchiveItem> DeltaItems() const;
  // Builds InstallFolder from the installed version's files, the delta's new files and its
  // patches, each checked against the manifest, before anything of the installed version is
  // removed. False, DeltaRefusal set and the file named in the log, when anything needed is
  // missing or differs; nothing of the installed version is changed then.
  bool BuildFromDelta();
  // The manifest's empty folders below InstallFolder, made again where they are missing.
  void MakeDeltaFolders();
  bool Register();
  bool RunInstallItems();
  // Before the run says it succeeded: no step it owed failed, every product file is in the
  // version folder with its size, the configuration values it wrote read back, and, when the
  // install list registers the installation, the registration points at it. False, with the
  // first failing item as the run's cause, otherwise.
  bool CheckInstallation();

  // Fields in the engine's declared order.
  HWND MainWindow = nullptr;
  int Silent = 0;
  int PayloadSilent = 0;
  int ForceFlag = 0;
  int Update = 0;
  int Result = 0;
  sys::UniqueKernel Thread;
  std::wstring InstallFolder;
  std::wstring PayloadFolder;
  std::optional<bool> Configuration;  // UnpackConfiguration's answer, once it ran
  bool UnpackStarted = false;
  bool PacketOpened = false;
  std::atomic<bool> PayloadAwaited{false};  // the payload folder's writing waited for, its outcome logged
  sys::UniqueFile PayloadMark;  // held open while this run uses PayloadFolder
  // The file names of the suite's drivers ("x.sys" in the product entry): the only names whose
  // copies in the system's drivers folder the cleanup deletes.
  std::vector<std::wstring> SuiteDrivers;
  std::vector<ArchiveItem> ProductItems;  // the product entry's files and folders (a delta's: the manifest's)
  std::optional<packet::DeltaManifest> Delta;  // read by ReadDelta in an update by delta
  bool DeltaRefusal = false;
  size_t LongestProductName = 0;          // of ProductItems, once read
  // The last value this run wrote to each configuration file, and whether the install list ran
  // the step that registers the installation (the configuration tool's "-setup").
  std::vector<install_config::ProfileValue> Promised;
  bool Registers = false;
  std::wstring OldStartMenuDir;  // the machine-wide installation's, found by the cleanup
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
  HandOver HandedOver;
  int UserProcessMode = 0;
  UserCopyLink UserCopy;
  std::unique_ptr<UserSide> UserSteps;
  std::wstring Iid, Tid1, Tid2, Tod1, Tod2, VersionTypes, ProductId;
  PacketLoader Packet;
  // The configuration entry decoding in memory, then written to PayloadFolder on a thread of its
  // own; it reads from Packet, so it goes first.
  std::unique_ptr<UnpackedEntry> ConfigurationFiles;

 private:
  static DWORD WINAPI ThreadEntry(void* self);
  void Report(int step, int error, const wchar_t* text);
  ItemOptions Options() const;
  // One generic run of an install item; false when the start failed.
  bool RunItem(const InstallItem& item, const std::wstring& param);
  // An item started in this process whatever the mode, its result not counted.
  void RunHere(const InstallItem& item, bool logElapsed);
  void Promise(const std::vector<install_config::ProfileValue>& values);
  // A step of the install list moved a product file to `to` (relative to the version folder) or,
  // with an empty `to`, removed it on purpose: the final check looks for it there, or not at all.
  void ProductFileMoved(const std::wstring& from, const std::wstring& to);
  // Where the files go first when this version is installed in InstallFolder already:
  // "<product root>\~<version>.new\", on the same volume; an update by delta also unpacks into
  // "~<version>.delta\" and moves an incomplete build to "~<version>.old\".
  std::wstring StagingFolder(const wchar_t* suffix = L".new") const;
  // Checks the files written to `staging` against the product entry and puts them in place of
  // the installed ones one by one; false, the cause recorded, when they are incomplete or one
  // cannot be put in place (the installed folder then holds old and new files, each whole).
  bool PutStagedInPlace(const std::wstring& staging);
  // Ends an update by delta that cannot be applied: the cause, and the log line naming it.
  bool RefuseDelta(const char* format, ...);
  // The suite's "LocationRoot" of the desktop user's hive and of the machine's.
  std::vector<std::wstring> RegisteredRoots() const;
  // What the cleanup needs of this run.
  CleanupContext Cleanup();

  // Built-in steps of the install list.
  void CopyOemFile();
  void CopyNewFiles();
  void MoveItemFile(const std::wstring& name);
  void DeleteItemFile(const std::wstring& name);
  void MoveTidalStartMenu(const PostInstallRun& run, const std::wstring& param);
  void MoveRecommendFiles();
  void DownloadDeepRecommend(int wait, int show);
  void StartRecommendFirst(PostInstallRun& run, const InstallItem& item);
  void StartRecommendSecond(PostInstallRun& run, const InstallItem& item);
  bool ShowCenter(PostInstallRun& run, const InstallItem& item);
  bool RunCirrusSetup(const PostInstallRun& run, const InstallItem& item);
  // Whether the recommendation tool runs at all: not in a plain silent install, not when
  // offers are turned off.
  bool RecommendAllowed() const;
  // The user's report identifier and the cloud client's path, logged.
  std::wstring UserReportId();
  std::wstring CirrusPath();
  std::wstring LowerVersion() const;
};

// Lets the progress bar follow the install list (item index from 1, item count).
void SetRegistrationProgressHandler(void (*handler)(int index, int count));

extern ZInsall g_Install;
