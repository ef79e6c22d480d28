#include "log/run_record.h"

#include <stdarg.h>
#include <stdio.h>

#include "log/setup_log.h"

RunRecord g_Run;

void RunRecord::AddFilesWritten(unsigned count) {
  sys::Locked lock(Lock);
  Files += count;
}

void RunRecord::StepRun() {
  sys::Locked lock(Lock);
  ++Steps;
}

void RunRecord::Note(bool step, const char* format, va_list args) {
  char text[ZSetupLog::kMaxText + 1] = {};
  _vsnprintf(text, ZSetupLog::kMaxText, format, args);
  g_Log.Log(step ? "step failed: %s" : "%s", text);
  sys::Locked lock(Lock);
  if (step) ++FailedSteps;
  if (!Failure) Cause = text;
  Failure = true;
}

void RunRecord::StepFailed(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Note(true, format, args);
  va_end(args);
}

void RunRecord::Failed(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Note(false, format, args);
  va_end(args);
}

void RunRecord::NoteCause(const char* text) {
  sys::Locked lock(Lock);
  if (Cause.empty()) Cause = text;
}

bool RunRecord::AnyFailure() const {
  sys::Locked lock(Lock);
  return Failure;
}

unsigned RunRecord::StepsFailed() const {
  sys::Locked lock(Lock);
  return FailedSteps;
}

std::string RunRecord::FirstCause() const {
  sys::Locked lock(Lock);
  return Cause;
}

void RunRecord::Reset() {
  sys::Locked lock(Lock);
  Files = Steps = FailedSteps = 0;
  Failure = false;
  Cause.clear();
}

std::string RunRecord::ClosingLine(int exitCode, unsigned long long ms) const {
  const char* result = exitCode == 0 ? "succeeded" : exitCode == 1 ? "left by the user" : exitCode == 2 ? "failed" : "refused";
  char line[ZSetupLog::kMaxText + 1] = {};
  sys::Locked lock(Lock);
  int n = _snprintf(line, ZSetupLog::kMaxText, "setup end: %s, exit code %d, %llu ms, %u files written, %u steps run, %u failed",
                    result, exitCode, ms, Files, Steps, FailedSteps);
  // A failed run without a recorded cause still says so: nothing may end in silence.
  if (exitCode >= 2 && n > 0)
    _snprintf(line + n, ZSetupLog::kMaxText - n, ", first cause: %s",
              Cause.empty() ? "not recorded (see the lines above)" : Cause.c_str());
  return line;
}
