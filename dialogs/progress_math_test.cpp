// The gradual progress bar's arithmetic with values: positions, ticks, jumps, sub-progress,
// the shown percent and the highlight's geometry.
#include "dialogs/progress_math.h"

#include <gtest/gtest.h>

namespace progress {
namespace {

Bar Wide(int width) {
  Bar bar;
  bar.Width = width;
  return bar;
}

// Ticks until the fill rests; fails when it ever runs backwards.
int RunToRest(Bar& bar) {
  int ticks = 0, last = bar.Fill;
  while (Advance(bar) && ticks < 100000) {
    EXPECT_GE(bar.Fill, last) << "backwards";
    last = bar.Fill;
    ++ticks;
  }
  return ticks;
}

TEST(ProgressMath, SetPosTargetsAndTicks) {
  Bar bar = Wide(300);
  EXPECT_TRUE(SetPos(bar, 60));
  EXPECT_EQ(bar.Target, 180);
  EXPECT_EQ(bar.Tick, 20) << "60 % away";
  EXPECT_FALSE(SetPos(bar, 60)) << "equal";
  EXPECT_FALSE(SetPos(bar, 40)) << "lower";
  EXPECT_FALSE(SetPos(bar, 101));
  EXPECT_EQ(bar.Percent, 60);
  EXPECT_EQ(TargetFor(300, 1), 3);
  EXPECT_EQ(TargetFor(301, 1), 4) << "rounded up";
  EXPECT_EQ(TargetFor(300, 100), 299) << "the last pixel is the end";
  EXPECT_EQ(TickForDistance(20), 50);
  EXPECT_EQ(TickForDistance(21), 40);
  EXPECT_EQ(TickForDistance(50), 30);
  EXPECT_EQ(TickForDistance(99), 10);
  EXPECT_EQ(TickForDistance(100), -1);
}

TEST(ProgressMath, StepsCrawlJumpAndWaitForSubProgress) {
  Bar bar = Wide(400);
  SetStep(bar, 0);
  EXPECT_EQ(RunToRest(bar), 8) << "one pixel per tick to 2 %";
  SetStep(bar, 1);
  SetStep(bar, 2);  // reported before the fill reached 10 %
  EXPECT_EQ(bar.Increment, 400 * 10 / 100 - 8 + 1) << "one jump to the start of the extraction";
  Advance(bar);
  EXPECT_EQ(bar.Fill, 41);
  EXPECT_EQ(RunToRest(bar), 0) << "no moving by itself during the extraction";

  SetExtractionTotal(bar, 1000);
  AddExtractionDone(bar, 500);
  EXPECT_EQ(bar.Increment, 40 + 140 - 41) << "half of 10..80 %";
  Advance(bar);
  EXPECT_EQ(bar.Fill, 180);
  AddExtractionDone(bar, 500);
  Advance(bar);
  EXPECT_EQ(bar.Fill, 320);
  EXPECT_EQ(ShownPercent(bar), 80);

  SetStep(bar, 3);
  SetRegistrationProgress(bar, 1, 2);
  Advance(bar);
  EXPECT_EQ(bar.Fill, static_cast<int>(76 * 0.5 + 320 + 1.0));
  SetRegistrationProgress(bar, 0, 2);
  EXPECT_EQ(bar.Increment, 0) << "an older item does not move it back";

  SetStep(bar, 4);
  RunToRest(bar);
  EXPECT_EQ(bar.Fill, 399);
  EXPECT_EQ(ShownPercent(bar), 100);
}

// The window resized halfway through the extraction (a move to a screen of another DPI): the
// fill and the extraction's range shrink with it, the rest of the extraction stays inside 10..80 %.
TEST(ProgressMath, ResizeDuringTheExtraction) {
  Bar bar = Wide(400);
  SetStep(bar, 2);
  RunToRest(bar);
  SetExtractionTotal(bar, 1000);
  AddExtractionDone(bar, 500);
  Advance(bar);
  EXPECT_EQ(bar.Fill, 180);
  Resize(bar, 200);
  EXPECT_EQ(bar.Fill, 90);
  AddExtractionDone(bar, 250);
  Advance(bar);
  EXPECT_EQ(bar.Fill, 20 + 140 * 3 / 4);
  AddExtractionDone(bar, 250);
  Advance(bar);
  EXPECT_EQ(ShownPercent(bar), 80);
}

TEST(ProgressMath, HundredFillsAtOnceAndStopHolds) {
  Bar bar = Wide(300);
  SetPos(bar, 100);
  EXPECT_EQ(bar.Tick, 0);
  Advance(bar);
  EXPECT_EQ(bar.Fill, 299);
  EXPECT_EQ(ShownPercent(bar), 100);

  Bar stopped = Wide(300);
  SetPos(stopped, 50);
  stopped.Stopped = true;
  EXPECT_FALSE(Advance(stopped));
  EXPECT_TRUE(AtRest(stopped));
}

TEST(ProgressMath, HighlightGeometryAndSweep) {
  // Entering from the left: the picture's right part, starting 2 pixels in.
  HighlightPart p = HighlightGeometry(60, 30, 200);
  EXPECT_EQ(p.DestX, 2);
  EXPECT_EQ(p.SourceX, 32);
  EXPECT_EQ(p.Width, 28);
  // Inside the fill: the whole picture ending at the offset.
  p = HighlightGeometry(60, 120, 200);
  EXPECT_EQ(p.DestX, 60);
  EXPECT_EQ(p.SourceX, 0);
  EXPECT_EQ(p.Width, 60);
  // Leaving past the fill: cut 2 pixels before its end.
  p = HighlightGeometry(60, 230, 200);
  EXPECT_EQ(p.DestX + p.Width, 198);

  Sweep s;
  EXPECT_FALSE(StepSweep(s, 60, 0, true, false)) << "nothing filled: idle";
  EXPECT_EQ(s.Wait, 1000);
  StepSweep(s, 60, 100, true, false);
  EXPECT_EQ(s.Wait, 20);
  int steps = 0;
  while (s.Wait == 20 && steps < 1000) {
    StepSweep(s, 60, 100, true, false);
    ++steps;
  }
  EXPECT_EQ(steps, 41) << "4 pixels a step to fill + width, then the pause";
  EXPECT_EQ(s.Wait, 300);
  EXPECT_EQ(s.Offset, 0);
}

}  // namespace
}  // namespace progress
