// The install thread: prepare, remove an old installation, write the product files, work
// through the install list, finish. Every decision goes to the log.
#include <shlobj.h>

#include <algorithm>

#include "log/run_record.h"
#include "log/setup_log.h"
#include "cleanup/zclear.h"
#include "suite/suite_registry.h"
#include "install/install_check.h"
#include "install/zinstall.h"
#include "sys/file_utils.h"
#include "sys/process_search.h"
#include "sys/process_start.h"
#include "sys/system_info.h"
#include "sys/registry.h"
#include "suite/suite_programs.h"

namespace {

// Sub-progress of the register step for the progress bar; none until a wizard sets it.
void (*g_RegistrationProgress)(int index, int count) = nullptr;

bool KeyOpens(HKEY root, const wchar_t* subKey) {
  sys::UniqueRegKey key;
  return RegOpenKeyExW(root, subKey, 0, KEY_READ | KEY_WRITE, key.Put()) == ERROR_SUCCESS;
}

}  // namespace

void SetRegistrationProgressHandler(void (*handler)(int index, int count)) { g_RegistrationProgress = handler; }

bool ZInsall::StartInstall(int forceFlag, int silent, int update) {
  ForceFlag = forceFlag;
  Silent = silent;
  Update = update;
  if (InstallFolder.empty()) return false;
  InstallFolder = ZFunction::WithSlash(ZFunction::WithSlash(InstallFolder) + ProductVersion);
  Result = 0;
  if (!forceFlag && !silent && !update) WaitEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, kInstallWaitEvent));
  Thread.Reset(CreateThread(nullptr, 0, &ZInsall::ThreadEntry, this, 0, nullptr));
  return Thread.Valid();
}

DWORD WINAPI ZInsall::ThreadEntry(void* self) {
  auto* engine = static_cast<ZInsall*>(self);
  engine->InstallThread();
  if (engine->ProgressCallback) engine->ProgressCallback(-1, kStepThreadEnding, 0, L"", engine->CallbackData);
  return 0;
}

void ZInsall::Report(int step, int error, const wchar_t* text) {
  if (ProgressCallback) ProgressCallback(kStepPercent[step], step, error, text, CallbackData);
}

ItemOptions ZInsall::Options() const {
  ItemOptions o;
  o.assoWord = AssoWord;
  o.assoExcel = AssoExcel;
  o.assoPowerpoint = AssoPowerpoint;
  o.saveToMso = SaveToMso;
  o.desktopShortcut = DesktopShortcut;
  return o;
}

void ZInsall::InstallThread() {
  Report(kStepPrepare, 0, L"正在准备安装");
  ZFunction::EnableDebugPrivilege();
  UserCopy.Window();
  // A per-user installation never needs elevation for its updates. Without a handed-over
  // current installation there is no file to mark.
  const std::wstring current = CurrentInstallation();
  if (!(Update && !Silent) && !current.empty())
    install_config::WriteProfileString(ZFunction::WithSlash(current) + L"utility\\install.ini", L"update",
                                       L"needAdmin", L"false");

  const DWORD start = GetTickCount();
  if (AwaitPayloadFolder() && (!IsDeltaInstaller() || ReadDelta()) && ReadSuiteFiles()) InstallSteps();
  ElapsedMs = GetTickCount() - start;
  if (Result == 1) Report(kStepDone, 0, L"安装成功");
  if (WaitEvent) {
    g_Log.Log("wait zismain");
    AwaitSuiteSignal();
    WaitEvent.Reset();  // its one use is over
    g_Log.Log("wait zismain end");
  }
  g_Log.Log("install end, return:%d, install cost time:%dms", Result, static_cast<int>(ElapsedMs));
  g_Log.Log("peak working set: %llu KiB", ZFunction::PeakWorkingSet() >> 10);
}

