#include "install/zinstall.h"

#include <shlobj.h>

#include "install/local_user_side.h"
#include "log/run_record.h"
#include "log/setup_log.h"
#include "suite/installation_check.h"
#include "suite/temp_folders.h"
#include "suite/suite_programs.h"
#include "sys/file_utils.h"
#include "sys/system_info.h"
#include "sys/registry.h"

ZInsall g_Install;

namespace {

using install_config::ReadProfileString;

std::wstring OemIniPath() { return install_config::SourceFolder() + L"oem.ini"; }

}  // namespace

void ZInsall::TakeUserFacts() {
  NoReportId = ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kCommonKey, L"infoGUID").empty();
  NoOldProduct = ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kUninstallKey, L"UninstallString").empty() &&
                 ZFunction::ReadRegString(HKEY_LOCAL_MACHINE, suite::kUninstallKey, L"UninstallString").empty();
  SetUserProcessMode(UserProcessMode);  // a local user side reports with these two facts
  OldVersion = install_config::ReadOldVersion(GetOldInstallRoot());
  UserCopy.Window();
  g_Log.Log("ZInsall::Init version:%ws user process mode:%d", ProductVersion.c_str(), UserProcessMode);
}

bool ZInsall::Init() { return UnpackConfiguration(); }

bool ZInsall::UnpackConfiguration() {
  if (!Configuration) Configuration = ReadConfiguration();
  return *Configuration;
}

void ZInsall::StartUnpacking() {
  if (UnpackStarted) return;
  UnpackStarted = true;
  PacketOpened = Packet.OpenPacket();
  if (!PacketOpened) return;  // ReadConfiguration says so
  // The wizard's pictures for the screen at hand: those drawn for other DPIs stay packed.
  const int dpi = ZFunction::ScreenDpi();
  std::vector<std::wstring> otherScreens;
  if (dpi <= 96 || dpi > 150 * 96 / 100) otherScreens.push_back(L"@150.");
  if (dpi <= 150 * 96 / 100) otherScreens.push_back(L"@200.");
  ConfigurationFiles = Packet.Unpack(0, otherScreens);
}

bool ZInsall::MakePayloadFolder() {
  if (!PayloadFolder.empty()) return true;
  PayloadFolder = install_config::NewPayloadFolder(PayloadMark);
  if (PayloadFolder.empty()) return false;
  g_Log.Log("ZInsall::Init payload folder:%ws", PayloadFolder.c_str());
  return true;
}

bool ZInsall::ReadConfiguration() {
  ProductVersion = ZFunction::GetSelfProductVersion();
  if (!MakePayloadFolder()) {
    g_Run.Failed("ZInsall::Init create payload folder failed");
    return false;
  }
  StartUnpacking();
  if (!PacketOpened) {
    g_Run.Failed("ZInsall::Init the program carries no payload packet");
    return false;
  }
  if (!ConfigurationFiles || !ConfigurationFiles->Decoded()) {
    const std::string problem = TakeExtractionProblem();
    g_Run.Failed("ZInsall::Init the installation's configuration could not be unpacked: %s",
                 problem.empty() ? "the entry cannot be read" : problem.c_str());
    return false;
  }
  // The files reach the payload folder on a thread of their own (creating a file is slow under
  // some systems); the install and the folder's removal wait for it.
  ConfigurationFiles->StartWriting(PayloadFolder);
  if (ParseConfig(PayloadFolder + L"setup.xml") && ParseDeepRecommend(PayloadFolder + L"deeprecommend.xml")) return true;
  g_Run.NoteCause("the payload's configuration cannot steer an installation (setup.xml or deeprecommend.xml)");
  return false;
}

bool ZInsall::ReadPayloadFile(const std::wstring& path, std::string* bytes) const {
  const size_t n = PayloadFolder.size();
  return ConfigurationFiles && n > 0 && path.size() > n && _wcsnicmp(path.c_str(), PayloadFolder.c_str(), n) == 0 &&
         ConfigurationFiles->Read(path.substr(n), bytes);
}

