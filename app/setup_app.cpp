#include "app/setup_app.h"

#include <locale.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <gdiplus.h>

#include <optional>

#include "app/engine_for_wizard.h"
#include "app/relaunch.h"
#include "app/single_instance.h"
#include "app/user_window.h"
#include "base/handles.h"
#include "dialogs/main_dlg.h"
#include "install/zinstall.h"
#include "log/run_record.h"
#include "log/setup_log.h"
#include "skin/image_decode.h"
#include "skin/resource_source.h"
#include "skin/skin_pool.h"
#include "suite/install_config.h"
#include "suite/suite_programs.h"
#include "suite/user_protocol.h"
#include "sys/file_utils.h"
#include "sys/process_search.h"
#include "sys/system_info.h"
#include "sys/registry.h"
#include "sys/shell_api.h"

ZSetupApp g_App;

const wchar_t kMessageTitle[] = L"Lumen Office";
// How long the end of the run waits for an install thread that is still finishing.
constexpr DWORD kInstallThreadEndMs = 30000;
const wchar_t kMsgNotAdmin[] = L"您当前使用的是非管理员账号，请在管理员账号下进行安装。";
const wchar_t kMsgRegionOnly[] = L"非常抱歉，该安装包仅限中国大陆使用！";
const wchar_t kMsgAnotherSetup[] = L"系统中有另一个安装程序正在运行，不能同时运行多个安装程序！";
const wchar_t kMsgWindowsTooOld[] = L"Lumen Office 不支持该版本系统";
const wchar_t kMsgSuiteRunning[] = L"有一个 Lumen Office 应用程序实例 %s 在运行，请关闭后重试！";
const wchar_t kMsgDeltaOnlyUpdates[] = L"此安装程序只用于更新已安装的 Lumen Office，请下载完整的安装程序。";

namespace {

// The process's GDI+ session, started with the installation and shut down when the program ends.
std::optional<sys::GdiplusSession> g_Gdiplus;
DecoderWarmUp g_DecoderWarmUp;  // after GDI+: it goes, and waits for its thread, first

void ShowMessage(const wchar_t* text, UINT buttons = MB_OK) {
  MessageBoxW(nullptr, text, kMessageTitle, buttons | MB_ICONINFORMATION);
}

}  // namespace

bool IsWinXPAndLater() {
  DWORD major = 0, minor = 0;
  ZFunction::GetWindowsVersion(&major, &minor);
  return ZFunction::IsXpOrLaterVersion(major, minor);
}

void ZSetupApp::ReadHandOverFile() { ::ReadHandOverFile(g_Install); }

// Update runs: "InstallState" = "0" after success, "1" after failure, for the suite's updater.
void WriteInstallState(int exitCode) {
  ZFunction::WriteRegString(HKEY_CURRENT_USER, suite::kUserSettingKey, L"InstallState", exitCode != 0 ? L"1" : L"0");
}

bool ZSetupApp::ParseCommandLine() { return ParseArguments(ProcessArguments(), g_Install); }

bool ZSetupApp::ParseArguments(const std::vector<std::wstring>& args, ZInsall& engine) {
  const CommandLine cl = CommandLine::Tokenize(args);
  if (cl.Has(L"e")) DebugExtract = 1;
  if (cl.Has(L"s")) Silent = 1;
  if (cl.Has(L"update")) Update = 1;
  if (cl.Has(L"upgradepower")) UpgradePower = 1;
  if (cl.Has(L"downpower")) DownPower = 1;
  if (cl.Has(L"defaultOpen")) engine.SetAssociationOptions(1);
  if (cl.Has(L"notDefaultOpen")) engine.SetAssociationOptions(0);
  if (cl.Has(L"defaultSave")) engine.SetSaveToMso(1);
  if (cl.Has(L"notDefaultSave")) engine.SetSaveToMso(0);
  if (cl.Has(L"createIcons")) engine.SetDesktopShortcut(1);
  if (cl.Has(L"notCreateIcons")) engine.SetDesktopShortcut(0);
  if (cl.Has(L"notshowrecommend")) engine.SetRecommendEnabled(0);
  if (cl.Has(L"showrecommend")) engine.SetRecommendEnabled(1);
  // A folder switch without a folder after it sets nothing, like an empty value switch.
  if (cl.Has(L"p") && !CleanValue(cl.FirstValue(L"p")).empty()) {
    const std::wstring folder = InstallFolderFromP(cl.FirstValue(L"p"));
    engine.SetInstallFolderIfEmpty(folder);
    InstallPath = folder;
  }
  const std::wstring tod = cl.Value(L"tod");
  const size_t dot = tod.find(L'.');
  engine.SetReportInfo(cl.Value(L"iid"), dot == std::wstring::npos ? L"" : tod.substr(0, dot),
                       dot == std::wstring::npos ? L"" : tod.substr(dot + 1), cl.Value(L"productid"),
                       cl.Value(L"versiontypes"));
  if (cl.Has(L"D") && !cl.FirstValue(L"D").empty()) engine.SetInstallFolderIfEmpty(InstallFolderFromD(cl.FirstValue(L"D")));
  for (const HandedOverValue& v : HandedOverValues()) {
    const std::wstring value = CleanValue(cl.Value(v.Switch));
    if (!value.empty()) engine.HandedOver.*v.Field = value;
  }
  if (cl.Has(L"showsilent")) Silent = 1;
  if (cl.Has(L"needcommunicate")) engine.SetUserProcessMode(1);
  return true;
}