// The suite's main program, started by the install list, tells an interactive install through
// the wait event that it is up, so the wizard does not vanish before the suite shows. The wait
// lasts at most 500 ms, and only while a program runs from the install folder: when none does,
// nothing is left that could signal.
void ZInsall::AwaitSuiteSignal() {
  constexpr DWORD kLimitMs = 500, kLookMs = 20;
  const DWORD since = GetTickCount();
  for (;;) {
    const DWORD spent = GetTickCount() - since;
    if (WaitForSingleObject(WaitEvent.Get(), 0) == WAIT_OBJECT_0) {
      g_Log.Log("the suite signalled after %lu ms", spent);
      return;
    }
    if (!ZFunction::AnyProcessRunsBelow(InstallFolder)) {
      g_Log.Log("no program of the suite is running after %lu ms: nothing can signal", spent);
      return;
    }
    if (spent >= kLimitMs) {
      g_Log.Log("the suite did not signal within %lu ms", kLimitMs);
      return;
    }
    WaitForSingleObject(WaitEvent.Get(), std::min(kLookMs, kLimitMs - spent));
  }
}

size_t ZInsall::ProductPathChars() {
  if (ProductItems.empty()) {
    ProductItems = Delta ? DeltaItems() : Packet.Items(1);
    LongestProductName = 0;
    for (const ArchiveItem& item : ProductItems) LongestProductName = std::max(LongestProductName, item.Name.size());
  }
  return ProductVersion.size() + 1 + LongestProductName;
}

bool ZInsall::ReadSuiteFiles() {
  ProductItems.clear();  // read afresh: what an earlier look left is no promise
  ProductPathChars();
  const size_t longest = LongestProductName;
  SuiteDrivers.clear();
  for (const ArchiveItem& item : ProductItems) {
    const std::wstring& name = item.Name;
    const std::wstring file = name.substr(name.find_last_of(L'\\') + 1);
    if (file.size() > 4 && _wcsicmp(file.c_str() + file.size() - 4, L".sys") == 0) SuiteDrivers.push_back(file);
  }
  // Every file of the suite must be reachable by a plain path (the suite's programs and the
  // shell use no longer ones): a folder too long is refused before anything old is removed or
  // anything new written, like a folder that cannot be created.
  if (InstallFolder.size() + longest < MAX_PATH) return true;
  // The reason before the folder: a log line is cut at its end, and the folder is the long part.
  g_Run.Failed("the install folder is too long for the suite: its longest file name adds %d characters, %d fit: %ws",
               static_cast<int>(longest), std::max(0, static_cast<int>(MAX_PATH - 1) - static_cast<int>(InstallFolder.size())),
               InstallFolder.c_str());
  return false;
}

void ZInsall::InstallSteps() {
  const bool interactiveUpdate = Update && !Silent;
  ZClear clear(Cleanup());
  clear.Init(InstallFolder);

  // An update by delta builds the new version from the installed one before anything of that
  // one is removed.
  if (Delta) {
    Report(kStepExtract, 0, L"正在释放安装文件");
    ZFunction::EnableWow64Redirection(false);
    const bool built = BuildFromDelta();
    ZFunction::EnableWow64Redirection(true);
    if (!built) {
      Report(kStepExtract, kErrorExtract, L"释放安装文件失败");
      return;
    }
  }

  if (!interactiveUpdate) {
    const bool oldProduct = KeyOpens(HKEY_LOCAL_MACHINE, suite::kUninstallKey) ||
                            KeyOpens(HKEY_CURRENT_USER, suite::kUninstallKey) || !HandedOver.OldInstallPath.empty();
    if (oldProduct) {
      g_Log.Log("Uninstall old product");
      Report(kStepRemoveOld, 0, L"正在卸载旧版本");
      OldStartMenuDir = clear.RemoveOldRegistration();
      clear.ClearOldVersion();
      g_Log.Log("Uninstall old product end %ld", static_cast<long>(GetLastError()));
      // The removal sweeps the empty folders below the product root, those of a version built
      // by delta before it too.
      if (Delta) MakeDeltaFolders();
    }
  }

  User().DeleteRestartInfo();

  if (!Delta) {
    Report(kStepExtract, 0, L"正在释放安装文件");
    if (!WriteProductFiles()) return;
  }
  Packet.Close();
  Report(kStepRegister, 0, L"正在注册组件");
  if (Register() && CheckInstallation()) Result = 1;
  else Report(kStepRegister, kErrorRegister, L"注册组件失败");
}

