#include "dialogs/progress_bar.h"

#include <stdio.h>

#include <oleacc.h>

#include <algorithm>

#include "skin/accessible.h"
#include "skin/image_decode.h"
#include "skin/position.h"
#include "skin/resource_source.h"

namespace {

const wchar_t kBarClass[] = L"LumenGradualProgressBar";
const wchar_t kProgressName[] = L"安装进度";

HFONT PercentFont() {
  return CreateFontW(LayoutPixels(12), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"宋体");
}

std::unique_ptr<Gdiplus::Image> LoadImageFile(const std::wstring& path) {
  std::string bytes;
  return GxResourceSource::Instance().ReadFile(path, &bytes) ? DecodeImage(bytes) : nullptr;
}

// A picture as an opaque bitmap on white (the page the bar sits on).
sys::UniqueBitmap OpaqueBitmap(Gdiplus::Image* image, SIZE* size) {
  *size = SIZE{0, 0};
  if (!image) return sys::UniqueBitmap();
  const int w = static_cast<int>(image->GetWidth()), h = static_cast<int>(image->GetHeight());
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB};
  void* bits = nullptr;
  sys::UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap) return bitmap;
  const sys::UniqueDc dc(CreateCompatibleDC(nullptr));
  const HGDIOBJ old = SelectObject(dc.Get(), bitmap.Get());
  {
    Gdiplus::Graphics g(dc.Get());
    g.Clear(Gdiplus::Color(255, 255, 255, 255));
    g.DrawImage(image, 0, 0, w, h);
  }
  SelectObject(dc.Get(), old);
  *size = SIZE{w, h};
  return bitmap;
}

// Copies a source column range [sx, sx + sw) of `source` (height sh) over [dx, dx + dw) of the
// target at the target's full height.
void Columns(HDC target, int dx, int dw, int height, HDC source, int sx, int sw, int sh) {
  if (dw <= 0 || sw <= 0) return;
  StretchBlt(target, dx, 0, dw, height, source, sx, 0, sw, sh, SRCCOPY);
}

}  // namespace

CGradualProgressBar& ProgressBar() {
  static CGradualProgressBar bar;
  return bar;
}

