#include "app/relaunch.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <stdio.h>

#include "app/command_line.h"
#include "app/process_state.h"
#include "app/user_window.h"
#include "base/handles.h"
#include "install/local_user_side.h"
#include "install/zinstall.h"
#include "suite/user_protocol.h"
#include "sys/file_utils.h"
#include "sys/process_start.h"
#include "sys/process_search.h"
#include "sys/system_info.h"
#include "sys/profile.h"
#include "sys/shell_api.h"

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
  if (!shell::ShellExecuteExW(&sei)) {  // also when the user refused the elevation prompt
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

namespace {

// Formats the cause of a wait that ended without a ready copy.
std::string Cause(const char* format, unsigned long a, unsigned long b = 0) {
  char text[160] = {};
  _snprintf(text, sizeof(text) - 1, format, a, b);
  return text;
}

// One look for the window "lumensetup_message" of the user-level copy: a window that was not
// among `windowsBefore`, of the process `process`, or, when the desktop shell started the copy
// and gave no handle, of a process of this program's file that was not among `processesBefore`.
// The wait lasts while the copy lives, at most kUserCopyCeilingMs from `since`. True when it is
// decided (`wait` says how).
bool LookForWindow(HANDLE process, const std::vector<HWND>& windowsBefore, const std::vector<DWORD>& processesBefore,
                   DWORD since, bool& seen, UserCopyWait& wait) {
  const std::wstring self = ZFunction::GetModulePath();
  const DWORD ownId = GetCurrentProcessId();
  auto isNewCopy = [&](DWORD id) {
    if (id == ownId || std::find(processesBefore.begin(), processesBefore.end(), id) != processesBefore.end()) return false;
    std::wstring image;
    return ZFunction::GetModuleFileOfProcess(id, image) && _wcsicmp(image.c_str(), self.c_str()) == 0;
  };
  for (const auto& [hwnd, owner] : ZFunction::FindWindowsByTitle(kUserWindowTitle)) {
    if (std::find(windowsBefore.begin(), windowsBefore.end(), hwnd) != windowsBefore.end() ||
        (process ? owner != GetProcessId(process) : !isNewCopy(owner)))
      continue;
    wait.Ready = true;
    wait.Window = hwnd;
    wait.Process = owner;
    wait.Ms = GetTickCount() - since;
    return true;
  }
  wait.Ms = GetTickCount() - since;
  DWORD code = 0;
  if (process && WaitForSingleObject(process, 0) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code)) {
    wait.Cause = Cause("the user-level copy ended (exit code %lu) after %lu ms, before its window was ready", code, wait.Ms);
    return true;
  }
  if (!process) {  // without a handle: a new copy was running once, and is gone
    const std::vector<DWORD> running = ZFunction::ProcessIdsOfImage(self);
    const bool alive = std::any_of(running.begin(), running.end(), isNewCopy);
    if (seen && !alive) {
      wait.Cause = Cause("the user-level copy ended after %lu ms, before its window was ready", wait.Ms);
      return true;
    }
    seen = seen || alive;
  }
  if (wait.Ms > kUserCopyCeilingMs) {
    wait.Cause = Cause("the user-level copy was still not ready after %lu ms", wait.Ms);
    return true;
  }
  return false;
}

UserCopyWait WaitForWindow(HANDLE process, const std::vector<HWND>& windowsBefore, const std::vector<DWORD>& processesBefore,
                           DWORD since) {
  UserCopyWait wait;
  bool seen = false;
  while (!LookForWindow(process, windowsBefore, processesBefore, since, seen, wait)) Sleep(10);
  return wait;
}

}  // namespace

LaunchedUserCopy LaunchUserCopy() {
  LaunchedUserCopy copy;
  copy.Since = GetTickCount();
  for (const auto& window : ZFunction::FindWindowsByTitle(kUserWindowTitle)) copy.WindowsBefore.push_back(window.first);
  const std::wstring self = ZFunction::GetModulePath();
  copy.ProcessesBefore = ZFunction::ProcessIdsOfImage(self);
  DWORD error;
  {
    const sys::ComScope com;
    copy.Started = ZFunction::StartAppAsShellUser(self, BuildUserCopyParameters(OwnArguments()), 1, &copy.Process);
    error = GetLastError();
  }
  if (!copy.Started) copy.Failure = Cause("the user-level copy could not be started (error %lu)", error);
  copy.LaunchMs = GetTickCount() - copy.Since;
  return copy;
}

std::optional<UserCopyWait> LookForUserCopy(LaunchedUserCopy& copy) {
  UserCopyWait wait;
  if (!copy.Started) {
    wait.Cause = copy.Failure;
    return wait;
  }
  if (!LookForWindow(copy.Process.Get(), copy.WindowsBefore, copy.ProcessesBefore, copy.Since, copy.Seen, wait))
    return std::nullopt;
  // A copy that never got ready is ended: nobody would ever send it its exit code.
  if (!wait.Ready && copy.Process) TerminateProcess(copy.Process.Get(), kExitFailed);
  return wait;
}

UserCopyWait AwaitUserCopy(LaunchedUserCopy& copy) {
  for (;;) {
    if (std::optional<UserCopyWait> wait = LookForUserCopy(copy)) return *wait;
    Sleep(10);
  }
}

UserCopyWait WaitForStartingCopy() {
  const DWORD since = GetTickCount();
  const DWORD parent = ZFunction::GetParentProcessId();
  std::wstring image;
  const sys::UniqueKernel starter(
      parent ? OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, parent) : nullptr);
  if (!starter || !ZFunction::GetModuleFileOfProcess(parent, image) ||
      _wcsicmp(image.c_str(), ZFunction::GetModulePath().c_str()) != 0) {
    // Started with the internal switches by something else: there is no copy to wait for, and
    // each of the desktop user's steps finds that out for itself (see RemoteUserSide).
    UserCopyWait none;
    none.Ready = true;
    none.Note = "this copy was not started by a user-level copy of this setup program";
    return none;
  }
  return WaitForWindow(starter.Get(), {}, {}, since);
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
  // The administrator's copy that started this one is the copy it serves. When it has ended
  // before this copy looks (killed as it started it), or its id already names a process made
  // after this one, nobody will ever send an exit code: this copy ends now instead of waiting
  // for ever. A starter this copy may not open is waited for through the messages alone.
  const DWORD parent = ZFunction::GetParentProcessId();
  sys::UniqueKernel starter(parent ? OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, parent) : nullptr);
  const bool gone = parent && !starter && GetLastError() == ERROR_INVALID_PARAMETER;
  const bool newer = starter && ZFunction::ProcessCreationTime(starter.Get()) >
                                    ZFunction::ProcessCreationTime(GetCurrentProcess());
  if (gone || newer) return ExitCode = kExitFailed;
  if (!starter && parent) starter.Reset(OpenProcess(SYNCHRONIZE, FALSE, parent));  // before Vista: no limited access
  return RunUserWindowLoop(starter.Get());
}