bool ZInsall::WriteProductFiles() {
  const bool folderExisted = ZFunction::FolderExists(InstallFolder);
  // This version is installed here already (a repair, an update run twice): written in place, a
  // run stopped halfway would leave the installation broken. The files are written beside it
  // first and put in place once all are written and checked (see PutStagedInPlace).
  const bool staged = folderExisted && ZFunction::PathExists(InstallFolder + L"office6\\lmo.dll");
  const std::wstring target = staged ? StagingFolder() : InstallFolder;
  if (staged) {
    g_Log.Log("this version is installed in %ws already: the new files are written to %ws first", InstallFolder.c_str(),
              target.c_str());
    ZFunction::DeleteFolder(target);  // what a run stopped earlier left there
  }
  if (!ZFunction::CreateFolderTree(target)) {
    const long error = static_cast<long>(GetLastError());
    g_Log.Log("Create the %ws folder failed. %ld", target.c_str(), error);
    g_Run.Failed("the install folder cannot be created (error %ld): %ws", error, target.c_str());
    return false;
  }
  g_Log.Log("install begin...");
  ZFunction::EnableWow64Redirection(false);
  Packet.SetProgressWindow(MainWindow);
  bool extracted = Packet.ExtractMemoryFiles(1, target);
  g_Run.AddFilesWritten(Packet.FilesWritten());
  if (!extracted) {
    const std::string problem = TakeExtractionProblem();
    g_Run.Failed("the product files could not be written: %s",
                 problem.empty() ? "the product entry cannot be read" : problem.c_str());
  } else if (staged) {
    extracted = PutStagedInPlace(target);
  }
  ZFunction::EnableWow64Redirection(true);
  if (!extracted && (staged || !folderExisted)) {
    // What this run began and could not complete goes again; a version folder that was there
    // before is left as it is.
    g_Log.Log("remove the incomplete folder %ws", target.c_str());
    ZFunction::DeleteFolder(target);
  }
  if (!extracted) Report(kStepExtract, kErrorExtract, L"释放安装文件失败");
  return extracted;
}

CleanupContext ZInsall::Cleanup() { return CleanupContext{User(), SuiteDrivers, Update != 0, OldVersion}; }

bool ZInsall::Register() {
  g_Log.Log("RunApp Register ...");
  const bool listed = RunInstallItems();
  g_Log.Log("RunApp Register return:%d", listed);
  if (!listed) {
    g_Log.Log("ZInsall::Register return:%d", 0);
    return false;
  }
  if (Update) {
    const std::wstring source = install_config::SourceFolder();
    if (ZFunction::FolderExists(source + L"oeminfo"))
      ZFunction::CopyFolder(source + L"oeminfo", InstallFolder + L"office6\\cfgs\\oeminfo");
    if (ZFunction::FolderExists(source + L"oem")) ZFunction::CopyFolder(source + L"oem", InstallFolder + L"oem");
  }
  if (ZFunction::IsOldWindows()) {
    User().SetEnvironment(InstallFolder);
  }
  if (Update && !Silent) {
    // The user's installation as the user-level copy handed it over, else the one just made.
    const std::wstring current = HandedOver.NewCurInstallPath.empty() ? InstallFolder : CurrentInstallation();
    g_Log.Log("cur install path is %ws.", current.c_str());
    ZClear(Cleanup()).ClearReplacedVersions(current);
  }
  g_Log.Log("ZInsall::Register return:%d", 1);
  return true;
}

bool ZInsall::RunItem(const InstallItem& item, const std::wstring& param) {
  const DWORD start = GetTickCount();
  g_Log.Log("Run App:%ws, params=%ws", item.path.c_str(), param.c_str());
  const bool started = User().Run(InstallFolder + item.path, param, item.wait, item.show);
  g_Log.Log("run %ws %ws need %ld", item.path.c_str(), param.c_str(), static_cast<long>(GetTickCount() - start));
  return started;
}

void ZInsall::RunHere(const InstallItem& item, bool logElapsed) {
  const DWORD start = GetTickCount();
  g_Log.Log("Run App:%ws, params=%ws", item.path.c_str(), item.param.c_str());
  if (!ZFunction::RunApp(InstallFolder + item.path, item.param, static_cast<DWORD>(item.wait), item.show))
    g_Log.Log("%ws %ws could not be started (not counted: the installation does not depend on it)", item.path.c_str(),
              item.param.c_str());
  if (logElapsed) g_Log.Log("Run App:%ws need %ld", item.path.c_str(), static_cast<long>(GetTickCount() - start));
}

