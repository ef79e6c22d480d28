// The gradual progress bar's arithmetic, apart from its window and threads: where the fill goes
// for a reported percent, how fast it gets there, how the extraction and the registration move
// it inside their steps, what percent it shows and where the highlight is drawn. Plain values in,
// plain values out.
#pragma once

#include <stdint.h>

namespace progress {

// The percent at the end of each install step (0 prepare ... 4 done), shared with the engine.
inline constexpr int kStepEnd[5] = {2, 10, 80, 99, 100};
inline constexpr int kExtractStep = 2, kRegisterStep = 3;

struct Bar {
  int Width = 0;       // the bar's length in pixels
  int Percent = 0;     // last accepted position
  int Fill = 0;        // filled length in pixels
  int Target = 0;      // length the fill moves to
  int Increment = 1;   // pixels added at the next tick
  int Tick = 25;       // milliseconds between ticks (0: at once)
  int EngineStep = 0;  // the install step last reported
  bool Stopped = false;
  uint64_t ExtractTotal = 0, ExtractDone = 0;
  int ExtractStart = 0, ExtractSpan = 0;  // the extraction's pixel range
};

// The fill length for a percent: rounded up, never the whole width (the last pixel is the end).
int TargetFor(int width, int percent);
// How many steps' end values the fill has reached.
int BarStep(int fill, int width);
// Milliseconds between ticks for a distance in percent; -1 leaves the tick as it is.
int TickForDistance(int distance);

// A new position; false (nothing changed) when it is not above the current one or above 100.
bool SetPos(Bar& bar, int percent);
// The engine reached `step`: the bar heads for that step's end value.
bool SetStep(Bar& bar, int step);
// The install has ended: the bar is full at once, whatever step it was following.
void Complete(Bar& bar);
// The bar's window got `width` pixels: the fill, its target and the extraction's range keep
// their proportions.
void Resize(Bar& bar, int width);
// The extraction's byte total, and bytes just written: the fill follows inside 10..80 %.
void SetExtractionTotal(Bar& bar, uint64_t total);
void AddExtractionDone(Bar& bar, uint32_t amount);
// Registration item `index` of `count`: the fill follows inside 80..99 %.
void SetRegistrationProgress(Bar& bar, int index, int count);
// One tick of the fill thread; true when the fill moved.
bool Advance(Bar& bar);
// Whether the fill thread has nothing to do until it is woken.
inline bool AtRest(const Bar& bar) { return bar.Stopped || bar.Fill >= bar.Target; }
// The percent the text shows.
int ShownPercent(const Bar& bar);

// The part of the highlight picture drawn for offset `offset` (its right edge) over a fill of
// `fill` pixels: source x and width go to destination x, the bar's full height.
struct HighlightPart {
  int DestX, SourceX, Width;
};
HighlightPart HighlightGeometry(int highlightWidth, int offset, int fill);

// The highlight's sweep: the next offset and how long to wait before the next step.
struct Sweep {
  int Offset = 0;
  int Wait = 1000;  // 1000 and 300: idle; 20: sweeping
};
// `visible`: the bar's window shows; returns whether to draw after this step.
bool StepSweep(Sweep& sweep, int highlightWidth, int fill, bool visible, bool stopped);

}  // namespace progress
