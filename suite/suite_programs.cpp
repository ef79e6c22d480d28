#include "suite/suite_programs.h"

#include "sys/file_utils.h"
#include "sys/process_search.h"

namespace suite {

const std::vector<const wchar_t*>& HelperPrograms() {
  static const std::vector<const wchar_t*> names = {
      L"lmoupdatecheck.exe", L"lmoupdatecheckex.exe", L"lumenupdsvr.exe", L"lmorepair.exe",
      L"lmosmarttag.exe",    L"desktoptip.exe",       L"zlumenlive.exe",  L"cirrus.exe",
  };
  return names;
}

const std::vector<const wchar_t*>& BlockingPrograms() {
  static const std::vector<const wchar_t*> names = {
      L"lumen.exe",     L"grid.exe",          L"deck.exe",       L"lmoerr.exe",      L"lmocrashrpt.exe",
      L"lmonotify.exe", L"lumenupdate.exe",   L"setlang.exe",    L"lmoweb.exe",      L"lmoremoteinfo.exe",
      L"config.exe",    L"lmotemplate.exe",   L"lumenmail.exe",  L"lmomisc.exe",
  };
  return names;
}

const std::vector<const wchar_t*>& InUsePrograms() {
  static const std::vector<const wchar_t*> names = {
      L"lumen.exe",     L"grid.exe",   L"deck.exe",    L"lmomisc.exe",    L"lumenupdate.exe", L"lmonotify.exe",
      L"config.exe",    L"setlang.exe", L"desktoptip.exe", L"lmoerr.exe", L"lmocrashrpt.exe",
  };
  return names;
}

}  // namespace suite

namespace suite {

std::wstring FindBlockingSuiteProcess() {
  ZFunction::StopService(kUpdateService);
  return ZFunction::FindBlockingProcess(ZFunction::GetModulePath(), HelperPrograms(), BlockingPrograms());
}

}  // namespace suite