bool ZInsall::RunInstallItems() {
  PostInstallRun run;
  Promised.clear();
  run.Oem = install_config::ReadOemSettings(install_config::SourceFolder(), ProductVersion);
  if (run.Oem.exists) CopyOemFile();
  const std::wstring typeName = InstallTypeName(Silent != 0, Update != 0);
  g_Log.Log("current install type is %ws.", typeName.c_str());

  int failures = 0;
  const int count = static_cast<int>(InstallItems.size());
  for (int index = 1; index <= count; ++index) {
    const InstallItem& item = InstallItems[index - 1];
    if (g_RegistrationProgress) g_RegistrationProgress(index, count);
    if (!ItemRunsIn(item.type, typeName)) {
      g_Log.Log("%ws %ws is not a %ws process,beacuse it is %ws process.", item.path.c_str(), item.param.c_str(),
                typeName.c_str(), item.type.c_str());
      continue;
    }
    g_Run.StepRun();
    const ItemOptions options = Options();
    auto failed = [&](const std::wstring& param) {
      ++failures;
      g_Run.StepFailed("%ws %ws could not be started", item.path.c_str(), param.c_str());
    };
    auto runAs = [&](const std::wstring& param) {
      if (!RunItem(item, param)) failed(param);
    };
    const ItemKind kind = RecogniseItem(item, options);
    switch (kind) {
      case ItemKind::ConfigSetup: {
        g_Log.Log("Set AssoToMso, SaveToMso, DesktopShortcut, BuildVersion, InstallPath Begin.");
        const std::wstring param = RewriteConfigSetup(item.param, options, run.Oem.startMenuDir, InstallFolder);
        using install_config::OptionText;
        Promise(install_config::WriteSuiteConfig(StartMenuNameOf(param), OptionText(SaveToMso), OptionText(AssoWord),
                                                 OptionText(AssoPowerpoint), OptionText(AssoExcel),
                                                 OptionText(DesktopShortcut), ProductVersion, InstallFolder));
        run.Registers = true;
        g_Log.Log("Seted AssoToWord=%d, AssoToPowerpoint=%d ,AssoToExcel=%d, SaveToMso=%d, DesktopShortcut=%d, "
                  "InstallPath=%ws.",
                  AssoWord, AssoPowerpoint, AssoExcel, SaveToMso, DesktopShortcut, InstallFolder.c_str());
        runAs(param);
        break;
      }
      case ItemKind::SkipAssoWord:
        g_Log.Log("Not Set AssoToMSOWord.");
        break;
      case ItemKind::SkipAssoExcel:
        g_Log.Log("Not Set AssoToMsoExcel.");
        break;
      case ItemKind::SkipAssoPowerpoint:
        g_Log.Log("Not Set AssoToMsoPowerpoint.");
        break;
      case ItemKind::SaveAsLmo:
        g_Log.Log("Not Set SaveToMso.");
        runAs(L"-saveas_lmo");
        break;
      case ItemKind::StartMenuLink: {
        if (run.Oem.startMenuDir.empty()) {
          runAs(item.param);
          break;
        }
        g_Log.Log("Modify Start Menu Directory Name.");
        std::wstring param;
        if (RewriteStartMenuLink(item.param, run.Oem.startMenuDir, &param))
          g_Log.Log("Modified Start Menu Directory Name = %ws", run.Oem.startMenuDir.c_str());
        else
          g_Log.Log("Modifying Start Menu Directory Name Failed.");
        runAs(param);
        break;
      }
      case ItemKind::Channel:
        g_Log.Log("Set Channel Number Begin.");
        if (run.Oem.pipeNumber != L"000") {
          const std::wstring param = L"-distsrc " + run.Oem.pipeNumber;
          g_Log.Log("Seted Channel Number = %ws", run.Oem.pipeNumber.c_str());
          runAs(param);
        } else {
          g_Log.Log("Not Set ChannelNo.");
        }
        break;
      case ItemKind::SendReport:
        g_Log.Log("Send Infocellect Begin.");
        Promise(install_config::WriteReportInfo(InstallFolder, {Iid, Tid1, Tid2, Tod1, Tod2, ProductId, VersionTypes}));
        User().SendReport(InstallFolder, item.param);
        break;
      case ItemKind::SkipDesktopLink:
        g_Log.Log("Not Create Desktop Icons.");
        break;
      case ItemKind::ConfigLast:
        g_Log.Log("Last Setup Before Finish.");
        runAs(L"/SetupConfig=last /WebPage=0");
        break;
      case ItemKind::MoveTidalStartMenu:
        g_Log.Log("Move Tidal Start Menu.");
        MoveTidalStartMenu(run, item.param);
        break;
      case ItemKind::CopyNewFile:
        CopyNewFiles();
        break;
      case ItemKind::WriteIniFile: {
        install_config::InstallIniValues values{AssoWord, AssoExcel, AssoPowerpoint, SaveToMso, DesktopShortcut,
                                                InstallFolder,
                                                UserLocalAppData(),
                                                ZFunction::GetModulePath(), LowerVersion()};
        Promise(install_config::WriteInstallIni(values));
        break;
      }
      case ItemKind::MoveFile:
        MoveItemFile(item.param);
        break;
      case ItemKind::DeleteTempFile:
        DeleteItemFile(item.param);
        break;
      case ItemKind::DesktopTip:
        g_Log.Log("Start desktoptip Begin.");
        if (Silent && !Update && run.Oem.launchLumen != L"1") {
          g_Log.Log("Start desktoptip End.");
          runAs(item.param);
        } else {
          g_Log.Log("Not Start desktoptip.");
        }
        break;
      case ItemKind::StartLumen:
      case ItemKind::StartCirrus: {
        const bool lumen = kind == ItemKind::StartLumen;
        g_Log.Log(lumen ? "Start Lumen Begin." : "Start cirrus Begin.");
        bool& flag = lumen ? run.StartLumen : run.StartCirrus;
        if (LaunchRefused(lumen ? run.Oem.launchLumen : run.Oem.launchCenter, Silent != 0, Update != 0)) {
          g_Log.Log(lumen ? "Not Start Lumen." : "Not Start cirrus.");
          flag = false;
          break;
        }
        flag = true;
        if (run.RecommendStarted) break;  // the recommendation tool starts it
        {
          const DWORD start = GetTickCount();
          g_Log.Log("Run App:%ws, params=%ws", item.path.c_str(), item.param.c_str());
          User().RunAsDesktopUser(InstallFolder + item.path, item.param, item.wait, item.show);
          g_Log.Log("run %ws %ws need %ld", item.path.c_str(), item.param.c_str(),
                    static_cast<long>(GetTickCount() - start));
        }
        g_Log.Log(lumen ? "Start Lumen End." : "Start cirrus End.");
        break;
      }
      case ItemKind::DownloadRecommend:
        g_Log.Log("Download deeprecommend by downloadtool Begin.");
        if (Silent) break;
        if (DeepRecommendCount > 0 && !DeepRecommendChosen.empty() && DeepRecommendChosen[0] != 0)
          DownloadDeepRecommend(item.wait, item.show);
        else
          g_Log.Log("Not Download deeprecommend by downloadtool .");
        break;
      case ItemKind::RecommendFirst:
        StartRecommendFirst(run, item);
        break;
      case ItemKind::RecommendSecond:
        StartRecommendSecond(run, item);
        break;
      case ItemKind::RegisterFonts:
        RunHere(item, false);
        break;
      case ItemKind::SetLanguage:
        RunHere(item, true);
        break;
      case ItemKind::MoveRecommendFiles:
        MoveRecommendFiles();
        break;
      case ItemKind::ShowCenter:
        if (!ShowCenter(run, item)) failed(L"showui");
        break;
      case ItemKind::CirrusSetup:
        if (!RunCirrusSetup(run, item)) failed(item.param);
        break;
      case ItemKind::Run:
        runAs(item.param);
        break;
    }
  }
  Registers = run.Registers;
  return failures == 0;
}

