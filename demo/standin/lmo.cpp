// Stand-in for the suite's core library lmo.dll, as far as the installer uses it: the two
// exports of the installation report. Each call writes one journal line (journal.h) with the
// library's own path and the call's arguments, and returns 0:
//   _lmo_SendInfoCellect <type>
//   _lmo_SIC <one>|<code>|<path>|<table>|<count>|<value 1>|...|<value count>
// A null string is written empty; at most 16 values are written.
#include <windows.h>

#include <string>

#include "demo/standin/journal.h"

namespace {

HMODULE g_module = nullptr;

std::wstring Text(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }

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
  demo::AppendJournal(demo::ModulePath(g_module), line);
  return 0;
}