void ZSetupApp::PrepareInstall() {
  // The configuration decodes while the skins load: they wait for each picture they need.
  g_Install.StartUnpacking();
  if (!g_Install.MakePayloadFolder()) return;  // a failure: InitInstall reports it
  if (!g_Gdiplus) g_Gdiplus.emplace();
  if (g_Gdiplus->Started()) g_DecoderWarmUp.Start();
  // The skinned UI's images come from the payload's install_res folder; its skins and style
  // classes from the program's own resources (a file there overrides single names). The folder's
  // files are read from memory as they are decoded, while they are still being written.
  GxResourceSource& source = GxResourceSource::Instance();
  source.SetFolder(g_Install.GetPayloadFolder() + L"install_res");
  source.SetFileReader([](const std::wstring& path, std::string* bytes) { return g_Install.ReadPayloadFile(path, bytes); });
  LoadSkins(100);
  LoadStyles(101);
}

bool ZSetupApp::InitInstall() {
  g_Log.Log("g_Install.Init ...");
  const bool ok = g_Install.Init();
  g_Log.Log("g_Install.Init return:%d", ok);
  return ok;
}

bool ZSetupApp::Run() {
  g_Install.ApplyOemDesktopShortcut();
  if (DebugExtract) {
    g_Log.Log("DbgExtraceAllFiles ...");
    const bool ok = g_Install.DbgExtraceAllFiles();
    g_Log.Log("DbgExtraceAllFiles return:%d", ok);
    return ok;
  }
  if (g_Install.IsPayloadSilent() || g_Install.IsOemSilent()) Silent = 1;
  g_Log.Log("ProcessOldProduct");
  if (g_Install.IsDeltaInstaller() && !Update) {
    // A delta holds only what changed since the version it was made for: it can only update.
    g_Log.Log("this installer carries only the changes since an earlier version: it runs only as an update (-update)");
    g_Run.NoteCause("an update installer (a delta) was started without -update");
    if (!Silent) ShowMessage(kMsgDeltaOnlyUpdates);
    ExitCode = kExitDeltaRefused;
    return false;
  }
  if (Update) {
    g_Log.Log("update Install");
    return UpdateInstall();
  }
  if (Silent) {
    g_Log.Log("silent Install");
    return SilentInstall();
  }
  g_Log.Log("Install");
  return InteractiveInstall();
}

