// The setup program's command line: split into switch entries, looked up by name, and the
// folder rules of the "p" and "D" switches. Pure text work, no system calls.
#pragma once

#include <string>
#include <vector>

struct CommandLineEntry {
  std::wstring Name;                 // switch name without its "/" or "-"; argument 0 is the program
  std::wstring EqValue;              // text after the first "=" of the switch itself
  std::vector<std::wstring> Values;  // following arguments that are not switches
};

class CommandLine {
 public:
  // Builds the entries from an argument vector already split by the platform's rules.
  static CommandLine Tokenize(const std::vector<std::wstring>& args);

  // First entry whose name equals `name` ignoring letter case, or null.
  const CommandLineEntry* Find(const std::wstring& name) const;
  bool Has(const std::wstring& name) const { return Find(name) != nullptr; }
  // EqValue of the first entry whose name equals `name` exactly; empty when there is none.
  std::wstring Value(const std::wstring& name) const;
  // First following argument of the entry found by Find; empty when there is none.
  std::wstring FirstValue(const std::wstring& name) const;

  const std::vector<CommandLineEntry>& Entries() const { return Entries_; }

 private:
  std::vector<CommandLineEntry> Entries_;
};

// Trims white space on both ends, drops one trailing double quote, trims again.
std::wstring CleanValue(const std::wstring& value);

// Install folder from the "p" switch: cleaned, a drive root gets "Lumen Office\", doubled
// backslashes collapse, always a trailing backslash.
std::wstring InstallFolderFromP(const std::wstring& value);

// Install folder from the "D" switch: trailing backslash, "Lumen Office\" appended unless the
// text already names it (case-sensitive).
std::wstring InstallFolderFromD(const std::wstring& value);

// A value in double quotes such that the platform's splitting gives back exactly `value`:
// backslashes before a quote (the closing one too) are doubled, inner quotes escaped.
std::wstring QuotedArgument(const std::wstring& value);

// Splits a whole command-line string the way the platform does (for tests and relaunches).
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);
// This process\'s own arguments, the program first, as the platform splits them.
std::vector<std::wstring> ProcessArguments();
