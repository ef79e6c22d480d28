// The part of the install engine the wizard sees: what it starts from, the user's choices it
// hands over, the start of the install and the question whether it has ended. The program wires
// it to the real engine; tests give the wizard a stand-in.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "dialogs/wizard_rules.h"

// The engine's progress report, called on the install thread: percent, step (0-4), error (0, 2
// extraction failed, 3 registration failed), a status text and the data given with it. As the
// thread's last act it is called once more with step kWizardThreadEnding (and an empty text): the
// thread's end can then be waited for at once.
inline constexpr int kWizardThreadEnding = -1;
using WizardProgressFn = int (*)(int percent, int step, int error, const wchar_t* text, INT_PTR data);

// What the user chose on the wizard's pages.
struct WizardChoices {
  std::wstring Folder;
  int Association = 1, SaveFormat = 1, DesktopIcon = 1;
  std::vector<int> Offers;  // per offer shown: 1 kept checked
};

// The desktop user's facts come from the user-level copy, which may still be starting when the
// wizard shows: until then the wizard shows what this process sees itself.
enum class DesktopUser { Pending, Ready, Lost };

class WizardEngine {
 public:
  virtual ~WizardEngine() = default;

  // Where the default folder comes from (Part of the wizard's first page).
  virtual FolderInputs Folders() = 0;
  // Takes the desktop user's facts in when they are there (waiting for them when `wait`); after
  // Ready the folders and options may differ from before. Lost: the run cannot go on.
  virtual DesktopUser JoinDesktopUser(bool wait) = 0;
  // The three options as the old installation recorded them ("1" on, anything else off; empty
  // when there is none) and as the command line gave them (-1: not given).
  virtual std::wstring OldOption(const wchar_t* key) = 0;
  virtual int CommandLineOption(int index) = 0;  // 0 association, 1 save format, 2 desktop icon
  // The offers' display texts, as many as may be shown.
  virtual std::vector<std::wstring> Offers() = 0;
  // The wizard's window, for the engine and for a second start of the setup program.
  virtual void SetMainWindow(HWND window) = 0;
  // The refusals that need the system (folders, free space, running suite programs).
  virtual FolderChecks& Checks() = 0;
  // The first page is on screen: starts what the window did not wait for, the desktop user's
  // copy and the decoding of the product in memory while the user is on the pages; false when
  // the decoding cannot start (the run cannot go on).
  virtual bool FirstPageShown() = 0;
  // Waits until the payload folder holds the installation's configuration files (the licence
  // text among them); false when they could not be written.
  virtual bool PayloadWritten() = 0;
  // Whether they are still being written (asks without waiting).
  virtual bool PayloadBeingWritten() = 0;
  // Starts the install thread with the user's choices; false when it could not start.
  virtual bool StartInstall(const WizardChoices& choices, WizardProgressFn progress, INT_PTR data) = 0;
  // Whether the install thread has ended, waiting at most `milliseconds` for it.
  virtual bool InstallEnded(DWORD milliseconds) = 0;
  // The user confirmed leaving the setup.
  virtual void UserLeft() = 0;
};