bool ZSetupApp::InstallWithoutWizard(bool update) {
  if (g_Install.GetInstallFolder().empty()) {
    if (InstallPath.empty() && update) InstallPath = g_Install.UpdateInstallFolder();
    if (InstallPath.empty()) InstallPath = g_Install.DefaultInstallFolder();
    if (InstallPath.empty()) return false;
    g_Install.SetInstallFolderIfEmpty(InstallPath);
  }
  g_Log.Log(update ? "update install path:%ws" : "silent install path:%ws", g_Install.GetInstallFolder().c_str());

  // Options the old installation recorded, unless the command line set them.
  const std::wstring ini = ZFunction::WithSlash(g_Install.GetOldInstallRoot()) + L"utility\\install.ini";
  const struct {
    const wchar_t* key;
    int (ZInsall::*get)() const;
    void (ZInsall::*set)(int);
  } options[] = {
      {L"assoword", &ZInsall::GetAssoWord, &ZInsall::SetAssoWord},
      {L"assopowerpnt", &ZInsall::GetAssoPowerpoint, &ZInsall::SetAssoPowerpoint},
      {L"assoexcel", &ZInsall::GetAssoExcel, &ZInsall::SetAssoExcel},
      {L"savetomso", &ZInsall::GetSaveToMso, &ZInsall::SetSaveToMso},
      {L"desktopshortcuts", &ZInsall::GetDesktopShortcut, &ZInsall::SetDesktopShortcut},
  };
  for (const auto& o : options) {
    const std::wstring text =
        install_config::ReadProfileString(ini, L"installinfo", o.key, L"1", install_config::kFlagChars);
    const int fromFile = text == L"1" ? 1 : 0;
    const int given = (g_Install.*o.get)();
    (g_Install.*o.set)(given != kOptionUnset ? given : fromFile);
  }

  const bool started = update ? g_Install.StartInstall(0, g_Install.NeedAdmin() == kOptionUnset ? 1 : 0, 1)
                              : g_Install.StartInstall(0, 1, 0);
  if (started) g_Install.WaitInstall(INFINITE);
  return g_Install.GetResult() != 0;
}

bool ZSetupApp::SilentInstall() { return InstallWithoutWizard(false); }

bool ZSetupApp::UpdateInstall() {
  // Carry the old installation's OEM customisation over into the current folder, where the
  // install sequence looks for it.
  // A delta copies the OEM file instead: it may yet refuse, leaving the installation as it was.
  const std::wstring root = g_Install.GetOldInstallRoot();
  if (!root.empty()) {
    const std::wstring old = ZFunction::WithSlash(root);
    const std::wstring cfgs = old + L"office6\\cfgs\\";
    if (ZFunction::PathExists(cfgs + L"oem.ini")) {
      if (g_Install.IsDeltaInstaller()) CopyFileW((cfgs + L"oem.ini").c_str(), L"oem.ini", TRUE);
      else MoveFileExW((cfgs + L"oem.ini").c_str(), L"oem.ini", 0);
    }
    if (ZFunction::FolderExists(cfgs + L"oeminfo")) ZFunction::CopyFolder(cfgs + L"oeminfo", L"oeminfo");
    if (ZFunction::FolderExists(old + L"oem")) ZFunction::CopyFolder(old + L"oem", L"oem");
  }
  const bool installed = InstallWithoutWizard(true);
  if (g_Install.DeltaRefused()) ExitCode = kExitDeltaRefused;
  return installed;
}

bool ZSetupApp::InteractiveInstall() {
  EngineForWizard engine([](bool wait) { return g_App.JoinUserCopy(wait); }, [] { g_App.ReleaseUserCopy(); });
  CMainDlg wizard(engine, g_Install.GetPayloadFolder() + L"install_res");
  const int result = wizard.DoModal(nullptr);
  g_Log.Log("CMainDlg DoModal return:%d", result);
  // A failed install closes the wizard as soon as it is reported, while its thread still writes
  // its last lines and uses the engine: it ends before anything it uses goes away (bounded: a
  // thread that hangs does not hold the process).
  if (!g_Install.WaitInstall(kInstallThreadEndMs))
    g_Log.Log("the install thread has not ended %lu ms after the wizard closed", kInstallThreadEndMs);
  // An install that failed has said why; otherwise the wizard ended before one.
  if (g_Install.GetResult() == 0) g_Run.NoteCause("the wizard was closed without an installation");
  return g_Install.GetResult() != 0;
}

namespace {

// Milliseconds since the process was created.
unsigned long long MsSinceProcessStart() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return ((static_cast<ULONGLONG>(now.dwHighDateTime) << 32 | now.dwLowDateTime) -
          ZFunction::ProcessCreationTime(GetCurrentProcess())) / 10000;
}

}  // namespace

bool ZSetupApp::CommandLineShowsWizard() const { return !DebugExtract && !Update && !Silent; }

bool ZSetupApp::ShowsWizard() const {
  return CommandLineShowsWizard() && !g_Install.IsPayloadSilent() && !g_Install.IsOemSilent();
}

