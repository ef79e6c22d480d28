#include "suite/install_config.h"

#include <shlobj.h>
#include <stdio.h>

#include "log/setup_log.h"
#include "sys/file_utils.h"
#include "sys/process_utils.h"
#include "tinyxml2.h"

namespace install_config {
namespace {

// Where the installed suite looks for updates and notices. Hosts are the release's own.
const wchar_t kUpdateMirror[] = L"http://mirror.lumen-office.cn/lumenupdate";
const wchar_t kUpdateMirrorName[] = L"Tallis软件Lumen Office 2005自动更新服务器(1)";
const wchar_t kUpdateServer[] = L"http://update.lumen-office.cn/updateserver/update";
const wchar_t kNotifyServer[] = L"http://notify.lumen-office.cn/notifyserver/notify";
const wchar_t kSpecialPatchServer[] = L"http://patch.lumen-office.cn/newupdate/specialpatch";
const wchar_t kCloudDocuments[] = L"https://docs.lumen-office.cn/";

std::wstring FromUtf8(const char* text) {
  if (!text || !*text) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  if (n <= 1) return std::wstring();
  std::wstring wide(n - 1, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, &wide[0], n);
  return wide;
}

std::wstring TextAttribute(const tinyxml2::XMLElement* e, const char* name) { return FromUtf8(e->Attribute(name)); }

int IntAttribute(const tinyxml2::XMLElement* e, const char* name) {
  int value = 0;
  return e->QueryIntAttribute(name, &value) == tinyxml2::XML_SUCCESS ? value : 0;
}

// Loads an XML file through a wide path. False when it cannot be read or parsed.
bool LoadXml(const std::wstring& file, tinyxml2::XMLDocument& doc) {
  FILE* f = _wfopen(file.c_str(), L"rb");
  if (!f) return false;
  const tinyxml2::XMLError error = doc.LoadFile(f);
  fclose(f);
  return error == tinyxml2::XML_SUCCESS;
}

// The first element along a backslash path from the document root ("config\office\info").
const tinyxml2::XMLElement* FindPath(const tinyxml2::XMLDocument& doc, const char* path) {
  const tinyxml2::XMLNode* node = &doc;
  std::string rest = path;
  while (node && !rest.empty()) {
    const size_t cut = rest.find('\\');
    const std::string name = rest.substr(0, cut);
    rest = cut == std::string::npos ? std::string() : rest.substr(cut + 1);
    node = node->FirstChildElement(name.c_str());
  }
  return node ? node->ToElement() : nullptr;
}

void WriteVersionSections(const std::wstring& file, const std::wstring& version) {
  int numbers[4];
  ParseVersion(version, numbers);
  const wchar_t* keys[] = {L"MajorVersion", L"FirstVersion", L"SecondVersion", L"Version"};
  for (int i = 0; i < 4; ++i) WriteProfileString(file, L"version", keys[i], std::to_wstring(numbers[i]));
  const wchar_t* plugin[] = {L"1", L"0", L"1", L"0"};
  for (int i = 0; i < 4; ++i) WriteProfileString(file, L"PlgpfVersion", keys[i], plugin[i]);
}

}  // namespace

bool ParseSetupXml(const std::wstring& file, SetupConfig& config) {
  tinyxml2::XMLDocument doc;
  if (!LoadXml(file, doc)) {
    g_Log.Log("ZInsall::ParseConfig cannot read %ws", file.c_str());
    return false;
  }
  config.items.clear();
  for (const tinyxml2::XMLElement* e = FindPath(doc, "config\\office\\install\\item"); e;
       e = e->NextSiblingElement("item")) {
    InstallItem item;
    item.path = TextAttribute(e, "path");
    item.param = TextAttribute(e, "param");
    item.wait = IntAttribute(e, "wait");
    item.show = IntAttribute(e, "show");
    item.type = TextAttribute(e, "type");
    g_Log.Log("ZInsall::ParseInstall path:%ws, cmd:%ws, wait:%d, show:%d, type:%ws", item.path.c_str(),
              item.param.c_str(), item.wait, item.show, item.type.c_str());
    config.items.push_back(std::move(item));
  }
  if (config.items.empty()) {
    g_Log.Log("ZInsall::ParseConfig the install list is empty");
    return false;
  }
  const tinyxml2::XMLElement* info = FindPath(doc, "config\\office\\info");
  if (!info) {
    g_Log.Log("ZInsall::ParseConfig no info element");
    return false;
  }
  config.iid = TextAttribute(info, "iid");
  config.tid1 = TextAttribute(info, "tid1");
  config.tid2 = TextAttribute(info, "tid2");
  config.productId = TextAttribute(info, "productid");
  config.versionTypes = TextAttribute(info, "versiontypes");
  config.silent = IntAttribute(info, "silent");
  g_Log.Log("iid:%ws tid1:%ws tid2:%ws productid:%ws versiontypes:%ws", config.iid.c_str(), config.tid1.c_str(),
            config.tid2.c_str(), config.productId.c_str(), config.versionTypes.c_str());
  return true;
}

bool ParseDeepRecommendXml(const std::wstring& file, DeepRecommendConfig& config) {
  config = DeepRecommendConfig();
  tinyxml2::XMLDocument doc;
  if (!LoadXml(file, doc)) {
    g_Log.Log("ZInsall::ParseDeepRecommend cannot read %ws", file.c_str());
    return false;
  }
  const tinyxml2::XMLElement* offers = FindPath(doc, "Config\\DeepRecommend");
  if (!offers) return false;
  config.number = IntAttribute(offers, "number");
  if (config.number > 1) config.number = 1;
  g_Log.Log("m_DeeprecommendNumber:%d", config.number);
  if (config.number >= 1) {
    for (const tinyxml2::XMLElement* e = offers->FirstChildElement("item"); e; e = e->NextSiblingElement("item")) {
      DeepRecommendItem item{TextAttribute(e, "deeprecommenddis"), TextAttribute(e, "deeprecommendname"),
                             TextAttribute(e, "deeprecommendurl"), TextAttribute(e, "deeprecommendparam"),
                             TextAttribute(e, "deeprecommendreg")};
      g_Log.Log("ZInsall::ParseDeepRecommend show:%ws name:%ws, url:%ws, cmd:%ws, reg:%ws", item.dis.c_str(),
                item.name.c_str(), item.url.c_str(), item.param.c_str(), item.reg.c_str());
      config.items.push_back(std::move(item));
    }
    if (config.number > static_cast<int>(config.items.size())) config.number = static_cast<int>(config.items.size());
  }
  return true;
}

namespace {
const wchar_t kInUseMark[] = L"~inuse";

std::wstring TempLumenFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  if (GetTempPathW(MAX_PATH, temp) == 0) return std::wstring();
  return ZFunction::WithSlash(temp) + L"lumen\\";
}
}  // namespace

