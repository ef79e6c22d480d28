// The demo installer under Wine, run as a user runs it: a copy in a folder of its own (as a
// downloads folder), the stand-in programs' journal, the log, the profile files.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace demo_install {

inline constexpr wchar_t kVersion[] = LUMEN_TEST_PRODUCT_VERSION;
inline constexpr wchar_t kOldVersion[] = LUMEN_TEST_OLD_VERSION;

// "%LOCALAPPDATA%\Tallis\Lumen Office\", the product root of a per-user installation.
std::wstring DefaultRoot();
// The demo installers: the one under test and the older release.
std::wstring DemoInstaller();
std::wstring OldDemoInstaller();

std::wstring Profile(const std::wstring& file, const wchar_t* section, const wchar_t* key);

// One start recorded by a stand-in program, its path relative to the install folder when it
// lies below it.
struct Start {
  std::wstring program;
  std::wstring args;
  bool operator==(const Start& o) const { return program == o.program && args == o.args; }
};
std::ostream& operator<<(std::ostream& out, const Start& s);

class DemoInstall : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // No installation, no log, no shortcuts: every test starts on a clean machine.
  static void ForgetInstallations();
  // Puts `installer` in the downloads folder as setup.exe.
  void UseInstaller(const std::wstring& installer);
  // An OEM file beside the setup program: channel 123, its own start-menu folder, the word
  // processor started after a silent install.
  void PlaceOemFile();
  // Runs setup.exe to its end and the programs it started without waiting; keeps its log.
  int Install(const std::wstring& params);
  // The same for a run the test started itself.
  int Finish(testing_support::Process& run);
  bool Logged(const std::string& line) const { return log_.find(line) != std::string::npos; }
  // The starts the stand-ins recorded; the arguments as the programs saw them (the blanks
  // between program and arguments are not theirs).
  std::vector<Start> Journal(const std::wstring& installFolder) const;

  testing_support::TempFolder dir_;
  std::wstring exe_;
  testing_support::StandInJournal journal_{dir_ / L"journal.txt"};
  std::string log_;
};

}  // namespace demo_install
