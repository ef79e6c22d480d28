// Command-line switches as a user or a relaunching copy writes them, checked on the flags and
// engine values they produce.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include "app/setup_app.h"
#include "install/zinstall.h"

namespace {

struct Parsed {
  ZSetupApp app;
  ZInsall engine;
};

// Splits a command line as the platform does for the program and applies the switch table.
void Parse(Parsed& p, const std::wstring& commandLine) {
  std::vector<std::wstring> args = SplitCommandLine(commandLine);
  args.insert(args.begin(), L"C:\\dl\\setup.exe");
  ASSERT_TRUE(p.app.ParseArguments(args, p.engine));
}

TEST(CommandLine, TokenizerCollectsValuesAndSplitsAtFirstEquals) {
  const CommandLine cl = CommandLine::Tokenize(
      {L"setup.exe", L"stray", L"/p", L"D:\\A", L"extra", L"-iid=a=b", L"-s", L"-s=second"});
  ASSERT_EQ(cl.Entries().size(), 5u);
  EXPECT_EQ(cl.Entries()[0].Values, std::vector<std::wstring>{L"stray"});  // before the first switch
  EXPECT_EQ(cl.Entries()[1].Name, L"p");
  EXPECT_EQ(cl.Entries()[1].Values, (std::vector<std::wstring>{L"D:\\A", L"extra"}));
  EXPECT_EQ(cl.Value(L"iid"), L"a=b");
  EXPECT_EQ(cl.Value(L"s"), L"");  // lookups take the first of two entries
  EXPECT_FALSE(cl.Has(L"setup.exe"));
}

TEST(CommandLine, PresenceIgnoresCaseButValuesDoNot) {
  Parsed p;
  Parse(p, L"/S -UPDATE -LocalApp=C:\\Other -localapp=C:\\Mine -NEEDCOMMUNICATE -Iid=9");
  EXPECT_EQ(p.app.Silent, 1);
  EXPECT_EQ(p.app.Update, 1);
  EXPECT_EQ(p.engine.HandedOver.LocalAppData, L"C:\\Mine");
  EXPECT_EQ(p.engine.UserProcessMode, 1);
  EXPECT_EQ(p.engine.Iid, L"");
}

TEST(CommandLine, InstallFolderRules) {
  {  // a quoted drive root: the splitter leaves C: and a double quote
    Parsed p;
    Parse(p, L"-p \"C:\\\"");
    EXPECT_EQ(p.engine.GetInstallFolder(), L"C:\\Lumen Office\\");
    EXPECT_EQ(p.app.InstallPath, L"C:\\Lumen Office\\");
  }
  {
    Parsed p;
    Parse(p, L"-p D:\\Apps\\\\Suite");
    EXPECT_EQ(p.engine.GetInstallFolder(), L"D:\\Apps\\Suite\\");
  }
  {
    Parsed p;
    Parse(p, L"-D E:\\X");
    EXPECT_EQ(p.engine.GetInstallFolder(), L"E:\\X\\Lumen Office\\");
    EXPECT_EQ(p.app.InstallPath, L"");  // only "p" is kept as the command line's own folder
  }
  {  // both: "p" wins, whatever the order
    Parsed p;
    Parse(p, L"-D E:\\X -p F:\\Y");
    EXPECT_EQ(p.engine.GetInstallFolder(), L"F:\\Y\\");
  }
  // "D" keeps a folder that already names the product, and does not clean its value.
  EXPECT_EQ(InstallFolderFromD(L"E:\\Lumen Office"), L"E:\\Lumen Office\\");
  EXPECT_EQ(InstallFolderFromD(L"E:\\lumen office"), L"E:\\lumen office\\Lumen Office\\");
  EXPECT_EQ(InstallFolderFromD(L" E:\\X/"), L" E:\\X/Lumen Office\\");
  EXPECT_EQ(InstallFolderFromP(L"  G:\\a\\\\\\\\b/  \""), L"G:\\a\\b/");
  EXPECT_EQ(InstallFolderFromP(L"C:/"), L"C:/");  // a slash-ended root is not "C:\"
}

TEST(CommandLine, CleanedValuesAndReportInfo) {
  Parsed p;
  // A quoted value ending in a backslash arrives with the closing quote still attached.
  p.app.ParseArguments({L"setup.exe", L"-localapp=C:\\Users\\u\\AppData\\Local\\\"", L"-appdata=  R:\\x \" ",
                        L"-tod=7.88.9", L"-productid=", L"-versiontypes=pro"},
                       p.engine);
  EXPECT_EQ(p.engine.HandedOver.LocalAppData, L"C:\\Users\\u\\AppData\\Local\\");
  EXPECT_EQ(p.engine.HandedOver.AppDataPath, L"R:\\x");
  EXPECT_EQ(p.engine.Tod1, L"7");
  EXPECT_EQ(p.engine.Tod2, L"88.9");
  EXPECT_EQ(p.engine.ProductId, L"");
  EXPECT_EQ(p.engine.VersionTypes, L"pro");

  Parsed q;
  q.engine.Tod1 = L"kept";
  Parse(q, L"-tod=nodot");
  EXPECT_EQ(q.engine.Tod1, L"kept");
  EXPECT_EQ(q.engine.Tod2, L"");
}

TEST(CommandLine, OptionSwitchesAndTheirOrder) {
  Parsed none;
  Parse(none, L"");
  EXPECT_EQ(none.engine.GetAssoWord(), kOptionUnset);
  EXPECT_EQ(none.engine.GetSaveToMso(), kOptionUnset);
  EXPECT_EQ(none.engine.GetDesktopShortcut(), kOptionUnset);
  EXPECT_EQ(none.engine.GetRecommendEnabled(), 1);

  Parsed p;
  Parse(p, L"-defaultOpen -notDefaultOpen -defaultSave -notCreateIcons -showrecommend -notshowrecommend -e");
  EXPECT_EQ(p.engine.GetAssoWord(), 0);  // "notDefaultOpen" is applied after "defaultOpen"
  EXPECT_EQ(p.engine.GetAssoExcel(), 0);
  EXPECT_EQ(p.engine.GetAssoPowerpoint(), 0);
  EXPECT_EQ(p.engine.GetAssoOther(), 0);
  EXPECT_EQ(p.engine.GetSaveToMso(), 1);
  EXPECT_EQ(p.engine.GetDesktopShortcut(), 0);
  EXPECT_EQ(p.engine.GetRecommendEnabled(), 1);  // "showrecommend" wins
  EXPECT_EQ(p.app.DebugExtract, 1);
  EXPECT_EQ(p.app.Silent, 0);

  Parsed q;
  Parse(q, L"-showsilent -downpower -upgradepower");
  EXPECT_EQ(q.app.Silent, 1);
  EXPECT_EQ(q.app.DownPower, 1);
  EXPECT_EQ(q.app.UpgradePower, 1);
}

}  // namespace
