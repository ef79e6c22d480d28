// The relaunch command lines, the exit-code message and the install state, checked as values.
#include "app/two_copies.h"

#include <gtest/gtest.h>

#include "app/command_line.h"
#include "sys/registry.h"
#include "sys/suite_programs.h"

namespace {

TEST(Relaunch, ElevatedCopyCommandLine) {
  EXPECT_EQ(BuildElevatedParameters(L"C:\\Users\\u\\AppData\\Local", L"C:\\Users\\u\\AppData\\Roaming", L"", L"", L"",
                                    L"D:\\Old\\", {L"-s", L"-p", L"E:\\x"}),
            L" -needcommunicate -localapp=\"C:\\Users\\u\\AppData\\Local\" -appdata=\"C:\\Users\\u\\AppData\\Roaming\""
            L" -oldinstallpath=\"D:\\Old\\\" -upgradepower -s -p E:\\x");
  EXPECT_EQ(BuildElevatedParameters(L"L", L"R", L"C:\\Cur", L"Lumen", L"1.0.0.1;1.0.0.2", L"C:\\Cur", {}),
            L" -needcommunicate -localapp=\"L\" -appdata=\"R\" -curinstallpath=\"C:\\Cur\" -curstartmenu=\"Lumen\""
            L" -waitclearlist=\"1.0.0.1;1.0.0.2\" -oldinstallpath=\"C:\\Cur\" -upgradepower");

  // An argument with a blank, given in quotes, is passed on unquoted: the elevated copy sees
  // two arguments.
  const std::wstring params =
      BuildElevatedParameters(L"C:\\Users\\A B\\Local", L"R", L"", L"", L"", L"", {L"-p", L"C:\\My Docs"});
  const std::vector<std::wstring> args = SplitCommandLine(params);
  ASSERT_EQ(args.size(), 7u);
  EXPECT_EQ(args[1], L"-localapp=C:\\Users\\A B\\Local");  // quoted values keep their blanks
  EXPECT_EQ(args[5], L"C:\\My");
  EXPECT_EQ(args[6], L"Docs");

  EXPECT_LE(BuildElevatedParameters(L"L", L"R", L"", L"", L"", L"", {std::wstring(20000, L'x')}).size(), 10240u);
}

TEST(Relaunch, UserCopyCommandLine) {
  EXPECT_EQ(BuildUserCopyParameters({}), L" -downpower");
  EXPECT_EQ(BuildUserCopyParameters({L"-s", L"-p", L"C:\\A B"}), L" -downpower -s -p C:\\A B");
}

TEST(UserCopyMessages, ExitCodeRequestIsCheckedBeforeUse) {
  int code = -1;
  wchar_t text[20] = L"4";
  EXPECT_TRUE(ParseExitCodeRequest(COPYDATASTRUCT{8, sizeof(text), text}, &code));
  EXPECT_EQ(code, 4);
  wchar_t negative[20] = L"-7";
  EXPECT_TRUE(ParseExitCodeRequest(COPYDATASTRUCT{8, sizeof(negative), negative}, &code));
  EXPECT_EQ(code, -7);
  wchar_t unterminated[2] = {L'1', L'2'};
  EXPECT_FALSE(ParseExitCodeRequest(COPYDATASTRUCT{8, sizeof(unterminated), unterminated}, &code));
  EXPECT_FALSE(ParseExitCodeRequest(COPYDATASTRUCT{8, 1, text}, &code));  // not even one character
  EXPECT_FALSE(ParseExitCodeRequest(COPYDATASTRUCT{8, sizeof(text), nullptr}, &code));
  EXPECT_FALSE(ParseExitCodeRequest(COPYDATASTRUCT{7, sizeof(text), text}, &code));
}

TEST(UpdateRun, InstallStateAndSingleInstance) {
  WriteInstallState(0);
  EXPECT_EQ(ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kUserSettingKey, L"InstallState"), L"0");
  WriteInstallState(4);
  EXPECT_EQ(ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kUserSettingKey, L"InstallState"), L"1");
  ZFunction::DeleteRegValue(HKEY_CURRENT_USER, suite::kUserSettingKey, L"InstallState");

  // The first test in this process creates the mapping; asking again finds it held by us.
  EXPECT_FALSE(IsAnotherSetupRunning());
  EXPECT_TRUE(IsAnotherSetupRunning());
  CloseSingleInstance();
}

}  // namespace
