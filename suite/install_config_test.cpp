// Reading the payload's XML files and the OEM file, writing and reading the suite's profile
// files.
#include "suite/install_config.h"
#include "suite/installation_check.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include "sys/file_utils.h"
#include "sys/system_info.h"
#include "tests/support/test_support.h"

using testing_support::TempFolder;

namespace {

std::wstring WriteText(const TempFolder& dir, const wchar_t* name, const std::string& text) {
  const std::wstring path = dir / name;
  testing_support::WriteBytes(path, text);
  return path;
}

std::wstring Profile(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
  return install_config::ReadProfileString(file, section, key, L"<missing>", 1024);
}

const char kSetupHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><config><office>";

TEST(SetupXml, ItemsInOrderWithDefaultsForMissingAttributes) {
  TempFolder dir;
  const std::wstring file = WriteText(dir, L"setup.xml",
                                      std::string(kSetupHead) +
                                          "<info iid=\"i\" tid1=\"t1\" productid=\"p\" silent=\"1\"/><install>"
                                          "<item path=\"utility\\config.exe\" param=\"-setup /x=&quot;办公&quot;\" "
                                          "wait=\"-1\" show=\"1\" type=\"install;silent\"/>"
                                          "<other path=\"not an item\"/>"
                                          "<item path=\"writeinifile\" wait=\"soon\"/>"
                                          "</install></office></config>");
  SetupConfig config;
  ASSERT_TRUE(install_config::ParseSetupXml(file, config));
  ASSERT_EQ(config.items.size(), 2u) << "only item elements, in document order";
  EXPECT_EQ(config.items[0].path, L"utility\\config.exe");
  EXPECT_EQ(config.items[0].param, L"-setup /x=\"办公\"");
  EXPECT_EQ(config.items[0].wait, -1);
  EXPECT_EQ(config.items[0].show, 1);
  EXPECT_EQ(config.items[0].type, L"install;silent");
  EXPECT_EQ(config.items[1].param, L"");
  EXPECT_EQ(config.items[1].wait, 0) << "a number that is not one reads as 0";
  EXPECT_EQ(config.items[1].type, L"");
  EXPECT_EQ(config.iid, L"i");
  EXPECT_EQ(config.tid1, L"t1");
  EXPECT_EQ(config.tid2, L"");
  EXPECT_EQ(config.productId, L"p");
  EXPECT_EQ(config.silent, 1);
}

TEST(SetupXml, RefusesWhatCannotSteerAnInstall) {
  TempFolder dir;
  SetupConfig config;
  EXPECT_FALSE(install_config::ParseSetupXml(dir / L"missing.xml", config));
  const char* bad[] = {
      "<config><office><info/><install><item path=\"a\"></install></office></config>",  // not well formed
      "",                                                                                  // empty file
      "<config><office><info/><install/></office></config>",                              // empty list
      "<config><office><install><item path=\"a\"/></install></office></config>",         // no info
      "<Config><office><info/><install><item path=\"a\"/></install></office></Config>",  // names keep case
      "<config><install><item path=\"a\"/></install><info/></config>",                   // wrong nesting
  };
  for (const char* text : bad) {
    const std::wstring file = WriteText(dir, L"setup.xml", text);
    EXPECT_FALSE(install_config::ParseSetupXml(file, config)) << text;
  }
  // A long, deeply nested document is refused or read, never a crash.
  std::string deep(kSetupHead);
  for (int i = 0; i < 20000; ++i) deep += "<a>";
  EXPECT_FALSE(install_config::ParseSetupXml(WriteText(dir, L"deep.xml", deep), config));
}

TEST(DeepRecommendXml, CountClampedAndLoweredToTheItemsRead) {
  TempFolder dir;
  DeepRecommendConfig config;
  auto parse = [&](const std::string& text) {
    return install_config::ParseDeepRecommendXml(WriteText(dir, L"deeprecommend.xml", text), config);
  };
  const std::string item =
      "<item deeprecommenddis=\"装\" deeprecommendname=\"n\" deeprecommendurl=\"u\" deeprecommendparam=\"/S\" "
      "deeprecommendreg=\"r\"/>";
  ASSERT_TRUE(parse("<Config><DeepRecommend number=\"3\">" + item + item + "</DeepRecommend></Config>"));
  EXPECT_EQ(config.number, 1);
  ASSERT_EQ(config.items.size(), 2u);
  EXPECT_EQ(config.items[0].dis, L"装");
  EXPECT_EQ(config.items[0].param, L"/S");

  ASSERT_TRUE(parse("<Config><DeepRecommend number=\"0\">" + item + "</DeepRecommend></Config>"));
  EXPECT_EQ(config.number, 0);
  EXPECT_TRUE(config.items.empty()) << "no offer is read when none is wanted";

  ASSERT_TRUE(parse("<Config><DeepRecommend number=\"1\"/></Config>"));
  EXPECT_EQ(config.number, 0) << "lowered to the items present";

  EXPECT_FALSE(parse("<Config><Other/></Config>"));
  EXPECT_FALSE(parse("<config><DeepRecommend number=\"1\"/></config>"));
  EXPECT_FALSE(parse("<Config><DeepRecommend"));
}

TEST(SuiteProfiles, WrittenForTheNewInstallationAndReadBackLater) {
  TempFolder dir;
  const std::wstring root = dir.Path() + L"Lumen\\9.1.0.4720\\";
  install_config::WriteSuiteConfig(L"Lumen 办公", L"0", L"1", L"0", L"1", L"1", L"9.1.0.4720", root);
  const std::wstring ini = root + L"utility\\install.ini";
  EXPECT_EQ(Profile(ini, L"installinfo", L"startmenudir"), L"Lumen 办公") << "names survive in any code page";
  EXPECT_EQ(Profile(ini, L"installinfo", L"savetomso"), L"0");
  EXPECT_EQ(Profile(ini, L"installinfo", L"assopowerpnt"), L"0");
  EXPECT_EQ(Profile(ini, L"installinfo", L"assoexcel"), L"1");

  // A later run reads the version back from the old installation.
  EXPECT_EQ(install_config::ReadOldVersion(root), L"9.1.0.4720");
  EXPECT_EQ(install_config::ReadOldVersion(dir.Path() + L"nothing"), L"");
  EXPECT_EQ(install_config::ReadOldVersion(L""), L"");
  install_config::WriteSuiteConfig(L"", L"1", L"1", L"1", L"1", L"1", L"12.3", root);
  EXPECT_EQ(install_config::ReadOldVersion(root), L"12.3.0.0") << "missing parts are 0";
}

TEST(SuiteProfiles, WriteInstallIniMarksPerUserInstallations) {
  TempFolder dir;
  install_config::InstallIniValues values{0, -1, 1, 0, 1, dir.Path() + L"Local\\Lumen\\", dir.Path() + L"local",
                                          L"C:\\dl\\setup.exe", L""};
  install_config::WriteInstallIni(values);
  const std::wstring ini = dir.Path() + L"Local\\Lumen\\utility\\install.ini";
  EXPECT_EQ(Profile(ini, L"update", L"needAdmin"), L"false") << "below local application data, any case";
  EXPECT_EQ(Profile(ini, L"installinfo", L"assoexcel"), L"1") << "unset is written as on";

  values.localAppData = dir.Path() + L"elsewhere";
  values.lowerVersion = L"9.0.0.1";
  install_config::WriteInstallIni(values);
  EXPECT_EQ(Profile(ini, L"update", L"needAdmin"), L"true");
  EXPECT_EQ(Profile(ini, L"update", L"lowerversion"), L"9.0.0.1");
}

TEST(SuiteProfiles, VersionListsAreTakenOnce) {
  TempFolder dir;
  EXPECT_EQ(install_config::TakeVersionLists(dir.Path()), L"") << "no file, no list, no file made";
  EXPECT_FALSE(testing_support::Exists(dir / L"utility\\install.ini"));
  CreateDirectoryW((dir / L"utility").c_str(), nullptr);
  const std::wstring ini = WriteText(dir, L"utility\\install.ini",
                                     "[update]\r\nlowerversion=9.0.0.1;9.0.0.2\r\nhigherversion=\r\nneedAdmin=false\r\n");
  EXPECT_EQ(install_config::TakeVersionLists(dir.Path()), L"9.0.0.1;9.0.0.2;");
  EXPECT_EQ(Profile(ini, L"update", L"lowerversion"), L"");
  EXPECT_EQ(Profile(ini, L"update", L"needAdmin"), L"false") << "other keys stay";
  EXPECT_EQ(install_config::TakeVersionLists(dir.Path()), L"") << "taken once";
}

TEST(HandOver, ValueReadOnceAndTheFileDeleted) {
  TempFolder dir;
  const std::wstring file = WriteText(dir, L"tempinstall.ini", "[installinfo]\r\ncirruspath=C:\\c\\cirrus.exe\r\n");
  EXPECT_EQ(install_config::TakeHandOverValue(file, L"cirruspath", L"", 520), L"C:\\c\\cirrus.exe");
  EXPECT_FALSE(testing_support::Exists(file));
  EXPECT_EQ(install_config::TakeHandOverValue(file, L"infoguid", L"{fallback}", 80), L"{fallback}");
}

}  // namespace

