#include "install/local_user_side.h"

#include <shlobj.h>

#include "cleanup/zclear.h"
#include "log/setup_log.h"
#include "cleanup/old_entries.h"
#include "report/install_report.h"
#include "suite/suite_programs.h"
#include "suite/suite_registry.h"
#include "sys/process_start.h"
#include "sys/system_info.h"
#include "sys/registry.h"

namespace {

// Values of the uninstall key are read as strings of at most this many characters.
constexpr size_t kValueChars = 260;

std::wstring UserUninstallValue(const wchar_t* name) {
  return ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kUninstallKey, name, kValueChars);
}

}  // namespace

std::wstring LocalUserSide::LocalAppData() const { return ZFunction::GetSpecialFolder(CSIDL_LOCAL_APPDATA); }
std::wstring LocalUserSide::AppData() const { return ZFunction::GetSpecialFolder(CSIDL_APPDATA); }
std::wstring LocalUserSide::InstallationRoot() const { return UserUninstallValue(L"LocationRoot"); }
std::wstring LocalUserSide::StartMenuDir() const { return UserUninstallValue(L"StartMenuDir"); }

std::wstring LocalUserSide::OldInstallationRoot() const {
  const std::wstring root = InstallationRoot();
  return root.empty() ? ZFunction::ReadRegString(HKEY_LOCAL_MACHINE, suite::kUninstallKey, L"LocationRoot", kValueChars)
                      : root;
}

std::wstring LocalUserSide::WaitList() const { return suite_registry::ReadWaitClearList(HKEY_CURRENT_USER); }
void LocalUserSide::StoreWaitList(const std::wstring& list) { suite_registry::StoreWaitClearList(HKEY_CURRENT_USER, list); }

std::wstring LocalUserSide::ReportId() {
  return ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kCommonKey, L"infoGUID");
}

std::wstring LocalUserSide::CirrusPath() {
  return ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kCirrusUninstallKey, L"DisplayIcon");
}

bool LocalUserSide::Run(const std::wstring& program, const std::wstring& params, int wait, int show) {
  return ZFunction::RunApp(program, params, static_cast<DWORD>(wait), show);
}

void LocalUserSide::RunAsDesktopUser(const std::wstring& program, const std::wstring& params, int wait, int show) {
  if (!ZFunction::RunAppAsShellUser(program, params, static_cast<DWORD>(wait), show))
    g_Log.Log("%ws could not be started for the user (not counted: the installation does not depend on it)",
              program.c_str());
}

bool LocalUserSide::ShowCirrus(const std::wstring& params, int wait, int show) {
  return ZFunction::RunApp(CirrusPath(), params, static_cast<DWORD>(wait), show);
}

void LocalUserSide::SendReport(const std::wstring& installFolder, const std::wstring& itemParam) {
  report::SendInstallReport(installFolder, report::EngineReportType(NoReportId, NoOldProduct, itemParam), EngineLog);
}

void LocalUserSide::SetEnvironment(const std::wstring& installFolder) {
  suite_registry::SetSuiteEnvironment(HKEY_CURRENT_USER, installFolder);
}

void LocalUserSide::DeleteStartMenu(const std::wstring& name) {
  ZClear::DeleteStartMenu(name, ZClear::MenuOwner::CurrentUser);
}

void LocalUserSide::DeleteUserKeys() { old_entries::DeleteUserEntries(HKEY_CURRENT_USER); }
void LocalUserSide::DeleteRestartInfo() { suite_registry::DeleteRestartAppInfo(HKEY_CURRENT_USER); }
