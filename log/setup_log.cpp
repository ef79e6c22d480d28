#include "log/setup_log.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

ZSetupLog g_Log;

ZSetupLog::~ZSetupLog() {
  Stop();
}

std::wstring ZSetupLog::EnableEventName(DWORD processId) {
  wchar_t name[100] = {};
  _snwprintf(name, 99, L"Global\\BFD88F2D-0990-4de4-AD0F-764F5894389A-%d", static_cast<int>(processId));
  return name;
}

void ZSetupLog::RotateIfLarge() {
  // A missing file, or one that cannot be opened, counts as empty; a smaller log is continued.
  LARGE_INTEGER size{};
  {
    const sys::UniqueFile f(CreateFileW(Path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (f && !GetFileSizeEx(f.Get(), &size)) size.QuadPart = 0;
  }  // closed before the file may be renamed
  if (size.QuadPart < kRotateSize) return;
  const std::wstring backup = Path_ + L"0";
  SetFileAttributesW(backup.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(backup.c_str());
  SetFileAttributesW(Path_.c_str(), FILE_ATTRIBUTE_NORMAL);
  MoveFileW(Path_.c_str(), backup.c_str());
}

bool ZSetupLog::Accept() {
  // A null access list: any process may open the gate event.
  SECURITY_DESCRIPTOR sd;
  InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE);
  SECURITY_ATTRIBUTES sa{sizeof(sa), &sd, FALSE};
  if (!EnableEvent)
    EnableEvent.Reset(CreateEventW(&sa, TRUE, TRUE, EnableEventName(GetCurrentProcessId()).c_str()));
  if (!DataEvent) DataEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  {
    // Calls are accepted from here on; without the events they fail the gate test.
    sys::Locked lock(QueueLock);
    StopRequested = 0;
    Enabled = 1;
    Signalled = false;  // the next line signals (again, harmlessly, when the event is still set)
  }
  return EnableEvent && DataEvent;
}

bool ZSetupLog::Start(const std::wstring& path) {
  if (WriterThread) return true;  // already running
  Path_ = path;
  RotateIfLarge();
  if (!Accept()) return false;
  // Lines accepted before the file was known are queued: the writer takes them first.
  WriterThread.Reset(CreateThread(nullptr, 0, WriterThreadProc, this, 0, nullptr));
  return WriterThread.Valid();
}

int ZSetupLog::Log(const char* format, ...) {
  if (!InterlockedCompareExchange(&Enabled, 0, 0)) return 0;
  if (!EnableEvent || WaitForSingleObject(EnableEvent.Get(), 0) != WAIT_OBJECT_0) return 0;

  char text[kMaxText + 1] = {};
  va_list args;
  va_start(args, format);
  // The C runtime's own formatter: it knows "%ws" and returns -1 when the text was cut.
  const int written = _vsnprintf(text, kMaxText, format, args);
  va_end(args);

  SYSTEMTIME t;
  GetLocalTime(&t);
  char stamp[50] = {};
  _snprintf(stamp, sizeof(stamp) - 1, "%d-%d-%d %02d:%02d:%02d %03d  ", t.wYear, t.wMonth, t.wDay,
            t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);

  std::string line(stamp);
  line += text;
  sys::Locked lock(QueueLock);
  if (!Enabled) return 0;  // Stop came while this line was being formatted
  Queue.push_back(std::move(line));
  if (!Signalled) SetEvent(DataEvent.Get());  // once until the writer takes the lines (each is a server call)
  Signalled = true;
  return written;
}

DWORD WINAPI ZSetupLog::WriterThreadProc(void* self) {
  static_cast<ZSetupLog*>(self)->WriterLoop();
  return 0;
}

HANDLE ZSetupLog::OpenForAppending(const std::wstring& path) {
  // The file itself, never what a link in its place points to: neither a symbolic link (a
  // reparse point) nor a second name of a file elsewhere (a hard link).
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return file;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      info.nNumberOfLinks > 1) {
    CloseHandle(file);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

bool ZSetupLog::CanAppendTo(const std::wstring& path) {
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return true;  // made when the first line comes
  const sys::UniqueFile file(OpenForAppending(path));
  return file.Valid();
}

void ZSetupLog::WriterLoop() {
  if (WaitForSingleObject(DataEvent.Get(), INFINITE) != WAIT_OBJECT_0) return;
  std::list<std::string> batch;
  for (;;) {
    bool stopping;
    {
      sys::Locked lock(QueueLock);
      // Lines that could not be written last time go back in front of the newer ones.
      batch.splice(batch.end(), Queue);
      ResetEvent(DataEvent.Get());
      Signalled = false;
      stopping = StopRequested != 0;
    }

    if (!batch.empty()) {
      const sys::UniqueFile file(OpenForAppending(Path_));
      if (!file) {
        // The folder or file is not reachable now: keep the lines and try with the next batch,
        // unless the run is ending.
        if (stopping) break;
        {
          sys::Locked lock(QueueLock);
          Queue.splice(Queue.begin(), batch);
        }
        if (WaitForSingleObject(DataEvent.Get(), INFINITE) != WAIT_OBJECT_0) break;
        continue;
      }
      std::string text;
      for (const std::string& line : batch) text += line + "\r\n";
      batch.clear();
      DWORD written = 0;
      WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
      continue;
    }
    if (stopping) break;  // nothing queued, and nothing can be queued after the flag was seen
    if (WaitForSingleObject(DataEvent.Get(), INFINITE) != WAIT_OBJECT_0) break;
  }
}

void ZSetupLog::Stop() {
  {
    sys::Locked lock(QueueLock);
    Enabled = 0;
    StopRequested = 1;
  }
  // No line can be queued any more: the writer's last exchange finds every accepted one.
  if (WriterThread) {
    SetEvent(DataEvent.Get());
    WaitForSingleObject(WriterThread.Get(), INFINITE);
    WriterThread.Reset();
  } else {
    sys::Locked lock(QueueLock);
    Queue.clear();  // accepted, but the file never became known
  }
  DataEvent.Reset();
}
