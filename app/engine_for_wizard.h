// The wizard's view of the install engine (g_Install), the single-instance mapping and the
// process's exit code.
#pragma once

#include "dialogs/wizard_engine.h"

class EngineForWizard : public WizardEngine {
 public:
  // `joinDesktopUser` takes the user-level copy in (the application's JoinUserCopy);
  // `startDesktopUser` lets it start (ReleaseUserCopy).
  EngineForWizard(DesktopUser (*joinDesktopUser)(bool wait), void (*startDesktopUser)())
      : Join(joinDesktopUser), StartUser(startDesktopUser) {}

  FolderInputs Folders() override;
  std::wstring OldOption(const wchar_t* key) override;
  int CommandLineOption(int index) override;
  std::vector<std::wstring> Offers() override;
  void SetMainWindow(HWND window) override;
  FolderChecks& Checks() override;
  bool StartInstall(const WizardChoices& choices, WizardProgressFn progress, INT_PTR data) override;
  bool InstallEnded(DWORD milliseconds) override;
  DesktopUser JoinDesktopUser(bool wait) override;
  bool FirstPageShown() override;
  bool PayloadWritten() override;
  bool PayloadBeingWritten() override;
  void UserLeft() override;

 private:
  DesktopUser (*Join)(bool wait);
  void (*StartUser)();
};