CGradualProgressBar::CGradualProgressBar() {
  StopEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  WakeEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

CGradualProgressBar::~CGradualProgressBar() {
  Stop();
}

void CGradualProgressBar::SetImages(const std::wstring& foreground, const std::wstring& background,
                                    const std::wstring& highlight) {
  sys::Locked locked(Lock);
  std::unique_ptr<Gdiplus::Image> fg = LoadImageFile(foreground), bg = LoadImageFile(background);
  Foreground = OpaqueBitmap(fg.get(), &ForegroundSize);
  Background = OpaqueBitmap(bg.get(), &BackgroundSize);
  Highlight = LoadImageFile(highlight);
  State.Percent = State.Fill = State.Target = 0;
  State.Increment = 1;
  if (Hwnd) {
    GetClientRect(Hwnd, &Client);
    State.Width = Client.right;
    BuildBackground();
  }
}

HWND CGradualProgressBar::Create(HWND parent, int id, const RECT& rect) {
  WNDCLASSW wc{};
  wc.style = CS_OWNDC;
  wc.lpfnWndProc = &CGradualProgressBar::Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kBarClass;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  RegisterClassW(&wc);
  Hwnd = CreateWindowExW(0, kBarClass, L"", WS_CHILD | WS_VISIBLE, rect.left, rect.top, rect.right - rect.left,
                         rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         wc.hInstance, this);
  return Hwnd;
}

void CGradualProgressBar::FollowDpi() {
  sys::Locked locked(Lock);
  Font.Reset(PercentFont());
  if (Hwnd) InvalidateRect(Hwnd, nullptr, FALSE);
}

LRESULT CALLBACK CGradualProgressBar::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE)
    SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  auto* self = reinterpret_cast<CGradualProgressBar*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_CREATE: {
      sys::Locked locked(self->Lock);
      self->Hwnd = hwnd;
      self->WindowDc = GetDC(hwnd);
      self->Font.Reset(PercentFont());
      GetClientRect(hwnd, &self->Client);
      self->State.Width = self->Client.right;
      self->BuildBackground();
      return 0;
    }
    case WM_SIZE: {
      sys::Locked locked(self->Lock);
      GetClientRect(hwnd, &self->Client);
      progress::Resize(self->State, self->Client.right);  // the realwnd placed it: lengths follow
      self->BuildBackground();
      self->ComposeFill();
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      {
        sys::Locked locked(self->Lock);
        self->Draw(dc);
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_DESTROY:
      self->Destroyed();
      return 0;
    case WM_GETOBJECT: {  // for screen readers: a progress bar whose value is the percent shown
      GxAccessibleFacts facts;
      facts.Role = ROLE_SYSTEM_PROGRESSBAR;
      facts.Name = [] { return std::wstring(kProgressName); };
      facts.Value = [self] { return std::to_wstring(self->ShownPercent()) + L"%"; };
      return AnswerAccessibleRequest(hwnd, facts, wParam, lParam);
    }
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void CGradualProgressBar::Destroyed() {
  Stop();
  sys::Locked locked(Lock);
  if (FillDc) SelectObject(FillDc.Get(), FillOld);
  if (BackgroundDc) SelectObject(BackgroundDc.Get(), BackgroundOld);
  FillDc.Reset();
  BackgroundDc.Reset();
  FillSurface.Reset();
  BackgroundCache.Reset();
  if (WindowDc) ReleaseDC(Hwnd, WindowDc);
  WindowDc = nullptr;
  Hwnd = nullptr;
}

void CGradualProgressBar::BuildBackground() {
  const int w = Client.right, h = Client.bottom;
  if (!WindowDc || w <= 0 || h <= 0) return;
  if (BackgroundDc) SelectObject(BackgroundDc.Get(), BackgroundOld);
  if (FillDc) SelectObject(FillDc.Get(), FillOld);
  BackgroundDc.Reset(CreateCompatibleDC(WindowDc));
  BackgroundCache.Reset(CreateCompatibleBitmap(WindowDc, w, h));
  BackgroundOld = SelectObject(BackgroundDc.Get(), BackgroundCache.Get());
  FillDc.Reset(CreateCompatibleDC(WindowDc));
  FillSurface.Reset(CreateCompatibleBitmap(WindowDc, w, h));
  FillOld = SelectObject(FillDc.Get(), FillSurface.Get());
  const RECT all{0, 0, w, h};
  FillRect(BackgroundDc.Get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  if (!Background) return;
  // Left third at the left, middle third stretched, right third ending at the right edge.
  const sys::UniqueDc source(CreateCompatibleDC(WindowDc));
  const HGDIOBJ old = SelectObject(source.Get(), Background.Get());
  const int c = BackgroundSize.cx / 3, sh = BackgroundSize.cy;
  Columns(BackgroundDc.Get(), 0, std::min(c, w), h, source.Get(), 0, std::min(c, w), sh);
  Columns(BackgroundDc.Get(), c, w - 2 * c, h, source.Get(), c, c, sh);
  Columns(BackgroundDc.Get(), w - c, c, h, source.Get(), BackgroundSize.cx - c, c, sh);
  SelectObject(source.Get(), old);
}

void CGradualProgressBar::ComposeFill() {
  const int fill = State.Fill, h = Client.bottom;
  if (!FillDc || !Foreground || fill <= 0) return;
  // The foreground's left third from 0, its right third ending at the fill, its middle third
  // stretched between them.
  const sys::UniqueDc source(CreateCompatibleDC(FillDc.Get()));
  const HGDIOBJ old = SelectObject(source.Get(), Foreground.Get());
  const int c = ForegroundSize.cx / 3, sh = ForegroundSize.cy;
  const int left = std::min(fill, c);
  Columns(FillDc.Get(), 0, left, h, source.Get(), 0, left, sh);
  if (fill > 2 * c) Columns(FillDc.Get(), c, fill - 2 * c, h, source.Get(), c, c, sh);
  if (fill >= c) Columns(FillDc.Get(), fill - c, c, h, source.Get(), ForegroundSize.cx - c, c, sh);
  SelectObject(source.Get(), old);
}

void CGradualProgressBar::Draw(HDC target) {
  const int w = Client.right, h = Client.bottom;
  if (!BackgroundDc || w <= 0 || h <= 0) return;
  const sys::UniqueDc memory(CreateCompatibleDC(target));
  const sys::UniqueBitmap canvas(CreateCompatibleBitmap(target, w, h));
  const HGDIOBJ old = SelectObject(memory.Get(), canvas.Get());
  BitBlt(memory.Get(), 0, 0, w, h, BackgroundDc.Get(), 0, 0, SRCCOPY);
  if (State.Fill > 0) BitBlt(memory.Get(), 0, 0, State.Fill, h, FillDc.Get(), 0, 0, SRCCOPY);
  if (Highlight && State.Fill >= 5) {
    const progress::HighlightPart part =
        progress::HighlightGeometry(static_cast<int>(Highlight->GetWidth()), Sweep.Offset, State.Fill);
    if (part.Width > 0) {
      Gdiplus::Graphics g(memory.Get());
      g.DrawImage(Highlight.get(), Gdiplus::Rect(part.DestX, 0, part.Width, h), part.SourceX, 0, part.Width,
                  static_cast<int>(Highlight->GetHeight()), Gdiplus::UnitPixel);
    }
  }
  wchar_t text[8];
  swprintf(text, 8, L"%d%%", progress::ShownPercent(State));
  const HGDIOBJ oldFont = SelectObject(memory.Get(), Font.Get());
  SetBkMode(memory.Get(), TRANSPARENT);
  SetTextColor(memory.Get(), RGB(0, 0, 0));
  RECT all{0, 0, w, h};
  DrawTextW(memory.Get(), text, -1, &all, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectObject(memory.Get(), oldFont);
  BitBlt(target, 0, 0, w, h, memory.Get(), 0, 0, SRCCOPY);
  SelectObject(memory.Get(), old);
}

void CGradualProgressBar::DrawOnWindow() {
  if (WindowDc) Draw(WindowDc);
}

void CGradualProgressBar::Wake() {
  if (!State.Stopped) SetEvent(WakeEvent.Get());
}

void CGradualProgressBar::Start(int percent) {
  {
    sys::Locked locked(Lock);
    State.Percent = State.Fill = 0;
    Sweep = progress::Sweep();
    State.EngineStep = 0;
    State.ExtractTotal = State.ExtractDone = 0;
    State.Stopped = false;
    ResetEvent(StopEvent.Get());
    if (!FillThread) FillThread.Reset(CreateThread(nullptr, 0, &FillThreadMain, this, 0, nullptr));
    if (!HighlightThread && Highlight)
      HighlightThread.Reset(CreateThread(nullptr, 0, &HighlightThreadMain, this, 0, nullptr));
    if (percent == 0) {
      State.Target = 0;
      State.Increment = 1;
      State.Tick = 50;
      Wake();
      return;
    }
  }
  SetPos(percent);
}

void CGradualProgressBar::SetPos(int percent) {
  sys::Locked locked(Lock);
  if (progress::SetPos(State, percent)) Wake();
}

void CGradualProgressBar::SetStep(int step) {
  sys::Locked locked(Lock);
  if (progress::SetStep(State, step)) Wake();
}

void CGradualProgressBar::SetExtractionTotal(uint32_t low, uint32_t high) {
  sys::Locked locked(Lock);
  progress::SetExtractionTotal(State, (static_cast<uint64_t>(high) << 32) | low);
}

void CGradualProgressBar::AddExtractionDone(uint32_t amount) {
  sys::Locked locked(Lock);
  progress::AddExtractionDone(State, amount);
  Wake();
}

void CGradualProgressBar::SetRegistrationProgress(int index, int count) {
  sys::Locked locked(Lock);
  progress::SetRegistrationProgress(State, index, count);
  Wake();
}

void CGradualProgressBar::Stop() {
  SetEvent(StopEvent.Get());
  for (sys::UniqueKernel* thread : {&FillThread, &HighlightThread}) {
    if (!*thread) continue;
    if (WaitForSingleObject(thread->Get(), 500) != WAIT_OBJECT_0) TerminateThread(thread->Get(), 1);
    thread->Reset();
  }
  ResetEvent(WakeEvent.Get());
}

void CGradualProgressBar::Complete() {
  Stop();
  sys::Locked locked(Lock);
  progress::Complete(State);
  ComposeFill();
  DrawOnWindow();
}

int CGradualProgressBar::ShownPercent() {
  sys::Locked locked(Lock);
  return progress::ShownPercent(State);
}

int CGradualProgressBar::Fill() {
  sys::Locked locked(Lock);
  return State.Fill;
}

DWORD WINAPI CGradualProgressBar::FillThreadMain(void* self) {
  static_cast<CGradualProgressBar*>(self)->FillLoop();
  return 0;
}

DWORD WINAPI CGradualProgressBar::HighlightThreadMain(void* self) {
  static_cast<CGradualProgressBar*>(self)->HighlightLoop();
  return 0;
}

void CGradualProgressBar::FillLoop() {
  const HANDLE events[] = {StopEvent.Get(), WakeEvent.Get()};
  bool woken = false;
  for (;;) {
    DWORD wait = INFINITE;
    {
      sys::Locked locked(Lock);
      if (progress::Advance(State)) {
        ComposeFill();
        DrawOnWindow();
        wait = static_cast<DWORD>(State.Tick);
      } else if (!progress::AtRest(State)) {
        wait = static_cast<DWORD>(State.Tick);  // waiting for sub-progress
      } else {
        DrawOnWindow();
      }
      if (woken) ResetEvent(WakeEvent.Get());
    }
    const DWORD got = WaitForMultipleObjects(2, events, FALSE, wait);
    if (got != WAIT_OBJECT_0 + 1 && got != WAIT_TIMEOUT) return;
    woken = got == WAIT_OBJECT_0 + 1;
  }
}

void CGradualProgressBar::HighlightLoop() {
  for (;;) {
    DWORD wait;
    {
      sys::Locked locked(Lock);
      const int width = Highlight ? static_cast<int>(Highlight->GetWidth()) : 0;
      const bool visible = Hwnd && IsWindowVisible(Hwnd);
      if (progress::StepSweep(Sweep, width, State.Fill, visible, State.Stopped)) DrawOnWindow();
      wait = static_cast<DWORD>(Sweep.Wait);
    }
    if (WaitForSingleObject(StopEvent.Get(), wait) != WAIT_TIMEOUT) return;
  }
}
