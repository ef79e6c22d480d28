// Times the setup program's wizard for the wizard benchmark (bench/wizard_bench.sh).
//   wizard_timer.exe shown <program> <window title>
//       start of the process to its window showing (the first paint follows in the same
//       loop turn) with its first page (see press below: an NSIS wizard shows its window a
//       few ms before its first page's button); then closes the window (system close) and
//       waits for the process
//   wizard_timer.exe install <program> <window title>
//       waits for the wizard, gives the preload 2 s, presses Enter (install) and times from
//       there to the end of the process
//   wizard_timer.exe run <program> [arguments]
//       start to end of the process (the silent install)
//   wizard_timer.exe press <program> <window title> <presses>
//       start to end of the process, pressing Enter as a user does, as soon as each page can
//       take it: when the window's default button (control 1, NSIS's "Next >", "I Agree",
//       "Install") is visible, enabled and no longer reads as on the page before; a window
//       without that button (the wizard) takes its one press as soon as it shows. Each press
//       brings the window to the front and types Enter through SendInput, a real key event.
// Prints the milliseconds; exit code 1 when the program or its window did not come.
#include <windows.h>

#include <stdio.h>

#include <string>

namespace {

double Now() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

HANDLE Start(const std::wstring& program, const std::wstring& arguments) {
  std::wstring line = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
  STARTUPINFOW si{sizeof(si)};
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

HWND AwaitWindow(const wchar_t* title, DWORD ms) {
  const DWORD until = GetTickCount() + ms;
  for (;;) {
    HWND window = FindWindowW(nullptr, title);
    if (window && IsWindowVisible(window)) return window;
    if (GetTickCount() > until) return nullptr;
    Sleep(1);
  }
}

// Waits until the page on <window> takes Enter (see press above), the button's text then in <text>.
bool AwaitPage(HWND window, std::wstring& text, DWORD ms) {
  const DWORD until = GetTickCount() + ms;
  for (;;) {
    if (!IsWindow(window)) return false;
    HWND button = GetDlgItem(window, 1);
    if (!button) return true;
    wchar_t now[128] = L"";
    GetWindowTextW(button, now, 128);
    if (IsWindowVisible(button) && IsWindowEnabled(button) && text != now) {
      text = now;
      return true;
    }
    if (GetTickCount() > until) return false;
    Sleep(1);
  }
}

void PressEnter(HWND window) {
  SetForegroundWindow(window);
  INPUT keys[2] = {};
  keys[0].type = keys[1].type = INPUT_KEYBOARD;
  keys[0].ki.wVk = keys[1].ki.wVk = VK_RETURN;
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, keys, sizeof(INPUT));
}

// The figure of <mode> for the started <process>, or -1 when its window or its end did not come.
double Measure(const std::wstring& mode, HANDLE process, int argc, wchar_t** argv, double start) {
  const auto ended = [process](DWORD ms) { return WaitForSingleObject(process, ms) == WAIT_OBJECT_0; };
  if (mode == L"run") return ended(600000) ? Now() - start : -1;
  if (argc < 4) return -1;
  HWND window = AwaitWindow(argv[3], 60000);
  if (!window) return -1;
  if (mode == L"press") {
    std::wstring text;
    for (int i = _wtoi(argv[4]); i > 0; --i) {
      if (!AwaitPage(window, text, 60000)) return -1;
      PressEnter(window);
    }
    return ended(600000) ? Now() - start : -1;
  }
  if (mode == L"shown") {
    std::wstring text;
    if (!AwaitPage(window, text, 60000)) return -1;
    const double ms = Now() - start;
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    return ended(60000) ? ms : -1;
  }
  Sleep(2000);
  const double pressed = Now();
  PostMessageW(window, WM_KEYDOWN, VK_RETURN, 0);
  return ended(600000) ? Now() - pressed : -1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  const std::wstring mode = argv[1];
  if (mode == L"press" && argc < 5) return 2;
  std::wstring arguments;
  for (int i = 3; i < argc && mode == L"run"; ++i) arguments += (arguments.empty() ? L"" : L" ") + std::wstring(argv[i]);
  const double start = Now();
  HANDLE process = Start(argv[2], arguments);
  if (!process) return 1;
  const double ms = Measure(mode, process, argc, argv, start);
  // A program that did not come, or did not end when it should have, is ended here: left
  // running it would hold the benchmark's output open and the next round's machine.
  if (ms < 0 && WaitForSingleObject(process, 0) != WAIT_OBJECT_0) TerminateProcess(process, 1);
  CloseHandle(process);
  if (ms < 0) return 1;
  printf("%.0f\n", ms);
  return 0;
}
