// The install list's built-in steps: file moves inside the new installation, the OEM file,
// the new-document templates, the live-update sibling's start menu, the cloud-document client.
#include <shlobj.h>

#include "log/setup_log.h"
#include "report/deep_recommend.h"
#include "report/install_report.h"
#include "install/zinstall.h"

#include "suite/temp_folders.h"

#include "base/handles.h"
#include "sys/file_utils.h"
#include "sys/process_start.h"
#include "sys/system_info.h"
#include "sys/registry.h"
#include "suite/suite_programs.h"

namespace {

// The recommendation tool and what it needs beside it, copied in this order.
const wchar_t kRecommendTool[] = L"office6\\lumenrecommended.exe";
const wchar_t* const kRecommendCompanions[] = {
    L"QtCore4.dll",      L"QtGui4.dll", L"QtNetwork4.dll", L"QtXml4.dll",   L"phonon4.dll",
    L"downloadtool.exe", L"qt.conf",    L"msvcp100.dll",   L"msvcr100.dll",
};
const wchar_t kTidalUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\tidal";

}  // namespace

void ZInsall::CopyOemFile() {
  const std::wstring cfgs = InstallFolder + L"office6\\cfgs\\";
  ZFunction::CreateFolderTree(cfgs);
  const std::wstring copy = cfgs + L"oem.ini";
  if (!CopyFileW((install_config::SourceFolder() + L"oem.ini").c_str(), copy.c_str(), FALSE)) return;
  const std::wstring sourceDir =
      install_config::ReadProfileString(copy, L"setup", L"SourceDir", L"", install_config::kTextChars);
  if (sourceDir.empty()) install_config::WriteProfileString(copy, L"setup", L"SourceDir", L"oeminfo");
  ZFunction::CreateFolderTree(cfgs + L"oeminfo");
}

void ZInsall::CopyNewFiles() {
  g_Log.Log("Copy newfile Files Begin.");
  const std::wstring source = InstallFolder + L"office6\\2052\\";
  const std::wstring roaming = UserAppData();
  const std::wstring target = ZFunction::WithSlash(roaming) + L"Tallis\\Office6\\templates\\2052\\";
  // The suite makes the folder (without it nothing is copied); the user's folder, written with
  // this program's rights, is never reached through a link.
  if (ZFunction::IsFolderWithoutLinks(target))
    for (const wchar_t* name : {L"newfile.lumen", L"newfile.grid", L"newfile.dps"})
      CopyFileW((source + name).c_str(), (target + name).c_str(), FALSE);
  g_Log.Log("Copy newfile Files End.");
}

void ZInsall::MoveItemFile(const std::wstring& name) {
  g_Log.Log("Move File Begin.");
  const std::wstring source = InstallFolder + L"utility\\" + name;
  const std::wstring folder = InstallFolder + L"office6\\data";
  const std::wstring target = folder + L"\\" + name;
  ZFunction::CreateFolderTree(folder);
  if (CopyFileW(source.c_str(), target.c_str(), FALSE)) {
    DeleteFileW(source.c_str());
    ProductFileMoved(L"utility\\" + name, L"office6\\data\\" + name);
  }
  g_Log.Log("Moved File %ws to %ws", source.c_str(), target.c_str());
}

void ZInsall::DeleteItemFile(const std::wstring& name) {
  g_Log.Log("Delete Temp File Begin.");
  const std::wstring path = InstallFolder + name;
  DeleteFileW(path.c_str());
  ProductFileMoved(name, L"");
  g_Log.Log("Deleted File: %ws", path.c_str());
}

void ZInsall::MoveTidalStartMenu(const PostInstallRun& run, const std::wstring& param) {
  const std::wstring name = run.Oem.startMenuDir.empty() ? param : run.Oem.startMenuDir;
  if (OldStartMenuDir.empty()) return;
  const std::wstring programs = ZFunction::WithSlash(ZFunction::GetSpecialFolder(CSIDL_PROGRAMS));
  MoveFileW((programs + OldStartMenuDir).c_str(), (programs + name).c_str());
  MoveFileW((programs + L"Lumen Office 个人版 抢鲜版").c_str(), (programs + name).c_str());
  sys::UniqueRegKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTidalUninstallKey, 0, KEY_READ | KEY_WRITE, key.Put()) == ERROR_SUCCESS)
    RegSetValueExW(key.Get(), L"StartMenuDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                   static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
}

void ZInsall::MoveRecommendFiles() {
  const std::wstring office = InstallFolder + L"office6\\";
  const std::wstring target = InstallFolder + L"wtoolex\\";
  if (CopyFileW((InstallFolder + kRecommendTool).c_str(), (target + L"lumenrecommended.exe").c_str(), FALSE))
    for (const wchar_t* name : kRecommendCompanions)
      if (!CopyFileW((office + name).c_str(), (target + name).c_str(), FALSE)) break;
  g_Log.Log("move recommend files to wtoolex folder");
  DeleteFileW((InstallFolder + kRecommendTool).c_str());
  DeleteFileW((office + L"downloadtool.exe").c_str());
  ProductFileMoved(kRecommendTool, L"");
  ProductFileMoved(L"office6\\downloadtool.exe", L"");
}

bool ZInsall::ShowCenter(PostInstallRun& run, const InstallItem& item) {
  g_Log.Log("Start cirrus Begin.");
  if (LaunchRefused(run.Oem.launchCenter, Silent != 0, Update != 0)) {
    g_Log.Log("Not Start cirrus.");
    run.StartCirrus = false;
    return true;
  }
  run.StartCirrus = true;
  if (run.RecommendStarted) return true;  // the recommendation tool shows it
  const DWORD start = GetTickCount();
  g_Log.Log("Run App:%ws, params=showui", item.path.c_str());
  const bool ok = User().ShowCirrus(L"showui", item.wait, item.show);
  g_Log.Log("run Cirrus %ws need %ld", L"showui", static_cast<long>(GetTickCount() - start));
  return ok;
}

