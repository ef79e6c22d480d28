#include "suite/install_config.h"

#include <shlobj.h>
#include <stdio.h>

#include "log/setup_log.h"
#include "sys/file_utils.h"

namespace install_config {
namespace {

// Where the installed suite looks for updates and notices. Hosts are the release's own.
const wchar_t kUpdateMirror[] = L"http://mirror.lumen-office.cn/lumenupdate";
const wchar_t kUpdateMirrorName[] = L"Tallis软件Lumen Office 2005自动更新服务器(1)";
const wchar_t kUpdateServer[] = L"http://update.lumen-office.cn/updateserver/update";
const wchar_t kNotifyServer[] = L"http://notify.lumen-office.cn/notifyserver/notify";
const wchar_t kSpecialPatchServer[] = L"http://patch.lumen-office.cn/newupdate/specialpatch";
const wchar_t kCloudDocuments[] = L"https://docs.lumen-office.cn/";

void WriteVersionSections(const std::wstring& file, const std::wstring& version) {
  int numbers[4];
  ParseVersion(version, numbers);
  const wchar_t* keys[] = {L"MajorVersion", L"FirstVersion", L"SecondVersion", L"Version"};
  for (int i = 0; i < 4; ++i) WriteProfileString(file, L"version", keys[i], std::to_wstring(numbers[i]));
  const wchar_t* plugin[] = {L"1", L"0", L"1", L"0"};
  for (int i = 0; i < 4; ++i) WriteProfileString(file, L"PlgpfVersion", keys[i], plugin[i]);
}

}  // namespace

std::wstring SourceFolder() {
  wchar_t folder[MAX_PATH + 1] = {};
  GetCurrentDirectoryW(MAX_PATH, folder);
  return ZFunction::WithSlash(folder);
}

OemSettings ReadOemSettings(const std::wstring& folder, const std::wstring& productVersion) {
  const std::wstring file = ZFunction::WithSlash(folder) + L"oem.ini";
  OemSettings oem;
  oem.exists = ZFunction::PathExists(file);
  auto text = [&file](const wchar_t* key, const wchar_t* fallback) {
    return ReadProfileString(file, L"setup", key, fallback, kTextChars);
  };
  oem.pipeNumber = text(L"PipeNumber", L"000");
  oem.versionNumber = text(L"VersionNumber", productVersion.c_str());
  oem.launchLumen = ReadProfileString(file, L"setup", L"LaunchLumen", L"2", kFlagChars);
  oem.launchCenter = ReadProfileString(file, L"setup", L"LaunchCenter", L"2", kFlagChars);
  oem.startMenuDir = text(L"StartMenuDir", L"");
  oem.downloadServer = text(L"DownloadServer", L"");
  oem.infoCollectServer = text(L"InfoCollectServer", L"");
  oem.infoCollectDm = text(L"InfoCollectDM", L"");
  return oem;
}

const wchar_t* OptionText(int option) { return option == 0 ? L"0" : L"1"; }

void ParseVersion(const std::wstring& version, int numbers[4]) {
  numbers[0] = numbers[1] = numbers[2] = numbers[3] = 0;
  ZFunction::ScanVersion(version, numbers);
}

std::wstring ReadOldVersion(const std::wstring& root) {
  if (root.empty()) return std::wstring();
  const std::wstring file = ZFunction::WithSlash(root) + L"office6\\cfgs\\setup.cfg";
  if (!ZFunction::PathExists(file)) return std::wstring();
  UINT numbers[4];
  const wchar_t* keys[] = {L"MajorVersion", L"FirstVersion", L"SecondVersion", L"Version"};
  for (int i = 0; i < 4; ++i) numbers[i] = GetPrivateProfileIntW(L"Version", keys[i], 0, file.c_str());
  wchar_t text[64] = {};
  _snwprintf(text, 63, L"%u.%u.%u.%u", numbers[0], numbers[1], numbers[2], numbers[3]);
  g_Log.Log("old product version: %ws", text);
  return text;
}

std::vector<ProfileValue> WriteSuiteConfig(const std::wstring& startMenu, const std::wstring& saveToMso, const std::wstring& assoWord,
                      const std::wstring& assoPowerpoint, const std::wstring& assoExcel,
                      const std::wstring& desktopShortcut, const std::wstring& version,
                      const std::wstring& installFolder) {
  g_Log.Log(
      "startmenu = %ws, savetomso = %ws, assoword = %ws, assoPowerpoing = %ws,\t\t assoExcel = %ws, strDesktop = %ws, "
      "strVersion = %ws, strInstallPath = %ws",
      startMenu.c_str(), saveToMso.c_str(), assoWord.c_str(), assoPowerpoint.c_str(), assoExcel.c_str(),
      desktopShortcut.c_str(), version.c_str(), installFolder.c_str());
  const std::wstring root = ZFunction::WithSlash(installFolder);
  for (const wchar_t* folder : {L"utility", L"office6\\cfgs", L"office6\\2052"})
    ZFunction::CreateFolderTree(root + folder);

  const std::wstring ini = root + L"utility\\install.ini";
  for (const wchar_t* key : {L"common", L"lumen", L"deck", L"grid", L"template"})
    WriteProfileString(ini, L"installinfo", key, L"1");
  WriteProfileString(ini, L"installinfo", L"assoword", assoWord);
  WriteProfileString(ini, L"installinfo", L"assoexcel", assoExcel);
  WriteProfileString(ini, L"installinfo", L"assopowerpnt", assoPowerpoint);
  WriteProfileString(ini, L"installinfo", L"savetomso", saveToMso);
  WriteProfileString(ini, L"installinfo", L"desktopshortcuts", desktopShortcut);
  WriteProfileString(ini, L"installinfo", L"startmenudir", startMenu);
  WriteProfileString(ini, L"installinfo", L"theme", L"0");
  WriteProfileString(ini, L"installinfo", L"newinstall", L"true");
  WriteProfileString(ini, L"version", L"display", L"PersonalDownload");
  for (const wchar_t* key : {L"lumen", L"deck", L"grid"}) WriteProfileString(ini, L"modulestate", key, L"1");
  WriteProfileString(ini, L"languagePack", L"LanguageID", L"2052");
  WriteProfileString(ini, L"localInfo", L"instlanguage", L"2052");
  WriteProfileString(ini, L"localInfo", L"uselocal", L"156");
  WriteProfileString(ini, L"diffPatch", L"down", L"1");
  WriteProfileString(ini, L"setupexepath", L"pathname", L"");
  WriteProfileString(ini, L"update", L"redirect", L"1");
  WriteProfileString(ini, L"update", L"URLSelectType", L"7");
  WriteProfileString(ini, L"update", L"InstallPerUser", L"true");
  WriteProfileString(ini, L"update", L"needAdmin", L"false");

  const std::wstring cfg = root + L"office6\\cfgs\\setup.cfg";
  WriteVersionSections(cfg, version);
  WriteProfileString(cfg, L"Local", L"UILanguage", L"2052");
  WriteProfileString(cfg, L"Local", L"ContentEnabledLangs", L"1");
  WriteProfileString(cfg, L"DownloadAddress", L"Address0", kUpdateMirror);
  WriteProfileString(cfg, L"DownloadAddressDispalyName", L"Address0", kUpdateMirrorName);
  WriteProfileString(cfg, L"UpdateSvr", L"DefaultAddress", kUpdateServer);
  WriteProfileString(cfg, L"NotifySvr", L"DefaultAddress", kNotifyServer);
  WriteProfileString(cfg, L"SupportSvr", L"Address", kSpecialPatchServer);
  WriteProfileString(cfg, L"update", L"loglevel", L"10");
  WriteProfileString(cfg, L"cirrus", L"webofficeurl", kCloudDocuments);

  const std::wstring language = root + L"office6\\2052\\setup.cfg";
  WriteVersionSections(language, version);
  WriteProfileString(language, L"Local", L"UILanguage", L"2052");
  return {{ini, L"update", L"needAdmin", L"false"},
          {cfg, L"cirrus", L"webofficeurl", kCloudDocuments},
          {language, L"Local", L"UILanguage", L"2052"}};
}

std::vector<ProfileValue> WriteInstallIni(const InstallIniValues& v) {
  g_Log.Log("Write \"install.ini\" File Begin.");
  const std::wstring folder = ZFunction::WithSlash(v.installFolder) + L"utility";
  ZFunction::CreateFolderTree(folder);
  const std::wstring ini = folder + L"\\install.ini";
  WriteProfileString(ini, L"installinfo", L"assoword", OptionText(v.assoWord));
  WriteProfileString(ini, L"installinfo", L"assoexcel", OptionText(v.assoExcel));
  WriteProfileString(ini, L"installinfo", L"assopowerpnt", OptionText(v.assoPowerpoint));
  WriteProfileString(ini, L"installinfo", L"savetomso", OptionText(v.saveToMso));
  WriteProfileString(ini, L"installinfo", L"desktopshortcuts", OptionText(v.desktopShortcut));
  const bool perUser = !v.localAppData.empty() && ZFunction::ContainsNoCase(v.installFolder, v.localAppData) >= 0;
  WriteProfileString(ini, L"update", L"needAdmin", perUser ? L"false" : L"true");
  WriteProfileString(ini, L"setupexepath", L"pathname", v.setupPath);
  if (!v.lowerVersion.empty()) WriteProfileString(ini, L"update", L"lowerversion", v.lowerVersion);
  g_Log.Log("Write \"install.ini\" File End.");
  if (!v.lowerVersion.empty()) return {{ini, L"update", L"lowerversion", v.lowerVersion}};
  return {{ini, L"setupexepath", L"pathname", v.setupPath}};
}

std::vector<ProfileValue> WriteReportInfo(const std::wstring& installFolder, const ReportInfo& info) {
  const std::wstring ini = installFolder + L"utility\\install.ini";
  ZFunction::CreateFolderTree(installFolder + L"utility");
  const std::pair<const wchar_t*, const std::wstring*> values[] = {
      {L"iid", &info.iid},   {L"tid1", &info.tid1},           {L"tid2", &info.tid2},
      {L"tod1", &info.tod1}, {L"tod2", &info.tod2},           {L"productid", &info.productId},
      {L"versiontypes", &info.versionTypes},
  };
  for (const auto& [key, value] : values) WriteProfileString(ini, L"reportinfo", key, *value);
  return {{ini, L"reportinfo", values[6].first, *values[6].second}};
}

std::wstring TakeVersionLists(const std::wstring& root) {
  const std::wstring ini = ZFunction::WithSlash(root) + L"utility\\install.ini";
  std::wstring list;
  for (const wchar_t* key : {L"lowerversion", L"higherversion"}) {
    const std::wstring versions = ReadProfileString(ini, L"update", key, L"", kTextChars);
    if (!versions.empty()) list += versions + L";";
  }
  if (ZFunction::PathExists(ini))
    for (const wchar_t* key : {L"lowerversion", L"higherversion"}) WriteProfileString(ini, L"update", key, L"");
  return list;
}

std::wstring TakeHandOverValue(const std::wstring& file, const wchar_t* key, const wchar_t* fallback, DWORD chars) {
  const std::wstring value = ReadProfileString(file, L"installinfo", key, fallback, chars);
  DeleteFileW(file.c_str());
  return value;
}

}  // namespace install_config
