#include "report/deep_recommend.h"

#include <stdio.h>

#include "log/setup_log.h"
#include "suite/temp_folders.h"
#include "sys/file_utils.h"
#include "sys/process_start.h"

namespace report {
namespace {

// Appends one list entry, with "," before every entry but the first.
void AddEntry(std::wstring& list, bool first, const std::wstring& entry) {
  if (!first) list += L",";
  list += entry;
}

}  // namespace

std::wstring DownloadCommandLine(const DeepRecommendItem& offer) {
  return L"-url=\"" + offer.url + L"\" -param=\"" + offer.param + L"\" -check=\"" + offer.reg + L"\"";
}

bool DownloadDeepRecommend(const std::wstring& installFolder, const DeepRecommendItem& offer, int wait, int show) {
  const std::wstring commandLine = DownloadCommandLine(offer);

  const std::wstring folder = install_config::NewToolFolder();
  if (folder.empty()) return false;

  // The system makes the name unique and creates an empty "dl<hex>.tmp"; the tool goes beside
  // it as "dl<hex>.tmp.exe". The name has to fit a path buffer with its ".exe".
  wchar_t name[MAX_PATH] = {};
  if (GetTempFileNameW(folder.c_str(), L"dl", 0, name) == 0) return false;
  const std::wstring tool = std::wstring(name) + L".exe";
  if (tool.size() >= MAX_PATH) return false;

  // The libraries are looked for beside the program, so they travel with it.
  const std::wstring office6 = installFolder + L"office6\\";
  const std::wstring installedTool = office6 + L"downloadtool.exe";
  if (!CopyFileW(installedTool.c_str(), tool.c_str(), FALSE) ||
      !CopyFileW((office6 + L"msvcp100.dll").c_str(), (folder + L"msvcp100.dll").c_str(), FALSE) ||
      !CopyFileW((office6 + L"msvcr100.dll").c_str(), (folder + L"msvcr100.dll").c_str(), FALSE))
    return false;

  DeleteFileW(installedTool.c_str());
  const bool started = ZFunction::RunApp(tool, commandLine, static_cast<DWORD>(wait), show);
  g_Log.Log("Download deeprecommend by downloadtool End.");
  return started;
}

std::wstring BuildDeepRecommendParams(HWND mainWindow, int count, const std::vector<int>& chosen,
                                      const std::vector<DeepRecommendItem>& items) {
  // A minimised or hidden window has no meaningful position: show it restored to read it.
  RECT rect = {};
  if (mainWindow) {
    ShowWindow(mainWindow, SW_RESTORE);
    GetWindowRect(mainWindow, &rect);
    ShowWindow(mainWindow, SW_HIDE);
  }
  wchar_t location[64] = {};
  swprintf(location, 64, L"%d,%d", static_cast<int>(rect.left), static_cast<int>(rect.top));

  std::wstring install, names, urls, params, checks;
  for (size_t i = 0; static_cast<int>(i) < count && i < chosen.size() && i < items.size(); ++i)
    AddEntry(install, i == 0, chosen[i] ? L"1" : L"0");
  for (size_t i = 0; static_cast<int>(i) < count && i < items.size(); ++i) {
    AddEntry(names, i == 0, items[i].name);
    AddEntry(urls, i == 0, items[i].url);
    AddEntry(params, i == 0, items[i].param);
    AddEntry(checks, i == 0, items[i].reg);
  }
  return L"location:=" + std::wstring(location) + L";deeprecommendedname:=" + names + L";deeprecommendedinstall:=" +
         install + L";deeprecommendedurl:=" + urls + L";deeprecommendedparam:=" + params +
         L";deeprecommendedreg:=" + checks;
}

}  // namespace report
