// The progress bar's threads in a real window: the fill reaches its target by itself, Stop
// keeps its bound while another thread keeps reporting, Complete ends at the full bar.
#include "dialogs/progress_bar.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

TEST(GradualProgressBar, FillsOnItsThreadAndStopsInTime) {
  HWND parent = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 400, 40, nullptr, nullptr, nullptr, nullptr);
  CGradualProgressBar bar;
  ASSERT_NE(bar.Create(parent, 103, RECT{0, 0, 300, 20}), nullptr);
  bar.Start(0);
  bar.SetPos(100);
  for (int i = 0; i < 100 && bar.Fill() < 299; ++i) Sleep(10);
  EXPECT_EQ(bar.Fill(), 299);
  EXPECT_EQ(bar.ShownPercent(), 100);

  bar.Start(0);
  bar.SetStep(3);
  struct Reporter {
    CGradualProgressBar* Bar;
    std::atomic<bool> Done{false};
  } reporting{&bar};
  HANDLE reporter = CreateThread(nullptr, 0, [](void* p) -> DWORD {
    auto* r = static_cast<Reporter*>(p);
    for (int i = 0; !r->Done; i = (i + 1) % 1000) r->Bar->SetRegistrationProgress(i, 1000);
    return 0;
  }, &reporting, 0, nullptr);
  Sleep(50);
  const DWORD before = GetTickCount();
  bar.Stop();
  EXPECT_LT(GetTickCount() - before, 1000u) << "500 ms per thread at most";
  reporting.Done = true;
  WaitForSingleObject(reporter, INFINITE);
  CloseHandle(reporter);

  // The end of an install: the full bar is there when Complete returns, with no pause.
  bar.Start(0);
  bar.SetStep(2);
  bar.Complete();
  EXPECT_EQ(bar.Fill(), 299);
  EXPECT_EQ(bar.ShownPercent(), 100);
  DestroyWindow(parent);
}

}  // namespace
