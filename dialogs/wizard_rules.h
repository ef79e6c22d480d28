// The wizard's rules as plain functions: which folder it proposes, how a typed folder is cleaned
// and which message, if any, refuses it. The system is reached through FolderChecks so that the
// rules are tested with values.
#pragma once

#include <string>
#include <vector>

// What the wizard proposes its default folder from.
struct FolderInputs {
  std::wstring CommandLine;   // given on the command line; wins when not empty
  std::wstring OldRoot;       // the old installation's root, "" when there is none
  bool OldIsNewLayout = false;  // its utility\install.ini says "newinstall"="true"
  std::vector<std::wstring> ProgramFiles;  // the program-files folders
  std::wstring LocalAppData;  // the user's local application data folder
};
// The folder the wizard shows first, with a trailing backslash.
std::wstring DefaultWizardFolder(const FolderInputs& in);

// Blanks around removed, a trailing backslash added, doubled backslashes made single.
std::wstring CleanInstallFolder(const std::wstring& typed);

// The system as the validation needs it.
class FolderChecks {
 public:
  virtual ~FolderChecks() = default;
  virtual bool CreateTree(const std::wstring& folder) = 0;
  virtual double FreeMiB(const std::wstring& drive) = 0;  // drive as "D:"
  virtual void RemoveEmpty(const std::wstring& folder) = 0;
  virtual std::wstring BlockingProgram() = 0;  // a running suite program, "" when none
  // How many characters the suite adds below the install folder: its version folder and its
  // longest file name (the installation refuses a folder where that reaches 260).
  virtual size_t ProductPathChars() = 0;
};

// The message that refuses `typed` (as the user typed it), or "" when the folder is accepted;
// `folder` receives the cleaned folder either way.
std::wstring CheckInstallFolder(const std::wstring& typed, FolderChecks& system, std::wstring* folder);

inline constexpr wchar_t kMsgBadPath[] = L"您选择的路径不正确，请重新选择。";
inline constexpr wchar_t kMsgRootPath[] = L"不能安装在根目录，请重新选择。";
inline constexpr wchar_t kMsgNoSpace[] = L"您选择的磁盘空间不足，请重新选择。";
inline constexpr wchar_t kMsgTooLong[] = L"您选择的路径太长，请选择较短的路径。";
inline constexpr double kNeededMiB = 180.0;