std::wstring ZInsall::LowerVersion() const {
  // The version an interactive update replaces, for the next update to remove. Reinstalling the
  // same version replaces nothing: naming it would have the next update delete this one.
  if (!Update || Silent || OldVersion == ProductVersion) return std::wstring();
  return OldVersion;
}

std::wstring ZInsall::StagingFolder(const wchar_t* suffix) const {
  const std::wstring folder = ZFunction::WithoutTrailingSeparators(InstallFolder);
  const size_t cut = folder.find_last_of(L'\\') + 1;
  // Not a version name: the update's clean-up of version folders passes it over.
  return folder.substr(0, cut) + L"~" + folder.substr(cut) + suffix + L"\\";
}

bool ZInsall::PutStagedInPlace(const std::wstring& staging) {
  const std::wstring incomplete = install_check::FirstMissingFile(staging, ProductItems);
  if (!incomplete.empty()) {
    g_Run.Failed("the new files are incomplete, the installed ones stay: %ws", incomplete.c_str());
    return false;
  }
  const DWORD start = GetTickCount();
  int files = 0;
  for (const ArchiveItem& item : ProductItems) {
    const std::wstring live = InstallFolder + item.Name;
    if (item.IsFolder) {
      ZFunction::CreateFolderTree(live);
      continue;
    }
    ZFunction::CreateFolderTree(live.substr(0, live.find_last_of(L'\\')));
    if (!PutInPlace(staging + item.Name, live)) {
      g_Run.Failed("the new file could not be put in place of the installed one: %ws", live.c_str());
      return false;
    }
    ++files;
  }
  ZFunction::DeleteFolder(staging);
  g_Log.Log("put %d new files in place in %ws, %lu ms", files, InstallFolder.c_str(), GetTickCount() - start);
  return true;
}

