// The installer's run log: every part of the program writes its decisions here with a
// printf-style call. Callers never wait for the disk: lines are time-stamped and queued, and a
// writer thread appends them to the file in batches, opening and closing the file once per
// batch so other programs can read or remove the log between batches.
//
// File format: 8-bit text, one line per call, each ended by CR LF:
//   "<year>-<month>-<day> <hh>:<mm>:<ss> <mmm>  <text>"   (month and day without leading zeros)
// When the file has reached 512 KiB at Start it is renamed to the backup name (path + "0").
#pragma once

#include <windows.h>

#include <list>
#include <string>

#include "base/handles.h"

class ZSetupLog {
 public:
  static constexpr DWORD kRotateSize = 0x80000;  // bytes
  static constexpr int kMaxText = 499;            // characters of caller text kept per line

  ZSetupLog() = default;
  ~ZSetupLog();
  ZSetupLog(const ZSetupLog&) = delete;
  ZSetupLog& operator=(const ZSetupLog&) = delete;

  // Accepts calls before the log's file is known: their lines wait in memory for Start, and are
  // dropped by a Stop that comes first. False when the gate event cannot be made.
  bool Accept();
  // Rotates an oversized log, creates the gate event and starts the writer thread, which writes
  // the lines accepted so far first. True when the writer thread runs. Calls are accepted from
  // here on.
  bool Start(const std::wstring& path);

  // Formats and queues one line. "%ws" passes a wide string. Returns the count the formatting
  // produced (negative when the text was cut at 499 characters), or 0 when the line was not
  // accepted (not started, stopped, or the gate event was reset by another process).
  int Log(const char* format, ...);

  // Writes everything queued, ends the writer thread and refuses later calls. A line that Log
  // accepted from any thread is in the file when Stop returns (unless the file cannot be opened).
  void Stop();

  const std::wstring& Path() const { return Path_; }

  // Whether lines can be appended to `path`: no file there yet, or a plain file (no link in its
  // place, symbolic or hard), which is what the writer opens.
  static bool CanAppendTo(const std::wstring& path);

  // Name of the per-process gate event: a line is accepted only while it is signalled.
  static std::wstring EnableEventName(DWORD processId);

 private:
  static DWORD WINAPI WriterThreadProc(void* self);
  void WriterLoop();
  void RotateIfLarge();
  // Opens the log file for appending; fails when a link or junction stands in its place.
  static HANDLE OpenForAppending(const std::wstring& path);

  // Enabled and StopRequested change only under QueueLock, so a line is either queued before the
  // writer's last exchange or refused. The lock exists for the object's whole life.
  LONG Enabled = 0;
  LONG StopRequested = 0;
  sys::UniqueKernel EnableEvent;
  sys::UniqueKernel DataEvent;
  sys::UniqueKernel WriterThread;
  std::wstring Path_;
  sys::CriticalSection QueueLock;
  std::list<std::string> Queue;
  bool Signalled = false;  // DataEvent set for lines the writer has not taken yet (under QueueLock)
};

extern ZSetupLog g_Log;
