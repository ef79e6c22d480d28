// The two copies' starts: a user without administrator rights starts the elevated copy and
// becomes its user-level copy; an administrator starts a user-level copy beside itself. The
// user-level copy hands the desktop user's values over, in the hand-over file or on the
// elevated copy's command line; one table names them for both ways and for the reader.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "base/handles.h"
#include "suite/user_side.h"

class ZInsall;

// One handed-over value: its key in the hand-over file (section "install"), its switch on the
// elevated copy's command line ("-<switch>=<value>"), and its field.
struct HandedOverValue {
  const wchar_t* FileKey;
  const wchar_t* Switch;
  std::wstring HandOver::*Field;
  bool AlwaysOnCommandLine;  // also when empty
};
// In the elevated command line's order.
const std::vector<HandedOverValue>& HandedOverValues();

// What this process knows of the desktop user, as it is handed over.
HandOver CollectHandOver();

// A user without administrator rights: starts the elevated copy through the elevation prompt
// and becomes its user-level copy. Returns the exit code this process ends with.
int RelaunchElevated();
// The parameters of the elevated copy's command line (without the program path).
std::wstring BuildElevatedParameters(const HandOver& values, const std::vector<std::wstring>& ownArgs);

// How long a run waits at most for its user-level copy to show its window: a copy that is still
// starting (a loaded machine, a virus scanner reading a freshly downloaded program) is waited
// for as long as it lives, up to this.
inline constexpr DWORD kUserCopyCeilingMs = 60000;

// The user-level copy a run works with, as the wait for it found it.
struct UserCopyWait {
  bool Ready = false;
  HWND Window = nullptr;
  DWORD Process = 0;  // its process id, when known
  DWORD Ms = 0;       // how long the start and the wait took
  std::string Cause;  // why it is not ready, for the log
  std::string Note;   // for the log: ready, but without a copy to talk to
};

// An administrator's user-level ("downpower") copy, started beside this one: what it takes to
// recognise its window later.
struct LaunchedUserCopy {
  bool Started = false;
  sys::UniqueKernel Process;
  std::vector<HWND> WindowsBefore;
  std::vector<DWORD> ProcessesBefore;
  DWORD Since = 0;      // tick count at the start
  DWORD LaunchMs = 0;   // how long starting it took
  bool Seen = false;    // started without a handle: a new copy was seen running
  std::string Failure;  // why it did not start
};
// Starts the copy and returns at once: the run goes on with what needs nothing of the desktop
// user while the copy starts.
LaunchedUserCopy LaunchUserCopy();
// One look for the copy's window: empty while the copy is still starting, else how the wait
// ended (its window is there, the copy ended, or the ceiling passed).
std::optional<UserCopyWait> LookForUserCopy(LaunchedUserCopy& copy);
// Looks until the wait is decided.
UserCopyWait AwaitUserCopy(LaunchedUserCopy& copy);
// The elevated copy of a user without rights: waits for the window of the user-level copy that
// started it (this process's parent, which must run this program's own file).
UserCopyWait WaitForStartingCopy();
// " -downpower" and this program's own arguments from the second on, not quoted again.
std::wstring BuildUserCopyParameters(const std::vector<std::wstring>& ownArgs);

// The user-level copy's first act: writes the user's values for the elevated copy.
void WriteHandOverFile();
// The elevated copy's first act: reads the hand-over file into the engine and deletes it, and
// sets the engine's mode (user-process mode when there was a file).
void ReadHandOverFile(ZInsall& engine);

// Runs the administrator's user-level copy: hand-over file, then the window until the copy
// that started it ends or sends the exit code. Returns ExitCode.
int RunUserCopy();
