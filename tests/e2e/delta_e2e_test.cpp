// Updates by delta: the installer that carries only what changed since the older release
// (tests/data/make_delta_data.sh), against the full installer of the same new version, run over
// the older release as the suite's updater runs them ("-update").
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "packet/packet_format.h"
#include "sys/file_utils.h"
#include "sys/registry.h"
#include "suite/suite_programs.h"
#include "tests/e2e/demo_install.h"
#include "tests/support/test_support.h"

using namespace demo_install;
using testing_support::Process;
using testing_support::ReadBytes;
using testing_support::Tree;
using testing_support::WriteBytes;

namespace {

constexpr int kDeltaRefused = 8;

std::wstring DeltaData(const wchar_t* file) { return testing_support::TestedData(L"deltadata") + file; }

// The paths whose content differs between two trees, or that only one holds.
std::string Differences(const std::map<std::wstring, std::string>& a, const std::map<std::wstring, std::string>& b) {
  std::string list;
  auto add = [&list](const std::wstring& name) {
    char narrow[MAX_PATH * 3] = {};
    WideCharToMultiByte(CP_UTF8, 0, name.c_str(), -1, narrow, sizeof(narrow) - 1, nullptr, nullptr);
    list += std::string(" ") + narrow;
  };
  for (const auto& [name, bytes] : a) {
    const auto other = b.find(name);
    if (other == b.end() || other->second != bytes) add(name);
  }
  for (const auto& [name, bytes] : b)
    if (!a.count(name)) add(name);
  return list;
}

class DeltaUpdate : public DemoInstall {
 protected:
  void InstallOlderRelease() {
    UseInstaller(OldDemoInstaller());
    ASSERT_EQ(Install(L"-s"), 0) << log_;
  }
  std::wstring NewFolder() const { return DefaultRoot() + kVersion + L"\\"; }
  std::wstring OldFolder() const { return DefaultRoot() + kOldVersion + L"\\"; }
  std::wstring InstallState() const {
    return ZFunction::ReadRegString(HKEY_CURRENT_USER, L"Software\\Tallis\\Office\\6.0\\common\\updateinfo\\usersetting",
                                    L"InstallState");
  }
  // A refused delta run: its exit code, the installed version as it was, nothing new left.
  void ExpectRefused(const std::map<std::wstring, std::string>& before, const char* cause) {
    EXPECT_EQ(Install(L"-update"), kDeltaRefused) << log_;
    EXPECT_TRUE(Logged(cause)) << log_;
    EXPECT_EQ(Differences(Tree(DefaultRoot()), before), "") << "the installed version changed";
    EXPECT_EQ(InstallState(), L"1");
  }
};

TEST_F(DeltaUpdate, GivesTheTreeOfTheFullUpdate) {
  InstallOlderRelease();
  UseInstaller(DeltaData(L"setup-delta.exe"));
  ASSERT_EQ(Install(L"-update"), 0) << log_;
  EXPECT_TRUE(Logged("update by delta: built ")) << log_;
  EXPECT_TRUE(Logged(", 28 files copied, 2 patched, 6 carried whole, ")) << log_;  // strings.txt and deck.exe patched
  EXPECT_EQ(InstallState(), L"0");
  const auto byDelta = Tree(NewFolder());

  ForgetInstallations();
  InstallOlderRelease();
  UseInstaller(DeltaData(L"setup-full.exe"));
  ASSERT_EQ(Install(L"-update"), 0) << log_;
  const auto byFull = Tree(NewFolder());
  EXPECT_GT(byFull.size(), 30u);
  EXPECT_EQ(Differences(byDelta, byFull), "");
}

// An installation that does not say whether its updates need elevation is updated silently:
// the older release's registration and folders are removed before the new version registers.
TEST_F(DeltaUpdate, ASilentUpdateGivesTheTreeOfTheFullUpdateToo) {
  std::map<std::wstring, std::string> trees[2];
  for (int full = 0; full < 2; ++full) {
    ForgetInstallations();
    InstallOlderRelease();
    WritePrivateProfileStringW(L"update", L"needAdmin", L"", (DefaultRoot() + L"utility\\install.ini").c_str());
    UseInstaller(DeltaData(full ? L"setup-full.exe" : L"setup-delta.exe"));
    ASSERT_EQ(Install(L"-update"), 0) << log_;
    EXPECT_TRUE(Logged("current install type is updatesilent.")) << log_;
    trees[full] = Tree(NewFolder());
  }
  EXPECT_TRUE(trees[0].count(L"office6\\addons")) << "the new version's empty folder";
  EXPECT_EQ(Differences(trees[0], trees[1]), "");
}

TEST_F(DeltaUpdate, AnInstalledFileChangedByOneByteIsRefusedWithNothingTouched) {
  InstallOlderRelease();
  UseInstaller(DeltaData(L"setup-delta.exe"));
  // A file the delta copies, then one it patches: each refused by name.
  for (const wchar_t* name : {L"office6\\qt.conf", L"office6\\2052\\strings.txt"}) {
    SCOPED_TRACE(testing::Message() << "changed: " << name);
    const std::wstring file = OldFolder() + name;
    const std::string good = ReadBytes(file);
    std::string bad = good;
    bad[bad.size() / 2] ^= 1;
    WriteBytes(file, bad);
    const auto before = Tree(DefaultRoot());
    char narrow[MAX_PATH] = {};
    WideCharToMultiByte(CP_ACP, 0, name, -1, narrow, sizeof(narrow) - 1, nullptr, nullptr);
    ExpectRefused(before, (std::string("the installed file ") + narrow).c_str());
    WriteBytes(file, good);
  }
}

TEST_F(DeltaUpdate, NoInstallationOrNoUpdateSwitchIsRefused) {
  UseInstaller(DeltaData(L"setup-delta.exe"));
  EXPECT_EQ(Install(L"-update"), kDeltaRefused) << log_;
  EXPECT_TRUE(Logged("no installation of the suite is registered")) << log_;
  EXPECT_FALSE(ZFunction::FolderExists(DefaultRoot() + kVersion));
  EXPECT_EQ(Install(L"-s"), kDeltaRefused) << log_;
  EXPECT_TRUE(Logged("it runs only as an update (-update)")) << log_;
}

// Damage that passes the packet's own check (the entry's CRC-32 recomputed), in the new files
// and patches and in the manifest, and a well-formed manifest that says another SHA-256 for a
// file it carries: refused, the installation untouched.
TEST_F(DeltaUpdate, ADamagedDeltaIsRefused) {
  InstallOlderRelease();
  {
    const auto before = Tree(DefaultRoot());
    UseInstaller(DeltaData(L"setup-forged.exe"));
    ExpectRefused(before, "its file office6\\2052\\extra.dat holds other bytes than the update expects (SHA-256)");
  }
  const std::string good = ReadBytes(DeltaData(L"setup-delta.exe"));
  const auto u32 = [&good](size_t at) { return packet::ReadU32(reinterpret_cast<const unsigned char*>(good.data()) + at); };
  size_t at = u32(u32(0x3C) + 8) + 6;  // the first entry
  const auto before = Tree(DefaultRoot());
  for (int entry = 0; entry < 3; ++entry) {
    const size_t length = u32(at), data = at + 8;
    if (entry > 0) {
      SCOPED_TRACE(testing::Message() << "entry " << entry);
      std::string bad = good;
      bad[data + length / 2] ^= 0x10;
      const uint32_t crc = packet::Crc32(bad.data() + data, length);
      for (int i = 0; i < 4; ++i) bad[at + 4 + i] = static_cast<char>(crc >> (8 * i));
      WriteBytes(exe_, bad);
      ExpectRefused(before, "the update cannot be applied");
    }
    at = data + length;
  }
}

// Killed while it builds, the run leaves the older release registered and whole; so does a
// build that was left incomplete. The next run completes the update.
TEST_F(DeltaUpdate, KilledWhileBuildingThenRunAgainCompletes) {
  InstallOlderRelease();
  const auto installed = Tree(OldFolder());
  UseInstaller(DeltaData(L"setup-delta.exe"));
  {
    Process run;
    ASSERT_TRUE(run.Start(exe_, L"-update", dir_.Path()));
    const std::wstring building = DefaultRoot() + L"~" + kVersion + L".delta";
    for (DWORD start = GetTickCount(); GetTickCount() - start < 30000 && !ZFunction::FolderExists(building);) Sleep(1);
    run.Kill();
  }
  EXPECT_EQ(Differences(Tree(OldFolder()), installed), "");
  EXPECT_NE(ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kUninstallKey, L"UninstallString").find(kOldVersion),
            std::wstring::npos);
  // And a version folder the update began but never finished.
  ZFunction::CreateFolderTree(NewFolder() + L"office6");
  WriteBytes(NewFolder() + L"office6\\lmo.dll", "half");

  ASSERT_EQ(Install(L"-update"), 0) << log_;
  EXPECT_TRUE(Logged("holds an incomplete build")) << log_;
  EXPECT_EQ(ReadBytes(NewFolder() + L"office6\\2052\\strings.txt"),
            ReadBytes(DeltaData(L"product\\office6\\2052\\strings.txt")));
  EXPECT_FALSE(ZFunction::FolderExists(DefaultRoot() + L"~" + kVersion + L".new"));
  EXPECT_FALSE(ZFunction::FolderExists(DefaultRoot() + L"~" + kVersion + L".delta"));
}

}  // namespace