std::wstring NewTempFolder() {
  const std::wstring parent = TempLumenFolder();
  if (parent.empty()) return std::wstring();
  // Named by the tick count; a name taken within the same tick moves on to the next number.
  for (unsigned tick = GetTickCount();; ++tick) {
    wchar_t name[32];
    swprintf(name, 32, L"~%x\\", tick);
    const std::wstring folder = parent + name;
    if (!ZFunction::FolderExists(folder)) return folder;
  }
}

std::wstring NewPayloadFolder(sys::UniqueFile& mark) {
  const std::wstring folder = NewTempFolder();
  if (folder.empty() || !ZFunction::CreateFolderTree(folder)) return std::wstring();
  // Nobody may delete the mark while it is open: a later run that can delete it knows the run
  // that made the folder has ended.
  mark.Reset(CreateFileW((folder + kInUseMark).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_HIDDEN, nullptr));
  return folder;
}

void RemoveStalePayloadFolders() {
  const std::wstring parent = TempLumenFolder();
  if (parent.empty()) return;
  WIN32_FIND_DATAW found;
  sys::UniqueFind find(FindFirstFileW((parent + L"~*").c_str(), &found));
  if (!find) return;
  do {
    const bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                        !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    if (!folder) continue;
    const std::wstring path = parent + found.cFileName + L"\\";
    if (!DeleteFileW((path + kInUseMark).c_str())) continue;  // still in use, or not a payload folder
    g_Log.Log("remove the payload folder of a run that ended early: %ws", path.c_str());
    ZFunction::DeleteFolder(path);
  } while (FindNextFileW(find.Get(), &found));
}

