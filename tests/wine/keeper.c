/* Holds Wine's desktop open between test programs (built by prepare.sh, started by
 * ensure_server in env.sh). Without it Wine's desktop process starts anew for each test
 * program that makes a window, keeps that program's output open and lives on ~1 s after it,
 * and ctest waits for it: 1.4 s instead of 0.15 s per such test.
 * Usage: lumen-keeper.exe <ready-file>: creates <ready-file> once the desktop is up.
 * Should the desktop process end (its X display went away), the keeper deletes <ready-file>
 * and ends too, so that the next run starts a new keeper rather than keeping a desktop
 * process alive that a test program started (and whose output it holds). */
#include <windows.h>

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE prev, PWSTR cmd, int show)
{
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    /* A message-only window: never shown, never listed by EnumWindows. */
    HWND wnd = CreateWindowExW(0, L"STATIC", L"lumen-harness-keeper", 0, 0, 0, 0, 0,
                               HWND_MESSAGE, NULL, inst, NULL);
    if (!wnd) return 1;
    DWORD pid = 0;
    GetWindowThreadProcessId(GetDesktopWindow(), &pid);
    HANDLE desktop = pid ? OpenProcess(SYNCHRONIZE, FALSE, pid) : NULL;
    if (argc > 1) CloseHandle(CreateFileW(argv[1], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));

    for (;;) {
        DWORD got = MsgWaitForMultipleObjects(desktop ? 1 : 0, &desktop, FALSE, INFINITE, QS_ALLINPUT);
        if (desktop && got == WAIT_OBJECT_0) break;             /* the desktop process ended */
        MSG msg;
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) goto done;
            DispatchMessageW(&msg);
        }
    }
done:
    if (argc > 1) DeleteFileW(argv[1]);
    return 0;
}