// A value the system code page lacks survives in a new file and in an existing 8-bit one,
// whose other values stay as they were.
TEST(ProfileFiles, EveryCharacterOfAValueSurvives) {
  TempFolder dir;
  const std::wstring value = L"C:\\Users\\한글 ภาษา\\";
  const std::wstring fresh = dir / L"fresh.ini";
  install_config::WriteProfileString(fresh, L"install", L"localappdata", value);
  EXPECT_EQ(install_config::ReadProfileString(fresh, L"install", L"localappdata", L"", 520), value);

  const std::wstring old = WriteText(dir, L"old.ini", "[installinfo]\r\nstartmenudir=Lumen \xCE\xC4\xD7\xD6\r\n");
  const std::wstring menu = install_config::ReadProfileString(old, L"installinfo", L"startmenudir", L"", 520);
  install_config::WriteProfileString(old, L"update", L"needAdmin", L"false");
  EXPECT_FALSE(ZFunction::IsUnicodeProfile(old)) << "a value the code page holds leaves the file as it is";
  install_config::WriteProfileString(old, L"update", L"pathname", value);
  EXPECT_TRUE(ZFunction::IsUnicodeProfile(old));
  EXPECT_EQ(install_config::ReadProfileString(old, L"update", L"pathname", L"", 520), value);
  EXPECT_EQ(install_config::ReadProfileString(old, L"installinfo", L"startmenudir", L"", 520), menu);
  EXPECT_EQ(install_config::ReadProfileString(old, L"update", L"needAdmin", L"", 520), L"false");
}

