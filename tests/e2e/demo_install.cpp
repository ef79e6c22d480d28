#include "tests/e2e/demo_install.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include "suite/install_config.h"
#include "sys/file_utils.h"
#include "sys/system_info.h"
#include "sys/registry.h"
#include "suite/suite_programs.h"

namespace demo_install {
namespace {

using testing_support::LogPath;
using ZFunction::GetSpecialFolder;

// Programs the install list started without waiting may still be writing their journal line.
void WaitForStandIns() {
  for (DWORD begin = GetTickCount(); GetTickCount() - begin < 10000; Sleep(50)) {
    bool running = false;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W e{};
    e.dwSize = sizeof(e);
    for (BOOL more = Process32FirstW(snap, &e); more && !running; more = Process32NextW(snap, &e))
      for (const wchar_t* name : {L"desktoptip.exe", L"lumen.exe", L"cirrus.exe", L"config.exe", L"lmomisc.exe",
                                  L"lumenrcmmndd.exe"})
        running = running || _wcsicmp(e.szExeFile, name) == 0;
    CloseHandle(snap);
    if (!running) return;
  }
}

}  // namespace

std::wstring DefaultRoot() { return GetSpecialFolder(CSIDL_LOCAL_APPDATA) + L"\\Tallis\\Lumen Office\\"; }
std::wstring DemoInstaller() { return testing_support::TestedData(L"demodata") + L"setup-demo.exe"; }
std::wstring OldDemoInstaller() { return testing_support::TestedData(L"demodata-old") + L"setup-demo.exe"; }

std::wstring Profile(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
  return install_config::ReadProfileString(file, section, key, L"<missing>", 1024);
}

std::ostream& operator<<(std::ostream& out, const Start& s) {
  return out << testing_support::Narrow(s.program) << " [" << testing_support::Narrow(s.args) << "]";
}

void DemoInstall::SetUp() {
  exe_ = dir_ / L"setup.exe";
  UseInstaller(DemoInstaller());
  ForgetInstallations();
}

void DemoInstall::TearDown() { ForgetInstallations(); }

void DemoInstall::ForgetInstallations() {
  DeleteFileW(LogPath().c_str());
  RegDeleteTreeW(HKEY_CURRENT_USER, suite::kUninstallKey);
  testing_support::DeleteTree(HKEY_LOCAL_MACHINE, suite::kUninstallKey);
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tallis");
  RegDeleteTreeW(HKEY_CURRENT_USER, suite::kCirrusUninstallKey);
  ZFunction::DeleteFolder(DefaultRoot());
  for (int csidl : {CSIDL_PROGRAMS, CSIDL_DESKTOPDIRECTORY})
    for (const wchar_t* name : {L"\\Lumen Office", L"\\Lumen Office OEM"})
      ZFunction::DeleteFolder(GetSpecialFolder(csidl) + name);
  for (const wchar_t* name : {L"Lumen文字.lnk", L"Lumen表格.lnk", L"Lumen演示.lnk"})
    DeleteFileW((GetSpecialFolder(CSIDL_DESKTOPDIRECTORY) + L"\\" + name).c_str());
}

void DemoInstall::UseInstaller(const std::wstring& installer) {
  // The user-level copy of the run before may still be ending, its program file in use.
  bool copied = false;
  for (DWORD start = GetTickCount(); !copied && GetTickCount() - start < 10000;)
    if (!(copied = CopyFileW(installer.c_str(), exe_.c_str(), FALSE))) Sleep(20);
  ASSERT_TRUE(copied) << testing_support::Narrow(installer) << ", error " << GetLastError();
}

void DemoInstall::PlaceOemFile() {
  testing_support::WriteBytes(dir_ / L"oem.ini",
                              "[setup]\r\nPipeNumber=123\r\nStartMenuDir=Lumen Office OEM\r\nLaunchLumen=1\r\n"
                              "LaunchCenter=0\r\nSourceDir=\r\n");
}

int DemoInstall::Install(const std::wstring& params) {
  journal_.Clear();
  const int code = testing_support::Run(exe_, params, 120000);
  WaitForStandIns();
  log_ = testing_support::ReadBytes(LogPath());
  return code;
}

int DemoInstall::Finish(testing_support::Process& run) {
  const int code = run.Wait(120000);
  WaitForStandIns();
  log_ = testing_support::ReadBytes(LogPath());
  return code;
}

std::vector<Start> DemoInstall::Journal(const std::wstring& installFolder) const {
  std::vector<Start> starts;
  for (const auto& entry : journal_.Entries()) {
    std::wstring program = entry.program;
    if (_wcsnicmp(program.c_str(), installFolder.c_str(), installFolder.size()) == 0)
      program = program.substr(installFolder.size());
    starts.push_back(Start{program, entry.args});
  }
  return starts;
}

}  // namespace demo_install