bool ZInsall::AwaitPayloadFolder() {
  if (!ConfigurationFiles) return true;
  const bool written = ConfigurationFiles->FinishWriting();
  if (PayloadAwaited.exchange(true)) return written;
  // The folders of runs that ended go now, off the wizard's way to the screen.
  install_config::RemoveStalePayloadFolders();
  if (written) {
    g_Log.Log("the payload folder holds the configuration's %u files", ConfigurationFiles->FilesWritten());
  } else {
    const std::string problem = TakeExtractionProblem();
    g_Run.Failed("the installation's configuration could not be written to the payload folder: %s",
                 problem.empty() ? "a file cannot be written" : problem.c_str());
  }
  return written;
}

bool ZInsall::ParseConfig(const std::wstring& file) {
  SetupConfig config;
  std::string text;
  const bool ok = install_config::ParseSetupXml(file, config, ReadPayloadFile(file, &text) ? &text : nullptr);
  if (ok) {
    InstallItems = std::move(config.items);
    Tid1 = config.tid1;
    Tid2 = config.tid2;
    // Values given on the command line win over the payload's.
    if (Iid.empty()) Iid = config.iid;
    if (ProductId.empty()) ProductId = config.productId;
    if (VersionTypes.empty()) VersionTypes = config.versionTypes;
    PayloadSilent = config.silent != 0;
  }
  g_Log.Log("ZInsall::ParseConfig return:%d", ok);
  return ok;
}

bool ZInsall::ParseDeepRecommend(const std::wstring& file) {
  DeepRecommendConfig config;
  std::string text;
  const bool ok = install_config::ParseDeepRecommendXml(file, config, ReadPayloadFile(file, &text) ? &text : nullptr);
  DeepRecommendCount = config.number;
  DeepRecommendItems = std::move(config.items);
  g_Log.Log("ZInsall::Parse DeepRecommend Config return:%d", ok);
  return ok;
}

void ZInsall::SetReportInfo(const std::wstring& iid, const std::wstring& tod1, const std::wstring& tod2,
                            const std::wstring& productId, const std::wstring& versionTypes) {
  if (!iid.empty()) Iid = iid;
  if (!tod1.empty()) Tod1 = tod1;
  if (!tod2.empty()) Tod2 = tod2;
  if (!productId.empty()) ProductId = productId;
  if (!versionTypes.empty()) VersionTypes = versionTypes;
}

void ZInsall::SetInstallFolderIfEmpty(const std::wstring& folder) {
  if (InstallFolder.empty() && !folder.empty()) InstallFolder = ZFunction::WithSlash(folder);
}

ZInsall::ZInsall() { SetUserProcessMode(0); }

void ZInsall::SetUserProcessMode(int on) {
  UserProcessMode = on;
  auto local = std::make_unique<LocalUserSide>(NoReportId != 0, NoOldProduct != 0, true);
  if (on) UserSteps = std::make_unique<RemoteUserSide>(UserCopy, HandedOver, std::move(local));
  else UserSteps = std::move(local);
}

std::wstring ZInsall::UserLocalAppData() const { return User().LocalAppData(); }
std::wstring ZInsall::UserAppData() const { return User().AppData(); }

std::wstring ZInsall::DefaultInstallFolder() const {
  const std::wstring local = UserLocalAppData();
  return ZFunction::WithSlash(local) + L"Tallis\\Lumen Office\\";
}

std::wstring ZInsall::GetOldInstallRoot() const {
  return install_config::VerifiedInstallation(User().OldInstallationRoot(), "old installation");
}

std::wstring ZInsall::CurrentInstallation() const {
  return install_config::VerifiedInstallation(HandedOver.NewCurInstallPath, "handed-over current installation");
}

std::wstring ZInsall::UpdateInstallFolder() const {
  std::wstring root = GetOldInstallRoot();
  if (root.empty()) return root;
  if (IsNewInstall()) return ZFunction::WithSlash(root);
  ZFunction::TrimVersionFolders(root);
  if (!ZFunction::ReplaceFolderInPath(root, ZFunction::ProgramFilesFolders(), UserLocalAppData())) return root;
  for (const wchar_t* old : {L"\\Lumen Office Professional\\", L"\\Lumen Office Personal\\", L"\\Lumen Office 2007\\",
                             L"\\Lumen Office 2009\\"}) {
    const std::wstring from = old;
    for (size_t p; (p = root.find(from)) != std::wstring::npos;) root.replace(p, from.size(), L"\\Lumen Office\\");
  }
  return root;
}

