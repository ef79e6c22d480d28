#include "dialogs/wizard_rules.h"

#include "sys/file_utils.h"
#include "sys/path_text.h"

namespace {

const wchar_t kBlanks[] = L" \t\r\n";

std::wstring Trimmed(const std::wstring& text) {
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::wstring::npos) return std::wstring();
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::wstring::npos; at += to.size()) text.replace(at, from.size(), to);
}

}  // namespace

std::wstring DefaultWizardFolder(const FolderInputs& in) {
  std::wstring folder = in.CommandLine;
  if (folder.empty()) {
    folder = in.OldRoot;
    if (!folder.empty() && !in.OldIsNewLayout) {
      ZFunction::TrimVersionFolders(folder);
      ZFunction::ReplaceFolderInPath(folder, in.ProgramFiles, in.LocalAppData);
    } else if (!folder.empty()) {
      ZFunction::TrimVersionFolder(folder);
    } else {
      folder = ZFunction::WithSlash(in.LocalAppData) + L"Tallis\\Lumen Office\\";
    }
  }
  folder = ZFunction::WithSlash(folder);
  for (const wchar_t* edition : {L"\\Lumen Office Professional\\", L"\\Lumen Office Personal\\", L"\\Lumen Office 2007\\",
                                 L"\\Lumen Office 2009\\"})
    ReplaceAll(folder, edition, L"\\Lumen Office\\");
  return folder;
}

std::wstring CleanInstallFolder(const std::wstring& typed) {
  std::wstring folder = Trimmed(typed) + L"\\";
  while (folder.find(L"\\\\") != std::wstring::npos) ReplaceAll(folder, L"\\\\", L"\\");
  return folder;
}

std::wstring CheckInstallFolder(const std::wstring& typed, FolderChecks& system, std::wstring* folder) {
  *folder = CleanInstallFolder(typed);
  const std::wstring& f = *folder;
  // Counted on what was typed: "D:" is no folder, even though a backslash would make it a root.
  if (Trimmed(typed).size() < 3) return kMsgBadPath;
  if (f[1] != L':' || f[2] != L'\\') return kMsgBadPath;
  if (f[f.size() - 2] == L'\\' || f.find(L';') != std::wstring::npos) return kMsgBadPath;
  // Every file of the suite must be reachable by a plain path (fewer than 260 characters), as the
  // installation itself demands; nothing is made for a folder too long for it.
  if (f.size() + system.ProductPathChars() >= 260) return kMsgTooLong;
  if (!system.CreateTree(f)) return kMsgBadPath;
  if (f.size() == 3) return kMsgRootPath;
  if (system.FreeMiB(f.substr(0, 2)) < kNeededMiB) {
    system.RemoveEmpty(f);
    return kMsgNoSpace;
  }
  const std::wstring blocking = system.BlockingProgram();
  if (!blocking.empty()) return L"有一个 Lumen Office 应用程序实例 " + blocking + L" 在运行，请关闭后再开始安装！";
  return std::wstring();
}
