// How install-list items are recognised and how the suite tools' command lines are rewritten.
#include "suite/install_items.h"

#include <gtest/gtest.h>

#include "suite/suite_registry.h"

namespace {

ItemKind Kind(const wchar_t* path, const wchar_t* param, ItemOptions options = {}) {
  return RecogniseItem(InstallItem{path, param, L"install", 0, 0}, options);
}

ItemOptions AllOff() {
  ItemOptions o;
  o.assoWord = o.assoExcel = o.assoPowerpoint = o.saveToMso = o.desktopShortcut = 0;
  return o;
}

TEST(RecogniseItem, OptionRowsApplyOnlyWhenTheOptionIsOff) {
  const ItemOptions unset, off = AllOff();
  EXPECT_EQ(Kind(L"office6\\lmomisc.exe", L"-assoword", off), ItemKind::SkipAssoWord);
  EXPECT_EQ(Kind(L"office6\\lmomisc.exe", L"-assoword", unset), ItemKind::Run) << "unset counts as on";
  EXPECT_EQ(Kind(L"OFFICE6\\LMOMISC.EXE", L"-AssoExcel", off), ItemKind::SkipAssoExcel) << "case is ignored";
  EXPECT_EQ(Kind(L"office6\\lmomisc.exe", L"-assopowerpnt", off), ItemKind::SkipAssoPowerpoint);
  EXPECT_EQ(Kind(L"office6\\lmomisc.exe", L"-saveas_mso", off), ItemKind::SaveAsLmo);
  EXPECT_EQ(Kind(L"office6\\lmomisc.exe", L"-saveas_mso", unset), ItemKind::Run);
  EXPECT_EQ(Kind(L"office6\\lmomisc.exe", L"-createlink desktop 2052", off), ItemKind::SkipDesktopLink);
  EXPECT_EQ(Kind(L"office6\\lmomisc.exe", L"-createlink desktop 2052", unset), ItemKind::Run);
  // The same switches for another program are ordinary runs.
  EXPECT_EQ(Kind(L"office6\\other.exe", L"-assoword", off), ItemKind::Run);
  EXPECT_EQ(Kind(L"office6\\lmomisc.exe", L"-assoword ", off), ItemKind::Run) << "the whole param must match";
}

// The first matching row decides, and each row matches only what it names: a near miss is an
// ordinary run. (The demo install list, run end to end, has an item of every row.)
TEST(RecogniseItem, FirstMatchingRowWinsAndNearMissesRun) {
  const ItemOptions off = AllOff();
  EXPECT_EQ(Kind(L"utility\\config.exe", L"-last -setup"), ItemKind::ConfigSetup) << "row 1 before row 10";
  EXPECT_EQ(Kind(L"Utility\\Config.exe", L"x-setupy"), ItemKind::ConfigSetup) << "a substring is enough";
  EXPECT_EQ(Kind(L"utility\\config.exe", L"-SETUP"), ItemKind::Run) << "the substring search keeps case";
  EXPECT_EQ(Kind(L"utility\\config.exe", L"-LAST"), ItemKind::ConfigLast) << "whole params ignore case";
  EXPECT_EQ(Kind(L"lmo::_lmo_SendInfoCellect", L"-assoword", off), ItemKind::SendReport) << "the path decides";
  EXPECT_EQ(Kind(L"office6\\lmomisc.exe", L"-CreateLink StartMenu \"X\" -assoword", off), ItemKind::StartMenuLink);
  EXPECT_EQ(Kind(L"office6\\lmomisc.exe", L"-createlink startmen"), ItemKind::Run) << "21 characters needed";
  EXPECT_EQ(Kind(L"office6\\lmomisc.exe", L"-distsrc 001"), ItemKind::Run);
  EXPECT_EQ(Kind(L"office6\\lumenrecommended.exe", L"middle"), ItemKind::Run);
  EXPECT_EQ(Kind(L"office6\\setlang.exe", L"-setlngdef 1033"), ItemKind::Run);
  EXPECT_EQ(Kind(L"office6\\lumen.exe", L"-regmtfont"), ItemKind::StartLumen) << "row 17 by its path alone";
  EXPECT_EQ(Kind(L"", L""), ItemKind::Run);
}

TEST(ItemRunsIn, WholeWordsCaseSensitive) {
  EXPECT_STREQ(InstallTypeName(false, false), L"install");
  EXPECT_STREQ(InstallTypeName(false, true), L"update");
  EXPECT_STREQ(InstallTypeName(true, false), L"silent");
  EXPECT_STREQ(InstallTypeName(true, true), L"updatesilent");
  const std::wstring both = L"install;update";
  EXPECT_TRUE(ItemRunsIn(both, L"install"));
  EXPECT_TRUE(ItemRunsIn(both, L"update"));
  EXPECT_FALSE(ItemRunsIn(both, L"silent"));
  EXPECT_FALSE(ItemRunsIn(both, L"updatesilent"));
  EXPECT_FALSE(ItemRunsIn(L"Install", L"install")) << "a capital letter never matches";
  EXPECT_FALSE(ItemRunsIn(L"updatesilent", L"update")) << "no part of a word";
  EXPECT_FALSE(ItemRunsIn(L"update", L"updatesilent"));
  EXPECT_TRUE(ItemRunsIn(L";silent;", L"silent"));
  EXPECT_FALSE(ItemRunsIn(L"", L"install"));
  EXPECT_FALSE(ItemRunsIn(L"install ;update", L"install")) << "blanks are part of the word";
}

TEST(CommandLines, OptionSwitchesAndConfigurationTool) {
  ItemOptions o;  // all unset: on
  EXPECT_EQ(OptionSwitches(o),
            L" /AssoToWord=1 /AssoToPowerpoint=1 /AssoToExcel=1 /SaveToMso=1 /DesktopShortcut=1");
  o.assoPowerpoint = 0;
  o.desktopShortcut = 0;
  o.saveToMso = 1;
  EXPECT_EQ(OptionSwitches(o),
            L" /AssoToWord=1 /AssoToPowerpoint=0 /AssoToExcel=1 /SaveToMso=1 /DesktopShortcut=0");

  // An OEM folder replaces the named one and keeps the switch after it; the folder comes last.
  const std::wstring param = L"-setup /StartMenuDirectory=\"Old\" /Lang=2052";
  EXPECT_EQ(RewriteConfigSetup(param, AllOff(), L"New", L"C:\\Lumen\\9.1.0.4720\\"),
            L" /AssoToWord=0 /AssoToPowerpoint=0 /AssoToExcel=0 /SaveToMso=0 /DesktopShortcut=0"
            L" /StartMenuDirectory=\"New\" /Lang=2052 /D=C:\\Lumen\\9.1.0.4720\\");
  EXPECT_EQ(RewriteConfigSetup(L"-setup", ItemOptions{}, L"", L"D:\\X\\"),
            OptionSwitches(ItemOptions{}) + L" /D=D:\\X\\");
  EXPECT_EQ(StartMenuNameOf(L"-a /StartMenuDirectory=\"Lumen 办公\" /b"), L"Lumen 办公");
  EXPECT_EQ(StartMenuNameOf(L"-a /b"), L"");
}

TEST(CommandLines, OemStartMenuFolder) {
  EXPECT_EQ(ApplyOemStartMenu(L"/S", L""), L"/S") << "no OEM name, nothing changes";
  EXPECT_EQ(ApplyOemStartMenu(L"/S", L"OEM"), L"/S /StartMenuDirectory=\"OEM\"");
  EXPECT_EQ(ApplyOemStartMenu(L"/StartMenuDirectory=\"A\"", L"OEM"), L"/StartMenuDirectory=\"OEM\"");
  EXPECT_EQ(ApplyOemStartMenu(L"/x /StartMenuDirectory=\"A B\" /y /z", L"OEM"),
            L"/x /StartMenuDirectory=\"OEM\" /y /z");

  std::wstring result;
  EXPECT_TRUE(RewriteStartMenuLink(L"-createlink startmenu \"Lumen Office\"", L"渠道版", &result));
  EXPECT_EQ(result, L"-createlink startmenu \"渠道版\"");
  EXPECT_FALSE(RewriteStartMenuLink(L"-createlink startmenu", L"OEM", &result));
  EXPECT_EQ(result, L"-createlink startmenu");
}

TEST(SuiteEnvironment, PathEditing) {
  using suite_registry::PathWithLumenHome;
  using suite_registry::PathWithoutLumenHome;
  EXPECT_EQ(PathWithLumenHome(L""), L"%LUMEN_HOME%");
  EXPECT_EQ(PathWithLumenHome(L"C:\\bin"), L"%LUMEN_HOME%;C:\\bin");
  EXPECT_EQ(PathWithLumenHome(L"C:\\bin;%LUMEN_HOME%\\x"), L"C:\\bin;%LUMEN_HOME%\\x") << "already named";
  EXPECT_EQ(PathWithoutLumenHome(L"%LUMEN_HOME%"), L"");
  EXPECT_EQ(PathWithoutLumenHome(L"%LUMEN_HOME%;C:\\bin;%LUMEN_HOME%"), L"C:\\bin");
  EXPECT_EQ(PathWithoutLumenHome(L"a;%LUMEN_HOME%;b"), L"a;b");
  for (const wchar_t* path : {L"%LUMEN_HOME%;%LUMEN_HOME%;x", L"x;%LUMEN_HOME%%LUMEN_HOME%", L"%LUMEN_HOME%%LUMEN_HOME%;"})
    EXPECT_EQ(PathWithoutLumenHome(path).find(L"%LUMEN_HOME%"), std::wstring::npos) << path;
}

}  // namespace
