/* A library planted beside the setup program under a system library's name: when any process
   loads it, it leaves "<its own path>.loaded" beside itself and refuses to load. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  wchar_t path[MAX_PATH + 16] = {0};
  DWORD length;
  HANDLE mark;
  (void)reserved;
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  length = GetModuleFileNameW(module, path, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    lstrcatW(path, L".loaded");
    mark = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (mark != INVALID_HANDLE_VALUE) CloseHandle(mark);
  }
  return FALSE;
}
