// The OEM file beside the setup program, and the profile files the installer writes into the
// new installation (utility\install.ini, the two setup.cfg) and reads back from an old one.
// Profile files go through the platform's profile functions: a value is read into a buffer of
// a fixed size and cut to it, a missing file or key gives the default.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "suite/setup_xml.h"
#include "sys/profile.h"

// oem.ini, section "setup", as the install list reads it.
struct OemSettings {
  bool exists = false;
  std::wstring pipeNumber = L"000";
  std::wstring versionNumber;
  std::wstring launchLumen = L"2";
  std::wstring launchCenter = L"2";
  std::wstring startMenuDir;
  std::wstring downloadServer, infoCollectServer, infoCollectDm;
};

namespace install_config {

// Buffer sizes (characters, terminator included) of the profile values.
constexpr DWORD kFlagChars = 4;
constexpr DWORD kTextChars = 520;

// Profile values: read into fixed buffers; written so that every character survives.
using ZFunction::ReadProfileString;
using ZFunction::WriteProfileString;

// The folder the setup program runs in (its current folder), with a trailing backslash: where
// oem.ini and the OEM folders are looked for.
std::wstring SourceFolder();

// oem.ini in `folder` (the source folder). versionNumber defaults to `productVersion`.
OemSettings ReadOemSettings(const std::wstring& folder, const std::wstring& productVersion);

// The option text profile files hold: "0" when the option is 0, else "1" (unset counts as on).
const wchar_t* OptionText(int option);

// The four numbers of a version string ("9.1.0.4720"); missing parts are 0.
void ParseVersion(const std::wstring& version, int numbers[4]);

// The version an old installation records in office6\cfgs\setup.cfg below `root`, as
// "%u.%u.%u.%u"; empty when the file is missing.
std::wstring ReadOldVersion(const std::wstring& root);

// A value a configuration file must hold once the install is done: the writers below return
// the last value they wrote to each file, which the final check reads back (a later writer of
// the same file replaces the promise).
struct ProfileValue {
  std::wstring File, Section, Key, Value;
};

// utility\install.ini, office6\cfgs\setup.cfg and office6\2052\setup.cfg of a new installation.
std::vector<ProfileValue> WriteSuiteConfig(const std::wstring& startMenu, const std::wstring& saveToMso, const std::wstring& assoWord,
                      const std::wstring& assoPowerpoint, const std::wstring& assoExcel,
                      const std::wstring& desktopShortcut, const std::wstring& version,
                      const std::wstring& installFolder);

// The values the "writeinifile" step writes into utility\install.ini.
struct InstallIniValues {
  int assoWord, assoExcel, assoPowerpoint, saveToMso, desktopShortcut;
  std::wstring installFolder;
  std::wstring localAppData;  // the user's local application data folder
  std::wstring setupPath;     // the running setup program
  std::wstring lowerVersion;  // written only when not empty
};
std::vector<ProfileValue> WriteInstallIni(const InstallIniValues& values);

// The values that describe where an installation came from, for the installation report: the
// payload's info element, with "iid", "productid" and "versiontypes" given on the command line
// taking their place, and the command line's "tod" split at its first dot.
struct ReportInfo {
  std::wstring iid, tid1, tid2, tod1, tod2, productId, versionTypes;
};
// Records them in the new installation's utility\install.ini, section "reportinfo", where the
// suite's core library reads them when it sends the report (in this process or the user's).
std::vector<ProfileValue> WriteReportInfo(const std::wstring& installFolder, const ReportInfo& info);

// The versions an installation below `root` replaced or was replaced by: "lowerversion" and
// "higherversion" of its utility\install.ini, each followed by ";" when not empty, joined.
// Both keys are emptied: the caller now owns the names.
std::wstring TakeVersionLists(const std::wstring& root);

// A value of the hand-over file's "installinfo" section, which the user-level copy writes on
// request; the file is deleted after the read.
std::wstring TakeHandOverValue(const std::wstring& file, const wchar_t* key, const wchar_t* fallback, DWORD chars);

}  // namespace install_config
