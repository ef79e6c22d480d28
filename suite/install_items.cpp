#include "suite/install_items.h"

#include <wchar.h>

namespace {

const wchar_t kConfigTool[] = L"utility\\config.exe";
const wchar_t kMiscTool[] = L"office6\\lmomisc.exe";
const wchar_t kRecommendTool[] = L"office6\\lumenrecommended.exe";
const wchar_t kStartMenuSwitch[] = L"/StartMenuDirectory=";

bool Is(const std::wstring& text, const wchar_t* word) { return _wcsicmp(text.c_str(), word) == 0; }

bool Contains(const std::wstring& text, const wchar_t* part) { return text.find(part) != std::wstring::npos; }

}  // namespace

ItemKind RecogniseItem(const InstallItem& item, const ItemOptions& o) {
  const std::wstring& path = item.path;
  const std::wstring& param = item.param;
  const bool misc = Is(path, kMiscTool);
  if (Contains(param, L"-setup") && Is(path, kConfigTool)) return ItemKind::ConfigSetup;
  if (o.assoWord == 0 && misc && Is(param, L"-assoword")) return ItemKind::SkipAssoWord;
  if (o.assoExcel == 0 && misc && Is(param, L"-assoexcel")) return ItemKind::SkipAssoExcel;
  if (o.assoPowerpoint == 0 && misc && Is(param, L"-assopowerpnt")) return ItemKind::SkipAssoPowerpoint;
  if (o.saveToMso == 0 && misc && Is(param, L"-saveas_mso")) return ItemKind::SaveAsLmo;
  if (misc && param.size() >= 21 && _wcsnicmp(param.c_str(), L"-createlink startmenu", 21) == 0)
    return ItemKind::StartMenuLink;
  if (misc && Is(param, L"-distsrc 000")) return ItemKind::Channel;
  if (Is(path, L"lmo::_lmo_sendinfocellect")) return ItemKind::SendReport;
  if (o.desktopShortcut == 0 && misc && Is(param, L"-createlink desktop 2052")) return ItemKind::SkipDesktopLink;
  if (Is(param, L"-last") && Is(path, kConfigTool)) return ItemKind::ConfigLast;
  if (Is(path, L"movetidalstartmenu")) return ItemKind::MoveTidalStartMenu;
  if (Is(path, L"copynewfile")) return ItemKind::CopyNewFile;
  if (Is(path, L"writeinifile")) return ItemKind::WriteIniFile;
  if (Is(path, L"movefile")) return ItemKind::MoveFile;
  if (Is(path, L"deletetempfile")) return ItemKind::DeleteTempFile;
  if (Is(path, L"wtoolex\\desktoptip.exe")) return ItemKind::DesktopTip;
  if (Is(path, L"office6\\lumen.exe")) return ItemKind::StartLumen;
  if (Is(path, L"office6\\cirrus.exe")) return ItemKind::StartCirrus;
  if (Is(path, L"DownloadRecommend")) return ItemKind::DownloadRecommend;
  if (Is(path, kRecommendTool) && Is(param, L"start")) return ItemKind::RecommendFirst;
  if (Is(path, kRecommendTool) && Is(param, L"end")) return ItemKind::RecommendSecond;
  if (misc && Is(param, L"-regmtfont")) return ItemKind::RegisterFonts;
  if (Is(path, L"office6\\setlang.exe") && Is(param, L"-setlngdef 2052")) return ItemKind::SetLanguage;
  if (Is(path, L"MoveRecommendFiles")) return ItemKind::MoveRecommendFiles;
  if (Is(path, L"showCenter")) return ItemKind::ShowCenter;
  if (Is(path, L"office6\\cirrussetup.exe")) return ItemKind::CirrusSetup;
  return ItemKind::Run;
}

const wchar_t* InstallTypeName(bool silent, bool update) {
  if (silent) return update ? L"updatesilent" : L"silent";
  return update ? L"update" : L"install";
}

bool ItemRunsIn(const std::wstring& typeList, const std::wstring& typeName) {
  size_t start = 0;
  for (;;) {
    const size_t end = typeList.find(L';', start);
    if (typeList.compare(start, end == std::wstring::npos ? std::wstring::npos : end - start, typeName) == 0)
      return true;
    if (end == std::wstring::npos) return false;
    start = end + 1;
  }
}

std::wstring OptionSwitches(const ItemOptions& o) {
  std::wstring text;
  const struct {
    const wchar_t* name;
    int value;
  } switches[] = {{L" /AssoToWord=", o.assoWord},
                  {L" /AssoToPowerpoint=", o.assoPowerpoint},
                  {L" /AssoToExcel=", o.assoExcel},
                  {L" /SaveToMso=", o.saveToMso},
                  {L" /DesktopShortcut=", o.desktopShortcut}};
  for (const auto& s : switches) text += std::wstring(s.name) + (s.value != 0 ? L"1" : L"0");
  return text;
}

std::wstring ApplyOemStartMenu(const std::wstring& param, const std::wstring& oemName) {
  if (oemName.empty()) return param;
  const std::wstring sw = std::wstring(kStartMenuSwitch) + L"\"" + oemName + L"\"";
  const size_t at = param.find(kStartMenuSwitch);
  if (at == std::wstring::npos) return param + L" " + sw;
  std::wstring result = param.substr(0, at) + sw;
  const size_t more = param.find(L" /", at);
  if (more != std::wstring::npos) result += param.substr(more);
  return result;
}

std::wstring RewriteConfigSetup(const std::wstring& param, const ItemOptions& options, const std::wstring& oemName,
                                const std::wstring& installFolder) {
  std::wstring result = param;
  const size_t at = result.find(L"-setup");
  result.replace(at, 6, OptionSwitches(options));
  return ApplyOemStartMenu(result, oemName) + L" /D=" + installFolder;
}

std::wstring StartMenuNameOf(const std::wstring& param) {
  const size_t at = param.find(kStartMenuSwitch);
  if (at == std::wstring::npos) return std::wstring();
  const size_t open = param.find(L'"', at + wcslen(kStartMenuSwitch));
  if (open == std::wstring::npos) return std::wstring();
  const size_t close = param.find(L'"', open + 1);
  return param.substr(open + 1, close == std::wstring::npos ? std::wstring::npos : close - open - 1);
}

bool RewriteStartMenuLink(const std::wstring& param, const std::wstring& oemName, std::wstring* result) {
  const size_t quote = param.find(L'"');
  if (quote == std::wstring::npos) {
    *result = param;
    return false;
  }
  *result = param.substr(0, quote) + L"\"" + oemName + L"\"";
  return true;
}

bool LaunchRefused(const std::wstring& launch, bool silent, bool update) {
  return (silent && !update && launch == L"2") || launch == L"0";
}
