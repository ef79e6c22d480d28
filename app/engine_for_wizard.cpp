#include "app/engine_for_wizard.h"

#include <shlobj.h>

#include "app/process_state.h"
#include "app/single_instance.h"
#include "dialogs/progress_bar.h"
#include "install/zinstall.h"
#include "log/run_record.h"
#include "log/setup_log.h"
#include "suite/install_config.h"
#include "suite/suite_programs.h"
#include "sys/file_utils.h"
#include "sys/path_text.h"
#include "sys/system_info.h"

namespace {

class SystemFolderChecks : public FolderChecks {
 public:
  bool CreateTree(const std::wstring& folder) override { return ZFunction::CreateFolderTree(folder); }
  double FreeMiB(const std::wstring& drive) override {
    ULARGE_INTEGER available{}, total{}, free{};
    if (!GetDiskFreeSpaceExW((drive + L"\\").c_str(), &available, &total, &free)) return 0;
    return static_cast<double>(free.QuadPart) / 1048576.0;
  }
  void RemoveEmpty(const std::wstring& folder) override { ZFunction::RemoveEmptyFolders(folder); }
  std::wstring BlockingProgram() override { return suite::FindBlockingSuiteProcess(); }
  size_t ProductPathChars() override { return g_Install.ProductPathChars(); }
};

std::wstring OldInstallIni() {
  const std::wstring root = g_Install.GetOldInstallRoot();
  return root.empty() ? std::wstring() : ZFunction::WithSlash(root) + L"utility\\install.ini";
}

}  // namespace

FolderInputs EngineForWizard::Folders() {
  FolderInputs in;
  in.CommandLine = g_Install.GetInstallFolder();
  in.OldRoot = g_Install.GetOldInstallRoot();
  in.OldIsNewLayout = g_Install.IsNewInstall();
  in.ProgramFiles = ZFunction::ProgramFilesFolders();
  in.LocalAppData = g_Install.UserLocalAppData();
  return in;
}

std::wstring EngineForWizard::OldOption(const wchar_t* key) {
  const std::wstring ini = OldInstallIni();
  if (ini.empty()) return std::wstring();
  return install_config::ReadProfileString(ini, L"installinfo", key, L"1", install_config::kFlagChars);
}

int EngineForWizard::CommandLineOption(int index) {
  switch (index) {
    case 0: return g_Install.GetAssoWord();
    case 1: return g_Install.GetSaveToMso();
    case 2: return g_Install.GetDesktopShortcut();
    default: return kOptionUnset;
  }
}

std::vector<std::wstring> EngineForWizard::Offers() { return g_Install.OfferTexts(); }

void EngineForWizard::SetMainWindow(HWND window) {
  StoreWizardWindow(window);
  g_Install.SetMainWindow(window);
}

FolderChecks& EngineForWizard::Checks() {
  static SystemFolderChecks checks;
  return checks;
}

bool EngineForWizard::StartInstall(const WizardChoices& choices, WizardProgressFn progress, INT_PTR data) {
  g_Install.SetProgressCallback(progress, data);
  g_Install.SetInstallFolderIfEmpty(choices.Folder);  // a folder from the command line stays
  g_Install.SetAssociationOptions(choices.Association);
  g_Install.SetSaveToMso(choices.SaveFormat);
  g_Install.SetDesktopShortcut(choices.DesktopIcon);
  for (int chosen : choices.Offers) g_Install.AddDeepRecommendChoice(chosen);
  SetRegistrationProgressHandler([](int index, int count) { ProgressBar().SetRegistrationProgress(index, count); });
  return g_Install.StartInstall(0, 0, 0);
}

static_assert(kWizardThreadEnding == kStepThreadEnding, "the wizard and the engine agree on the end notice");

bool EngineForWizard::InstallEnded(DWORD milliseconds) { return g_Install.WaitInstall(milliseconds); }

DesktopUser EngineForWizard::JoinDesktopUser(bool wait) { return Join(wait); }

bool EngineForWizard::FirstPageShown() {
  StartUser();
  g_Log.Log("g_Install.StartLoadPacketData");
  if (g_Install.StartLoadPacketData()) return true;
  g_Run.NoteCause("the product could not be loaded");
  return false;
}

bool EngineForWizard::PayloadWritten() { return g_Install.AwaitPayloadFolder(); }
bool EngineForWizard::PayloadBeingWritten() { return g_Install.PayloadBeingWritten(); }

void EngineForWizard::UserLeft() { ExitCode = 1; }