namespace {

// One spelling per folder, for comparisons: C:\A\b, c:/a/B and C:\a\b\\ all give "c:\a\b\".
std::wstring FolderKey(std::wstring folder) {
  while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  for (wchar_t& c : folder) c = c == L'/' ? L'\\' : towlower(c);
  return folder + L'\\';
}

bool StartsWith(const std::wstring& s, const std::wstring& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

}  // namespace

bool IsSystemFolder(const std::wstring& folder) {
  const std::wstring key = FolderKey(folder);
  if (key.size() <= 3 || key.find(L':') != 1) return true;  // a drive root, or no drive at all
  wchar_t windows[MAX_PATH + 1] = {};
  const UINT chars = GetWindowsDirectoryW(windows, MAX_PATH);
  if (chars > 0 && chars <= MAX_PATH && StartsWith(key, FolderKey(windows))) return true;
  const std::wstring profile = FolderKey(ZFunction::GetSpecialFolder(CSIDL_PROFILE));  // "c:\users\bob\"
  const std::wstring profiles = profile.substr(0, profile.find_last_of(L'\\', profile.size() - 2) + 1);
  for (const std::wstring& system :
       {ZFunction::GetSpecialFolder(CSIDL_PROGRAM_FILES), ZFunction::GetSpecialFolder(CSIDL_PROGRAM_FILESX86),
        ZFunction::GetSpecialFolder(CSIDL_PROGRAM_FILES_COMMON), profile, profiles,
        ZFunction::GetSpecialFolder(CSIDL_COMMON_APPDATA), ZFunction::GetSpecialFolder(CSIDL_APPDATA),
        ZFunction::GetSpecialFolder(CSIDL_LOCAL_APPDATA), ZFunction::GetSpecialFolder(CSIDL_DESKTOPDIRECTORY),
        ZFunction::GetSpecialFolder(CSIDL_PERSONAL)}) {
    if (!system.empty() && StartsWith(FolderKey(system), key)) return true;  // the folder itself or one above it
  }
  return false;
}

bool IsSuiteInstallation(const std::wstring& root) {
  if (!ZFunction::IsWholeLocalPath(root) || IsSystemFolder(root)) return false;
  const std::wstring key = FolderKey(root);
  if (key.find(L"\\..\\") != std::wstring::npos || key.find(L"\\.\\") != std::wstring::npos) return false;
  const std::wstring folder = ZFunction::WithSlash(root);
  const wchar_t library[] = L"office6\\lmo.dll";
  if (ZFunction::PathExists(folder + library)) return true;
  WIN32_FIND_DATAW found;
  sys::UniqueFind find(FindFirstFileW((folder + L"*").c_str(), &found));
  if (!find) return false;
  do {
    const bool versionFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                               !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && found.cFileName[0] != L'.';
    if (versionFolder && ZFunction::PathExists(folder + found.cFileName + L"\\" + library)) return true;
  } while (FindNextFileW(find.Get(), &found));
  return false;
}

std::wstring VerifiedInstallation(const std::wstring& root, const char* source) {
  if (root.empty() || IsSuiteInstallation(root)) return root;
  g_Log.Log("the %s %ws is no installation of the suite: ignored", source, root.c_str());
  return std::wstring();
}

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

void WriteSuiteConfig(const std::wstring& startMenu, const std::wstring& saveToMso, const std::wstring& assoWord,
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
}

void WriteInstallIni(const InstallIniValues& v) {
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
}

void WriteReportInfo(const std::wstring& installFolder, const ReportInfo& info) {
  const std::wstring ini = installFolder + L"utility\\install.ini";
  ZFunction::CreateFolderTree(installFolder + L"utility");
  const std::pair<const wchar_t*, const std::wstring*> values[] = {
      {L"iid", &info.iid},   {L"tid1", &info.tid1},           {L"tid2", &info.tid2},
      {L"tod1", &info.tod1}, {L"tod2", &info.tod2},           {L"productid", &info.productId},
      {L"versiontypes", &info.versionTypes},
  };
  for (const auto& [key, value] : values) WriteProfileString(ini, L"reportinfo", key, *value);
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
