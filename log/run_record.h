// What one run of the setup program did, for the closing line of its log: how many product
// files it wrote, how many steps of the install list ran and how many failed, and the first
// cause of a failure. An administrator reads that one line to know what happened.
//
// Closing line (the last line of every run's log):
//   "setup end: <result>, exit code <n>, <ms> ms, <files> files written, <steps> steps run,
//    <failed> failed[, first cause: <text>]"
// where <result> is "succeeded" (exit code 0), "left by the user" (1), "refused" (3 to 7) or
// "failed" (2).
#pragma once

#include <windows.h>

#include <string>

#include "base/handles.h"

class RunRecord {
 public:
  RunRecord() = default;
  RunRecord(const RunRecord&) = delete;
  RunRecord& operator=(const RunRecord&) = delete;

  void AddFilesWritten(unsigned count);
  void StepRun();
  // A step of the install list, or one the user-level copy owed, that failed: logs
  // "step failed: <text>" and keeps the text when it is the run's first cause.
  void StepFailed(const char* format, ...);
  // The run cannot succeed (the user-level copy, the payload, the final check, a refusal):
  // logs the text and keeps it when it is the first cause. Counts no step.
  void Failed(const char* format, ...);
  // Keeps `text` as the first cause when there is none yet, for a failure whose own log line
  // was just written in the words the program fixes for it (a refusal at start-up).
  void NoteCause(const char* text);
  // Whether a step failed or the run failed since the last Reset.
  bool AnyFailure() const;
  unsigned StepsFailed() const;
  std::string FirstCause() const;
  // Starts over (tests that run the engine more than once in a process).
  void Reset();

  // The closing line for `exitCode` after `ms` milliseconds.
  std::string ClosingLine(int exitCode, unsigned long long ms) const;

 private:
  void Note(bool step, const char* format, va_list args);

  mutable sys::CriticalSection Lock;
  unsigned Files = 0;
  unsigned Steps = 0;
  unsigned FailedSteps = 0;
  bool Failure = false;
  std::string Cause;
};

extern RunRecord g_Run;
