// The wizard's view of the install engine (g_Install), the single-instance mapping and the
// process's exit code.
#pragma once

#include "dialogs/wizard_engine.h"

class EngineForWizard : public WizardEngine {
 public:
  FolderInputs Folders() override;
  std::wstring OldOption(const wchar_t* key) override;
  int CommandLineOption(int index) override;
  std::vector<std::wstring> Offers() override;
  void SetMainWindow(HWND window) override;
  FolderChecks& Checks() override;
  bool StartInstall(const WizardChoices& choices, WizardProgressFn progress, INT_PTR data) override;
  bool InstallEnded(DWORD milliseconds) override;
  void UserLeft() override;
};
