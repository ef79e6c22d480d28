// Helpers shared by the test programs: throw-away folders, files, and starting the helper
// programs that sit beside the test programs.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace testing_support {

// A fresh folder below the temporary folder, removed with its contents when the object ends.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::wstring& Path() const { return path_; }  // ends in a backslash
  std::wstring operator/(const std::wstring& name) const { return path_ + name; }

 private:
  std::wstring path_;
};

void WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
bool Exists(const std::wstring& path);

// The journal of the demo suite's stand-in programs, pointed (LUMEN_DEMO_JOURNAL) at a file of
// the caller's own while this object lives; programs started meanwhile inherit it.
class StandInJournal {
 public:
  struct Entry {
    std::wstring program;  // full path of the program or library
    std::wstring args;     // its arguments, or the library call
  };
  explicit StandInJournal(const std::wstring& path);
  ~StandInJournal();
  StandInJournal(const StandInJournal&) = delete;
  StandInJournal& operator=(const StandInJournal&) = delete;
  std::vector<Entry> Entries() const;
  void Clear() const;

 private:
  std::wstring path_;
};

// The setup program's log file for the current user.
std::wstring LogPath();

// The folder of the running test program (ends in a backslash); helper programs live there.
std::wstring BinFolder();
// Whether the end-to-end tests run the shipped 32-bit setup program (under WoW64) rather than
// the build they belong to: LUMEN_TEST_ARCH=x86 in the environment.
bool TestingX86();
// The packed installers, archives and reference trees made by tests/data/make_test_data.sh,
// behind the setup program under test (ends in a backslash).
std::wstring TestData();
// A folder of test data beside the build, made for the setup program under test: `name`, or
// `name`-x86 for the 32-bit program (ends in a backslash).
std::wstring TestedData(const wchar_t* name);

// The machine's registry as the setup program under test and the suite's programs of the same
// bitness see it: the 32-bit view for the 32-bit program. Every call takes a key below `root`.
REGSAM SuiteView();
std::wstring ReadString(HKEY root, const wchar_t* key, const wchar_t* name);
void WriteString(HKEY root, const wchar_t* key, const wchar_t* name, const std::wstring& value);
void DeleteTree(HKEY root, const wchar_t* key);
void DeleteValue(HKEY root, const wchar_t* key, const wchar_t* name);
bool KeyExists(HKEY root, const wchar_t* key);
bool ValueExists(HKEY root, const wchar_t* key, const wchar_t* name);

// The ids of the running processes that `parent` started.
std::vector<DWORD> ChildProcesses(DWORD parent);
// Holds every thread of a running process still while it lives, as a loaded machine or a
// virus scanner holds a starting program.
class Paused {
 public:
  explicit Paused(DWORD process);
  ~Paused() { Resume(); }
  Paused(const Paused&) = delete;
  Paused& operator=(const Paused&) = delete;
  void Resume();
  // False when the process had no thread yet (it is still being made).
  bool Holding() const { return !threads_.empty(); }

 private:
  std::vector<HANDLE> threads_;
};

// Every file and folder below `root`: relative path -> content ("<dir>" for folders).
std::map<std::wstring, std::string> Tree(const std::wstring& root);
// Adds a test failure for every entry of `expected` that `actual` lacks or holds otherwise.
void ExpectSameTree(const std::wstring& actual, const std::wstring& expected);

// A started program and everything it starts (its other copy, the suite's programs): when the
// object ends while the program still runs (a test failed or timed out), all of them are ended,
// so nothing of one test waits on into the next. Wait returns the exit code, or -1 on time-out.
class Process {
 public:
  Process() = default;
  Process(Process&& o) noexcept : info_(o.info_), job_(o.job_) {
    o.info_ = {};
    o.job_ = nullptr;
  }
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  bool Start(const std::wstring& program, const std::wstring& params, const std::wstring& folder = L"");
  int Wait(DWORD ms = 60000);
  DWORD Id() const { return info_.dwProcessId; }
  HANDLE Handle() const { return info_.hProcess; }
  // Ends the program and everything it started.
  void Kill();

 private:
  PROCESS_INFORMATION info_{};
  HANDLE job_ = nullptr;
};

// Has Wine report `version` ("win2k", "winxp", ...) to programs of the file name `exeName`
// while it lives. (An interrupted run's leftover is removed by the harness at the next run.)
class WindowsVersionFor {
 public:
  WindowsVersionFor(const std::wstring& exeName, const wchar_t* version);
  ~WindowsVersionFor();
  WindowsVersionFor(const WindowsVersionFor&) = delete;
  WindowsVersionFor& operator=(const WindowsVersionFor&) = delete;

 private:
  std::wstring key_;
};

// Runs a program to its end and returns the exit code (-1 when it could not start or hung).
int Run(const std::wstring& program, const std::wstring& params, DWORD ms = 60000);

// The strings of a REG_MULTI_SZ value in order, empty strings included; empty when missing.
std::vector<std::wstring> ReadMultiString(HKEY root, const wchar_t* key, const wchar_t* name);

std::wstring Widen(const std::string& s);
std::string Narrow(const std::wstring& s);

}  // namespace testing_support
