// The final check of an installation, on files and profile values in a fresh folder.
#include "install/install_check.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

using testing_support::TempFolder;
using testing_support::WriteBytes;

namespace {

TEST(InstallCheck, ProductFilesAreThereWithTheirSizes) {
  TempFolder dir;
  const std::wstring version = dir / L"9.1.0.1\\";
  CreateDirectoryW(version.c_str(), nullptr);
  CreateDirectoryW((version + L"office6").c_str(), nullptr);
  WriteBytes(version + L"office6\\lmo.dll", "12345");
  WriteBytes(version + L"empty.ini", "");
  std::vector<ArchiveItem> items = {{L"office6", 0, true}, {L"office6\\lmo.dll", 5, false}, {L"empty.ini", 0, false}};
  EXPECT_EQ(install_check::FirstMissingFile(version, items), L"");

  // A locked file: its new copy waits beside the old one for the next restart.
  WriteBytes(version + L"locked.exe", "old");
  WriteBytes(version + L"locked.exe0", "new copy");
  items.push_back({L"locked.exe", 8, false});
  EXPECT_EQ(install_check::FirstMissingFile(version, items), L"");

  items.push_back({L"office6\\grid.exe", 4, false});
  items.push_back({L"office6\\deck.exe", 4, false});
  EXPECT_EQ(install_check::FirstMissingFile(version, items), L"a product file is missing: " + version + L"office6\\grid.exe")
      << "the first one is named";
  WriteBytes(version + L"office6\\grid.exe", "half");
  WriteBytes(version + L"office6\\deck.exe", "ha");
  EXPECT_EQ(install_check::FirstMissingFile(version, items),
            L"a product file has 2 bytes, not the 4 of the archive: " + version + L"office6\\deck.exe");
  items.push_back({L"templates", 0, true});
  WriteBytes(version + L"office6\\deck.exe", "deck");
  EXPECT_EQ(install_check::FirstMissingFile(version, items), L"a product folder is missing: " + version + L"templates");
}

TEST(InstallCheck, RegistrationAndConfigurationValues) {
  const std::wstring version = L"C:\\Lumen Office\\9.1.0.1\\";
  EXPECT_EQ(install_check::RegistrationMismatch(version, {L"", L"c:\\lumen office"}), L"") << "the product root, any case";
  EXPECT_EQ(install_check::RegistrationMismatch(version, {L"C:\\Lumen Office\\9.1.0.1"}), L"");
  EXPECT_EQ(install_check::RegistrationMismatch(version, {L"D:\\Old\\", L"C:\\Lumen"}),
            L"the suite's registration names another folder, not C:\\Lumen Office\\: D:\\Old\\");
  EXPECT_EQ(install_check::RegistrationMismatch(version, {L"", L""}),
            L"the suite's registration is missing (no \"LocationRoot\" of the suite)");

  TempFolder dir;
  const std::wstring ini = dir / L"install.ini";
  WriteBytes(ini, "[update]\r\nneedAdmin=false\r\nlowerversion=9.0.0.1;9.0.0.2\r\n");
  EXPECT_EQ(install_check::FirstUnwrittenValue({{ini, L"update", L"needAdmin", L"false"},
                                                {ini, L"update", L"lowerversion", L"9.0.0.1;9.0.0.2"}}),
            L"");
  EXPECT_EQ(install_check::FirstUnwrittenValue({{ini, L"update", L"lowerversion", L"9.0.0.1"}}),
            L"a configuration file lacks [update] lowerversion=9.0.0.1: " + ini)
      << "a longer value is no match";
  EXPECT_NE(install_check::FirstUnwrittenValue({{dir / L"setup.cfg", L"Local", L"UILanguage", L""}}), L"")
      << "a missing file holds not even an empty value";
}

}  // namespace
