// Stand-in for the suite's core library lmo.dll, as far as the installer uses it: the two
// exports of the installation report. Each call writes one journal line (journal.h) with the
// library's own path and the call's arguments, and returns 0:
//   _lmo_SendInfoCellect <type>
//   _lmo_SIC <one>|<code>|<path>|<table>|<count>|<value 1>|...|<value count>[ [<report info>]]
// A null string is written empty; at most 16 values are written. The report info is what the
// installer recorded in the installation's utility\install.ini, section "reportinfo", as
// "iid=<> tid1=<> tid2=<> tod1=<> tod2=<> productid=<> versiontypes=<>", when the section exists.
#include <windows.h>

#include <string>

#include "demo/standin/journal.h"

namespace {

HMODULE g_module = nullptr;

std::wstring Text(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }

// The report values beside the library: <install folder>\utility\install.ini, "reportinfo".
std::wstring ReportInfo() {
  std::wstring ini = demo::ModulePath(g_module);
  for (int up = 0; up < 2; ++up) ini.resize(ini.find_last_of(L'\\') == std::wstring::npos ? 0 : ini.find_last_of(L'\\'));
  ini += L"\\utility\\install.ini";
  wchar_t section[8] = {};
  if (GetPrivateProfileSectionW(L"reportinfo", section, 8, ini.c_str()) == 0) return std::wstring();
  std::wstring text;
  for (const wchar_t* key : {L"iid", L"tid1", L"tid2", L"tod1", L"tod2", L"productid", L"versiontypes"}) {
    wchar_t value[520] = {};
    GetPrivateProfileStringW(L"reportinfo", key, L"", value, 520, ini.c_str());
    text += (text.empty() ? L"" : L" ") + std::wstring(key) + L"=" + value;
  }
  return text;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" int __cdecl _lmo_SendInfoCellect(int type) {
  demo::AppendJournal(demo::ModulePath(g_module), L"_lmo_SendInfoCellect " + std::to_wstring(type));
  return 0;
}

extern "C" int __cdecl _lmo_SIC(int one, const wchar_t* code, const wchar_t* path, const wchar_t* table, int count,
                                const wchar_t* const* values) {
  std::wstring line = L"_lmo_SIC " + std::to_wstring(one) + L"|" + Text(code) + L"|" + Text(path) + L"|" +
                      Text(table) + L"|" + std::to_wstring(count);
  const int shown = values == nullptr || count < 0 ? 0 : (count > 16 ? 16 : count);
  for (int i = 0; i < shown; ++i) line += L"|" + Text(values[i]);
  const std::wstring info = ReportInfo();
  if (!info.empty()) line += L" [" + info + L"]";
  demo::AppendJournal(demo::ModulePath(g_module), line);
  return 0;
}