DWORD WINAPI ZSetupApp::LauncherThread(void* app) {
  auto& self = *static_cast<ZSetupApp*>(app);
  // The thread's COM apartment brings up the window system's display connection for the
  // process: paid here while the checks run, not by the wizard's window.
  const sys::ComScope com;
  // An apartment's thread keeps its messages moving while it waits: a check's message box can
  // hold the gate shut for minutes, and a window of this thread must not hold up another
  // program's broadcast meanwhile.
  HANDLE gate = self.LaunchGate.Get();
  DWORD signalled = 0;
  if (!com.Ok() || FAILED(CoWaitForMultipleHandles(0, INFINITE, 1, &gate, &signalled))) WaitForSingleObject(gate, INFINITE);
  *self.LaunchedCopy = ::LaunchUserCopy();
  return 0;
}

void ZSetupApp::LaunchUserCopy() {
  // Starting a process is slow under some systems (and the search for earlier copies before it):
  // a thread of its own does it. Only the command line is known yet: a silent or update run
  // needs the copy at once; one that may show the wizard lets it start after the first page.
  LaunchedCopy.emplace();
  LaunchGate.Reset(CreateEventW(nullptr, TRUE, CommandLineShowsWizard() ? FALSE : TRUE, nullptr));
  if (LaunchGate) Launcher.Reset(CreateThread(nullptr, 0, &LauncherThread, this, 0, nullptr));
  if (!Launcher) *LaunchedCopy = ::LaunchUserCopy();
}

void ZSetupApp::ReleaseUserCopy() {
  if (LaunchGate) SetEvent(LaunchGate.Get());
}

void ZSetupApp::AwaitStartingCopy() { StartingCopy = true; }

DesktopUser ZSetupApp::JoinUserCopy(bool wait) {
  if (Joined) return *Joined;
  UserCopyWait copy;
  copy.Ready = true;  // none needed
  if (Launcher) {
    if (wait) ReleaseUserCopy();
    if (WaitForSingleObject(Launcher.Get(), wait ? INFINITE : 0) != WAIT_OBJECT_0) return DesktopUser::Pending;
    Launcher.Reset();
  }
  if (LaunchedCopy) {
    std::optional<UserCopyWait> looked = wait ? AwaitUserCopy(*LaunchedCopy) : LookForUserCopy(*LaunchedCopy);
    if (!looked) return DesktopUser::Pending;
    copy = *looked;
    ReadHandOverFile();
  } else if (StartingCopy) {
    copy = WaitForStartingCopy();
  }
  if (copy.Window) g_Install.SetUserWindow(copy.Window, copy.Process);
  std::wstring refusedLogFolder;  // a log folder on the way to which a link was found
  g_Log.Start(g_Install.GetLogPath(&refusedLogFolder));
  // How long the start took, and the hand-over with the user-level copy within it.
  g_Log.Log("the process started %llu ms ago (the user-level copy's start %lu ms, of which launching it %lu ms; "
            "since the process started: its main %llu ms, the checks ended %llu ms)",
            MsSinceProcessStart(), copy.Ms, LaunchedCopy ? LaunchedCopy->LaunchMs : 0UL, MainStartedMs, ChecksEndedMs);
  if (!copy.Note.empty()) g_Log.Log("%s", copy.Note.c_str());
  if (!refusedLogFolder.empty())
    g_Log.Log("the log is not written below %ws: a link or junction is on the way, or a folder cannot be made",
              refusedLogFolder.c_str());
  if (copy.Ready) {
    g_Install.TakeUserFacts();
  } else {
    g_Run.Failed("%s", copy.Cause.c_str());  // every step owed to the desktop user would be lost
  }
  Joined = copy.Ready ? DesktopUser::Ready : DesktopUser::Lost;
  return *Joined;
}