void ZInsall::ProductFileMoved(const std::wstring& from, const std::wstring& to) {
  for (auto it = ProductItems.begin(); it != ProductItems.end(); ++it) {
    if (it->IsFolder || _wcsicmp(it->Name.c_str(), from.c_str()) != 0) continue;
    if (to.empty()) ProductItems.erase(it);
    else it->Name = to;
    return;
  }
}

void ZInsall::Promise(const std::vector<install_config::ProfileValue>& values) {
  for (const install_config::ProfileValue& value : values) {
    auto same = [&value](const install_config::ProfileValue& v) { return _wcsicmp(v.File.c_str(), value.File.c_str()) == 0; };
    Promised.erase(std::remove_if(Promised.begin(), Promised.end(), same), Promised.end());
    Promised.push_back(value);
  }
}

std::vector<std::wstring> ZInsall::RegisteredRoots() const {
  const ZFunction::ShellUserProfile desktopUser;
  const HKEY user = desktopUser.UserRoot() ? desktopUser.UserRoot() : HKEY_CURRENT_USER;
  return {ZFunction::ReadRegString(user, suite::kUninstallKey, L"LocationRoot", MAX_PATH),
          ZFunction::ReadRegString(HKEY_LOCAL_MACHINE, suite::kUninstallKey, L"LocationRoot", MAX_PATH)};
}

bool ZInsall::CheckInstallation() {
  // A step the run owed that failed has failed the run already, with its cause.
  if (g_Run.AnyFailure()) {
    g_Log.Log("the installation check: a step failed (%s)", g_Run.FirstCause().c_str());
    return false;
  }
  const DWORD start = GetTickCount();
  ZFunction::EnableWow64Redirection(false);
  std::wstring problem = install_check::FirstMissingFile(InstallFolder, ProductItems);
  ZFunction::EnableWow64Redirection(true);
  if (problem.empty()) problem = install_check::FirstUnwrittenValue(Promised);
  if (problem.empty() && Registers) problem = install_check::RegistrationMismatch(InstallFolder, RegisteredRoots());
  if (!problem.empty()) {
    g_Run.Failed("the installation check failed: %ws", problem.c_str());
    return false;
  }
  if (!Registers) g_Log.Log("the install list has no registration step: the registration is not checked");
  g_Log.Log("the installation check passed: %d product items, %d configuration values%s, %lu ms",
            static_cast<int>(ProductItems.size()), static_cast<int>(Promised.size()),
            Registers ? ", the registration" : "", GetTickCount() - start);
  return true;
}
