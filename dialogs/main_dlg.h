// The installation wizard (layer 103): the main page with the agreement and the install button,
// the settings page with the folder and the three options, and the installing page with the
// gradual progress bar, the tips and the slides. It ends with 0 once the install thread has
// ended (or failed) and with 2 when the user left.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "dialogs/rich_edit.h"
#include "dialogs/wizard_engine.h"
#include "skin/dialog_impl.h"

class CMainDlg : public CGxDialogImpl {
 public:
  // `resourceFolder`: where the progress bar's pictures are (with a trailing backslash).
  CMainDlg(WizardEngine& engine, const std::wstring& resourceFolder);

  const std::wstring& InstallFolder() const { return Folder; }

 protected:
  void OnInitDialog() override;
  void OnNotify(const GxNotify& note) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  void OnDpiChanged() override;

 private:
  static int InstallProgressCallback(int percent, int step, int error, const wchar_t* text, INT_PTR data);
  void OnProgress(int percent, int step, int error);
  void OnTimer(UINT_PTR id);
  void FinishInstall();
  void ShowUserFacts();
  void LinkLicence();
  void SetIcons();
  bool TakeDesktopUser(bool wait);
  void ShowItems(std::initializer_list<int> ids, bool show);
  void EnableItems(std::initializer_list<int> ids, bool enable);
  void SetFolderText(const std::wstring& folder);
  void OpenSettings();
  void Browse();
  void Back();
  void Install();
  void AskToLeave();

  WizardEngine& Engine;
  std::wstring ResourceFolder;
  std::wstring Folder;
  int Agreement = 0;
  int TimerFactor = 19;
  int Association = 1, SaveFormat = 1, DesktopIcon = 1;
  std::vector<std::wstring> Offers;
  int m_nProgressCount = 0;
  int LastPercent = 0;
  int AdState = 1;
  bool Installing = false;
  bool Closing = false;  // the dialog has been told to end
  bool FactsFromUser = false;  // the folder and options shown come from the desktop user's facts
  bool EditorMade = false;
  bool StrangerLogged = false;  // (once: a program sending many must not fill the log)
  ZRichEdit PathEditor;
};