std::wstring ZInsall::GetLogPath(std::wstring* refused) const {
  // The desktop user's roaming folder comes from the hand-over file, which that user can write:
  // its log folder is made and used only where no level of it is a link. Else this account's
  // own, else the temporary folder's "lumen" folder.
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD tempChars = GetTempPathW(MAX_PATH, temp);
  const std::wstring folders[] = {
      UserAppData().empty() ? std::wstring() : ZFunction::WithSlash(UserAppData()) + L"tallis\\office6\\log\\setup\\",
      ZFunction::WithSlash(ZFunction::GetSpecialFolder(CSIDL_APPDATA)) + L"tallis\\office6\\log\\setup\\",
      tempChars > 0 && tempChars < MAX_PATH ? ZFunction::WithSlash(temp) + L"lumen\\" : std::wstring()};
  for (const std::wstring& folder : folders) {
    if (folder.size() < 4) continue;
    const std::wstring file = folder + L"lumensetup.log";
    if (ZFunction::CreateFolderTreeWithoutLinks(folder) && ZSetupLog::CanAppendTo(file)) return file;
    if (refused && refused->empty()) *refused = folder;
  }
  return std::wstring();
}

int ZInsall::NeedAdmin() {
  if (NeedAdminValue != kOptionUnset) return NeedAdminValue;
  const std::wstring root = GetOldInstallRoot();
  if (root.empty()) return kOptionUnset;
  const std::wstring value =
      ReadProfileString(ZFunction::WithSlash(root) + L"utility\\install.ini", L"update", L"needAdmin", L"", 16);
  if (value == L"true") NeedAdminValue = 1;
  else if (value == L"false") NeedAdminValue = 0;
  return NeedAdminValue;
}

bool ZInsall::IsNewInstall() const {
  const std::wstring root = GetOldInstallRoot();
  return !root.empty() &&
         ReadProfileString(ZFunction::WithSlash(root) + L"utility\\install.ini", L"installinfo", L"newinstall", L"", 16) ==
             L"true";
}

bool ZInsall::IsOemSilent() const { return ReadProfileString(OemIniPath(), L"setup", L"Silent", L"0", 4) == L"1"; }

void ZInsall::ApplyOemDesktopShortcut() {
  const std::wstring value = ReadProfileString(OemIniPath(), L"setup", L"CreateDesktopShortcut", L"", 4);
  if (value == L"1") DesktopShortcut = 1;
  else if (value == L"0") DesktopShortcut = 0;
}

bool ZInsall::StartLoadPacketData() {
  Packet.SetProgressWindow(MainWindow);
  return Packet.LoadProductPacket(1);
}

bool ZInsall::DbgExtraceAllFiles() {
  const std::wstring root = ZFunction::GetModuleFolder() + L"extract\\";
  const std::wstring product = root + L"product", install = root + L"install";
  if (!ZFunction::CreateFolderTree(product) || !ZFunction::CreateFolderTree(install)) return false;
  bool ok = Packet.ExtractPacket(0, install);
  g_Run.AddFilesWritten(Packet.FilesWritten());
  ok = ok && Packet.ExtractPacket(1, product);
  g_Run.AddFilesWritten(Packet.FilesWritten());
  return ok;
}

bool ZInsall::WaitInstall(DWORD milliseconds) {
  if (!Thread) return true;
  if (WaitForSingleObject(Thread.Get(), milliseconds) == WAIT_TIMEOUT) return false;
  Thread.Reset();
  return true;
}

void ZInsall::RemovePayloadFolder() {
  ConfigurationFiles.reset();  // its writing ends first
  if (PayloadFolder.empty()) return;
  PayloadMark.Reset();
  ZFunction::DeleteFolder(PayloadFolder);
  std::wstring parent = PayloadFolder.substr(0, PayloadFolder.size() - 1);
  parent.resize(parent.find_last_of(L'\\') + 1);
  RemoveDirectoryW(parent.c_str());  // only when no other run's folder is in it
  PayloadFolder.clear();
}

void ZInsall::SendExitCode(int exitCode) {
  wchar_t text[20] = {};
  swprintf(text, 20, L"%d", exitCode);
  SendUserRequest(UserCopy.Window(), kRequestExitCode, text, sizeof(text));
}
