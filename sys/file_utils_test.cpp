// Folder, file and version helpers on real files in throw-away folders.
#include "sys/file_utils.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/test_support.h"

using testing_support::Exists;
using testing_support::ReadBytes;
using testing_support::TempFolder;
using testing_support::WriteBytes;

namespace {

const wchar_t kPendingKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";

bool PendingDeletion(const std::wstring& path) {
  const auto v = testing_support::ReadMultiString(HKEY_LOCAL_MACHINE, kPendingKey, L"PendingFileRenameOperations");
  for (size_t i = 0; i < v.size(); i += 2)  // pairs of source and target; no target = delete
    if (_wcsicmp(v[i].c_str(), (L"\\??\\" + path).c_str()) == 0 && (i + 1 >= v.size() || v[i + 1].empty())) return true;
  return false;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((folder + L"*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(fd.cFileName);
  while (FindNextFileW(h, &fd));
  FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

TEST(DeleteFolder, RemovesTreesAndMovesAsideWhatIsInUse) {
  TempFolder dir;
  const std::wstring root = dir / L"old\\";
  ZFunction::CreateFolderTree(root + L"office6\\2052");
  WriteBytes(root + L"office6\\2052\\res.dat", "r");
  WriteBytes(root + L"readonly.txt", "x");
  SetFileAttributesW((root + L"readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  WriteBytes(root + L"locked.dll", "in use");
  const std::wstring tool = testing_support::BinFolder() + L"testtool.exe";
  CopyFileW(tool.c_str(), (root + L"lmomisc.exe").c_str(), FALSE);

  // Another process holds a file open without sharing, and a suite program runs from the
  // folder: neither can be deleted now.
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, L"lumen-test-hold-ready");
  testing_support::Process holder, running;
  ASSERT_TRUE(holder.Start(tool, L"hold \"" + root + L"locked.dll\" lumen-test-hold-ready 3000"));
  ASSERT_EQ(WaitForSingleObject(ready, 10000), WAIT_OBJECT_0);
  ASSERT_TRUE(running.Start(root + L"lmomisc.exe", L"sleep 3000"));
  Sleep(200);

  EXPECT_TRUE(ZFunction::DeleteFolder(root, {}, true));

  EXPECT_FALSE(Exists(root + L"office6"));
  EXPECT_FALSE(Exists(root + L"readonly.txt"));
  EXPECT_TRUE(Exists(root)) << "the folder stays while files in it are in use";
  const std::vector<std::wstring> left = FilesIn(root);
  ASSERT_EQ(left.size(), 2u);
  // A running program's file can be renamed: it is moved aside as
  // "<name>_d_<tick count in hex>" and the new name registered.
  EXPECT_EQ(left[0].substr(0, 14), L"lmomisc.exe_d_");
  EXPECT_EQ(left[0].find_first_not_of(L"0123456789abcdef", 14), std::wstring::npos) << testing_support::Narrow(left[0]);
  EXPECT_TRUE(PendingDeletion(root + left[0]));
  // A file open without sharing cannot even be renamed: it is registered under its own name.
  EXPECT_EQ(left[1], L"locked.dll");
  EXPECT_TRUE(PendingDeletion(root + left[1]));

  // Without the restart flag the file that could not be renamed is left alone.
  const std::wstring other = dir / L"other\\";
  ZFunction::CreateFolderTree(other);
  WriteBytes(other + L"held.txt", "h");
  ResetEvent(ready);
  testing_support::Process holder2;
  ASSERT_TRUE(holder2.Start(tool, L"hold \"" + other + L"held.txt\" lumen-test-hold-ready 3000"));
  ASSERT_EQ(WaitForSingleObject(ready, 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(ZFunction::DeleteFolder(other));
  EXPECT_TRUE(Exists(other + L"held.txt"));
  EXPECT_FALSE(PendingDeletion(other + L"held.txt"));
  holder.Wait();
  holder2.Wait();
  running.Wait();
  CloseHandle(ready);
}

TEST(DeleteFolder, MissingFolderAndDriverCopiesOfTheSuitesDriversOnly) {
  TempFolder dir;
  EXPECT_TRUE(ZFunction::DeleteFolder(dir / L"does-not-exist"));

  const std::wstring drivers = ZFunction::GetDriversFolder();
  ASSERT_FALSE(drivers.empty());
  ASSERT_EQ(drivers.substr(drivers.size() - 9), L"\\drivers\\");
  WriteBytes(drivers + L"lumentestflt.sys", "driver");
  WriteBytes(drivers + L"lumentestother.sys", "someone else's driver");
  const std::wstring root = dir / L"drv\\";
  ZFunction::CreateFolderTree(root);
  WriteBytes(root + L"LumenTestFlt.SYS", "copy");
  WriteBytes(root + L"lumentestother.sys", "planted");

  EXPECT_TRUE(ZFunction::DeleteFolder(root, {L"lumentestflt.sys"}, true));
  EXPECT_FALSE(Exists(root));
  EXPECT_FALSE(Exists(drivers + L"lumentestflt.sys"));
  EXPECT_TRUE(Exists(drivers + L"lumentestother.sys")) << "not a driver of the suite";
  DeleteFileW((drivers + L"lumentestother.sys").c_str());
}

TEST(DeleteFolder, RemovesLinksNotWhatTheyPointTo) {
  TempFolder dir;
  const std::wstring target = dir / L"target\\", tree = dir / L"tree\\";
  ZFunction::CreateFolderTree(target + L"sub");
  ZFunction::CreateFolderTree(tree);
  WriteBytes(target + L"keep.txt", "keep");
  WriteBytes(target + L"sub\\keep.sys", "keep");
  // Wine answers CreateSymbolicLink with success and makes nothing.
  const DWORD made = CreateSymbolicLinkW((tree + L"link").c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY)
                         ? GetFileAttributesW((tree + L"link").c_str())
                         : INVALID_FILE_ATTRIBUTES;
  if (made == INVALID_FILE_ATTRIBUTES || !(made & FILE_ATTRIBUTE_REPARSE_POINT))
    GTEST_SKIP() << "no directory links made here";

  EXPECT_TRUE(ZFunction::DeleteFolder(tree, {L"keep.sys"}, true));
  EXPECT_FALSE(Exists(tree));
  EXPECT_TRUE(Exists(target + L"keep.txt"));
  EXPECT_TRUE(Exists(target + L"sub\\keep.sys"));

  // A link given as the folder itself.
  ASSERT_TRUE(CreateSymbolicLinkW((dir / L"alias").c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY));
  EXPECT_TRUE(ZFunction::DeleteFolder(dir / L"alias\\", {L"keep.sys"}, true));
  EXPECT_FALSE(Exists(dir / L"alias"));
  EXPECT_TRUE(Exists(target + L"keep.txt"));
}

// (Links on the way are refused; Wine makes none through CreateSymbolicLink, so the
// end-to-end link test plants them from outside.)
TEST(FolderTree, MadeWithoutLinksLevelByLevel) {
  TempFolder dir;
  EXPECT_TRUE(ZFunction::CreateFolderTreeWithoutLinks(dir / L"a\\b\\c\\"));
  EXPECT_TRUE(ZFunction::IsFolderWithoutLinks(dir / L"a\\b\\c"));
  EXPECT_FALSE(ZFunction::IsFolderWithoutLinks(dir / L"a\\missing"));
  WriteBytes(dir / L"a\\file", "f");
  EXPECT_FALSE(ZFunction::CreateFolderTreeWithoutLinks(dir / L"a\\file\\sub"));
  EXPECT_FALSE(ZFunction::CreateFolderTreeWithoutLinks(L"relative\\folder"));
}

TEST(FolderTree, CreateCopyAndRemoveEmpty) {
  TempFolder dir;
  EXPECT_TRUE(ZFunction::CreateFolderTree(dir / L"a\\b\\c"));
  EXPECT_TRUE(ZFunction::FolderExists(dir / L"a\\b\\c"));
  EXPECT_TRUE(ZFunction::CreateFolderTree(dir / L"a\\b\\c\\"));  // already there
  WriteBytes(dir / L"a\\file", "f");
  EXPECT_FALSE(ZFunction::CreateFolderTree(dir / L"a\\file\\sub"));  // a file is in the way
  EXPECT_FALSE(ZFunction::CreateFolderTree(L"Q:\\no\\such\\drive"));

  ZFunction::CreateFolderTree(dir / L"src\\oem\\img\\deep");
  WriteBytes(dir / L"src\\oem.ini", "[setup]\r\n");
  WriteBytes(dir / L"src\\oem\\img\\logo.png", std::string(70000, '\x89'));
  WriteBytes(dir / L"src\\oem\\img\\deep\\中文.txt", "zh");
  WriteBytes(dir / L"dst\\x\\oem.ini", "stale");  // does not exist: its folder is missing
  EXPECT_TRUE(ZFunction::CopyFolder(dir / L"src", dir / L"dst\\x\\y"));
  EXPECT_EQ(ReadBytes(dir / L"dst\\x\\y\\oem.ini"), "[setup]\r\n");
  EXPECT_EQ(ReadBytes(dir / L"dst\\x\\y\\oem\\img\\logo.png"), std::string(70000, '\x89'));
  EXPECT_EQ(ReadBytes(dir / L"dst\\x\\y\\oem\\img\\deep\\中文.txt"), "zh");
  WriteBytes(dir / L"src\\oem.ini", "new");
  EXPECT_TRUE(ZFunction::CopyFolder(dir / L"src\\", dir / L"dst\\x\\y\\"));
  EXPECT_EQ(ReadBytes(dir / L"dst\\x\\y\\oem.ini"), "new") << "existing files are overwritten";
  EXPECT_TRUE(ZFunction::CopyFolder(dir / L"missing", dir / L"dst2"));  // nothing to copy

  ZFunction::CreateFolderTree(dir / L"e\\1\\2\\3");
  ZFunction::CreateFolderTree(dir / L"e\\kept\\sub");
  WriteBytes(dir / L"e\\kept\\note.txt", "n");
  EXPECT_TRUE(ZFunction::RemoveEmptyFolders(dir / L"e"));
  EXPECT_FALSE(Exists(dir / L"e\\1"));
  EXPECT_FALSE(Exists(dir / L"e\\kept\\sub"));
  EXPECT_EQ(ReadBytes(dir / L"e\\kept\\note.txt"), "n");
}

TEST(VersionFolders, TrimOneOrAll) {
  struct Case {
    const wchar_t *in, *one, *all;
  } cases[] = {
      {L"C:\\Suite\\9.1.0.4567\\", L"C:\\Suite\\", L"C:\\Suite\\"},
      {L"C:\\Suite\\9.1.0.4567\\1.2.3.4\\", L"C:\\Suite\\9.1.0.4567\\", L"C:\\Suite\\"},
      {L"C:\\Suite\\Programs\\", L"C:\\Suite\\Programs", L"C:\\Suite\\Programs\\"},
      {L"C:\\Suite\\1.2.3\\", L"C:\\Suite\\1.2.3", L"C:\\Suite\\1.2.3\\"},
      {L"C:/Suite/9.1.0.4567", L"C:/Suite\\", L"C:/Suite\\"},
      {L"9.1.0.4567", L"9.1.0.4567", L"9.1.0.4567\\"},
      {L"", L"", L""},
  };
  for (const Case& c : cases) {
    std::wstring one = c.in, all = c.in;
    ZFunction::TrimVersionFolder(one);
    ZFunction::TrimVersionFolders(all);
    EXPECT_EQ(one, c.one) << testing_support::Narrow(c.in);
    EXPECT_EQ(all, c.all) << testing_support::Narrow(c.in);
  }
}

TEST(Files, LoadFileTextLimitsAndZeroBytes) {
  TempFolder dir;
  std::string text;
  WriteBytes(dir / L"limit", std::string(ZFunction::kMaxTextFile, 'a'));
  EXPECT_TRUE(ZFunction::LoadFileText(dir / L"limit", text));
  EXPECT_EQ(text.size(), ZFunction::kMaxTextFile);
  WriteBytes(dir / L"over", std::string(ZFunction::kMaxTextFile + 1, 'a'));
  EXPECT_FALSE(ZFunction::LoadFileText(dir / L"over", text));
  WriteBytes(dir / L"zero", std::string("abc\0def", 7));
  EXPECT_TRUE(ZFunction::LoadFileText(dir / L"zero", text));
  EXPECT_EQ(text, "abc");
  WriteBytes(dir / L"empty", "");
  EXPECT_TRUE(ZFunction::LoadFileText(dir / L"empty", text));
  EXPECT_EQ(text, "");
  EXPECT_FALSE(ZFunction::LoadFileText(dir / L"missing", text));
}

}  // namespace
