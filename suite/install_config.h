// The files that steer an installation: the payload's setup.xml and deeprecommend.xml, the
// OEM file beside the setup program, and the profile files the installer writes into the new
// installation (utility\install.ini, the two setup.cfg) and reads back from an old one.
// Profile files go through the platform's profile functions: a value is read into a buffer of
// a fixed size and cut to it, a missing file or key gives the default.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/handles.h"
#include "sys/profile.h"

struct InstallItem {
  std::wstring path;
  std::wstring param;
  std::wstring type;
  int wait = 0;
  int show = 0;
};

struct DeepRecommendItem {
  std::wstring dis, name, url, param, reg;
};

// What setup.xml holds.
struct SetupConfig {
  std::vector<InstallItem> items;
  std::wstring iid, tid1, tid2, productId, versionTypes;
  int silent = 0;
};

// What deeprecommend.xml holds: the number of offers to act on (at most 1 and at most the
// items read) and the offers.
struct DeepRecommendConfig {
  int number = 0;
  std::vector<DeepRecommendItem> items;
};

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

// Parses setup.xml. False (with the reason logged) when the file cannot be read or parsed, the
// install list is empty or the info element is missing.
bool ParseSetupXml(const std::wstring& file, SetupConfig& config);
// Parses deeprecommend.xml. False when the file cannot be parsed or has no Config\DeepRecommend.
bool ParseDeepRecommendXml(const std::wstring& file, DeepRecommendConfig& config);

// A fresh folder name below the user's temporary folder: "<temp>\lumen\~<tick count in hex>\"
// (the payload folder and the recommendation and download tools' folders), one that does not
// exist yet. Not created here.
std::wstring NewTempFolder();

// Creates a new temporary folder for this run's payload and marks it as in use for as long as
// `mark` stays open (a killed run's mark closes with its process). "" when it cannot be created.
std::wstring NewPayloadFolder(sys::UniqueFile& mark);

// Removes the payload folders of setup programs that no longer run: those whose in-use mark is
// no longer held open. The tools' folders carry no mark and stay.
void RemoveStalePayloadFolders();

// A folder of the system that no cleanup step may delete, empty or treat as an installation:
// a drive root, the Windows folder or a folder inside it, a program-files root, a profile root,
// a shell folder of the user (application data, desktop, documents), or a folder above any of
// them. Separators at the end do not count; case does not matter.
bool IsSystemFolder(const std::wstring& folder);

// Whether `root` may be treated as an installation of the suite by the steps that delete its
// folders or start its programs: a whole local path without ".." that is no system folder and
// holds the suite's library (office6\lmo.dll) itself or in one of its version folders.
bool IsSuiteInstallation(const std::wstring& root);

// `root` when it is empty or passes IsSuiteInstallation; else "" and the refusal is logged with
// `source`, the value's origin. The installation then goes on as if there were no old one.
std::wstring VerifiedInstallation(const std::wstring& root, const char* source);

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

// utility\install.ini, office6\cfgs\setup.cfg and office6\2052\setup.cfg of a new installation.
void WriteSuiteConfig(const std::wstring& startMenu, const std::wstring& saveToMso, const std::wstring& assoWord,
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
void WriteInstallIni(const InstallIniValues& values);

// The values that describe where an installation came from, for the installation report: the
// payload's info element, with "iid", "productid" and "versiontypes" given on the command line
// taking their place, and the command line's "tod" split at its first dot.
struct ReportInfo {
  std::wstring iid, tid1, tid2, tod1, tod2, productId, versionTypes;
};
// Records them in the new installation's utility\install.ini, section "reportinfo", where the
// suite's core library reads them when it sends the report (in this process or the user's).
void WriteReportInfo(const std::wstring& installFolder, const ReportInfo& info);

// The versions an installation below `root` replaced or was replaced by: "lowerversion" and
// "higherversion" of its utility\install.ini, each followed by ";" when not empty, joined.
// Both keys are emptied: the caller now owns the names.
std::wstring TakeVersionLists(const std::wstring& root);

// A value of the hand-over file's "installinfo" section, which the user-level copy writes on
// request; the file is deleted after the read.
std::wstring TakeHandOverValue(const std::wstring& file, const wchar_t* key, const wchar_t* fallback, DWORD chars);

}  // namespace install_config
