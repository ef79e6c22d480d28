// A helper program for the tests: it plays the parts of other processes that the installer
// meets on a user's machine (a program holding a file open, a suite program that keeps
// running, a second process touching the installer's named objects).
//
//   testtool hold <file> <ready-event> <ms>   open <file> without sharing, signal, keep it <ms>
//   testtool sleep <ms>                        just run (copied under a suite program's name)
//   testtool reset-event <name>                reset a named event (exit 0 when it was found)
//   testtool set-event <name>                  set a named event
//   testtool send <title> <message> <wparam>   send a message to the window of that title, as
//                                              any program on the desktop can (exit 0: answered)
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 100;
  const wchar_t* verb = argv[1];
  if (wcscmp(verb, L"hold") == 0 && argc >= 5) {
    HANDLE file = CreateFileW(argv[2], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 101;
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
    if (ready) SetEvent(ready);
    Sleep(static_cast<DWORD>(_wtoi(argv[4])));
    CloseHandle(file);
    return 0;
  }
  if (wcscmp(verb, L"sleep") == 0 && argc >= 3) {
    Sleep(static_cast<DWORD>(_wtoi(argv[2])));
    return 0;
  }
  if ((wcscmp(verb, L"reset-event") == 0 || wcscmp(verb, L"set-event") == 0) && argc >= 3) {
    HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
    if (!event) return 102;
    const BOOL ok = verb[0] == L'r' ? ResetEvent(event) : SetEvent(event);
    CloseHandle(event);
    return ok ? 0 : 103;
  }
  if (wcscmp(verb, L"send") == 0 && argc >= 5) {
    HWND window = FindWindowW(nullptr, argv[2]);
    if (!window) return 104;
    DWORD_PTR answer = 0;
    const auto wParam = static_cast<WPARAM>(wcstoull(argv[4], nullptr, 0));
    return SendMessageTimeoutW(window, static_cast<UINT>(_wtoi(argv[3])), wParam, 0, SMTO_ABORTIFHUNG, 5000, &answer) ? 0 : 105;
  }
  return 100;
}