// The folders the cleanup may treat as an installation: only folders that hold the suite, and
// never one of the system's own, whatever a planted value says.
TEST(SuiteInstallation, OnlyFoldersHoldingTheSuiteOutsideTheSystemsOwn) {
  TempFolder dir;
  const std::wstring root = dir / L"Lumen Office\\";
  EXPECT_FALSE(install_config::IsSuiteInstallation(root)) << "missing";
  ZFunction::CreateFolderTree(root + L"9.1.0.1\\office6");
  testing_support::WriteBytes(root + L"9.1.0.1\\office6\\lmo.dll", "");
  EXPECT_TRUE(install_config::IsSuiteInstallation(root)) << "through its version folder";
  EXPECT_TRUE(install_config::IsSuiteInstallation(root + L"9.1.0.1")) << "the version folder itself";
  EXPECT_FALSE(install_config::IsSuiteInstallation(root + L"9.1.0.1\\..\\9.1.0.1\\"));
  EXPECT_FALSE(install_config::IsSuiteInstallation(dir.Path())) << "two levels up";
  EXPECT_FALSE(install_config::IsSuiteInstallation(L"Lumen Office\\9.1.0.1\\")) << "relative";

  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring profile = ZFunction::GetSpecialFolder(CSIDL_PROFILE);
  const std::wstring profiles = profile.substr(0, profile.rfind(L'\\'));
  for (const std::wstring& system :
       {std::wstring(L"C:\\"), std::wstring(L"c:"), std::wstring(windows), std::wstring(windows) + L"\\System32\\",
        ZFunction::GetSpecialFolder(CSIDL_PROGRAM_FILES) + L"\\", profile, profiles + L"\\\\", std::wstring(L"C:\\users"),
        ZFunction::GetSpecialFolder(CSIDL_LOCAL_APPDATA), std::wstring(L"\\\\server\\share")}) {
    EXPECT_TRUE(install_config::IsSystemFolder(system)) << testing_support::Narrow(system);
  }
  EXPECT_FALSE(install_config::IsSystemFolder(ZFunction::GetSpecialFolder(CSIDL_PROGRAM_FILES) + L"\\Lumen Office"));
  EXPECT_FALSE(install_config::IsSystemFolder(root));
}
