#include "dialogs/progress_math.h"

#include <algorithm>

namespace progress {

int TargetFor(int width, int percent) {
  const int64_t scaled = static_cast<int64_t>(width) * percent;
  int target = static_cast<int>((scaled + 99) / 100);  // rounded up
  return target == width ? width - 1 : target;
}

int BarStep(int fill, int width) {
  if (width <= 0) return 0;
  const int p = fill * 100 / width + 1;
  int step = 0;
  for (int end : kStepEnd) step += p >= end ? 1 : 0;
  return step;
}

int TickForDistance(int d) {
  if (d < 21) return 50;
  if (d <= 35) return 40;
  if (d <= 50) return 30;
  if (d <= 75) return 20;
  if (d <= 99) return 10;
  return -1;
}

bool SetPos(Bar& bar, int percent) {
  if (percent <= bar.Percent || percent > 100 || bar.Width <= 0) return false;
  bar.Percent = percent;
  bar.Target = TargetFor(bar.Width, percent);
  if (bar.EngineStep > BarStep(bar.Fill, bar.Width)) {  // behind the engine: one jump to its step's start
    bar.Tick = 20;
    bar.Increment = bar.Width * kStepEnd[bar.EngineStep - 1] / 100 - bar.Fill + 1;
    return true;
  }
  const int tick = TickForDistance((bar.Target - bar.Fill) * 100 / bar.Width);
  if (tick >= 0) bar.Tick = tick;
  bar.Increment = 1;
  if (percent == 100) {
    bar.Tick = 0;
    bar.Increment = bar.Width - bar.Fill + 1;
  }
  return true;
}

bool SetStep(Bar& bar, int step) {
  if (step < 0 || step > 4) return false;
  bar.EngineStep = step;
  return SetPos(bar, kStepEnd[step]);
}

namespace {

void SetExtractionRange(Bar& bar) {
  bar.ExtractStart = bar.Width * kStepEnd[1] / 100;
  bar.ExtractSpan = bar.Width * (kStepEnd[2] - kStepEnd[1]) / 100;
}

}  // namespace

void Resize(Bar& bar, int width) {
  if (width == bar.Width) return;
  const int old = bar.Width;
  bar.Width = width;
  if (old > 0) {
    bar.Fill = bar.Fill * width / old;
    bar.Target = TargetFor(width, bar.Percent);
  }
  if (bar.ExtractTotal) SetExtractionRange(bar);
}

void SetExtractionTotal(Bar& bar, uint64_t total) {
  bar.ExtractTotal = total;
  SetExtractionRange(bar);
}

void AddExtractionDone(Bar& bar, uint32_t amount) {
  bar.ExtractDone += amount;
  if (bar.ExtractTotal == 0) return;
  const int length = static_cast<int>(static_cast<double>(bar.ExtractDone) / static_cast<double>(bar.ExtractTotal) *
                                          bar.ExtractSpan + bar.ExtractStart);
  if (length > bar.Fill) bar.Increment = length - bar.Fill;
}

void SetRegistrationProgress(Bar& bar, int index, int count) {
  if (count <= 0) return;
  const int span = (kStepEnd[3] - kStepEnd[2]) * bar.Width / 100;
  const int start = bar.Width * kStepEnd[2] / 100;
  const int length = static_cast<int>(span * (static_cast<double>(index) / count) + start + 1.0);
  if (length > bar.Fill) bar.Increment = length - bar.Fill;
}

void Complete(Bar& bar) {
  if (bar.Width <= 0) return;
  bar.Percent = 100;
  bar.Target = bar.Fill = TargetFor(bar.Width, 100);
}

bool Advance(Bar& bar) {
  if (bar.Stopped || bar.Fill >= bar.Target) return false;
  const int before = bar.Fill;
  bar.Fill = std::min(bar.Fill + bar.Increment, bar.Target);
  if (bar.EngineStep == kExtractStep || bar.EngineStep == kRegisterStep) bar.Increment = 0;  // moved by sub-progress
  else if (bar.Increment > 1) bar.Increment = 1;
  return bar.Fill != before;
}

int ShownPercent(const Bar& bar) {
  if (bar.Width <= 0) return 0;
  if (bar.Fill == bar.Width - 1 && bar.Percent == 100) return 100;
  return bar.Fill * 100 / bar.Width;
}

HighlightPart HighlightGeometry(int w, int o, int f) {
  if (o < w + 4) return HighlightPart{2, w - o + 2, o > f ? f - 4 : o - 2};
  return HighlightPart{o - w, 0, o > f ? w - o + f - 2 : w};
}

bool StepSweep(Sweep& s, int w, int fill, bool visible, bool stopped) {
  if (s.Wait != 20) {  // idle
    if (visible && fill > 0 && !stopped) {
      s.Offset = 0;
      s.Wait = 20;
    }
    return false;
  }
  const int end = fill + w;
  if (s.Offset >= end) {
    s.Offset = 0;
    s.Wait = visible ? 300 : 1000;
    return visible;
  }
  s.Offset = std::min(s.Offset + 4, end);
  return visible;
}

}  // namespace progress