int SetupMain(HINSTANCE instance) {
  g_App.MainStartedMs = MsSinceProcessStart();
  bool runResult = false;
  bool pastRelaunch = false;  // from here on the run logs (the first checks cannot)
  ZFunction::MarkCompatibilityAssistantDone();
  AppInstance = instance;
  SetCurrentDirectoryW(ZFunction::GetModuleFolder().c_str());
  setlocale(LC_ALL, "chs");
  RecordProcessStart();

  if (!g_App.ParseCommandLine()) {
    ExitCode = kExitBadCommandLine;
    goto end;
  }
  if (g_App.DownPower) return RunUserCopy();

  if (g_App.UpgradePower) {
    if (!shell::IsUserAnAdmin()) {
      ShowMessage(kMsgNotAdmin);
      ExitCode = kExitNoAdmin;
      goto end;
    }
    // Started through the elevation prompt by the user-level copy, which works for this run
    // when it asked for that (-needcommunicate).
    if (g_Install.GetUserProcessMode()) g_App.AwaitStartingCopy();
  } else if (shell::IsUserAnAdmin()) {
    // The user-level copy starts now; the run takes it in where it needs the desktop user.
    g_App.LaunchUserCopy();
  } else if (!g_App.Update || g_Install.NeedAdmin() != 0) {
    return RelaunchElevated();
  }
  g_Log.Accept();  // its lines wait for the log's folder, which the desktop user's values give
  pastRelaunch = true;
  g_Install.StartUnpacking();  // decodes in memory while the checks run; a refused run stops it

  if (!ZFunction::IsNotTraditionalChineseLang()) {
    g_Log.Log("LanguageId is not support");
    g_Run.NoteCause("the system language is traditional Chinese");
    ShowMessage(kMsgRegionOnly);
    ExitCode = kExitTraditionalChinese;
    goto end;
  }
  if (IsAnotherSetupRunning()) {
    g_Log.Log("One instance is running");
    g_Run.NoteCause("another setup program is running");
    ShowMessage(kMsgAnotherSetup);
    ExitCode = kExitAnotherSetup;
    goto end;
  }
  if (!IsWinXPAndLater()) {
    g_Log.Log("IsWinXPAndLater return false");
    g_Run.NoteCause("Windows is older than XP");
    ShowMessage(kMsgWindowsTooOld);
    goto end;
  }
  if (!(g_App.Update && g_Install.NeedAdmin() == 0) && !shell::IsUserAnAdmin()) {
    g_Log.Log("IsUserAnAdmin return false");
    g_Run.NoteCause("administrator rights are missing");
    ShowMessage(kMsgNotAdmin);
    ExitCode = kExitNoAdmin;
    goto end;
  }
  while (!g_App.Update) {
    const std::wstring name = suite::FindBlockingSuiteProcess();
    if (name.empty()) break;
    char narrow[MAX_PATH * 2] = {};
    WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, narrow, sizeof(narrow) - 1, nullptr, nullptr);
    g_Log.Log("Exist Lumen Process:%s", narrow);
    wchar_t text[512] = {};
    _snwprintf(text, 511, kMsgSuiteRunning, name.c_str());
    if (MessageBoxW(nullptr, text, kMessageTitle, MB_RETRYCANCEL | MB_ICONINFORMATION) != IDRETRY) {
      g_Run.NoteCause((std::string("the user cancelled while the suite program ") + narrow + " was running").c_str());
      ExitCode = kExitSuiteRunning;
      goto end;
    }
  }

  g_App.ChecksEndedMs = MsSinceProcessStart();
  // While the user-level copy starts: the configuration and the wizard's skins. The wizard
  // shows before the copy is ready and takes it in itself; the other modes take it in first.
  g_App.PrepareInstall();
  if (g_App.InitInstall()) {
    if (!g_App.ShowsWizard() && g_App.JoinUserCopy(true) != DesktopUser::Ready) goto end;
    const sys::ComScope com;
    DefWindowProcW(nullptr, 0, 0, 0);
    if (InitWindowModule(AppInstance)) {
      g_Log.Log("g_App.Run...");
      runResult = g_App.Run();
      g_Log.Log("g_App.Run return:%d", runResult);
    } else {
      g_Run.Failed("the window module could not be initialised");
    }
    TermWindowModule();
    CloseSingleInstance();
  }

end:
  if (pastRelaunch) g_App.JoinUserCopy(true);  // the log's folder, and the copy that waits for the exit code
  g_Install.Packet.CancelPreload();  // the user left before installing: nobody needs the product now
  g_Install.RemovePayloadFolder();
  if (ExitCode == 0 && !runResult) ExitCode = kExitFailed;
  g_Log.Log("%s", g_Run.ClosingLine(ExitCode, MsSinceProcessStart()).c_str());
  g_Log.Stop();
  if (g_App.Update) WriteInstallState(ExitCode);
  g_Install.SendExitCode(ExitCode);
  return ExitCode;
}