// The setup program's application object: command line, the copy this process is, the
// start-up checks and the run modes.
#pragma once

#include <windows.h>

#include <string>

#include "app/command_line.h"
#include "app/process_state.h"

class ZInsall;

// Texts of the start-up messages; every box has the title "Lumen Office".
extern const wchar_t kMessageTitle[];
extern const wchar_t kMsgNotAdmin[];          // M1
extern const wchar_t kMsgRegionOnly[];        // M2
extern const wchar_t kMsgAnotherSetup[];      // M3
extern const wchar_t kMsgWindowsTooOld[];     // M4
extern const wchar_t kMsgSuiteRunning[];      // M5, "%s" stands for the program name

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
  // GDI+ started, the skins and styles loaded. Once; InitInstall does it when nothing did before.
  void PrepareInstall();
  bool InitInstall();
  bool Run();
  bool SilentInstall();
  bool UpdateInstall();
  bool InteractiveInstall();
  void ReadHandOverFile();

  int Silent = 0;
  int DebugExtract = 0;
  int Update = 0;
  int DownPower = 0;
  int UpgradePower = 0;
  std::wstring InstallPath;

 private:
  // The shared body of the silent and update modes after their own preparation.
  bool InstallWithoutWizard(bool update);

  bool Prepared = false;
};

extern ZSetupApp g_App;

bool IsWinXPAndLater();

// The process entry's work, in its fixed order; returns the process exit code.
int SetupMain(HINSTANCE instance);
