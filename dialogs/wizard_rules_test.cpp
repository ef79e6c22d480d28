// The wizard's folder rules with values: the proposed folder and each refusal, in order.
#include "dialogs/wizard_rules.h"

#include <gtest/gtest.h>

namespace {

struct FakeSystem : FolderChecks {
  double Free = 500;
  std::wstring Blocking;
  bool CanCreate = true;
  std::wstring Removed;
  bool CreateTree(const std::wstring&) override { return CanCreate; }
  double FreeMiB(const std::wstring& drive) override { return drive == L"D:" ? Free : 0; }
  void RemoveEmpty(const std::wstring& folder) override { Removed = folder; }
  std::wstring BlockingProgram() override { return Blocking; }
  size_t ProductPathChars() override { return 40; }
};

TEST(WizardRules, DefaultFolder) {
  FolderInputs in;
  in.ProgramFiles = {L"C:\\Program Files (x86)", L"C:\\Program Files"};
  in.LocalAppData = L"C:\\Users\\u\\AppData\\Local";
  EXPECT_EQ(DefaultWizardFolder(in), L"C:\\Users\\u\\AppData\\Local\\Tallis\\Lumen Office\\");
  // An older-layout installation below either Program Files moves to local application data.
  in.OldRoot = L"C:\\Program Files\\Tallis\\Lumen Office Personal\\9.1.0.4567\\";
  EXPECT_EQ(DefaultWizardFolder(in), L"C:\\Users\\u\\AppData\\Local\\Tallis\\Lumen Office\\");
  in.OldRoot = L"c:\\program files (x86)\\Tallis\\Lumen Office 2007";
  EXPECT_EQ(DefaultWizardFolder(in), L"C:\\Users\\u\\AppData\\Local\\Tallis\\Lumen Office\\");
  in.ProgramFiles = {L"C:\\Program Files"};
  in.OldRoot = L"C:\\Program Files (x86)\\Tallis\\Lumen Office";
  EXPECT_EQ(DefaultWizardFolder(in), L"C:\\Program Files (x86)\\Tallis\\Lumen Office\\") << "only whole folder names";
  // The new layout keeps its place, without its version folder.
  in.OldIsNewLayout = true;
  in.OldRoot = L"D:\\Apps\\Lumen Office 2009\\9.1.0.4567";
  EXPECT_EQ(DefaultWizardFolder(in), L"D:\\Apps\\Lumen Office\\");
  in.CommandLine = L"E:\\Suite";
  EXPECT_EQ(DefaultWizardFolder(in), L"E:\\Suite\\");
}

TEST(WizardRules, EachRefusalInItsOrder) {
  FakeSystem system;
  std::wstring folder;
  EXPECT_EQ(CheckInstallFolder(L"D:", system, &folder), kMsgBadPath);
  EXPECT_EQ(CheckInstallFolder(L"D:\\", system, &folder), kMsgRootPath);
  EXPECT_EQ(CheckInstallFolder(L"D:Lumen", system, &folder), kMsgBadPath);
  EXPECT_EQ(CheckInstallFolder(L"D:\\a;b", system, &folder), kMsgBadPath);
  system.CanCreate = false;
  EXPECT_EQ(CheckInstallFolder(L"D:\\x", system, &folder), kMsgBadPath);
  EXPECT_EQ(CheckInstallFolder(L"D:\\" + std::wstring(216, L'x'), system, &folder), kMsgTooLong)
      << "too long before anything is made";
  system.CanCreate = true;
  EXPECT_EQ(CheckInstallFolder(L"D:\\" + std::wstring(215, L'x'), system, &folder), L"") << "219 + 40 fit";
  system.CanCreate = true;

  EXPECT_EQ(CheckInstallFolder(L"  D:\\\\Apps\\\\\\\\Lumen  ", system, &folder), L"");
  EXPECT_EQ(folder, L"D:\\Apps\\Lumen\\");

  system.Free = 179.9;
  EXPECT_EQ(CheckInstallFolder(L"D:\\Apps", system, &folder), kMsgNoSpace);
  EXPECT_EQ(system.Removed, L"D:\\Apps\\") << "the folders just made go again";
  system.Free = 180;
  system.Blocking = L"lmo.exe";
  EXPECT_EQ(CheckInstallFolder(L"D:\\Apps", system, &folder),
            L"有一个 Lumen Office 应用程序实例 lmo.exe 在运行，请关闭后再开始安装！");
}

}  // namespace
