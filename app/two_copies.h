// The installer runs as a pair of copies whenever administrator rights are involved: an
// elevated copy that installs and a user-level copy that keeps a hidden window titled
// "lumensetup_message" and acts in the user's session on the elevated copy's requests
// (WM_COPYDATA). This file holds the single-instance test, both relaunches, the hand-over
// file, the user-level copy's window and message loop, and the update run's install state.
#pragma once

#include <windows.h>

#include <string>
#include <vector>


// True when another setup program holds the single-instance mapping in this session.
bool IsAnotherSetupRunning();
// Closes the single-instance handles at the end of a run.
void CloseSingleInstance();

// A user without administrator rights: starts the elevated copy through the elevation prompt
// and becomes its user-level copy. Returns the exit code this process ends with.
int RelaunchElevated();
// The parameters of the elevated copy's command line (without the program path).
std::wstring BuildElevatedParameters(const std::wstring& localAppData, const std::wstring& appData,
                                     const std::wstring& curInstallPath, const std::wstring& curStartMenu,
                                     const std::wstring& waitClearList, const std::wstring& oldInstallPath,
                                     const std::vector<std::wstring>& ownArgs);

// An administrator: starts the user-level ("downpower") copy beside this one.
bool RelaunchAsUser();
// " -downpower" and this program's own arguments from the second on, not quoted again.
std::wstring BuildUserCopyParameters(const std::vector<std::wstring>& ownArgs);

// The user-level copy's first act: writes the user's folders and values for the elevated copy.
void WriteHandOverFile();
// The elevated copy's first act: reads the hand-over file into the engine and deletes it, and
// sets the engine's mode (user-process mode when there was a file).
class ZInsall;
void ReadHandOverFile(ZInsall& engine);
// The hand-over file's path for the current account.
std::wstring HandOverFilePath();

// Runs the user-level copy: window module, hidden window and message loop until code 8 or
// message 1235. Returns ExitCode.
int RunUserCopy();

// Update runs: "InstallState" = "0" after success, "1" after failure.
void WriteInstallState(int exitCode);

// The window interface of the user-level copy.
class ZInnerWinCallbackOn {
 public:
  virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

 protected:
  ~ZInnerWinCallbackOn() = default;
};

// The hidden 1 x 1 window titled "lumensetup_message"; every message goes to the callback and
// then to the default window procedure.
class CInternalWnd {
 public:
  explicit CInternalWnd(ZInnerWinCallbackOn* callback) : Callback(callback) {}
  virtual LRESULT ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  virtual ~CInternalWnd();
  bool Create();
  HWND Handle() const { return Hwnd; }

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  ZInnerWinCallbackOn* Callback;
  HWND Hwnd = nullptr;
};

// Owns the window and acts on the elevated copy's requests.
class ZInnerWinCallback : public ZInnerWinCallbackOn {
 public:
  ZInnerWinCallback();
  ~ZInnerWinCallback();
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  HWND Handle() const { return Window.Handle(); }

 private:
  CInternalWnd Window;
};

// The window module: registers the installer's window class for the given instance.
bool InitWindowModule(HINSTANCE instance);
void TermWindowModule();
