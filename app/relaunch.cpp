#include "app/relaunch.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>

#include "app/command_line.h"
#include "app/process_state.h"
#include "app/user_window.h"
#include "base/handles.h"
#include "install/local_user_side.h"
#include "install/zinstall.h"
#include "sys/file_utils.h"
#include "sys/process_start.h"
#include "sys/process_search.h"
#include "sys/system_info.h"
#include "sys/profile.h"

namespace {

constexpr size_t kMaxCommandLine = 10240;
constexpr DWORD kHandOverChars = 520;

// This program's own arguments, from the second on, as the platform split them.
std::vector<std::wstring> OwnArguments() {
  std::vector<std::wstring> args = ProcessArguments();
  if (!args.empty()) args.erase(args.begin());
  return args;
}

// The hand-over file's keys in the order they are written.
const wchar_t* const kFileOrder[] = {L"localappdata", L"appdatapath", L"newcurinstallpath",
                                     L"oldinstallpath", L"startmenudir", L"waitclearlist"};

const HandedOverValue* ValueOfKey(const wchar_t* key) {
  for (const HandedOverValue& v : HandedOverValues())
    if (wcscmp(v.FileKey, key) == 0) return &v;
  return nullptr;
}

}  // namespace

const std::vector<HandedOverValue>& HandedOverValues() {
  static const std::vector<HandedOverValue> values = {
      {L"localappdata", L"localapp", &HandOver::LocalAppData, true},
      {L"appdatapath", L"appdata", &HandOver::AppDataPath, true},
      {L"newcurinstallpath", L"curinstallpath", &HandOver::NewCurInstallPath, false},
      {L"startmenudir", L"curstartmenu", &HandOver::StartMenuDir, false},
      {L"waitclearlist", L"waitclearlist", &HandOver::WaitClearList, false},
      {L"oldinstallpath", L"oldinstallpath", &HandOver::OldInstallPath, false},
  };
  return values;
}

HandOver CollectHandOver() {
  const LocalUserSide user(false, false, false);
  HandOver values;
  values.LocalAppData = user.LocalAppData();
  values.AppDataPath = user.AppData();
  values.NewCurInstallPath = user.InstallationRoot();
  values.OldInstallPath = user.OldInstallationRoot();
  values.StartMenuDir = user.StartMenuDir();
  values.WaitClearList = user.WaitList();
  return values;
}

std::wstring BuildElevatedParameters(const HandOver& values, const std::vector<std::wstring>& ownArgs) {
  std::wstring params = L" -needcommunicate";
  for (const HandedOverValue& v : HandedOverValues()) {
    const std::wstring& value = values.*v.Field;
    // Quoted, so that the elevated copy splits out exactly this value, whatever it holds (an
    // old root ends in a backslash).
    if (v.AlwaysOnCommandLine || !value.empty()) params += L" -" + std::wstring(v.Switch) + L"=" + QuotedArgument(value);
  }
  params += L" -upgradepower";
  // The user's own arguments follow as given, as many whole ones as the command line holds.
  for (const std::wstring& arg : ownArgs) {
    if (params.size() + 1 + arg.size() > kMaxCommandLine) break;
    params += L" " + arg;
  }
  return params;
}

int RelaunchElevated() {
  const sys::ComScope com;
  const std::wstring self = ZFunction::GetModulePath();
  const std::wstring params = BuildElevatedParameters(CollectHandOver(), OwnArguments());

  SHELLEXECUTEINFOW sei{};
  sei.cbSize = sizeof(sei);
  sei.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC | SEE_MASK_NOCLOSEPROCESS;
  sei.lpVerb = L"runas";
  sei.lpFile = self.c_str();
  sei.lpParameters = params.c_str();
  sei.nShow = SW_SHOWDEFAULT;
  if (!ShellExecuteExW(&sei)) {  // also when the user refused the elevation prompt
    ExitCode = kExitNoAdmin;
    return kExitNoAdmin;
  }
  const sys::UniqueKernel elevated(sei.hProcess);
  return RunUserWindowLoop(elevated.Get());
}

std::wstring BuildUserCopyParameters(const std::vector<std::wstring>& ownArgs) {
  std::wstring params = L" -downpower";
  for (const std::wstring& a : ownArgs) params += L" " + a;  // not quoted again
  return params;
}

bool RelaunchAsUser() {
  const sys::ComScope com;
  return ZFunction::RunAppAsShellUser(ZFunction::GetModulePath(), BuildUserCopyParameters(OwnArguments()), 0, 1);
}

void WriteHandOverFile() {
  const HandOver values = CollectHandOver();
  ZFunction::CreateFolderTree(values.LocalAppData);
  const std::wstring file = values.LocalAppData + L"\\tempinstall.ini";
  DeleteFileW(file.c_str());
  for (const wchar_t* key : kFileOrder) ZFunction::WriteProfileString(file, L"install", key, values.*ValueOfKey(key)->Field);
}

void ReadHandOverFile(ZInsall& engine) {
  const ZFunction::ShellUserProfile profile;
  const std::wstring file = ZFunction::WithSlash(profile.LocalAppData()) + L"tempinstall.ini";
  if (!ZFunction::PathExists(file)) {
    engine.SetLocalAppData(ZFunction::GetSpecialFolder(CSIDL_LOCAL_APPDATA));
    engine.SetAppDataPath(ZFunction::GetSpecialFolder(CSIDL_APPDATA));
    engine.SetUserProcessMode(0);
    return;
  }
  for (const HandedOverValue& v : HandedOverValues()) {
    const std::wstring value = ZFunction::ReadProfileString(file, L"install", v.FileKey, L"", kHandOverChars);
    if (!value.empty()) engine.HandedOver.*v.Field = value;
  }
  engine.SetUserProcessMode(1);
  DeleteFileW(file.c_str());
}

int RunUserCopy() {
  WriteHandOverFile();
  const sys::ComScope com;
  // The administrator's copy that started this one is the copy it serves.
  const sys::UniqueKernel starter(OpenProcess(SYNCHRONIZE, FALSE, ZFunction::GetParentProcessId()));
  return RunUserWindowLoop(starter.Get());
}
