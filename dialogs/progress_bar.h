// The installing page's progress bar: a child window whose filled part grows pixel by pixel
// towards the reported position (faster the further behind it is), shows its percent as text and
// lets a highlight sweep over the filled part. Two threads of its own animate it; every counter
// and every drawing is under the bar's lock, so the window thread, the install thread and the
// extraction's reports may all move it. The arithmetic is in progress_math.h.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <stdint.h>

#include <memory>
#include <string>

#include "base/handles.h"
#include "dialogs/progress_math.h"

class CGradualProgressBar {
 public:
  CGradualProgressBar();
  ~CGradualProgressBar();
  CGradualProgressBar(const CGradualProgressBar&) = delete;
  CGradualProgressBar& operator=(const CGradualProgressBar&) = delete;

  // The three pictures (PNG): foreground, background and highlight (the highlight may be
  // missing: then nothing sweeps). Resets the position.
  void SetImages(const std::wstring& foreground, const std::wstring& background, const std::wstring& highlight);
  // Creates the bar as a visible child window of `parent` with control id `id`.
  HWND Create(HWND parent, int id, const RECT& rect);
  HWND Window() const { return Hwnd; }

  // Starts the animation threads from `percent` (0: crawling from the start).
  void Start(int percent);
  void SetPos(int percent);
  void SetStep(int step);
  void SetExtractionTotal(uint32_t low, uint32_t high);
  void AddExtractionDone(uint32_t amount);
  void SetRegistrationProgress(int index, int count);
  // Ends both threads: each gets 500 ms after the stop signal, then it is ended by force.
  void Stop();
  // The end of the install: the animation stops and the full bar is drawn before this returns.
  void Complete();
  // The percent's font again, for the DPI now in use (the window's size follows its control).
  void FollowDpi();

  int ShownPercent();
  int Fill();

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static DWORD WINAPI FillThreadMain(void* self);
  static DWORD WINAPI HighlightThreadMain(void* self);
  void FillLoop();
  void HighlightLoop();
  // Under the lock.
  void Draw(HDC target);
  void DrawOnWindow();
  void BuildBackground();
  void ComposeFill();
  void Wake();
  void Destroyed();

  sys::CriticalSection Lock;
  progress::Bar State;
  HWND Hwnd = nullptr;
  HDC WindowDc = nullptr;  // the window's own (class style CS_OWNDC), kept from creation
  RECT Client{};
  sys::UniqueBitmap Foreground, Background;
  SIZE ForegroundSize{}, BackgroundSize{};
  std::unique_ptr<Gdiplus::Image> Highlight;
  sys::UniqueDc BackgroundDc, FillDc;
  sys::UniqueBitmap BackgroundCache, FillSurface;
  HGDIOBJ BackgroundOld = nullptr, FillOld = nullptr;
  sys::UniqueFont Font;
  progress::Sweep Sweep;
  sys::UniqueKernel StopEvent, WakeEvent, FillThread, HighlightThread;
};

// The program's one progress bar (the wizard shows it; the install engine's registration and the
// extraction's reports move it).
CGradualProgressBar& ProgressBar();