bool ZInsall::RunCirrusSetup(const PostInstallRun& run, const InstallItem& item) {
  const DWORD start = GetTickCount();
  g_Log.Log("Run App:%ws, params=%ws", item.path.c_str(), item.param.c_str());
  const bool update = Update != 0;
  const std::wstring param =
      ApplyOemStartMenu(item.param, run.Oem.startMenuDir) + (update ? L" /InstallType=update" : L" /InstallType=setup");
  const std::wstring program = InstallFolder + item.path;
  const bool ok = User().Run(program, param, item.wait, item.show);
  DeleteFileW(program.c_str());
  ProductFileMoved(item.path, L"");
  g_Log.Log("run %ws %ws need %ld", item.path.c_str(), param.c_str(), static_cast<long>(GetTickCount() - start));
  return ok;
}

// --- the recommendation tool, the report and the partner download ---

namespace {

// The recommendation tool's copy in its temporary folder.
const wchar_t kRecommendCopy[] = L"lumenrcmmndd.exe";

// The OEM part of the recommendation tool's parameters that both starts share.
std::wstring RecommendSource(const OemSettings& oem) {
  return L";distsrc:=" + oem.pipeNumber + L";version:=" + oem.versionNumber;
}

}  // namespace

bool ZInsall::RecommendAllowed() const { return !(Silent && !Update) && RecommendEnabled != 0; }

std::wstring ZInsall::UserReportId() {
  const std::wstring id = User().ReportId();
  g_Log.Log("user guid is %ws", id.c_str());
  return id;
}

std::wstring ZInsall::CirrusPath() {
  const std::wstring path = User().CirrusPath();
  g_Log.Log("Cirrus Install Path is %ws", path.c_str());
  return path;
}

void ZInsall::StartRecommendFirst(PostInstallRun& run, const InstallItem& item) {
  g_Log.Log("Start LumenRecommended.exe First Begin.");
  if (!RecommendAllowed()) return;
  run.RecommendStarted = true;
  std::wstring params = L"show:=0" + RecommendSource(run.Oem) + L";downloadserver:=" + run.Oem.downloadServer +
                        L";infocollectserver:=" + run.Oem.infoCollectServer + L";infocollectdm:=" +
                        run.Oem.infoCollectDm;
  if (Update) params += L";runfrom:=lumenupdate";

  const std::wstring folder = install_config::NewToolFolder();
  if (folder.empty()) return;
  run.RecommendFolder = folder;
  const std::wstring office = InstallFolder + L"office6\\";
  if (!CopyFileW((InstallFolder + kRecommendTool).c_str(), (folder + kRecommendCopy).c_str(), FALSE)) return;
  for (const wchar_t* name : kRecommendCompanions)
    if (!CopyFileW((office + name).c_str(), (folder + name).c_str(), FALSE)) return;
  DeleteFileW((InstallFolder + kRecommendTool).c_str());
  DeleteFileW((office + L"downloadtool.exe").c_str());
  ProductFileMoved(kRecommendTool, L"");
  ProductFileMoved(L"office6\\downloadtool.exe", L"");
  if (!ZFunction::RunApp(folder + kRecommendCopy, params, static_cast<DWORD>(item.wait), item.show))
    g_Log.Log("the recommendation tool could not be started (not counted: the installation does not depend on it)");
  g_Log.Log("Start LumenRecommended.exe First End.");
  g_Log.Log("First params=%ws", params.c_str());
}

void ZInsall::StartRecommendSecond(PostInstallRun& run, const InstallItem& item) {
  g_Log.Log("Start LumenRecommended.exe Second Begin.");
  if (!RecommendAllowed()) return;
  std::wstring params = L"show:=1" + RecommendSource(run.Oem) + L";infoguid:=" + UserReportId();
  if (Update)
    params += L";runfrom:=lumenupdate";
  else
    params += L";" + report::BuildDeepRecommendParams(MainWindow, DeepRecommendCount, DeepRecommendChosen,
                                                      DeepRecommendItems);
  std::wstring programs;
  if (run.StartLumen) programs = L"\"" + InstallFolder + L"office6\\lumen.exe\"";
  if (run.StartCirrus) {
    if (!programs.empty()) programs += L",";
    programs += L"\"" + CirrusPath() + L"\"#|#showui";
  }
  params += L";startprograms:=" + programs;

  const std::wstring tool = run.RecommendFolder + kRecommendCopy;
  if (run.RecommendFolder.empty() || !ZFunction::PathExists(tool)) {
    g_Log.Log("Start LumenRecommended.exe Second Failed.");
    return;
  }
  g_Log.Log("End = %ws", params.c_str());
  if (!ZFunction::RunApp(tool, params, static_cast<DWORD>(item.wait), item.show))
    g_Log.Log("the recommendation tool could not be started (not counted: the installation does not depend on it)");
  g_Log.Log("Start LumenRecommended.exe Second End.");
}

void ZInsall::DownloadDeepRecommend(int wait, int show) {
  if (DeepRecommendItems.empty()) return;
  if (!report::DownloadDeepRecommend(InstallFolder, DeepRecommendItems[0], wait, show))
    g_Log.Log("the download tool did not start (not counted: the installation does not depend on it)");
  // The tool is moved out of the installation to run.
  if (!ZFunction::PathExists(InstallFolder + L"office6\\downloadtool.exe")) ProductFileMoved(L"office6\\downloadtool.exe", L"");
}
