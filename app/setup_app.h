// The setup program's application object: command line, the copy this process is, the
// start-up checks and the run modes.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/process_state.h"
#include "app/relaunch.h"
#include "dialogs/wizard_engine.h"

class ZInsall;

// Texts of the start-up messages; every box has the title "Lumen Office".
extern const wchar_t kMessageTitle[];
extern const wchar_t kMsgNotAdmin[];          // M1
extern const wchar_t kMsgRegionOnly[];        // M2
extern const wchar_t kMsgAnotherSetup[];      // M3
extern const wchar_t kMsgWindowsTooOld[];     // M4
extern const wchar_t kMsgSuiteRunning[];      // M5, "%s" stands for the program name
extern const wchar_t kMsgDeltaOnlyUpdates[];  // a delta started without -update

class ZSetupApp {
 public:
  ZSetupApp() = default;
  ZSetupApp(const ZSetupApp&) = delete;
  ZSetupApp& operator=(const ZSetupApp&) = delete;

  // Parses this process's own arguments into the flags and the engine's options.
  bool ParseCommandLine();
  // The same for a given argument vector (argument 0 is the program) and engine.
  bool ParseArguments(const std::vector<std::wstring>& args, ZInsall& engine);

  // What the start needs of the payload, not of the desktop user: the configuration unpacked,
  // GDI+ started, the skins and styles loaded. Before InitInstall, which reports a failure.
  void PrepareInstall();
  bool InitInstall();
  bool Run();
  bool SilentInstall();
  bool UpdateInstall();
  bool InteractiveInstall();
  void ReadHandOverFile();
  // Whether Run will show the wizard (no debug unpack, update or silent mode of any source);
  // whether the command line alone lets it (the payload and oem.ini are read later).
  bool ShowsWizard() const;
  bool CommandLineShowsWizard() const;

  // The user-level copy this run works with: started, or awaited from the copy that started
  // this one. The run takes it in where it needs the desktop user; until then the checks, the
  // configuration and (in an interactive run) the wizard go on. A run that may show the wizard
  // starts its copy once the first page is on screen (ReleaseUserCopy): two processes starting
  // at once share the machine, and the window would wait for the copy's start.
  void LaunchUserCopy();
  // Lets the copy start now (JoinUserCopy with `wait` does it too).
  void ReleaseUserCopy();
  void AwaitStartingCopy();
  // Takes the copy in once it is ready (waiting for it when `wait`): the hand-over, the log's
  // file, the engine's user facts. Pending only without `wait` while the copy still starts;
  // Lost when it did not get ready (the run fails).
  DesktopUser JoinUserCopy(bool wait);

  unsigned long long MainStartedMs = 0, ChecksEndedMs = 0;  // for the log: since the process started
  int Silent = 0;
  int DebugExtract = 0;
  int Update = 0;
  int DownPower = 0;
  int UpgradePower = 0;
  std::wstring InstallPath;

 private:
  // The shared body of the silent and update modes after their own preparation.
  bool InstallWithoutWizard(bool update);

  static DWORD WINAPI LauncherThread(void* app);

  std::optional<LaunchedUserCopy> LaunchedCopy;  // an administrator's own copy
  sys::UniqueKernel Launcher;                    // the thread that starts it
  sys::UniqueKernel LaunchGate;                  // set: it may start the copy
  bool StartingCopy = false;                     // the elevated copy of the copy that started it
  std::optional<DesktopUser> Joined;
};

extern ZSetupApp g_App;

bool IsWinXPAndLater();

// The process entry's work, in its fixed order; returns the process exit code.
int SetupMain(HINSTANCE instance);
