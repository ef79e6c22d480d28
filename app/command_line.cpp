#include "app/command_line.h"

#include "base/handles.h"
#include "sys/shell_api.h"

#include <windows.h>
#include <shellapi.h>
#include <wchar.h>
#include <wctype.h>

CommandLine CommandLine::Tokenize(const std::vector<std::wstring>& args) {
  CommandLine cl;
  CommandLineEntry current;
  if (!args.empty()) current.Name = args[0];
  for (size_t i = 1; i < args.size(); ++i) {
    const std::wstring& arg = args[i];
    if (!arg.empty() && (arg[0] == L'/' || arg[0] == L'-')) {
      cl.Entries_.push_back(std::move(current));
      current = CommandLineEntry();
      current.Name = arg.substr(1);
      const size_t eq = current.Name.find(L'=');
      if (eq != std::wstring::npos) {
        current.EqValue = current.Name.substr(eq + 1);
        current.Name.resize(eq);
      }
    } else {
      current.Values.push_back(arg);
    }
  }
  cl.Entries_.push_back(std::move(current));
  return cl;
}

const CommandLineEntry* CommandLine::Find(const std::wstring& name) const {
  // Entry 0 is the program path, never a switch.
  for (size_t i = 1; i < Entries_.size(); ++i)
    if (_wcsicmp(Entries_[i].Name.c_str(), name.c_str()) == 0) return &Entries_[i];
  return nullptr;
}

std::wstring CommandLine::Value(const std::wstring& name) const {
  for (size_t i = 1; i < Entries_.size(); ++i)
    if (Entries_[i].Name == name) return Entries_[i].EqValue;
  return std::wstring();
}

std::wstring CommandLine::FirstValue(const std::wstring& name) const {
  const CommandLineEntry* e = Find(name);
  return e && !e->Values.empty() ? e->Values.front() : std::wstring();
}

namespace {

std::wstring Trim(const std::wstring& s) {
  size_t b = 0, e = s.size();
  while (b < e && iswspace(s[b])) ++b;
  while (e > b && iswspace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::wstring EnsureSlash(std::wstring s) {
  if (s.empty() || (s.back() != L'\\' && s.back() != L'/')) s += L'\\';
  return s;
}

}  // namespace

std::wstring CleanValue(const std::wstring& value) {
  std::wstring v = Trim(value);
  if (!v.empty() && v.back() == L'"') v.pop_back();
  return Trim(v);
}

std::wstring InstallFolderFromP(const std::wstring& value) {
  std::wstring folder = EnsureSlash(CleanValue(value));
  if (folder.size() == 3 && folder[1] == L':' && folder[2] == L'\\') folder += L"Lumen Office\\";
  folder = EnsureSlash(folder);
  for (size_t at; (at = folder.find(L"\\\\")) != std::wstring::npos;) folder.erase(at, 1);
  return folder;
}

std::wstring InstallFolderFromD(const std::wstring& value) {
  std::wstring folder = EnsureSlash(value);
  if (folder.find(L"Lumen Office") == std::wstring::npos) folder += L"Lumen Office\\";
  return folder;
}

std::wstring QuotedArgument(const std::wstring& value) {
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : value) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count as escapes only before a quote: there they are doubled.
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, L'\\');  // before the closing quote
  return quoted + L'"';
}

namespace {

// The platform's split of a command line, from argument `first` on.
std::vector<std::wstring> Split(const wchar_t* line, int first) {
  std::vector<std::wstring> args;
  int count = 0;
  const sys::UniqueArgv argv(shell::CommandLineToArgvW(line, &count));
  if (!argv) return args;
  for (int i = first; i < count; ++i) args.emplace_back(argv.Get()[i]);
  return args;
}

}  // namespace

std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine) {
  // The platform's splitter needs a program name first; a placeholder keeps its rules uniform.
  return Split((L"x " + commandLine).c_str(), 1);
}

std::vector<std::wstring> ProcessArguments() { return Split(GetCommandLineW(), 0); }
